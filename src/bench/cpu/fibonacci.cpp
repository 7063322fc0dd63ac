#include "bench/cpu/fibonacci.h"

#include "bench/card.h"
#include "bench/cpu/processor_tests.h"
#include "records/catalogue.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "util/noipa.h"

#include <utility>

namespace kr {
namespace {
constexpr CardLayout kCard = {"40th Fibonacci number", "%4lu.%0.1lu FiboMHZ [1 FiboGHZ]",
                            &ProcessorEntry(cpu::kFibonacci), 14, nullptr, 0, "Method", "FiboMHZ"};
}  // namespace

// noipa: no inlining, cloning or interprocedural shortcuts. The empty asm
// after the second call takes it out of tail position, so the compiler
// cannot turn that recursion into a loop with an accumulator: every call in
// the tree stays a real call. The sum wraps in unsigned arithmetic as the
// 32-bit original does, without signed overflow.
KR_NOIPA int32_t Fibonacci(int32_t n) {
  if (n <= 0) return 1;
  uint32_t a = uint32_t(Fibonacci(n - 1));
  uint32_t b = uint32_t(Fibonacci(n - 2));
  asm volatile("" : "+r"(b));
  return int32_t(a + b);
}

double FiboFigure(double seconds) {
  if (!(seconds > 0.0)) return 0.0;
  return 128616.0 / ((seconds * 1970.0) * 0.0095672607421875);
}

TestResult MeasureFibonacci(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn);
  BeginProcessorPhase(ctx, "\x1b" "b40th Fibonacci number\x1b" "n", "Internal", cacheOn, multitaskingOn,
                      "Calculating...");

  int32_t result = 0;
  const double t = TimeWorkload(ctx, "CPU", "Fibonacci", cacheOn, multitaskingOn, [&] { result = Fibonacci(40); });
  asm volatile("" : : "r"(result));

  // Stored and shown as measured; the card prints and scores its truncated form.
  TestFigure figure;
  figure.method = "FiboMHZ";
  figure.unit = "FiboHZ";
  figure.slot = rec::kFibonacci;
  figure.value = FiboFigure(t);
  figure.lineValue = TruncateToHundredths(figure.value);
  const double scoredFrom = *figure.lineValue;
  RecordFigure(ctx, r, std::move(figure));
  CloseCard(ctx, r, scoredFrom);
  return r;
}

TestResult RunFibonacci(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  return MeasureFibonacci(ctx, cacheOn, multitaskingOn);
}

}  // namespace kr
