// Scores, counts and section totals.
#pragma once

#include <cstdint>

#include "engine/context.h"

namespace kr {

// (100 / reference) * figure * (weight * 0.01), clamped to 0..100.
double ScorePercent(double figure, double reference, double weight);
// (100 / seconds) * (weight * 0.01) * factor, clamped (the time-based device tests).
double ScoreFromTime(double seconds, double weight, double factor);
double ClampPercent(double percent);

// Enabled-test counts (recomputed before every run).
int32_t CountProcessorTests(const Context& ctx);
int32_t CountMemoryTests(const Context& ctx);
int32_t CountDriveTests(const Context& ctx);
void CountAllTests(Context& ctx);

// Memory test p may run on this host with these options.
bool MemoryTestRunnable(const Context& ctx, int p);

// Section totals. Each sums the percents of all of its section's slots
// (slots of tests not run in this run add whatever they hold) and divides by
// the items run in this run; the total is (0.0, 0.0), DISABLED, when a
// required slot is not valid or nothing ran.
//   processor: the 10 processor slots, all required;
//   memory: the 24 memory slots; required CPU Cache Read, Read/Write FAST
//     byte/word/long, Copy FAST to FAST, Allocate FAST Memory, Memset FAST;
//   drive: Read from File, Write to File, the file-system group, Read from
//     Device, Write to Device, Seek on Device, SpinUP Device; required all but
//     Write to Device and SpinUP Device.
ScoreSlot ProcessorTotal(const ResultsRecord& r, int testsRun);
ScoreSlot MemoryTotal(const ResultsRecord& r, int testsRun);
ScoreSlot DriveTotal(const ResultsRecord& r, int itemsRun);
// The file-system group: the twelve group slots, all required, always
// divided by 12.
ScoreSlot FileSystemGroupTotal(const ResultsRecord& r);
// (processor + memory + drive) x the double nearest one third, valid 1.0.
ScoreSlot SystemTotal(const ResultsRecord& r);

}  // namespace kr
