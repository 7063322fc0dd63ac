// The 40th Fibonacci workload: a doubly recursive function.
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

// 1 for n <= 0, otherwise Fibonacci(n - 1) + Fibonacci(n - 2), wrapping in
// 32 bits. Really recursive: 2 x result - 1 calls for one top call, so 40
// gives 267914296 in 535828591 calls.
int32_t Fibonacci(int32_t n);

// The figure of a run of Fibonacci(40) that took `seconds`:
// 128616 / ((seconds x 1970) x 627/65536), about 6824.03 / seconds; 0 when
// nothing was measured.
double FiboFigure(double seconds);

// The whole test: one timed Fibonacci(40), its card as a value.
TestResult MeasureFibonacci(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

}  // namespace kr
