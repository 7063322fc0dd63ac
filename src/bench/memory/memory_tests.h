// The 24 memory tests in catalogue order.
//
// Every test sweeps the block sizes from the low to the high size, doubling
// each time; for each block size it runs its kernel loop size / block size
// passes over one block, times that and records loop size / megabyte divided
// by the elapsed seconds (minus the empty-loop time for the read and write
// tests) as the block's MB/s. The test writes its card into the report, the
// figures, minimum, maximum and average into the results record, and scores
// the average. Buffers are allocated and freed per block size, outside the
// timed region.
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

// A memory test p (0..23): (the constant 1 048 576, loop size in bytes, low
// and high block size in bytes, cache switch, multitasking switch, low and
// high step). Returns its card as a value (an empty result for a p out of
// range).
//
// Settings that cannot be measured (a low size that is not a power of two of
// at least 128 bytes — step 0 or 18 gives 0 —, a low size above the high
// size, a high size above 8 MiB, a loop size or megabyte of 0) are not run: the card carries no block
// lines and the DISABLED score, the test's figures and score slot are
// zeroed, and an error-log entry ("MEMORY", the test's short name, the
// reason) says why.
TestResult RunMemoryTest(Context& ctx, int p, uint32_t mega, uint32_t loopSize, uint32_t lowSize,
                         uint32_t highSize, int32_t cacheOn, int32_t multitaskingOn, int32_t lowStep,
                         int32_t highStep);

// The number n of block-size figure slots of test p (0..23) in the results
// record: figure j at base + 8 (j - 1), then minimum, maximum and average.
// It never reaches into the next test's block: Copy CHIP 2 CHIP has 13
// (128 bytes to 512 KiB), the size its block has room for.
int MemoryFigureSlots(int p);

// The constants of memory test p (0..23) that decide whether its result
// counts: the standard high step and the standard loop size in MiB.
int32_t MemoryStandardHighStep(int p);
uint32_t MemoryStandardLoopMiB(int p);

// Whether a run of test p with these inputs is scored: cache on;
// multitasking off (low 16 bits) or "Enable Multitasking at all [JIT]" set;
// low step 1; high step the standard one; loop size the standard number of
// megabytes.
bool MemoryScored(const Context& ctx, int p, uint32_t mega, uint32_t loopSize, int32_t cacheOn,
                  int32_t multitaskingOn, int32_t lowStep, int32_t highStep);

}  // namespace kr
