// The FPU Emulation workload: the FLOPS benchmark in double precision, eight
// modules timed by its own clock of 1/50 second.
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"
#include "platform/dos.h"

namespace kr {

// The benchmark's clock: seconds since some fixed point.
class FlopsClock {
 public:
  virtual ~FlopsClock() = default;
  virtual double Now() = 0;
};

// (minutes since midnight x 3000 + ticks) x 0.02 seconds; the day is not
// used, so an interval across midnight comes out negative.
double DateStampSeconds(const DateStamp& ds);

// The clock of the test: the DOS date stamp.
class DateStampClock : public FlopsClock {
 public:
  explicit DateStampClock(Dos& dos) : dos_(dos) {}
  double Now() override { return DateStampSeconds(dos_.Now()); }

 private:
  Dos& dos_;
};

struct FlopsLimits {
  int32_t initialLoops = 15625;    // doubled before the first calibration pass
  double timeLimit = 15.0;         // TLimit, seconds of module 1
  int32_t loopLimit = 512000000;   // NLimit
};

// The benchmark's state, reset for every run. T[1..34] are the published
// program's results; error[k] is module k's difference from its exact result
// (the "Error" column of the published program).
struct FlopsState {
  double T[36] = {};
  double TimeArray[3] = {};
  double nulltime = 0.0;
  double error[9] = {};
  double moduleMflops[9] = {};  // [1..8]
  double mflops[5] = {};        // [1..4]: MFLOPS(1) .. MFLOPS(4)
  int32_t n = 0;                // the calibrated loop count
  int32_t m = 0;                // the loop count of modules 2..8; "Iteration"
  double x = 0.0, s = 0.0;      // module 1's step and sum, used after the null loop
  double scale = 1.0;
  double sa = 0.0;
  FlopsLimits limits;
};

// dtime: TimeArray[1] = now - TimeArray[2], TimeArray[2] = now.
void DTime(FlopsState& st, FlopsClock& clock);

// Resets the state for a run with these limits.
void FlopsInit(FlopsState& st, const FlopsLimits& limits = {});
// Runs module k (1..8) with its timed loops; module 1 calibrates and measures
// the null loop. Sets moduleMflops[k] and error[k].
void FlopsModule(FlopsState& st, FlopsClock& clock, int k);
// MFLOPS(1) .. MFLOPS(4) from the module times; returns their mean.
double FlopsSummary(FlopsState& st);

// The whole test with a given clock and limits (RunFpuEmulation uses the DOS
// date stamp and the published limits).
TestResult RunFpuEmulationWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, FlopsClock& clock,
                        const FlopsLimits& limits);

}  // namespace kr
