// The catalogue rows: what other tables used to repeat must stay consistent.
#include <gtest/gtest.h>

#include <set>

#include "records/catalogue.h"
#include "settings/settings_form.h"
#include "records/settings_record.h"

namespace kr {
namespace {

TEST(Catalogue, EveryTestOwnsItsSlotAndItsDriveSettings) {
  std::set<int> slots, caches, sweeps;
  int group = 0;
  for (const CatalogueEntry& e : kCatalogue) {
    SCOPED_TRACE(e.label);
    EXPECT_TRUE(slots.insert(e.slot).second);
    switch (e.section) {
      case Section::Processor: EXPECT_LT(e.slot, slot::kProcessorTotal); break;
      case Section::Memory: EXPECT_EQ(e.slot, slot::kMemoryFirst + e.position); break;
      case Section::Drive:
        EXPECT_GE(e.slot, slot::kDriveFirst);
        EXPECT_LT(e.slot, slot::kDriveTotal);
        EXPECT_TRUE(caches.insert(e.driveCache).second);
        if (e.driveSweep >= 0) {
          EXPECT_TRUE(sweeps.insert(e.driveSweep).second);
        }
        group += e.driveSwitch == 0;
        break;
    }
  }
  EXPECT_EQ(slots.size(), size_t(kCatalogueSize));
  EXPECT_EQ(caches, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
  EXPECT_EQ(sweeps, (std::set<int>{0, 1, 2, 3}));
  EXPECT_EQ(group, 12);
  // Memory tests 7-12, 14-16, 18 and 20 need chip memory, 21-23 the ROM.
  std::set<int> chip, rom;
  for (int p = 0; p < kMemoryTests; ++p) {
    if (mem::IsChipTest(p)) chip.insert(p);
    if (mem::IsRomTest(p)) rom.insert(p);
  }
  EXPECT_EQ(chip, (std::set<int>{7, 8, 9, 10, 11, 12, 14, 15, 16, 18, 20}));
  EXPECT_EQ(rom, (std::set<int>{21, 22, 23}));
}

// The record's defaults and the pages' defaults come from the same rows.
TEST(Catalogue, RecordDefaultsEqualThePagesDefaults) {
  SettingsRecord record;
  SetBuiltinDefaults(record);
  SettingsForm fromRecord, reset;
  FormFromSettings(record, fromRecord);
  ResetForm(reset, ResetScope::Everything, false);
  EXPECT_EQ(reset.procEnabled, fromRecord.procEnabled);
  EXPECT_EQ(reset.procCache, fromRecord.procCache);
  EXPECT_EQ(reset.procMultitasking, fromRecord.procMultitasking);
  EXPECT_EQ(reset.memEnabled, fromRecord.memEnabled);
  EXPECT_EQ(reset.memCache, fromRecord.memCache);
  EXPECT_EQ(reset.memLoopSize, fromRecord.memLoopSize);
  EXPECT_EQ(reset.memSweepStart, fromRecord.memSweepStart);
  EXPECT_EQ(reset.memSweepStop, fromRecord.memSweepStop);
  EXPECT_EQ(reset.driveEnabled, fromRecord.driveEnabled);
  EXPECT_EQ(reset.driveCache, fromRecord.driveCache);
  EXPECT_EQ(reset.driveCount, fromRecord.driveCount);
  EXPECT_EQ(reset.driveSweepStart, fromRecord.driveSweepStart);
  EXPECT_EQ(reset.driveSweepStop, fromRecord.driveSweepStop);
  // Every default lies inside its slider's range.
  for (int p = 0; p < kMemoryTests; ++p) {
    const CatalogueEntry& e = MemoryEntry(p);
    EXPECT_GE(e.defaults.loopSize, e.loopRange.min) << e.label;
    EXPECT_LE(e.defaults.loopSize, e.loopRange.max) << e.label;
    EXPECT_GE(e.defaults.sweepStart, e.sweepRange.min) << e.label;
    EXPECT_LE(e.defaults.sweepStop, e.sweepRange.max) << e.label;
  }
}

}  // namespace
}  // namespace kr
