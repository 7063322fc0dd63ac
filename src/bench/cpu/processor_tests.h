// The ten processor tests in catalogue order.
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

// A processor test: (cache switch, multitasking switch), returns 0.
using ProcessorTestFn = int (*)(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

// Index 1..10 in catalogue order; index 0 is unused. A null entry is a test
// that this build does not have.
extern const ProcessorTestFn kProcessorTestTable[11];

int RunBogomips(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunDhrystones(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunFibonacci(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunFpuEmulation(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunLibJpeg(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunMarsCipher(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunMd5Checksuming(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunMp3ToCdda(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunSerpentCipher(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);
int RunZLibFunctions(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

// The ZLib test, its card as a value (RunZLibFunctions runs it for the table).
TestResult MeasureZLibFunctions(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

}  // namespace kr
