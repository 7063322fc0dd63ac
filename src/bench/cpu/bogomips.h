// The Bogomips workload: a calibrated count-down loop.
#pragma once

#include <cstdint>
#include <string>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

// Counts down from count to zero, one decrement-and-branch instruction pair
// per iteration and no memory access; does nothing for 0.
void DelayLoop(uint64_t count);

// The trials of the calibration: starting with a count of 2, each trial runs
// `loop` with the count between two ReadCentiseconds readings (with the data
// cache off and Forbid held around the single trial when the switches say
// so). The first trial of at least 100 ticks is measured; shorter trials
// double the count. Count and rate are 64-bit: a present-day processor runs
// 2^31 iterations in well under a second, so the count must be able to grow
// past it. On success sets rate to the loop rate, (count / ticks) x 100,
// doubled on a host without chip memory, and returns true; returns false
// only when the count overflows to 0 (a clock that never advances a second).
bool BogomipsLoopRate(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, void (*loop)(uint64_t),
                      uint64_t& rate);

// The whole test with a given loop (RunBogomips passes DelayLoop).
TestResult RunBogomipsWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, void (*loop)(uint64_t));

// The BogoMIPS text of a loop rate: "%lu.%02lu" of rate / 500000 and
// (rate / 5000) mod 100.
std::string BogomipsText(uint64_t loopRate);

}  // namespace kr
