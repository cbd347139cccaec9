// The fixed contents of the demo data set and the small colour model that
// turns a formula into a reflectance curve. No I/O here: demo_data_set.cc
// writes what these functions describe.
//
// Colour model: every colorant has an absorption curve (K/S per unit of
// concentration, a bell around a peak wavelength over a flat floor); a
// formula's K/S at a wavelength is its base's K/S plus the sum of
// concentration times colorant K/S, and its reflectance the Kubelka-Munk
// reflectance of an opaque layer, R = 1 + K/S - sqrt((K/S)^2 + 2 K/S).
// Tristimulus values are sums over the 16 wavelengths with coarse CIE 1931
// weights (equal-energy light), scaled so a perfect white has Y = 100. The
// numbers look like real measurements; they are not colorimetry.

#ifndef DATA_DEMO_DEMO_CATALOG_H_
#define DATA_DEMO_DEMO_CATALOG_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kalvo_demo {

// The 16 wavelengths of the reflectance and K/S fields: 400, 420 ... 700 nm.
constexpr int kBands = 16;
using Curve = std::array<double, kBands>;
inline int BandNm(int band) { return 400 + 20 * band; }

struct Colorant {
  int32_t id;
  const char* code;
  const char* descr;
  double spec_w;                              // g/l
  double loading;                             // pigment content, %
  double cost;                                // per litre
  double peak_nm, width_nm, strength, floor;  // absorption curve
  const char* family;                         // colour family it gives
  bool organic;  // not light-fast enough for facades
};

struct SubProduct {
  int32_t id;
  const char* code;
  const char* descr;
  const char* path;
  double strength;  // quantities relative to the product's first sub-product
};

struct Product {
  int32_t id;
  const char* code;
  const char* descr;
  const char* path;
  bool weight_mode;  // formulas in grams
  const char* unit_name;
  bool outdoor;     // no organic colorants
  bool small_cans;  // no 5 l can
  double base_spec_w;
  SubProduct sub[2];
};

struct Base {
  int32_t id;
  std::string code, descr;
  double spec_w, fill_q;  // g/l, ml of base per litre of can
  double ks;              // the base's own K/S (its whiteness)
};

struct Can {
  int32_t id;
  const char* code;
  const char* descr;
  double nom_q;  // ml
};

// One entry of the colour card: the recipe every product starts from.
struct Colour {
  int number;                                      // 1 .. kDemoColourCard
  std::string key1;                                // card code, "K 1001"
  std::string key2;                                // name
  std::string key3;                                // family
  std::vector<std::pair<int32_t, double>> recipe;  // colorant id, ml per l
};

// One formula as stored: its keys, base, quantities and measurement.
struct Formula {
  int32_t id;
  const Colour* colour;
  int32_t base_id;
  std::vector<std::pair<int32_t, double>> amounts;  // per 1 l can
  Curve reflectance;                                // percent
  double x, y, z;
};

const std::vector<Colorant>& Colorants();
const std::vector<Product>& Products();
const std::vector<Can>& Cans();
// The three bases (light, medium, deep) of product prd.
std::vector<Base> BasesOf(const Product& prd);
// The colour card, the same on every run.
const std::vector<Colour>& ColourCard();

// The colorant ids a sub-product of prd may use.
std::vector<int32_t> AllowedColorants(const Product& prd);
std::vector<int32_t> AllowedCans(const Product& prd);

// The formulas of sub-product spd of prd: kDemoFormulasPerSubProduct
// colours of the card (ids = card numbers, ascending), recipes adapted to
// the allowed colorants, the sub-product's strength and the product's
// weight mode, each on the base its lightness asks for.
std::vector<Formula> FormulasOf(const Product& prd, const SubProduct& spd);

// The K/S curve of a colorant at unit concentration.
Curve ColorantKs(const Colorant& c);
// Reflectance (percent) of a formula on a base.
Curve Reflectance(const Base& base,
                  const std::vector<std::pair<int32_t, double>>& ml_per_l);
void Tristimulus(const Curve& reflectance, double* x, double* y, double* z);

}  // namespace kalvo_demo

#endif  // DATA_DEMO_DEMO_CATALOG_H_
