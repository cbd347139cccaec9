// The fixed contents of the demo data set and its colour model.

#include "demo_catalog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "demo_data_set.h"

namespace kalvo_demo {
namespace {

// A small fixed-seed generator (splitmix64): its sequence is the same with
// every compiler and library, unlike the standard distributions.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) {
    return static_cast<int>(Next() % static_cast<uint64_t>(n));
  }
  double Between(double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(Next() >> 11) * 0x1.0p-53;
  }

 private:
  uint64_t state_;
};

constexpr uint64_t kSeed = 20260115;

// Coarse CIE 1931 colour-matching weights at 400, 420 ... 700 nm.
constexpr double kCieX[kBands] = {
    0.0143, 0.1344, 0.3483, 0.2908, 0.0956, 0.0049, 0.0633, 0.2904,
    0.5945, 0.9163, 1.0622, 0.8544, 0.4479, 0.1649, 0.0468, 0.0114};
constexpr double kCieY[kBands] = {
    0.0004, 0.0040, 0.0230, 0.0600, 0.1390, 0.3230, 0.7100, 0.9540,
    0.9950, 0.8700, 0.6310, 0.3810, 0.1750, 0.0610, 0.0170, 0.0041};
constexpr double kCieZ[kBands] = {
    0.0679, 0.6456, 1.7471, 1.6692, 0.8130, 0.2720, 0.0782, 0.0203,
    0.0039, 0.0017, 0.0008, 0.0002, 0.0000, 0.0000, 0.0000, 0.0000};

// The colorants with a colour of their own (recipes pick from these); the
// black (10) and the umber (12) shade them.
constexpr int32_t kChromatic[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
constexpr int32_t kBlack = 10, kUmber = 12;

double Round(double v, double step) { return std::round(v / step) * step; }

const Colorant* FindColorant(int32_t id) {
  for (const Colorant& c : Colorants())
    if (c.id == id) return &c;
  return nullptr;
}

// A colorant the product does not allow, replaced by the nearest one it does.
int32_t Substitute(const Product& prd, int32_t id) {
  if (!prd.outdoor || !FindColorant(id)->organic) return id;
  switch (id) {
    case 2:
      return 1;  // hansa yellow -> oxide yellow
    case 4:
      return 3;  // organic red -> oxide red
    case 5:
      return 3;  // magenta -> oxide red
    case 6:
      return 8;  // violet -> ultramarine
    default:
      return id;
  }
}

std::string ColourName(const Colour& c, double y) {
  static const char* const kAdjective[] = {"Deep", "Rich", "Warm", "Soft",
                                           "Pale"};
  struct Nouns {
    const char* family;
    std::vector<const char*> words;
  };
  static const Nouns kNouns[] = {
      {"YELLOW", {"Sand", "Straw", "Honey", "Maize", "Lemon", "Mustard"}},
      {"RED", {"Brick", "Coral", "Ruby", "Terracotta", "Poppy"}},
      {"PINK", {"Rose", "Blush", "Orchid", "Peony"}},
      {"VIOLET", {"Lilac", "Plum", "Heather", "Amethyst"}},
      {"BLUE", {"Ocean", "Sky", "Denim", "Harbour", "Cobalt"}},
      {"GREEN", {"Moss", "Sage", "Fern", "Jade", "Olive"}},
      {"GREY", {"Slate", "Pebble", "Ash", "Graphite"}},
      {"BROWN", {"Umber", "Cocoa", "Hazel", "Walnut"}},
  };
  const int level = y > 70 ? 4 : y > 50 ? 3 : y > 35 ? 2 : y > 20 ? 1 : 0;
  for (const Nouns& n : kNouns) {
    if (c.key3 == n.family)
      return std::string(kAdjective[level]) + " " +
             n.words[static_cast<size_t>(c.number) % n.words.size()];
  }
  return kAdjective[level];
}

std::vector<Colour> MakeCard() {
  Random rnd(kSeed);
  std::vector<Colour> card;
  const Base white{0, "", "", 0, 0, 0.02};
  for (int n = 1; n <= kDemoColourCard; ++n) {
    Colour c;
    c.number = n;
    char key[16];
    std::snprintf(key, sizeof key, "K %04d", 1000 + n);
    c.key1 = key;
    const int chromatic = 1 + rnd.Below(3);
    while (static_cast<int>(c.recipe.size()) < chromatic) {
      const int32_t id = kChromatic[rnd.Below(std::size(kChromatic))];
      bool have = false;
      for (const auto& [cid, ml] : c.recipe) have = have || cid == id;
      if (have) continue;
      // Mostly tints, some full shades.
      const double ml =
          rnd.Below(4) == 0 ? rnd.Between(8.0, 40.0) : rnd.Between(0.2, 6.0);
      c.recipe.push_back({id, Round(ml, ml < 10 ? 0.01 : 0.1)});
    }
    if (rnd.Below(10) < 3)
      c.recipe.push_back({kBlack, Round(rnd.Between(0.05, 3.0), 0.01)});
    if (rnd.Below(10) < 2)
      c.recipe.push_back({kUmber, Round(rnd.Between(0.5, 8.0), 0.01)});
    // The family is that of the colorant absorbing most.
    double most = -1;
    for (const auto& [id, ml] : c.recipe) {
      const Colorant* col = FindColorant(id);
      const double weight = ml * col->strength;
      if (weight > most) {
        most = weight;
        c.key3 = col->family;
      }
    }
    double x, y, z;
    Tristimulus(Reflectance(white, c.recipe), &x, &y, &z);
    c.key2 = ColourName(c, y);
    card.push_back(std::move(c));
  }
  return card;
}

}  // namespace

