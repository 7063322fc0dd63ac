// The MD5 Checksuming processor test with its round count as a parameter
// (the catalogue's test hashes its 1 MiB buffer 50 times).
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

constexpr uint32_t kMd5BufferSize = 1048576;
constexpr uint32_t kMd5Rounds = 50;

// Runs the test with rounds digests of the zero-filled buffer. The figure is
// 8 MBits (of 2^20 bits) per round and second: 8.0 / (t / rounds).
TestResult RunMd5ChecksumingWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, uint32_t rounds);

}  // namespace kr
