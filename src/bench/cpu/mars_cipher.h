// The Mars Cipher processor test with its loop counts as parameters (the
// catalogue's test uses 300000 key setups and 3000000 blocks each way).
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

constexpr uint32_t kMarsSetupRounds = 300000;
constexpr uint32_t kMarsCryptRounds = 3000000;

// Runs the test with setupRounds key setups and cryptRounds blocks per
// direction. The card shows the counts; each figure is the bits processed
// (128 per key or block) in millions per second.
TestResult RunMarsCipherWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, uint32_t setupRounds,
                      uint32_t cryptRounds);

}  // namespace kr
