#include "bench/card.h"

#include <gtest/gtest.h>

#include "bench/cpu/card_report.h"
#include "records/catalogue.h"
#include "engine/status_model.h"

namespace kr {
namespace {

constexpr CardParam kParams[] = {{"Rounds", nullptr, 5000000}, {"Imagedata", "1600x1200x24", 0}};
constexpr CardLayout kCard = {"Test card", "%4lu.%0.1lu Dhrystones/sec", &ProcessorEntry(cpu::kDhrystones),
                            14, kParams, 2, "Method", "Result"};

// The head of kCard with the cache on and multitasking off, as every card
// written from it starts.
std::vector<std::string> HeadLines() {
  return {
      "\xB7" + std::string(74, '-') + "\xB7",
      "|   Test card                                                              |",
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7",
      "|   100 Percent at : 10000000.0 Dhrystones/sec                                 |",
      "|   Score weight   : 100.0%                                                |",
      "|   Rounds         : 5000000                                               |",
      "|   Imagedata      : 1600x1200x24                                          |",
      "|   CPU Cache      : YES                                                   |",
      "|   Multitasking   : NO                                                    |",
      "|                                                                          |",
      "|   Method                                                         Result  |",
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7",
  };
}

TEST(CardTest, ScoredFlagFollowsSwitchesAndOption) {
  struct Case {
    int32_t atAll, cache, mt;
    bool scored;
  } cases[] = {
      {0, 1, 0, true},  {0, 1, 1, false}, {0, 0, 0, false}, {0, 0, 1, false},
      {1, 1, 1, true},  {1, 1, 0, true},  {1, 0, 1, false},
      {0, 1, 0x10000, true},  // only the low 16 bits of the multitasking switch count
  };
  test::TestContext t;
  for (const Case& c : cases) {
    t.ctx.run.multitaskingAtAll = c.atAll;
    EXPECT_EQ(ScoredFlag(t.ctx, c.cache, c.mt), c.scored) << c.atAll << c.cache << c.mt;
  }
}

TEST(CardTest, HeadLinesAreExactAndSeventySixColumns) {
  test::ReportContext t;
  WriteCardHead(t.ctx, kCard, 1, 0);
  auto lines = t.Lines();
  EXPECT_EQ(lines, HeadLines());
  test::ExpectCardColumns(lines, 4);  // "%4lu.%0.1lu" of 10000000.0: four columns wider
}

TEST(CardTest, ColumnHeaderWithMiddleColumn) {
  test::ReportContext t;
  CardLayout spec = kCard;
  spec.columnMiddle = "MPixel/s";
  spec.columnUnit = "MBits/s";
  WriteColumnHeader(t.ctx, spec);
  auto lines = t.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 76u);
  EXPECT_EQ(lines[0].find("Method"), 4u);
  EXPECT_EQ(lines[0].find("MPixel/s"), 47u);
  EXPECT_EQ(lines[0].find("MBits/s"), 67u);
}

TEST(CardTest, MethodLinesTruncateAndKeepTheBorder) {
  test::ReportContext t;
  WriteMethodLine(t.ctx, true, "Dhrystones/sec", 1234567.899);
  WriteMethodLine(t.ctx, false, "BogoMIPS", 0.0);
  WriteMethodLine(t.ctx, true, "Wide", 123456789.5);  // wider than 8 digits moves the border
  WriteMethodLineWith(t.ctx, true, "Integral of sin(x) from 0.0 to PI/3.0 (Trapazoidal)", 59, " %8lu.%0.2lu    |\n",
                      12.345);
  auto lines = t.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "|   [+] Dhrystones/sec                                       1234567.89    |");
  EXPECT_EQ(lines[1], "|   [-] BogoMIPS                                                   0.00    |");
  EXPECT_EQ(lines[2], "|   [+] Wide                                                123456789.50    |");
  EXPECT_EQ(lines[3], "|   [+] Integral of sin(x) from 0.0 to PI/3.0 (Trapazoidal)       12.34    |");
  EXPECT_EQ(lines[0].size(), 76u);
  EXPECT_EQ(lines[1].size(), 76u);
  EXPECT_EQ(lines[3].size(), 76u);
}

