#include "engine/TextureWrap.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
float Finite(double x) { return std::isfinite(x) ? static_cast<float>(x) : 0.0f; }

// Angle around the up axis, measured from the direction axis towards +x.
double Around(const D3DVECTOR& l) {
  if (l.x == 0.0f && l.z == 0.0f) return 0.0;
  double theta = std::atan2(static_cast<double>(l.x), static_cast<double>(l.z));
  if (theta < 0.0) theta += 2.0 * std::numbers::pi;
  return theta;
}
}  // namespace

float WrapExtent(float extent) { return (extent == 0.0f || !std::isfinite(extent)) ? 1.0f : extent; }

TexCoord WrapPoint(D3DRMWRAPTYPE type, const D3DVECTOR& l, float su, float sv) {
  const double twoPi = 2.0 * std::numbers::pi;
  switch (type) {
    case D3DRMWRAP_FLAT: return {Finite(static_cast<double>(su) * l.x), Finite(static_cast<double>(sv) * l.y)};
    case D3DRMWRAP_CYLINDER:
      return {Finite(su * Around(l) / twoPi), Finite(static_cast<double>(sv) * l.y)};
    case D3DRMWRAP_SPHERE:
    case D3DRMWRAP_CHROME: {
      const double length =
          std::sqrt(static_cast<double>(l.x) * l.x + static_cast<double>(l.y) * l.y + static_cast<double>(l.z) * l.z);
      if (!(length > 0.0) || !std::isfinite(length)) return {};
      const double cosine = std::clamp(-static_cast<double>(l.y) / length, -1.0, 1.0);
      return {Finite(su * Around(l) / twoPi), Finite(sv * std::acos(cosine) / std::numbers::pi)};
    }
  }
  return {};
}
