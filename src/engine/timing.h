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
  ctx.timingOpen = true;
  ctx.timer.GetSysTime(ctx.startStamp);
}

inline double StopTiming(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  ctx.timer.GetSysTime(ctx.endStamp);
  ctx.timingOpen = false;
  if ((multitaskingOn & 0xFFFF) == 0) ctx.exec.Permit();
  if (cacheOn == 0) ctx.exec.CacheControl(0x100, 0x100);
  return ElapsedSeconds(ctx.startStamp, ctx.endStamp);
}

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

}  // namespace kr
