#include "engine/scoring.h"

#include "report/report.h"

namespace kr {

double ClampPercent(double percent) {
  if (percent < 0.0) return 0.0;
  if (percent > 100.0) return 100.0;
  return percent;
}

double ScorePercent(double figure, double reference, double weight) {
  return ClampPercent((100.0 / reference) * figure * (weight * 0.01));
}

double ScoreFromTime(double seconds, double weight, double factor) {
  return ClampPercent((100.0 / seconds) * (weight * 0.01) * factor);
}

void WriteScore(Context& ctx, int slot, double percent, bool scored) {
  if (scored) {
    ReportFixed2(ctx, "|   KelvaRANKS : %3lu.%0.2lu Percent                                            |\n", percent);
    ctx.results.setScore(slot, {percent, 1.0});
  } else {
    ReportLine(ctx, "|   KelvaRANKS : DISABLED                                                  |\n");
    ctx.results.setScore(slot, {0.0, 0.0});
  }
}

int32_t CountProcessorTests(const Context& ctx) {
  int32_t n = 0;
  for (int k = 1; k <= kProcessorTests; ++k) n += ctx.settings.procEnabled(k) != 0;
  return n;
}

bool MemoryTestRunnable(const Context& ctx, int p) {
  if (mem::IsChipTest(p)) return ctx.run.noChipMemory == 0 && ctx.run.chipRamTests == 1;
  if (mem::IsRomTest(p)) return ctx.run.noChipMemory == 0;
  return true;
}

int32_t CountMemoryTests(const Context& ctx) {
  int32_t n = 0;
  for (int p = 0; p < kMemoryTests; ++p) n += ctx.settings.memEnabled(p) != 0 && MemoryTestRunnable(ctx, p);
  return n;
}

int32_t CountDriveTests(const Context& ctx) {
  int32_t n = ctx.settings.driveEnabled(0) ? 12 : 0;
  for (int i = 1; i <= 6; ++i) n += ctx.settings.driveEnabled(i) != 0;
  return n;
}

void CountAllTests(Context& ctx) {
  ctx.countProcessor = CountProcessorTests(ctx);
  ctx.countMemory = CountMemoryTests(ctx);
  ctx.countDrive = CountDriveTests(ctx);
}

}  // namespace kr
