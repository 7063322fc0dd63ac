// The 24 memory tests in catalogue order.
#pragma once

#include <cstdint>

#include "engine/context.h"

namespace kr {

// A memory test p (0..23): (the constant 1 048 576, loop size in bytes, low
// and high block size in bytes, cache switch, multitasking switch, low and
// high step). Returns 0.
int RunMemoryTest(Context& ctx, int p, uint32_t mega, uint32_t loopSize, uint32_t lowSize, uint32_t highSize,
                  int32_t cacheOn, int32_t multitaskingOn, int32_t lowStep, int32_t highStep);

// False until the memory section is built.
bool MemoryTestsBuilt();

}  // namespace kr
