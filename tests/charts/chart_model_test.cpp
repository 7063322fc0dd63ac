#include "charts/chart_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kr::test {
namespace {

using namespace master;

struct ChoiceCase {
  int32_t master, slave;
  int points;
  bool avg;
  const char *first, *last, *unit;
};

// The choice table: how many points, their first and last label, the unit.
TEST(ChartChoice, PointsLabelsAndUnits) {
  const ChoiceCase cases[] = {
      {kKelvaRanks, 1, 3, true, "Processor", "Hard Drive", "Percent/KelvaRANKS"},
      {kKelvaRanks, 3, 24, true, "CR", "RRl", "Percent/KelvaRANKS"},
      {kKelvaRanks, 4, 18, true, "Read", "SpinUP", "Percent/KelvaRANKS"},
      {kProcessor, 1, 1, false, "BogoMIPS", "BogoMIPS", "BogoMIPS"},
      {kProcessor, 4, 12, true, "M1", "MFlops4", "MFlops"},
      {kProcessor, 6, 3, true, "Setup", "Decrypting", "MBits/sec"},
      {kProcessor, 8, 1, false, "MP3 2 CDDA", "MP3 2 CDDA", "Frames/sec"},
      {kProcessor, 9, 2, true, "Encrypting", "Decrypting", "MBits/sec"},
      {kProcessor, 10, 18, true, "dDD", "iCH", "MB/sec"},
      {kMemory, 1, 17, true, "128B", "8M", "MB/sec"},
      {kMemory, 8, 14, true, "128B", "1M", "MB/sec"},     // Read CHIP byte
      {kMemory, 17, 13, true, "128B", "512K", "MB/sec"},  // Copy CHIP to CHIP
      {kMemory, 24, 13, true, "128B", "512K", "MB/sec"},  // Read ROM long
      {kHardDisk, 2, 17, true, "128B", "8M", "MB/sec"},
      {kHardDisk, 5, 1, false, "Close from READ opened", "Close from READ opened", "OP/sec"},
      {kHardDisk, 9, 1, false, "Set File-Size", "Set File-Size", "OP/sec"},
      {kHardDisk, 14, 1, false, "Directory Scan", "Directory Scan", "OP/sec"},
      {kHardDisk, 16, 15, true, "512B", "8M", "MB/sec"},
      {kHardDisk, 17, 7, true, "RND B", "F<->L", "msecs"},
      {kHardDisk, 18, 1, false, "SpinUP", "SpinUP", "secs"},
  };
  for (const ChoiceCase& k : cases) {
    SCOPED_TRACE(testing::Message() << k.master << "/" << k.slave);
    const ChartChoice c = DescribeChoice(k.master, k.slave);
    EXPECT_EQ(c.points, k.points);
    EXPECT_EQ(c.hasAverage, k.avg);
    EXPECT_STREQ(c.labels[0], k.first);
    EXPECT_STREQ(c.labels[size_t(c.points - 1)], k.last);
    EXPECT_STREQ(c.unitTitle, k.unit);
    if (k.avg) {
      EXPECT_STREQ(c.labels[size_t(c.points)], "AVG");
    }
  }
  // Out of range: the first entry.
  EXPECT_EQ(DescribeChoice(9, 99).points, 3);
  EXPECT_EQ(DescribeChoice(kMemory, 0).slaveSection, 1);
  EXPECT_EQ(SlaveEntry(kHardDisk, 18), "SpinUP Device");
  EXPECT_EQ(SlaveEntry(kKelvaRanks, 4), "Hard Drive");
}

TEST(ChartChoice, NamesForTheTerminal) {
  EXPECT_EQ(MasterSectionByName("harddisk"), kHardDisk);
  EXPECT_EQ(MasterSectionByName("Hard Disk"), kHardDisk);
  EXPECT_EQ(MasterSectionByName("2"), kProcessor);
  EXPECT_EQ(MasterSectionByName("5"), 0);
  EXPECT_EQ(MasterSectionByName(""), 0);
  EXPECT_EQ(SlaveEntryByName(kProcessor, "marscipher"), cpu::kMars);
  EXPECT_EQ(SlaveEntryByName(kProcessor, "40th Fibonacci"), cpu::kFibonacci);
  EXPECT_EQ(SlaveEntryByName(kMemory, "cpucacheread"), 1);
  EXPECT_EQ(SlaveEntryByName(kHardDisk, "spinupdevice"), 18);
  EXPECT_EQ(SlaveEntryByName(kKelvaRanks, "harddrive"), 4);
  EXPECT_EQ(SlaveEntryByName(kKelvaRanks, "5"), 0);
  EXPECT_EQ(SlaveEntryByName(kMemory, "marscipher"), 0);
}

TEST(RelativeValue, DirectionsZeroAndClamp) {
  struct Case {
    double x, ref, wt;
    int d;
    double want;
  } cases[] = {
      {2500, 5000, 80, 1, 40.0},
      {7000, 5000, 80, 1, 100.0},  // above the reference: exactly 100
      {2, 0, 50, 2, 25.0},
      {1, 0, 150, 3, 37.5},
      {0.1, 0, 150, 2, 100.0},
      {0, 5000, 80, 1, 0.0},
      {0, 0, 50, 2, 0.0},  // never a division by zero
      {0, 0, 150, 3, 0.0},
      {-5, 5000, 80, 1, 0.0},
      {-5, 0, 50, 2, 0.0},
      {std::numeric_limits<double>::quiet_NaN(), 5000, 80, 1, 0.0},
      {std::numeric_limits<double>::infinity(), 0, 50, 2, 0.0},
      {std::numeric_limits<double>::infinity(), 5000, 80, 1, 100.0},
  };
  for (const Case& c : cases) EXPECT_EQ(RelativeValue(c.x, c.ref, c.wt, c.d), c.want) << c.x << " d" << c.d;
}

// Overview points turn each test's scored figure into its relative value;
// the offsets are those of the results-record documentation.
TEST(ChartSeries, DriveOverviewTakesEachTestsFigure) {
  ResultsRecord r;
  r.setFigure(0x1500 + 0x98, 250.0);    // Read from File average
  r.setFigure(0x1790, 25000.0);         // Close from Write (module order 2)
  r.setFigure(0x1788, 10000.0);         // Set Filesize (module order 1)
  r.setFigure(0x1640 + 0x98, 1000.0);   // Read from Device average, above its reference
  r.setFigure(0x1828, 2.0);             // Seek on Device total average
  r.setFigure(0x1830, 4.0);             // SpinUP Device
  const ChartSeries s = SeriesOf(DescribeChoice(kKelvaRanks, 4), r);
  ASSERT_EQ(s.count, 18);
  EXPECT_DOUBLE_EQ(s.values[0], 100.0 / 500 * 250 * 1.1);  // "Read"
  EXPECT_DOUBLE_EQ(s.values[3], 100.0 / 50000 * 25000 * 0.8);  // "CloseW"
  EXPECT_DOUBLE_EQ(s.values[8], 100.0 / 50000 * 10000 * 0.9);  // "FileS."
  EXPECT_EQ(s.values[14], 100.0);                              // "ReadD"
  EXPECT_DOUBLE_EQ(s.values[16], 100.0 / 2 * 0.25 * 1.5);      // "SeekD"
  EXPECT_DOUBLE_EQ(s.values[17], 100.0 / 4 * 0.5);             // "SpinUP"
  for (int i : {1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 13, 15}) EXPECT_EQ(s.values[size_t(i)], 0.0) << i;
  double sum = 0;
  for (int i = 0; i < 18; ++i) sum += s.values[size_t(i)];
  EXPECT_DOUBLE_EQ(s.average, sum / 18);
  EXPECT_EQ(s.maximum, 100.0);

  // Uncapped, the value above its reference keeps its size; the rest stay.
  const ChartSeries u = SeriesOf(DescribeChoice(kKelvaRanks, 4), r, false);
  EXPECT_GT(u.values[14], 100.0);
  EXPECT_EQ(u.maximum, u.values[14]);
  for (int i = 0; i < 18; ++i) EXPECT_TRUE(i == 14 || u.values[size_t(i)] == s.values[size_t(i)]) << i;
  EXPECT_EQ(RelativeValue(5000.0, 1000.0, 80.0, 1, false), 400.0);
  EXPECT_EQ(RelativeValue(5000.0, 1000.0, 80.0, 1), 100.0);
}

// The General overview shows the section totals; a total that is not valid
// counts as 0.
TEST(ChartSeries, GeneralOverviewTakesValidTotalsOnly) {
  ResultsRecord r;
  r.setScore(slot::kProcessorTotal, {55.5, 1.0});
  r.setScore(slot::kMemoryTotal, {73.5, 0.0});
  r.setScore(slot::kDriveTotal, {12.0, 1.0});
  const ChartSeries s = SeriesOf(DescribeChoice(kKelvaRanks, 1), r);
  EXPECT_EQ(s.values[0], 55.5);
  EXPECT_EQ(s.values[1], 0.0);
  EXPECT_EQ(s.values[2], 12.0);
  EXPECT_DOUBLE_EQ(s.average, 67.5 / 3);
}

// Raw-figure choices read their sweep from the documented offsets: device
// sweeps start at the 512-byte step, seek patterns in test order.
TEST(ChartSeries, RawFiguresAndDamagedValues) {
  ResultsRecord r;
  r.setFigure(0x1640 + 2 * 8, 11.0);   // Read from Device, 512 bytes
  r.setFigure(0x1640 + 16 * 8, 99.0);  // 8 MiB
  r.setFigure(0x1640, 777.0);          // 128 bytes: not a point of the chart
  auto s = SeriesOf(DescribeChoice(kHardDisk, 15), r);
  EXPECT_EQ(s.values[0], 11.0);
  EXPECT_EQ(s.values[14], 99.0);
  EXPECT_EQ(s.maximum, 99.0);

  r.setFigure(0x17E0, 8.5);
  r.setFigure(0x1810, 3.25);
  s = SeriesOf(DescribeChoice(kHardDisk, 17), r);
  EXPECT_EQ(s.values[0], 8.5);
  EXPECT_EQ(s.values[6], 3.25);

  r.setFigure(0x1A8, std::numeric_limits<double>::quiet_NaN());
  r.setFigure(0x1B0, -4.0);
  s = SeriesOf(DescribeChoice(kProcessor, cpu::kSerpent), r);
  EXPECT_EQ(s.values[0], 0.0);
  EXPECT_EQ(s.values[1], 0.0);
  r.setFigure(0x1B0, std::numeric_limits<double>::infinity());
  s = SeriesOf(DescribeChoice(kProcessor, cpu::kSerpent), r);
  EXPECT_EQ(s.maximum, 0.0);
  EXPECT_EQ(s.average, 0.0);
}

struct ModelFixture : ::testing::Test {
  ResultsRecord current, slot1, slot2;
  ChartSources src;
  ChartState state;
  void SetUp() override {
    src.records = {&current, &slot1, &slot2, nullptr, nullptr};
    SetMasterSection(state, kProcessor);
    state.slaveSection = cpu::kMars;
    current.setFigure(0x188, 300);
    slot1.setFigure(0x188, 500);
    slot2.setFigure(0x188, 1200);
  }
};

// A hidden slot still sets M; it is not drawn and takes no lane.
TEST_F(ModelFixture, HiddenSlotSetsTheScaleButIsNotDrawn) {
  state.showModule[1] = false;
  const ChartModel m = BuildChartModel(state, src);
  EXPECT_EQ(m.largest, 1200.0);
  EXPECT_EQ(m.fullScale, 1200.0);
  EXPECT_EQ(m.shownSlots, 1);
  EXPECT_TRUE(m.drawn[0] && m.drawn[1]);
  EXPECT_FALSE(m.drawn[2] || m.drawn[3] || m.drawn[4]);
  EXPECT_EQ(m.labelSource, 1);  // slot 1 has the highest average of the drawn sources
}

TEST_F(ModelFixture, RelativeScaleAndTheModesAChoiceForces) {
  state.showMode = kShowRelative;
  state.drawMode = kDrawSplines;
  state.fineScale = 40;
  state.roughScale = 3;
  ChartModel m = BuildChartModel(state, src);
  EXPECT_DOUBLE_EQ(m.fullScale, 0.2 * 3 * 40 * 0.01 * 1000.0);
  EXPECT_EQ(m.drawMode, kDrawSplines);
  EXPECT_TRUE(ShowModeEnabled(state));
  EXPECT_TRUE(DrawModeEnabled(state));

  SetMasterSection(state, kKelvaRanks);
  state.showMode = kShowRelative;
  EXPECT_DOUBLE_EQ(BuildChartModel(state, src).fullScale, 0.2 * 3 * 40);

  // Seek on Device: always absolute, no relative scale.
  SetMasterSection(state, kHardDisk);
  state.slaveSection = 17;
  m = BuildChartModel(state, src);
  EXPECT_FALSE(ShowModeEnabled(state));
  EXPECT_TRUE(DrawModeEnabled(state));
  EXPECT_EQ(m.showMode, kShowAbsolute);
  EXPECT_EQ(m.relativeScale, 0.0);
  EXPECT_FALSE(m.scaleLabels);  // M and the relative scale are both 0

  // A single-figure choice: always blocks.
  state.slaveSection = 3;
  m = BuildChartModel(state, src);
  EXPECT_TRUE(ShowModeEnabled(state));
  EXPECT_FALSE(DrawModeEnabled(state));
  EXPECT_EQ(m.drawMode, kDrawBlocks);
  EXPECT_EQ(m.showMode, kShowRelative);
  EXPECT_TRUE(m.scaleLabels);  // every series 0, but the relative scale is not
}

TEST(ChartState, FromTheDisplayRecord) {
  DisplayRecord d;
  SetDisplayDefaults(d);
  d.set_s32(disp::kDrawMode, 1);
  d.set_s32(disp::kMasterSection, 2);
  d.set_s32(disp::kSlaveSection, 16);
  d.set_s32(disp::kShowModule + 8, 0);
  ChartState s = ChartStateFromDisplay(d);
  EXPECT_EQ(s.drawMode, kDrawSplines);
  EXPECT_EQ(s.showMode, kShowAbsolute);
  EXPECT_EQ(s.masterSection, kMemory);
  EXPECT_EQ(s.slaveSection, 17);
  EXPECT_EQ(s.fineScale, 50);
  EXPECT_EQ(s.showModule, (std::array<bool, 4>{true, true, false, true}));
  // A slave entry beyond the section's list falls back to the first.
  d.set_s32(disp::kSlaveSection, 24);
  EXPECT_EQ(ChartStateFromDisplay(d).slaveSection, 1);
  d.set_s32(disp::kMasterSection, -3);
  EXPECT_EQ(ChartStateFromDisplay(d).masterSection, kKelvaRanks);
}

TEST(ChartTexts, ValueAndFrameRate) {
  EXPECT_EQ(ChartValueText(47.59, true), "47.5%");
  EXPECT_EQ(ChartValueText(1234.99, false), "1234.9");
  EXPECT_EQ(ChartValueText(0.0, false), "0.0");
  EXPECT_EQ(FrameRateText(0.0), "000.0 fps");
  EXPECT_EQ(FrameRateText(12.34), "012.3 fps");
  EXPECT_EQ(FrameRateText(2500.06), "2500.0 fps");
}

}  // namespace
}  // namespace kr::test
