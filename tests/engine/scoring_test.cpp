// Scores, section totals and enabled-test counts.
#include <gtest/gtest.h>

#include <bit>
#include <initializer_list>
#include <string>

#include "records/catalogue.h"
#include "engine/scoring.h"
#include "support/test_context.h"
#include "util/numtext.h"

namespace kr {
namespace {

TEST(ScorePercent, ClampsAndScalesByReferenceAndWeight) {
  struct Case {
    double figure, reference, weight, expected;
  } cases[] = {
      {2500.0, 5000.0, 80.0, 40.0},        // half the reference at weight 80
      {10000000.0, 10000000.0, 100.0, 100.0},
      {1200.0, 1000.0, 110.0, 100.0},      // above the reference with weight 110: exactly 100
      {5000.0, 5000.0, 120.0, 100.0},
      {0.0, 1000.0, 110.0, 0.0},
      {-5.0, 1000.0, 100.0, 0.0},          // never below 0
      {1.0, 100.0, 100.0, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.figure) + " of " + std::to_string(c.reference));
    EXPECT_DOUBLE_EQ(ScorePercent(c.figure, c.reference, c.weight), c.expected);
  }
  // The time-based form: SpinUP Device at 2 s scores 100 / 2 x 0.5 x 0.5.
  EXPECT_DOUBLE_EQ(ScoreFromTime(2.0, 50.0, 0.5), 12.5);
  EXPECT_DOUBLE_EQ(ScoreFromTime(0.001, 150.0, 1.0), 100.0);
}

void SetProcessorSlots(ResultsRecord& r, std::initializer_list<double> percents) {
  int i = 0;
  for (double p : percents) r.setScore(i++, {p, 1.0});
}

TEST(SectionTotal, ProcessorSumsAllTenAndDividesByTestsRun) {
  ResultsRecord r;
  SetProcessorSlots(r, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100});
  ScoreSlot t = ProcessorTotal(r, 10);
  EXPECT_EQ(t.valid, 1.0);
  EXPECT_EQ(FixedText(t.percent), "55.00");

  // A test switched off for this run but still valid from an earlier run
  // (no flushing) adds its old percent while the divisor counts only the nine
  // that ran.
  EXPECT_DOUBLE_EQ(ProcessorTotal(r, 9).percent, 550.0 / 9.0);
}

TEST(UncappedTotal, SumsTheUnclampedPercentagesWhereTheTotalCounts) {
  test::TestContext t;
  SetProcessorSlots(t.ctx.results, {100, 100, 100, 100, 100, 100, 100, 100, 100, 50});
  t.ctx.results.setScore(slot::kProcessorTotal, ProcessorTotal(t.ctx.results, 10));
  // Nine tests scored in this process above their reference; the tenth slot
  // came from a stored record and has only its clamped score.
  for (int s = 0; s < 9; ++s) t.ctx.uncapped[size_t(s)] = 1000.0 + s;
  EXPECT_DOUBLE_EQ(UncappedTotal(t.ctx, slot::kProcessorTotal, 10), (9036.0 + 50.0) / 10.0);
  EXPECT_DOUBLE_EQ(UncappedPercent(5000.0, 1000.0, 80.0), 400.0);
  EXPECT_DOUBLE_EQ(ScorePercent(5000.0, 1000.0, 80.0), 100.0);
  // No uncapped total where the clamped one does not count, nor for the drive.
  t.ctx.results.setScore(slot::kProcessorTotal, {0.0, 0.0});
  EXPECT_LT(UncappedTotal(t.ctx, slot::kProcessorTotal, 10), 0.0);
  EXPECT_LT(UncappedTotal(t.ctx, slot::kDriveTotal, 7), 0.0);
}

TEST(SectionTotal, DisabledWhenARequiredSlotIsInvalidOrNothingRan) {
  ResultsRecord r;
  SetProcessorSlots(r, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100});
  EXPECT_EQ(ProcessorTotal(r, 0).valid, 0.0);
  r.setScore(slot::kMp3, {73.5, 0.0});  // a percent without valid counts as not scored
  ScoreSlot t = ProcessorTotal(r, 10);
  EXPECT_EQ(t.percent, 0.0);
  EXPECT_EQ(t.valid, 0.0);
}

TEST(SectionTotal, MemoryNeedsOnlyTheTenFastSlots) {
  const int required[] = {mem::kCacheRead,      mem::kReadFastByte,  mem::kReadFastWord, mem::kReadFastLong,
                          mem::kWriteFastByte,  mem::kWriteFastWord, mem::kWriteFastLong, mem::kCopyFastFast,
                          mem::kAllocFast,      mem::kMemsetFast};
  ResultsRecord r;
  for (int p : required) r.setScore(slot::kMemoryFirst + p, {50.0, 1.0});
  // CHIP and ROM slots never ran on this host: still a valid total.
  ScoreSlot t = MemoryTotal(r, 10);
  EXPECT_EQ(t.valid, 1.0);
  EXPECT_DOUBLE_EQ(t.percent, 50.0);

  for (int p : required) {
    ResultsRecord broken = r;
    broken.setScore(slot::kMemoryFirst + p, {50.0, 0.0});
    EXPECT_EQ(MemoryTotal(broken, 10).valid, 0.0) << MemoryEntry(p).label;
  }
}

