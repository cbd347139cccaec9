// Colour of a formula for reports: reflectance curve (16 values, 400 to
// 700 nm in steps of 20 nm, as fractions) to X, Y, Z under illuminant D65
// with the CIE 1931 2-degree observer, and X, Y, Z (0..100) to 8-bit sRGB.
// Pure functions; nothing is allocated.

#ifndef MIXTABLE_WY_COLOUR_H_
#define MIXTABLE_WY_COLOUR_H_

#include <cstdint>

#include "mixtable/export.h"

// One row of the weighting table: wavelength and the X, Y, Z weights.
struct MIXTABLE_API Wy_D65Weight {
  int nm;
  double wx, wy, wz;
};

constexpr int kWyReflectanceCount = 16;

// D65 x 2-degree observer weights, 400..700 nm by 20 nm. The columns sum to
// 95.046, 99.998 and 108.883 (the white point).
inline constexpr Wy_D65Weight kWyD65Weights[kWyReflectanceCount] = {
    {400, 0.014, 0.004, 0.067},   {420, 2.114, 0.041, 10.065},
    {440, 7.323, 0.411, 36.235},  {460, 6.815, 1.281, 39.09},
    {480, 1.843, 2.797, 16.753},  {500, -0.219, 6.291, 4.727},
    {520, 1.003, 14.463, 1.532},  {540, 5.723, 19.509, 0.314},
    {560, 11.284, 19.106, 0.058}, {580, 16.548, 15.6, 0.027},
    {600, 18.528, 10.607, 0.013}, {620, 14.397, 6.24, 0.002},
    {640, 6.646, 2.54, 0},        {660, 2.29, 0.842, 0},
    {680, 0.574, 0.208, 0},       {700, 0.163, 0.058, 0},
};

// X, Y, Z of the curve rfl[16] into xyz[3]. false (xyz untouched) for a
// null pointer or a negative result.
MIXTABLE_API bool Wy_ReflectanceToXYZ(const double* rfl, double* xyz);

// Packs R*65536 + G*256 + B of X, Y, Z (each >= 0) into *rgb: linear sRGB,
// the sRGB gamma, x 255, clamped to 0..255 and rounded half up. false (no
// colour, *rgb untouched) for a negative or non-finite input or null rgb.
// *noClamp (may be null) tells whether every channel was inside 0..255.
MIXTABLE_API bool Wy_XYZToRGB(double x, double y, double z, uint32_t* rgb,
                              bool* noClamp);

#endif  // MIXTABLE_WY_COLOUR_H_
