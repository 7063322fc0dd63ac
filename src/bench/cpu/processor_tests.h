// The ten processor tests in catalogue order.
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

// A processor test: (cache switch, multitasking switch), returns its card
// as a value.
using ProcessorTestFn = TestResult (*)(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

// Index 1..10 in catalogue order; index 0 is unused. A null entry is a test
// that this build does not have.
extern const ProcessorTestFn kProcessorTestTable[11];

TestResult RunBogomips(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunDhrystones(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunFibonacci(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunFpuEmulation(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunLibJpeg(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunMarsCipher(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunMd5Checksuming(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunMp3ToCdda(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunSerpentCipher(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
TestResult RunZLibFunctions(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

// The ZLib test, its card as a value (RunZLibFunctions runs it for the table).
TestResult MeasureZLibFunctions(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

}  // namespace kr