TEST(CardTest, ClosingACardScoresOrDisables) {
  struct Case {
    double figure;
    bool scored;
    bool closing;
    const char* scoreLine;
    ScoreSlot slot;
  } cases[] = {
      {5000000.5, true, true, "|   KelvaRANKS :  50.00 Percent                                            |", {50.0, 1.0}},
      {2e7, true, true, "|   KelvaRANKS : 100.00 Percent                                            |", {100.0, 1.0}},
      {0.0, true, false, "|   KelvaRANKS :   0.00 Percent                                            |", {0.0, 1.0}},
      {-5.0, true, true, "|   KelvaRANKS :   0.00 Percent                                            |", {0.0, 1.0}},
      {5000000.0, false, true, "|   KelvaRANKS : DISABLED                                                  |", {0.0, 0.0}},
  };
  for (const Case& c : cases) {
    test::ReportContext t;
    TestResult r;
    r.card = kCard;
    r.card.closingLine = c.closing;
    r.scored = c.scored;
    CloseCard(t.ctx, r, c.figure);
    auto lines = t.Lines();
    std::vector<std::string> want = {"|" + std::string(74, ' ') + "|", c.scoreLine};
    if (c.closing) want.push_back("!" + std::string(74, ' ') + "!");
    EXPECT_EQ(lines, want);
    ScoreSlot s = t.ctx.results.score(slot::kDhrystones);
    EXPECT_NEAR(s.percent, c.slot.percent, 1e-4);
    EXPECT_EQ(s.valid, c.slot.valid);
    EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
  }
}

// The writer alone: a result value in, the card's bytes out. Every kind of
// figure line, a figure without a line, and both kinds of foot.
TEST(CardWriterTest, WritesTheCardOfAResultValue) {
  const std::string empty = "|" + std::string(74, ' ') + "|";
  const std::string closing = "!" + std::string(74, ' ') + "!";

  TestResult r;
  r.card = kCard;
  r.params = {{"Rounds", "5000000"}, {"Imagedata", "1600x1200x24"}};
  r.cacheOn = 1;
  r.scored = true;
  TestFigure standard;
  standard.method = "Dhrystones/sec";
  standard.value = 1234567.899;
  standard.scored = true;
  TestFigure wide;
  wide.method = "Integral of sin(x) from 0.0 to PI/3.0 (Trapazoidal)";
  wide.value = 12.345;
  wide.leftWidth = 59;
  wide.tail = " %8lu.%0.2lu    |\n";
  TestFigure whole;
  whole.method = "Iteration";
  whole.value = 4096;
  whole.scored = true;
  whole.leftWidth = 55;
  whole.tail = "      %10ld    |\n";
  whole.wholeNumber = true;
  whole.emptyLineBefore = true;
  TestFigure twoColumns;
  twoColumns.method = "Writing RGB";
  twoColumns.value = 12.25;
  twoColumns.middleValue = 1.5;
  twoColumns.leftWidth = 37;
  twoColumns.scored = true;
  TestFigure storedOnly;  // a mean: stored, no line
  storedOnly.slot = rec::kDhrystones;
  storedOnly.value = 77.0;
  r.figures = {standard, wide, whole, twoColumns, storedOnly};

  test::ReportContext t;
  CardWriter writer(t.ctx);
  writer.CardOpened(r);
  for (const TestFigure& f : r.figures) writer.FigureMeasured(r, f);
  r.foot = TestResult::Foot::Score;
  r.scoreFigure = 5000000.5;
  r.percent = 50.0;
  writer.CardClosed(r);
  std::vector<std::string> want = HeadLines();
  want.insert(want.end(), {
      "|   [+] Dhrystones/sec                                       1234567.89    |",
      "|   [-] Integral of sin(x) from 0.0 to PI/3.0 (Trapazoidal)       12.34    |",
      empty,
      "|   [+] Iteration                                                  4096    |",
      "|   [+] Writing RGB                            1.50               12.25    |",
      empty,
      "|   KelvaRANKS :  50.00 Percent                                            |",
      closing,
  });
  EXPECT_EQ(t.Lines(), want);
  // The writer presents; it neither stores figures nor scores.
  EXPECT_EQ(t.ctx.results.figure(rec::kDhrystones), 0.0);
  EXPECT_EQ(t.ctx.results.score(slot::kDhrystones).valid, 0.0);

  // A sweep: its points, then minimum, maximum and average before the foot;
  // a card closed without a score ends after its body.
  struct Case {
    TestResult::Foot foot;
    std::vector<std::string> tail;
  } cases[] = {
      {TestResult::Foot::Score,
       {"|      4096                                                      812.50    |", empty,
        "|   Minimum :      812.50 MB/s                                             |",
        "|   Maximum :      812.50 MB/s                                             |",
        "|   Average :      812.50 MB/s                                             |", empty,
        "|   KelvaRANKS : DISABLED                                                  |", closing}},
      {TestResult::Foot::None, {"|      4096                                                      812.50    |"}},
  };
  for (const Case& c : cases) {
    TestResult sweep;
    sweep.card = kCard;
    TestFigure point;
    point.sweepPoint = true;
    point.block = 4096;
    point.value = 812.5;
    sweep.figures = {point};
    sweep.sweep = TestResult::Sweep{812.5, 812.5, 812.5};
    test::ReportContext u;
    CardWriter w(u.ctx);
    w.CardOpened(sweep);
    w.FigureMeasured(sweep, sweep.figures[0]);
    sweep.foot = c.foot;
    w.CardClosed(sweep);
    const auto lines = u.Lines();
    ASSERT_GE(lines.size(), c.tail.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - std::ptrdiff_t(c.tail.size()), lines.end()), c.tail);
    EXPECT_EQ(lines.size(), 10 + c.tail.size());  // the head without parameter lines
  }
}

