#include "engine/timing.h"

#include <cstdio>

#include "engine/errorlog.h"

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

namespace {
uint64_t Micros(const TimeVal& tv) { return uint64_t(tv.secs) * 1000000u + tv.micro; }
uint64_t SpanMicros(const TimeVal& start, const TimeVal& end) {
  const int64_t d = int64_t(uint32_t(end.secs - start.secs)) * 1000000 + int64_t(end.micro) - int64_t(start.micro);
  return d > 0 ? uint64_t(d) : 0;
}
}  // namespace

bool CleanSpan::Attempt() {
  if (attempts_ > 0 && clean_) return false;
  if (attempts_ >= kSpanAttempts) {
    char reason[128];
    std::snprintf(reason, sizeof reason, "No clean timing in %d tries: stalled %llu us", attempts_,
                  static_cast<unsigned long long>(bestStallUs_));
    LogError(ctx_, location_, function_, reason);
    return false;
  }
  WaitForBudget();
  ++attempts_;
  return true;
}

void CleanSpan::Took(double seconds) {
  const uint64_t wall = SpanMicros(ctx_.startStamp, ctx_.endStamp);
  const uint64_t cpu = SpanMicros(ctx_.startCpu, ctx_.endCpu);
  lastCpuUs_ = cpu;
  stallUs_ = wall > cpu ? wall - cpu : 0;
  clean_ = stallUs_ <= kStallMarginUs + wall * kStallMarginPercent / 100;
  if (clean_ || stallUs_ < bestStallUs_) {
    bestStallUs_ = stallUs_;
    seconds_ = seconds;
  }
  if (realTime_ && ctx_.exec.SpanBudget().runtimeUs > 0) ctx_.spanLedger.Add(Micros(ctx_.endStamp), cpu == 0 ? 1 : cpu);
}

// The host's throttle counts the real-time run time since its last period
// boundary, which lies within the last period: so long as the spans that
// ended within the last period plus this one stay under the budget (with a
// tenth to spare), the span cannot be stopped by it. The expected length is
// the previous attempt's, or else the last real-time span's.
void CleanSpan::WaitForBudget() {
  if (!realTime_) return;
  const Exec::RealTimeBudget budget = ctx_.exec.SpanBudget();
  if (budget.runtimeUs <= 0) return;
  const SpanLedger& ledger = ctx_.spanLedger;
  if (ledger.next == 0) return;
  uint64_t expected = lastCpuUs_;
  if (expected == 0 && ledger.next > 0) expected = ledger.entries[(ledger.next - 1) % ledger.entries.size()].cpuUs;
  const uint64_t limit = uint64_t(budget.runtimeUs) * 9 / 10;
  const uint64_t period = uint64_t(budget.periodUs);
  TimeVal now;
  ctx_.timer.GetSysTime(now);
  const uint64_t deadline = Micros(now) + period;
  for (;;) {
    const uint64_t t = Micros(now);
    const uint64_t used = ledger.UsedSince(t > period ? t - period : 0);
    if (used == 0 || used + expected <= limit || t >= deadline) return;
    if (!WaitTicks(ctx_, 1)) return;
    ctx_.timer.GetSysTime(now);
  }
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
  CleanSpan span(ctx, "MEMORY", "Calibrating", mt);
  while (span.Attempt()) {
    StartTiming(ctx, cacheOn, mt);
    uint64_t steps = EmptyLoopNest(passes, limit, stride);
    span.Took(StopTiming(ctx, cacheOn, mt));
    asm volatile("" : : "r"(steps));
  }
  const double t = span.Seconds();
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