const std::vector<Colorant>& Colorants() {
  static const std::vector<Colorant> kColorants = {
      {1, "YOX", "Oxide yellow", 1850, 62.0, 9.80, 440, 70, 60, 0.8, "YELLOW",
       false},
      {2, "YHA", "Hansa yellow", 1240, 35.0, 24.50, 430, 50, 110, 0.2, "YELLOW",
       true},
      {3, "ROX", "Oxide red", 2100, 65.0, 10.40, 500, 80, 90, 1.5, "RED",
       false},
      {4, "RNA", "Naphthol red", 1180, 30.0, 31.20, 520, 45, 140, 0.3, "RED",
       true},
      {5, "MAG", "Quinacridone magenta", 1160, 28.0, 44.80, 550, 40, 120, 0.3,
       "PINK", true},
      {6, "VIO", "Dioxazine violet", 1120, 18.0, 52.10, 580, 50, 160, 0.4,
       "VIOLET", true},
      {7, "BPH", "Phthalo blue", 1150, 25.0, 29.90, 620, 55, 180, 0.5, "BLUE",
       false},
      {8, "BUL", "Ultramarine blue", 1420, 45.0, 18.30, 600, 70, 70, 0.6,
       "BLUE", false},
      {9, "GPH", "Phthalo green", 1160, 26.0, 30.70, 650, 60, 170, 1.0, "GREEN",
       false},
      {10, "KBL", "Carbon black", 1090, 15.0, 14.60, 550, 400, 0, 220.0, "GREY",
       false},
      {11, "WTI", "Titanium white", 2050, 70.0, 12.90, 550, 400, 0, 0.01,
       "GREY", false},
      {12, "UMB", "Burnt umber", 1900, 58.0, 11.70, 450, 200, 45, 6.0, "BROWN",
       false},
  };
  return kColorants;
}

const std::vector<Product>& Products() {
  static const std::vector<Product> kProducts = {
      {1,
       "INT",
       "Interior emulsion",
       "INTERIOR",
       false,
       "ml",
       false,
       false,
       1480,
       {{1, "MATT", "Interior matt", "MATT", 1.0},
        {2, "SATIN", "Interior satin", "SATIN", 1.08}}},
      {2,
       "FAC",
       "Exterior facade",
       "FACADE",
       false,
       "ml",
       true,
       false,
       1620,
       {{1, "SMOOTH", "Facade smooth", "SMOOTH", 1.0},
        {2, "TEXT", "Facade textured", "TEXTURED", 1.15}}},
      {3,
       "ENA",
       "Wood enamel",
       "ENAMEL",
       true,
       "g",
       false,
       true,
       1230,
       {{1, "GLOSS", "Enamel gloss", "GLOSS", 1.0},
        {2, "SATIN", "Enamel satin", "SATIN", 1.05}}},
  };
  return kProducts;
}

const std::vector<Can>& Cans() {
  static const std::vector<Can> kCans = {
      {1, "0.5L", "Can 0.5 l", 500},
      {2, "1L", "Can 1 l", 1000},
      {3, "2.5L", "Can 2.5 l", 2500},
      {4, "5L", "Can 5 l", 5000},
  };
  return kCans;
}

