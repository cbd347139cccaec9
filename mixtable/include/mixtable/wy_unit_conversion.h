// WY_UnitConversion: converts colorant quantities (and optionally a base
// quantity) between relative kinds (parts by pigment, by weight, by volume)
// and absolute amounts by volume or weight, from the specific weights and
// pigment loadings of one data set's colorants and bases.
//
// Ownership: the table set given to Initialize is borrowed; it must outlive
// every later call that reads it (only Initialize does). The four maps are
// owned. Copies copy the maps and share the borrowed table set.
//
// Failures answer false (SingleConvert 0); nothing throws. A conversion is
// all or nothing: on false the quantities are exactly as they were. No
// result is ever infinite or NaN: a zero sum, or a zero specific weight or
// loading the conversion needs, is refused. Not thread-safe.

#ifndef MIXTABLE_WY_UNIT_CONVERSION_H_
#define MIXTABLE_WY_UNIT_CONVERSION_H_

#include <cstdint>
#include <unordered_map>

#include "mixtable/export.h"

class CMixtable;

// Kinds of quantity. 0..2 are relative (parts), 3..6 absolute; every other
// value is invalid.
enum WY_UnitType : int {
  WY_UNIT_PIGMENT = 0,       // parts of pigment (amount x loading)
  WY_UNIT_WEIGHT_PARTS = 1,  // parts by weight
  WY_UNIT_VOLUME_PARTS = 2,  // parts by volume
  WY_UNIT_VOLUME = 3,        // absolute volume
  WY_UNIT_VOLUME_SMALL = 4,  // absolute volume, unit 1000 times smaller
  WY_UNIT_WEIGHT = 5,        // absolute weight (volume x specific weight)
  WY_UNIT_WEIGHT_SMALL = 6,  // absolute weight, unit 1000 times smaller
};

class MIXTABLE_API WY_UnitConversion {
 public:
  using Map = std::unordered_map<int32_t, double>;

  // Empty maps, no table set.
  WY_UnitConversion();
  virtual ~WY_UnitConversion();
  WY_UnitConversion(const WY_UnitConversion&) = default;
  WY_UnitConversion& operator=(const WY_UnitConversion&) = default;

  // Empties the maps and fills them from BASES (ID, SPEC_W) and CNTS (ID,
  // SPEC_W, LOADING), each opened temporarily (the caller's positions are
  // restored) and read in natural order; deleted records are skipped and a
  // later record of the same id wins. Specific weights are SPEC_W x 0.001,
  // loadings LOADING x 0.01 (0 when the field is <= 0), base loadings 1.0.
  // False, with the maps empty, when tables is null or either table cannot
  // be opened.
  bool Initialize(CMixtable* tables);

  // The specific weight (x 0.001) of a base (base true) or a colorant;
  // 0 when unknown.
  double GetPS(bool base, int32_t id) const;

  // Converts quantities[0..n) of the colorants ids[0..n) in place from kind
  // `from` to kind `to`:
  // - relative -> relative: the results keep the sum of the quantities;
  // - relative -> absolute: the results are the parts as fractions of their
  //   sum times `total` (parts {1, 1} to volume with total 500 give
  //   {500, 500}); total must be >= 0;
  // - absolute -> relative: fractions of 1, and `total` receives the amount
  //   converted to the target's measure (weight for weight parts, volume for
  //   volume parts); with x > 0 the results are scaled so that they are
  //   parts of x (their sum is the source sum / x) and `total` receives x;
  // - absolute -> absolute: the amounts themselves, with the factor 1000
  //   between kinds of different unit sizes (volume 2 at specific weight
  //   1.2 gives 2.4 as weight and 2400 as small weight).
  // Results are rounded to 9 decimals. from == to answers true and changes
  // nothing. False (nothing changed, total untouched) for kinds outside
  // 0..6, n <= 0, null arrays, a negative or non-finite quantity, a zero
  // sum, a colorant missing from a map the conversion needs, or a specific
  // weight or loading of 0 that the conversion uses.
  bool Convert(const int32_t* ids, double* quantities, int n, int from, int to,
               double& total, double x);

  // Converts a base quantity and a colorant list together; the base counts
  // as one more component with the base's specific weight and loading 1.0.
  // For an absolute target, x (> 0) is the base amount in the target kind
  // and every colorant follows in proportion (colorant = x x its share /
  // the base's share). n may be 0 (ids and quantities may then be null).
  // Failures as for the list form, also for a null baseQuantity, a base
  // missing from the base maps, a zero base share or, with an absolute
  // target, x <= 0.
  bool Convert(int32_t baseId, double* baseQuantity, const int32_t* ids,
               double* quantities, int n, int from, int to, double x);

  // The total of factor x quantities[0..n) converted from one absolute kind
  // to another: p (the colorant's specific weight) multiplies volumes into
  // weights and divides weights into volumes; 1000 between unit sizes.
  // Between two volume kinds or two weight kinds only the unit size
  // changes. A colorant whose specific weight is needed but unknown or 0
  // adds nothing. 0 when from == to, either kind is not 3..6, n <= 0, an
  // array is null, factor or a quantity is negative or not finite.
  double SingleConvert(const int32_t* ids, const double* quantities, int n,
                       double factor, int from, int to);

 protected:
  CMixtable* m_pTables = nullptr;  // borrowed, from Initialize
  Map m_BasSpecW;                  // base id -> SPEC_W x 0.001
  Map m_CntSpecW;                  // colorant id -> SPEC_W x 0.001
  Map m_CntLoading;                // colorant id -> LOADING x 0.01
  Map m_BasLoading;                // base id -> 1.0
};

#endif  // MIXTABLE_WY_UNIT_CONVERSION_H_
