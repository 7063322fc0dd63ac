#include "bench/cpu/bogomips.h"

#include <charconv>

#include "bench/card.h"
#include "bench/cpu/processor_tests.h"
#include "records/catalogue.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "util/numtext.h"

namespace kr {
namespace {
constexpr CardLayout kCard = {"BogoMIPS ppc-assembler inline", "%4lu.%0.1lu BogoMIPS", &ProcessorEntry(cpu::kBogomips),
                            14, nullptr, 0, "Result", "Result"};
}  // namespace

// The loop is written out in assembly so that the compiler can neither drop
// it nor change its shape: the count register is decremented and the branch
// taken until it reaches zero.
__attribute__((noinline)) void DelayLoop(uint64_t count) {
  if (count == 0) return;
#if defined(__x86_64__)
  asm volatile(
      "1:\n\t"
      "decq %0\n\t"
      "jnz 1b"
      : "+r"(count)
      :
      : "cc");
#elif defined(__aarch64__)
  asm volatile(
      "1:\n\t"
      "subs %x0, %x0, #1\n\t"
      "b.ne 1b"
      : "+r"(count)
      :
      : "cc");
#else
  // Portable form: the empty asm makes the counter opaque at every step.
  while (count != 0) {
    --count;
    asm volatile("" : "+r"(count));
  }
#endif
}

bool BogomipsLoopRate(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, void (*loop)(uint64_t),
                      uint64_t& rate) {
  const bool forbid = (multitaskingOn & 0xFFFF) == 0;
  uint64_t count = 2;
  for (;;) {
    if (cacheOn == 0) ctx.exec.CacheControl(0, CACRF_EnableD);
    if (forbid) ctx.exec.Forbid();
    uint32_t c0 = ReadCentiseconds(ctx);
    loop(count);
    uint32_t c1 = ReadCentiseconds(ctx);
    if (cacheOn == 0) ctx.exec.CacheControl(CACRF_EnableD, CACRF_EnableD);
    if (forbid) ctx.exec.Permit();
    uint32_t ticks = c1 - c0;
    if (ticks >= 100) {
      rate = (count / ticks) * 100u;
      if (ctx.run.noChipMemory != 0) rate *= 2u;
      return true;
    }
    count <<= 1;
    if (count == 0) return false;
  }
}

std::string BogomipsText(uint64_t loopRate) {
  return Format("%llu.%02llu", (unsigned long long)(loopRate / 500000u),
                (unsigned long long)((loopRate / 5000u) % 100u));
}

TestResult RunBogomips(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  return RunBogomipsWith(ctx, cacheOn, multitaskingOn, DelayLoop);
}

TestResult RunBogomipsWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, void (*loop)(uint64_t)) {
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn);
  BeginProcessorPhase(ctx, "\x1b" "bBogoMips\x1b" "n", "BogoMips ppc-assembler inline", cacheOn, multitaskingOn,
                      "Calculating...");

  uint64_t rate = 0;
  if (!BogomipsLoopRate(ctx, cacheOn, multitaskingOn, loop, rate)) {
    // No trial lasted a second: the card ends after its head, the record
    // and the kept loop rate stay as they were.
    CloseCardWithoutScore(ctx, r);
    return r;
  }
  ctx.bogomipsLoopRate = rate;
  std::string text = BogomipsText(rate);
  double b = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), b);

  RecordProcessorFigure(ctx, r, rec::kBogomips, b, "BogoMIPS", "BogoMIPS");
  CloseCard(ctx, r, b);
  return r;
}

}  // namespace kr
