// The factor of the behaviour's fixed waits and countdowns (KESTROVA_TIME_SCALE), so that the
// end-to-end tests and the demo walk the real flows quickly. Network time-outs are never
// scaled. The net layer reads the variable once (net/platform/scaled_clock.h); this is the rule.
#pragma once

namespace kestrova {

// The factor from the variable's text: a decimal number in (0, 1] ("0.05", "1", "1e-2");
// anything else (no text, empty, not a number, 0, negative, above 1) gives 1.
double ParseTimeScale(const char* text);

// ms * scale, rounded to the nearest millisecond. A positive wait stays at least 1 ms, so that
// a scaled pause is still a pause; 0 and negative waits give 0.
int ScaleWaitMs(int ms, double scale);

}  // namespace kestrova
