// The one clock of the behaviour's fixed waits and countdowns (the set-IP waits, the family-8
// check's delay, the restart countdown, the later steps' waits): every such wait is multiplied
// by KESTROVA_TIME_SCALE, a number in (0, 1] (default 1), in the app and in kestrova-cli alike.
// Network time-outs never go through here.
#pragma once

namespace kestrova {

// The factor, read from the environment on first use.
double TimeScale();
// Replaces the factor (tests); a value outside (0, 1] restores 1.
void SetTimeScale(double scale);
// A wait of the behaviour in real milliseconds (at least 1 for a positive wait).
int ScaledMs(int ms);
// Sleeps the calling thread for the scaled wait (worker threads and the command line).
void SleepScaled(int ms);

}  // namespace kestrova
