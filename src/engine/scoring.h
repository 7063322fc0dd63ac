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

// The same percentage of the reference without the clamp: the figure that
// still tells machines apart once the score stands at 100. Never stored in
// the results record or a module.
double UncappedPercent(double figure, double reference, double weight);
// A section's uncapped total: the total's formula over the uncapped
// percentages the slots' tests left in ctx.uncapped (a slot not scored in
// this process adds its stored score), divided by the tests that ran. Only
// where the section total itself counts; otherwise negative.
//   totalSlot: slot::kProcessorTotal or slot::kMemoryTotal.
double UncappedTotal(const Context& ctx, int totalSlot, int testsRun);

// Enabled-test counts (recomputed before every run), of the settings the
// work going on reads (RunSettings) or of the given ones (a run's plan
// before it starts).
int32_t CountProcessorTests(const Context& ctx);
int32_t CountMemoryTests(const Context& ctx);
int32_t CountDriveTests(const Context& ctx);
int32_t CountProcessorTests(const Context& ctx, const SettingsRecord& settings);
int32_t CountMemoryTests(const Context& ctx, const SettingsRecord& settings);
int32_t CountDriveTests(const Context& ctx, const SettingsRecord& settings);
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
