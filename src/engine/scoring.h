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

// Writes the card's score line ("|   KelvaRANKS : %3lu.%0.2lu Percent" or
// "|   KelvaRANKS : DISABLED", padded to 76 columns) and stores the slot:
// (percent, 1.0) when scored, (0.0, 0.0) otherwise.
void WriteScore(Context& ctx, int slot, double percent, bool scored);

// Enabled-test counts (recomputed before every run).
int32_t CountProcessorTests(const Context& ctx);
int32_t CountMemoryTests(const Context& ctx);
int32_t CountDriveTests(const Context& ctx);
void CountAllTests(Context& ctx);

// Memory test p may run on this host with these options.
bool MemoryTestRunnable(const Context& ctx, int p);

}  // namespace kr
