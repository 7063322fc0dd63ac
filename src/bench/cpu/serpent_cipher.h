// The Serpent Cipher processor test with its round count and key as
// parameters (the catalogue's test runs 3000000 blocks each way with a fixed
// 256-bit key, made for encryption).
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

constexpr uint32_t kSerpentRounds = 3000000;

struct SerpentRun {
  uint32_t rounds = kSerpentRounds;
  uint8_t direction = 0;  // given to makeKey
  int keyLen = 256;
  const char* keyText = nullptr;  // null: the test's own key
};

// Runs the test. A failing interface call (cipherInit, makeKey, or a block
// call inside the loops) makes the result not scored; the loops still run.
TestResult RunSerpentCipherWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, const SerpentRun& run);

}  // namespace kr
