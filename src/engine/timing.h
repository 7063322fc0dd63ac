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
}

inline double StopTiming(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  ctx.timer.GetSysTime(ctx.endStamp);
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
