#include "net/platform/scaled_clock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/app/time_scale.h"

namespace kestrova {
namespace {

std::atomic<double>& Scale() {
  static std::atomic<double> scale{ParseTimeScale(std::getenv("KESTROVA_TIME_SCALE"))};
  return scale;
}

}  // namespace

double TimeScale() { return Scale().load(); }

void SetTimeScale(double scale) { Scale().store(scale > 0.0 && scale <= 1.0 ? scale : 1.0); }

int ScaledMs(int ms) { return ScaleWaitMs(ms, TimeScale()); }

void SleepScaled(int ms) {
  const int real = ScaledMs(ms);
  if (real > 0) std::this_thread::sleep_for(std::chrono::milliseconds(real));
}

}  // namespace kestrova