TEST(SectionTotal, DriveToleratesMissingWriteAndSpinUp) {
  ResultsRecord r;
  for (int s : {slot::kDriveFirst + 0, slot::kDriveFirst + 1, slot::kFileSystemGroup, slot::kDriveFirst + 14,
                slot::kDriveFirst + 16})
    r.setScore(s, {40.0, 1.0});
  ScoreSlot t = DriveTotal(r, 5);
  EXPECT_EQ(t.valid, 1.0);
  EXPECT_DOUBLE_EQ(t.percent, 40.0);

  r.setScore(slot::kDriveFirst + 16, {0.0, 0.0});  // Seek on Device is required
  EXPECT_EQ(DriveTotal(r, 5).valid, 0.0);
  EXPECT_EQ(DriveTotal(ResultsRecord{}, 0).valid, 0.0);
}

TEST(SectionTotal, FileSystemGroupDividesByTwelveAndNeedsAll) {
  ResultsRecord r;
  for (int d = 3; d <= 14; ++d) r.setScore(DriveEntry(d).slot, {double(d), 1.0});
  ScoreSlot g = FileSystemGroupTotal(r);
  EXPECT_EQ(g.valid, 1.0);
  EXPECT_DOUBLE_EQ(g.percent, (3 + 14) * 12 / 2 / 12.0);

  // Set Date invalid, the other eleven valid: the group is DISABLED.
  r.setScore(DriveEntry(10).slot, {10.0, 0.0});
  EXPECT_EQ(FileSystemGroupTotal(r).valid, 0.0);
  // The file tests and device tests are not part of the group.
  EXPECT_EQ(r.score(slot::kDriveFirst + 0).valid, 0.0);
}

TEST(SectionTotal, SystemTotalUsesTheDoubleNearestOneThird) {
  ResultsRecord r;
  r.setScore(slot::kProcessorTotal, {30.0, 1.0});
  r.setScore(slot::kMemoryTotal, {60.0, 1.0});
  r.setScore(slot::kDriveTotal, {0.3, 1.0});
  ScoreSlot t = SystemTotal(r);
  EXPECT_EQ(t.valid, 1.0);
  EXPECT_EQ(t.percent, (30.0 + 60.0 + 0.3) * std::bit_cast<double>(uint64_t(0x3FD5555555555555)));
}

TEST(Counts, FollowTheHostAndTheOptions) {
  test::TestContext t;
  Context& ctx = t.ctx;
  for (int p = 0; p < kMemoryTests; ++p) ctx.settings.setMemEnabled(p, 1);

  struct Case {
    int32_t noChip, chipRamTests, expected;
  } cases[] = {
      {1, 1, 10},  // no chip memory: no CHIP test (Copy CHIP to FAST included) and no ROM test
      {0, 1, 24},
      {0, 0, 13},  // CHIP tests off, chip memory present: the ROM tests still count
  };
  for (const Case& c : cases) {
    ctx.run.noChipMemory = c.noChip;
    ctx.run.chipRamTests = c.chipRamTests;
    EXPECT_EQ(CountMemoryTests(ctx), c.expected) << c.noChip << "/" << c.chipRamTests;
  }
  ctx.run.noChipMemory = 1;
  ctx.run.chipRamTests = 1;
  EXPECT_FALSE(MemoryTestRunnable(ctx, mem::kCopyChipFast));
  EXPECT_TRUE(MemoryTestRunnable(ctx, mem::kCopyFastFast));

  for (int i = 0; i <= 6; ++i) ctx.settings.setDriveEnabled(i, 0);
  ctx.settings.setDriveEnabled(0, 1);
  EXPECT_EQ(CountDriveTests(ctx), 12);
  ctx.settings.setDriveEnabled(5, 1);
  EXPECT_EQ(CountDriveTests(ctx), 13);

  for (int k = 1; k <= kProcessorTests; ++k) ctx.settings.setProcEnabled(k, k % 3 == 0);
  EXPECT_EQ(CountProcessorTests(ctx), 3);
}

TEST(BlockSize, StepsOutsideOneToSeventeenAreZero) {
  struct Case {
    int32_t step;
    uint32_t bytes;
  } cases[] = {{0, 0}, {1, 128}, {2, 256}, {17, 8388608}, {18, 0}, {-1, 0}};
  for (const Case& c : cases) EXPECT_EQ(BlockSizeOfStep(c.step), c.bytes) << c.step;
}

}  // namespace
}  // namespace kr
