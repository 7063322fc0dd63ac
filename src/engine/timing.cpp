#include "engine/timing.h"

namespace kr {

double ElapsedSeconds(const TimeVal& start, const TimeVal& end) {
  uint32_t micros = (end.secs - start.secs) * 1000000u - start.micro + end.micro;
  return double(micros) * 1e-6;
}

double ElapsedSecondsLong(const TimeVal& start, const TimeVal& end) {
  // The seconds differ modulo 2^32 (the counter may wrap between the stamps).
  const int64_t micros = int64_t(uint32_t(end.secs - start.secs)) * 1000000 + int64_t(end.micro) - int64_t(start.micro);
  return double(micros) * 1e-6;
}

uint32_t ReadCentiseconds(Context& ctx) {
  TimeVal tv;
  ctx.timer.GetSysTime(tv);
  return tv.secs * 100u + tv.micro / 10000u;
}

// The loop nest of a memory kernel without its accesses. The inner index is
// fenced by an empty asm statement each step, so the compiler can neither
// drop nor collapse the loop: every step is the kernels' loop control (add,
// compare, branch) and nothing else. The steps are counted once per pass from
// the final index (with a constant stride that is a shift), not per step, so
// the count adds no work to the inner loop.
namespace {
template <uint32_t Stride>
uint64_t StridedNest(uint32_t passes, uint32_t limit) {
  uint64_t steps = 0;
  for (uint32_t p = 0; p < passes; ++p) {
    uint32_t i = 0;
    for (; i < limit; i += Stride) asm volatile("" : "+r"(i));
    steps += i / Stride;
  }
  return steps;
}
}  // namespace

__attribute__((noinline)) uint64_t EmptyLoopNest(uint32_t passes, uint32_t limit, uint32_t stride) {
  switch (stride) {
    case 8: return StridedNest<8>(passes, limit);
    case 16: return StridedNest<16>(passes, limit);
    case 32: return StridedNest<32>(passes, limit);
    default: break;
  }
  if (stride == 0) return 0;
  uint64_t steps = 0;
  for (uint32_t p = 0; p < passes; ++p) {
    uint32_t i = 0;
    for (; i < limit; i += stride) {
      asm volatile("" : "+r"(i));
      ++steps;
    }
  }
  return steps;
}

namespace {
double Calibrate(Context& ctx, uint32_t passes, uint32_t limit, uint32_t stride, int32_t cacheOn, int32_t mt) {
  ctx.status.SetText(Section::Memory, StatusField::State, "Calibrating...");
  StartTiming(ctx, cacheOn, mt);
  uint64_t steps = EmptyLoopNest(passes, limit, stride);
  double t = StopTiming(ctx, cacheOn, mt);
  asm volatile("" : : "r"(steps));
  ctx.status.SetText(Section::Memory, StatusField::State, "Benchmarking...");
  return t;
}
}  // namespace

double CalibrateByteLoop(Context& ctx, uint32_t blockSize, uint32_t passes, int32_t cacheOn, int32_t mt) {
  return Calibrate(ctx, passes, blockSize, 8, cacheOn, mt);
}
double CalibrateWordLoop(Context& ctx, uint32_t blockSize, uint32_t passes, int32_t cacheOn, int32_t mt) {
  return Calibrate(ctx, passes, blockSize / 2, 16, cacheOn, mt);
}
double CalibrateLongLoop(Context& ctx, uint32_t blockSize, uint32_t passes, int32_t cacheOn, int32_t mt) {
  return Calibrate(ctx, passes, blockSize / 4, 32, cacheOn, mt);
}

bool StopRequested(const Context& ctx) { return ctx.Interrupted(); }

}  // namespace kr
