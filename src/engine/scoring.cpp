#include "engine/scoring.h"

#include <bit>


namespace kr {

double ClampPercent(double percent) {
  if (percent < 0.0) return 0.0;
  if (percent > 100.0) return 100.0;
  return percent;
}

double UncappedPercent(double figure, double reference, double weight) {
  return (100.0 / reference) * figure * (weight * 0.01);
}

double ScorePercent(double figure, double reference, double weight) {
  return ClampPercent(UncappedPercent(figure, reference, weight));
}

double ScoreFromTime(double seconds, double weight, double factor) {
  return ClampPercent((100.0 / seconds) * (weight * 0.01) * factor);
}

int32_t CountProcessorTests(const Context& ctx) { return CountProcessorTests(ctx, RunSettings(ctx)); }
int32_t CountProcessorTests(const Context&, const SettingsRecord& settings) {
  int32_t n = 0;
  for (int k = 1; k <= kProcessorTests; ++k) n += settings.procEnabled(k) != 0;
  return n;
}

bool MemoryTestRunnable(const Context& ctx, int p) {
  if (mem::IsChipTest(p)) return ctx.run.noChipMemory == 0 && ctx.run.chipRamTests == 1;
  if (mem::IsRomTest(p)) return ctx.run.noChipMemory == 0;
  return true;
}

int32_t CountMemoryTests(const Context& ctx) { return CountMemoryTests(ctx, RunSettings(ctx)); }
int32_t CountMemoryTests(const Context& ctx, const SettingsRecord& settings) {
  int32_t n = 0;
  for (int p = 0; p < kMemoryTests; ++p) n += settings.memEnabled(p) != 0 && MemoryTestRunnable(ctx, p);
  return n;
}

int32_t CountDriveTests(const Context& ctx) { return CountDriveTests(ctx, RunSettings(ctx)); }
int32_t CountDriveTests(const Context&, const SettingsRecord& settings) {
  int32_t n = settings.driveEnabled(drive_switch::kFileSystem) ? 12 : 0;
  for (int i = 1; i <= 6; ++i) n += settings.driveEnabled(i) != 0;
  return n;
}

void CountAllTests(Context& ctx) {
  ctx.countProcessor = CountProcessorTests(ctx);
  ctx.countMemory = CountMemoryTests(ctx);
  ctx.countDrive = CountDriveTests(ctx);
}

namespace {
struct TotalItem {
  int slot;
  bool required;
};

ScoreSlot Total(const ResultsRecord& r, const TotalItem* items, int count, int divisor) {
  if (divisor <= 0) return {0.0, 0.0};
  double sum = 0.0;
  for (int i = 0; i < count; ++i) {
    ScoreSlot s = r.score(items[i].slot);
    if (items[i].required && !s.counts()) return {0.0, 0.0};
    sum += s.percent;
  }
  return {sum / double(divisor), 1.0};
}

constexpr int kDriveGroupSlots[12] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};  // module order, after the file tests
}  // namespace

ScoreSlot ProcessorTotal(const ResultsRecord& r, int testsRun) {
  TotalItem items[kProcessorTests];
  for (int i = 0; i < kProcessorTests; ++i) items[i] = {i, true};
  return Total(r, items, kProcessorTests, testsRun);
}

ScoreSlot MemoryTotal(const ResultsRecord& r, int testsRun) {
  TotalItem items[kMemoryTests];
  for (int p = 0; p < kMemoryTests; ++p) {
    bool required = p == mem::kCacheRead || (p >= mem::kReadFastByte && p <= mem::kWriteFastLong) ||
                    p == mem::kCopyFastFast || p == mem::kAllocFast || p == mem::kMemsetFast;
    items[p] = {slot::kMemoryFirst + p, required};
  }
  return Total(r, items, kMemoryTests, testsRun);
}

ScoreSlot DriveTotal(const ResultsRecord& r, int itemsRun) {
  const TotalItem items[7] = {
      {slot::kDriveFirst + 0, true},   // Read from File
      {slot::kDriveFirst + 1, true},   // Write to File
      {slot::kFileSystemGroup, true},  // the file-system group
      {slot::kDriveFirst + 14, true},  // Read from Device
      {slot::kDriveFirst + 15, false}, // Write to Device
      {slot::kDriveFirst + 16, true},  // Seek on Device
      {slot::kDriveFirst + 17, false}, // SpinUP Device
  };
  return Total(r, items, 7, itemsRun);
}

ScoreSlot FileSystemGroupTotal(const ResultsRecord& r) {
  TotalItem items[12];
  for (int i = 0; i < 12; ++i) items[i] = {slot::kDriveFirst + kDriveGroupSlots[i], true};
  return Total(r, items, 12, 12);
}

double UncappedTotal(const Context& ctx, int totalSlot, int testsRun) {
  static_assert(slot::kCount <= std::tuple_size_v<decltype(ctx.uncapped)>);
  const ResultsRecord& r = ctx.results;
  int first = 0, count = 0;
  if (totalSlot == slot::kProcessorTotal) {
    first = 0;
    count = kProcessorTests;
  } else if (totalSlot == slot::kMemoryTotal) {
    first = slot::kMemoryFirst;
    count = kMemoryTests;
  } else {
    return -1.0;
  }
  if (!r.score(totalSlot).counts() || testsRun <= 0) return -1.0;
  double sum = 0.0;
  for (int s = first; s < first + count; ++s) {
    const ScoreSlot stored = r.score(s);
    // A slot scored in this process holds its uncapped figure; one carried
    // over from a stored record has only its clamped score.
    const double u = ctx.uncapped[size_t(s)];
    sum += stored.counts() && u >= stored.percent ? u : stored.percent;
  }
  return sum / double(testsRun);
}

ScoreSlot SystemTotal(const ResultsRecord& r) {
  constexpr double kThird = std::bit_cast<double>(uint64_t(0x3FD5555555555555));
  double sum = r.score(slot::kProcessorTotal).percent + r.score(slot::kMemoryTotal).percent +
               r.score(slot::kDriveTotal).percent;
  return {sum * kThird, 1.0};
}

}  // namespace kr
