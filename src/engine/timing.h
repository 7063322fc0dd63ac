// Timed regions and the loop-overhead calibrations.
#pragma once

#include <cstdint>

#include "engine/context.h"

namespace kr {

// Elapsed seconds from start to end: 32-bit unsigned microsecond arithmetic
// (wraps modulo 2^32), times 1e-6.
double ElapsedSeconds(const TimeVal& start, const TimeVal& end);

// Fixed call order: cache off, Forbid, stamp ... stamp, Permit, cache on.
// Inline so that the timed region adds nothing but the two stamps and the
// switch calls.
inline void StartTiming(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  if (cacheOn == 0) ctx.exec.CacheControl(0, 0x100);
  if ((multitaskingOn & 0xFFFF) == 0) ctx.exec.Forbid();
  ctx.timingOpen.store(true, std::memory_order_relaxed);
  ctx.timer.GetSysTime(ctx.startStamp);
  ctx.timer.GetThreadCpuTime(ctx.startCpu);
}

// The thread CPU time is read right after each wall stamp: the CPU span has
// the wall span's length, shifted by one read.
inline double StopTiming(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  ctx.timer.GetSysTime(ctx.endStamp);
  ctx.timer.GetThreadCpuTime(ctx.endCpu);
  ctx.timingOpen.store(false, std::memory_order_relaxed);
  if ((multitaskingOn & 0xFFFF) == 0) ctx.exec.Permit();
  if (cacheOn == 0) ctx.exec.CacheControl(0x100, 0x100);
  return ElapsedSeconds(ctx.startStamp, ctx.endStamp);
}

// Elapsed seconds in 64-bit microseconds: a span beyond 2^32 us (71.6
// minutes) does not wrap. The drive tests time with it (a slow device, a
// large transfer at a small block size).
double ElapsedSecondsLong(const TimeVal& start, const TimeVal& end);
inline double StopTimingLong(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  (void)StopTiming(ctx, cacheOn, multitaskingOn);
  return ElapsedSecondsLong(ctx.startStamp, ctx.endStamp);
}

// A timed span that is measured again when it stalled: when its wall time
// exceeds the thread's CPU time over the same span by more than
// kStallMarginUs plus kStallMarginPercent of the wall time, the thread did not
// run for part of it (preempted, or stopped by the host's real-time budget)
// and the time is not the workload's. Such a span is thrown away and run
// again, kSpanAttempts times in all; when none was clean the least stalled
// one counts and the error log says so. Before a real-time span (multitasking
// off) it waits, at most one budget period, until the budget the recent
// spans left covers the span's expected length.
//
//   CleanSpan span(ctx, "PROCESSOR", "ZLib deflate", multitaskingOn);
//   while (span.Attempt()) {
//     ...set up the workload...
//     StartTiming(ctx, cacheOn, multitaskingOn);
//     ...the workload...
//     span.Took(StopTiming(ctx, cacheOn, multitaskingOn));
//   }
//   const double t = span.Seconds();
//
// The set-up inside the loop must leave the workload exactly as the first
// attempt had it, so that every attempt does the same work.
constexpr int kSpanAttempts = 4;
constexpr uint64_t kStallMarginUs = 100;
constexpr uint64_t kStallMarginPercent = 1;

class CleanSpan {
 public:
  CleanSpan(Context& ctx, const char* location, const char* function, int32_t multitaskingOn)
      : ctx_(ctx), location_(location), function_(function), realTime_((multitaskingOn & 0xFFFF) == 0) {}
  // True while another attempt is to be timed.
  bool Attempt();
  // The time StopTiming gave for this attempt.
  void Took(double seconds);
  // The clean attempt's time, or the least stalled one's.
  double Seconds() const { return seconds_; }
  // Attempts timed; the last attempt's stall in microseconds.
  int Attempts() const { return attempts_; }
  uint64_t StallUs() const { return stallUs_; }

 private:
  void WaitForBudget();
  Context& ctx_;
  const char* location_;
  const char* function_;
  bool realTime_;
  int attempts_ = 0;
  bool clean_ = false;
  double seconds_ = 0.0;
  uint64_t stallUs_ = 0;
  uint64_t bestStallUs_ = UINT64_MAX;
  uint64_t lastCpuUs_ = 0;
};

// dos.library Delay of `ticks` fiftieths of a second on the context's clock;
// a stop request ends it early (false).
inline bool WaitTicks(Context& ctx, uint32_t ticks) { return ctx.timer.Delay(ticks, ctx.interrupt); }

// seconds * 100 + microseconds / 10000, modulo 2^32.
uint32_t ReadCentiseconds(Context& ctx);

// Empty loop nests of the memory kernels' shapes, timed with the two flags;
// they set the memory window's "State:" to "Calibrating..." and back to
// "Benchmarking...".
double CalibrateByteLoop(Context& ctx, uint32_t blockSize, uint32_t passes, int32_t cacheOn, int32_t multitaskingOn);
double CalibrateWordLoop(Context& ctx, uint32_t blockSize, uint32_t passes, int32_t cacheOn, int32_t multitaskingOn);
double CalibrateLongLoop(Context& ctx, uint32_t blockSize, uint32_t passes, int32_t cacheOn, int32_t multitaskingOn);

// The calibration loop nests themselves; each returns the number of inner
// steps it ran (the count proves the loop ran).
uint64_t EmptyLoopNest(uint32_t passes, uint32_t limit, uint32_t stride);

// True when the user asked the run to stop. Tests with long inner loops (the
// memory sweeps) check it between steps and end early; the sections check it
// between tests.
bool StopRequested(const Context& ctx);

}  // namespace kr