// A drive card: the head from its templates, method lines with the marker
// the test chose and an optional score column, the summary before the score
// foot; the next test of a group card opens nothing, and the group ends with
// a foot of its own.
TEST(CardWriterTest, WritesADriveCardOfAResultValue) {
  const std::string empty = "|" + std::string(74, ' ') + "|";
  const std::string closing = "!" + std::string(74, ' ') + "!";
  static constexpr DriveCardHead kHead = {
      "|   Drive card - [%s]                                                |\n",
      "|   100 Percent at   : %3lu.%0.1lu MB/s                                          |\n",
      "|   Score weight     : %3lu.%.1lu%%                                              |\n",
      "|   Loopsize (bytes) : %-10llu                                          |\n",
      "|   CPU Cache        : %-10s                                          |\n",
      "|   Multitasking     : %-10s                                          |\n",
      "|   Method                                                         ms      |\n"};
  TestResult r;
  r.card.test = &DriveEntry(1);  // 500 MB/s, 110 percent
  r.driveHead = &kHead;
  r.partition = "Work:";
  r.loopsize = 16777216;
  r.cacheOn = 1;
  TestFigure withScore;
  withScore.driveLine = "|   [%s] Create Files                    ";
  withScore.driveMarker = true;
  withScore.driveScore = 24.06;
  withScore.tail = "    %8lu.%0.2lu    |\n";
  withScore.value = 2000.0;
  TestFigure failed;
  failed.driveLine = "|   [%s] SpinUp Time                       ";
  failed.tail = "                  %8lu.%0.2lu    |\n";
  failed.scored = true;  // the drive line's marker is the test's, not the card's
  TestFigure storedOnly;
  storedOnly.slot = rec::kSpinUpDevice;
  storedOnly.value = 3.0;
  r.figures = {withScore, failed, storedOnly};
  r.summary = {{"|   Total Average Access:       %3lu.%0.2lu ms                                  |\n", 10.005}};

  test::ReportContext t;
  CardWriter writer(t.ctx);
  writer.CardOpened(r);
  for (const TestFigure& f : r.figures) writer.FigureMeasured(r, f);
  r.foot = TestResult::Foot::Score;
  r.scored = true;
  r.percent = 3.52;
  writer.CardClosed(r);

  // The next test of a group card, then the group's foot.
  TestResult next;
  next.card.test = &DriveEntry(4);
  next.continuesCard = true;
  writer.CardOpened(next);
  next.foot = TestResult::Foot::InLine;
  writer.CardClosed(next);
  TestResult group;
  group.foot = TestResult::Foot::Group;
  group.scored = true;
  group.percent = 6.91;
  writer.CardClosed(group);

  const std::vector<std::string> want = {
      "\xB7" + std::string(74, '-') + "\xB7",
      "|   Drive card - [Work:]                                                |",
      HeadLines()[2],
      "|   100 Percent at   : 500.0 MB/s                                          |",
      "|   Score weight     : 110.0%                                              |",
      "|   Loopsize (bytes) : 16777216                                            |",
      "|   CPU Cache        : YES                                                 |",
      "|   Multitasking     : NO                                                  |",
      empty,
      "|   Method                                                         ms      |",
      HeadLines()[2],
      "|   [+] Create Files                          24.0              2000.00    |",
      "|   [-] SpinUp Time                                                0.00    |",
      empty,
      "|   Total Average Access:        10.00 ms                                  |",
      empty,
      "|   KelvaRANKS :   3.52 Percent                                            |",
      closing,
      empty,
      "|   KelvaRANKS :   6.91 Percent                                            |",
      empty,
      closing,
  };
  EXPECT_EQ(t.Lines(), want);
  EXPECT_EQ(t.ctx.results.figure(rec::kSpinUpDevice), 0.0);
}

TEST(CardTest, TruncateToHundredthsAndRates) {
  EXPECT_DOUBLE_EQ(TruncateToHundredths(246.919), 246.91);
  EXPECT_DOUBLE_EQ(TruncateToHundredths(999.999), 999.99);
  EXPECT_DOUBLE_EQ(TruncateToHundredths(7.0), 7.0);
  EXPECT_DOUBLE_EQ(RatePerSecond(5000000.0, 2.0), 2500000.0);
  EXPECT_EQ(RatePerSecond(5000000.0, 0.0), 0.0);
}

}  // namespace
}  // namespace kr