std::vector<Base> BasesOf(const Product& prd) {
  struct Kind {
    const char* letter;
    const char* name;
    double fill_q, spec_delta, ks;
  };
  static const Kind kKinds[] = {{"P", "white base", 960, 0, 0.02},
                                {"M", "medium base", 935, -60, 0.05},
                                {"D", "deep base", 905, -140, 0.15}};
  std::vector<Base> out;
  for (int k = 0; k < 3; ++k) {
    Base b;
    b.id = (prd.id - 1) * 3 + k + 1;
    b.code = std::string(prd.code) + "-" + kKinds[k].letter;
    b.descr = std::string(prd.descr) + ", " + kKinds[k].name;
    b.spec_w = prd.base_spec_w + kKinds[k].spec_delta;
    b.fill_q = kKinds[k].fill_q;
    b.ks = kKinds[k].ks;
    out.push_back(b);
  }
  return out;
}

const std::vector<Colour>& ColourCard() {
  static const std::vector<Colour> kCard = MakeCard();
  return kCard;
}

std::vector<int32_t> AllowedColorants(const Product& prd) {
  std::vector<int32_t> ids;
  for (const Colorant& c : Colorants())
    if (!prd.outdoor || !c.organic) ids.push_back(c.id);
  return ids;
}

std::vector<int32_t> AllowedCans(const Product& prd) {
  std::vector<int32_t> ids;
  for (const Can& c : Cans())
    if (!prd.small_cans || c.nom_q <= 2500) ids.push_back(c.id);
  return ids;
}

std::vector<Formula> FormulasOf(const Product& prd, const SubProduct& spd) {
  // Which colours this sub-product carries: a fixed shuffle of the card.
  Random rnd(kSeed + static_cast<uint64_t>(prd.id) * 100 + spd.id);
  std::vector<int> numbers;
  for (int n = 1; n <= kDemoColourCard; ++n) numbers.push_back(n);
  for (int i = kDemoColourCard - 1; i > 0; --i)
    std::swap(numbers[i], numbers[rnd.Below(i + 1)]);
  numbers.resize(kDemoFormulasPerSubProduct);
  std::sort(numbers.begin(), numbers.end());

  const std::vector<Base> bases = BasesOf(prd);
  std::vector<Formula> out;
  for (int n : numbers) {
    const Colour& colour = ColourCard()[n - 1];
    Formula f{};
    f.id = n;
    f.colour = &colour;
    // ml per litre after substitution (merging ids that meet) and strength.
    std::vector<std::pair<int32_t, double>> ml;
    for (const auto& [id, q] : colour.recipe) {
      const int32_t use = Substitute(prd, id);
      auto it = std::find_if(ml.begin(), ml.end(),
                             [&](const auto& p) { return p.first == use; });
      const double add = q * spd.strength;
      if (it == ml.end())
        ml.push_back({use, add});
      else
        it->second += add;
    }
    double x, y, z;
    Tristimulus(Reflectance(bases[0], ml), &x, &y, &z);
    const Base& base = y > 60 ? bases[0] : y > 30 ? bases[1] : bases[2];
    f.base_id = base.id;
    f.reflectance = Reflectance(base, ml);
    Tristimulus(f.reflectance, &f.x, &f.y, &f.z);
    for (const auto& [id, q] : ml) {
      double amount = q;
      if (prd.weight_mode) amount = q * FindColorant(id)->spec_w / 1000.0;
      f.amounts.push_back({id, Round(amount, amount < 10 ? 0.01 : 0.1)});
    }
    out.push_back(std::move(f));
  }
  return out;
}

Curve ColorantKs(const Colorant& c) {
  Curve ks;
  for (int b = 0; b < kBands; ++b) {
    const double d = (BandNm(b) - c.peak_nm) / c.width_nm;
    ks[b] = c.strength * std::exp(-d * d) + c.floor;
  }
  return ks;
}

Curve Reflectance(const Base& base,
                  const std::vector<std::pair<int32_t, double>>& ml_per_l) {
  Curve ks;
  ks.fill(base.ks);
  for (const auto& [id, ml] : ml_per_l) {
    const Curve c = ColorantKs(*FindColorant(id));
    for (int b = 0; b < kBands; ++b) ks[b] += ml / 1000.0 * c[b];
  }
  Curve r;
  for (int b = 0; b < kBands; ++b) {
    const double k = ks[b];
    r[b] = Round(100.0 * (1.0 + k - std::sqrt(k * k + 2.0 * k)), 0.001);
  }
  return r;
}

void Tristimulus(const Curve& reflectance, double* x, double* y, double* z) {
  double sx = 0, sy = 0, sz = 0, white = 0;
  for (int b = 0; b < kBands; ++b) {
    sx += kCieX[b] * reflectance[b];
    sy += kCieY[b] * reflectance[b];
    sz += kCieZ[b] * reflectance[b];
    white += kCieY[b];
  }
  *x = Round(sx / white, 0.01);
  *y = Round(sy / white, 0.01);
  *z = Round(sz / white, 0.01);
}

}  // namespace kalvo_demo
