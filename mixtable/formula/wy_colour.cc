#include "mixtable/wy_colour.h"

#include <cmath>

namespace {

constexpr double kGammaExponent = 0.4166666667;  // 1 / 2.4
constexpr double kLinearLimit = 0.00304;

// One channel from linear to 0..255; *clamped set when it left the range.
uint32_t Channel(double c, bool* clamped) {
  c = c < kLinearLimit ? 12.92 * c
                       : 1.055 * std::pow(c, kGammaExponent) - 0.055;
  double v = c * 255.0;
  if (v < 0) {
    v = 0, *clamped = true;
  } else if (v > 255) {
    v = 255, *clamped = true;
  }
  v = std::floor(v + (v - std::floor(v)));  // half up
  return v > 255 ? 255u : static_cast<uint32_t>(v);
}

}  // namespace

bool Wy_ReflectanceToXYZ(const double* rfl, double* xyz) {
  if (rfl == nullptr || xyz == nullptr) return false;
  double x = 0, y = 0, z = 0;
  for (int i = 0; i < kWyReflectanceCount; ++i) {
    x += rfl[i] * kWyD65Weights[i].wx;
    y += rfl[i] * kWyD65Weights[i].wy;
    z += rfl[i] * kWyD65Weights[i].wz;
  }
  if (!(x >= 0) || !(y >= 0) || !(z >= 0)) return false;
  xyz[0] = x, xyz[1] = y, xyz[2] = z;
  return true;
}

bool Wy_XYZToRGB(double x, double y, double z, uint32_t* rgb, bool* noClamp) {
  if (rgb == nullptr) return false;
  if (!(x >= 0) || !(y >= 0) || !(z >= 0) || !std::isfinite(x) ||
      !std::isfinite(y) || !std::isfinite(z))
    return false;
  const double r = (3.241 * x - 1.5374 * y - 0.4986 * z) * 0.01;
  const double g = (-0.9692 * x + 1.876 * y + 0.0416 * z) * 0.01;
  const double b = (0.0556 * x - 0.204 * y + 1.057 * z) * 0.01;
  bool clamped = false;
  const uint32_t R = Channel(r, &clamped), G = Channel(g, &clamped),
                 B = Channel(b, &clamped);
  *rgb = R * 65536u + G * 256u + B;
  if (noClamp != nullptr) *noClamp = !clamped;
  return true;
}
