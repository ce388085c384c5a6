#include "core/app/time_scale.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kestrova {

double ParseTimeScale(const char* text) {
  if (!text) return 1.0;
  const char* end = text + std::strlen(text);
  double v = 0;
  // from_chars: the decimal point is '.', whatever the process locale says.
  auto [p, ec] = std::from_chars(text, end, v);
  if (ec != std::errc() || p != end || p == text) return 1.0;
  if (!(v > 0.0) || v > 1.0) return 1.0;  // also NaN
  return v;
}

int ScaleWaitMs(int ms, double scale) {
  if (ms <= 0) return 0;
  if (!(scale > 0.0) || scale > 1.0) scale = 1.0;
  const long long v = std::llround(static_cast<double>(ms) * scale);
  return v < 1 ? 1 : static_cast<int>(v);
}

}  // namespace kestrova
