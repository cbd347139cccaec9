// Wy_Units: the units of a formula's quantities.

#ifndef MIXTABLE_WY_UNITS_H_
#define MIXTABLE_WY_UNITS_H_

#include <string>

#include "mixtable/export.h"

struct MIXTABLE_API Wy_Units {
  std::string m_sName;        // unit name (the product's UNIT_NAME)
  double m_dUnit = 1.0;       // unit factor (UNIT)
  double m_dFraction = 1.0;   // fraction (FRACTION)
  double m_dFraction2 = 1.0;  // second fraction (FRACTION2), at least 1
  int m_bWeightMode = 0;      // 1: quantities are weights, 0: volumes

  // Resets the numbers to their defaults; the name is kept.
  void Clear() {
    m_dUnit = 1.0;
    m_dFraction = 1.0;
    m_dFraction2 = 1.0;
    m_bWeightMode = 0;
  }
};

#endif  // MIXTABLE_WY_UNITS_H_
