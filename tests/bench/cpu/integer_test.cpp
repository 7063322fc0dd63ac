// The integer workloads: Bogomips, Dhrystone 1.1 and the recursive Fibonacci.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bench/cpu/bogomips.h"
#include "bench/cpu/dhrystone.h"
#include "bench/cpu/fibonacci.h"
#include "bench/cpu/processor_tests.h"
#include "bench/cpu/card_report.h"
#include "records/catalogue.h"
#include "engine/status_model.h"

namespace kr {
namespace {

// ---------------------------------------------------------------- Dhrystone

TEST(DhrystoneTest, FinalStateIsThePublishedOne) {
  for (int32_t runs : {1, 2, 1000}) {
    dhry::Record r1{}, r2{};
    auto g = std::make_unique<dhry::State>();
    dhry::Init(*g, &r1, &r2);
    dhry::Locals l;
    dhry::Run(*g, runs, l);
    SCOPED_TRACE(runs);
    EXPECT_EQ(g->Int_Glob, 5);
    EXPECT_TRUE(g->Bool_Glob);
    EXPECT_EQ(g->Ch_1_Glob, 'A');
    EXPECT_EQ(g->Ch_2_Glob, 'B');
    EXPECT_EQ(g->Arr_1_Glob[8], 7);
    EXPECT_EQ(g->Arr_2_Glob[8][7], runs + 10);
    EXPECT_EQ(g->Ptr_Glob, &r1);
    EXPECT_EQ(g->Ptr_Glob->Ptr_Comp, &r2);
    EXPECT_EQ(g->Ptr_Glob->Discr, dhry::Ident_1);
    EXPECT_EQ(g->Ptr_Glob->Enum_Comp, dhry::Ident_3);
    EXPECT_EQ(g->Ptr_Glob->Int_Comp, 17);
    EXPECT_STREQ(g->Ptr_Glob->Str_Comp, "DHRYSTONE PROGRAM, SOME STRING");
    EXPECT_EQ(g->Next_Ptr_Glob->Ptr_Comp, &r2);
    EXPECT_EQ(g->Next_Ptr_Glob->Discr, dhry::Ident_1);
    EXPECT_EQ(g->Next_Ptr_Glob->Enum_Comp, dhry::Ident_2);
    EXPECT_EQ(g->Next_Ptr_Glob->Int_Comp, 18);
    EXPECT_STREQ(g->Next_Ptr_Glob->Str_Comp, "DHRYSTONE PROGRAM, SOME STRING");
    // Version 1.1's closing arithmetic (Int_3 = Int_2 * Int_1; Int_2 = Int_3 /
    // Int_1; Int_2 = 7 * (Int_3 - Int_2) - Int_1) leaves 7, 39, 9; the later
    // version's reordered statements would leave 5, 13, 7.
    EXPECT_EQ(l.Int_1_Loc, 7);
    EXPECT_EQ(l.Int_2_Loc, 39);
    EXPECT_EQ(l.Int_3_Loc, 9);
    EXPECT_EQ(l.Enum_Loc, dhry::Ident_2);
    EXPECT_STREQ(l.Str_1_Loc, "DHRYSTONE PROGRAM, 1'ST STRING");
    EXPECT_STREQ(l.Str_2_Loc, "DHRYSTONE PROGRAM, 2'ND STRING");
  }
}

// ---------------------------------------------------------------- Fibonacci

TEST(FibonacciTest, Values) {
  struct Case {
    int32_t n, value;
  } cases[] = {{-5, 1}, {0, 1}, {1, 2}, {2, 3}, {10, 144}, {25, 196418}};
  for (const Case& c : cases) EXPECT_EQ(Fibonacci(c.n), c.value) << c.n;
}

TEST(FibonacciTest, FortiethNumber) { EXPECT_EQ(Fibonacci(40), 267914296); }

TEST(FibonacciTest, FigureOfAboutSixPointEightSecondsScoresFull) {
  EXPECT_NEAR(FiboFigure(6.824), 1000.0, 0.01);
  EXPECT_NEAR(FiboFigure(1.0), 6824.0336919826, 1e-6);
  EXPECT_EQ(FiboFigure(0.0), 0.0);
}

// ---------------------------------------------------------------- Bogomips

TEST(BogomipsTest, TextOfALoopRate) {
  struct Case {
    uint64_t rate;
    const char* text;
  } cases[] = {{123456789, "246.91"}, {0, "0.00"}, {500000, "1.00"}, {504999, "1.00"}, {505000, "1.01"},
               {4294967200u, "8589.93"}, {8589934500u, "17179.86"}};
  for (const Case& c : cases) EXPECT_EQ(BogomipsText(c.rate), c.text) << c.rate;
}

// Scripts the fake clock so that trial j lasts ticks[j] centiseconds: the
// first reading of a trial advances the clock by the trial's length, the
// second by a short gap.
void ScriptTrials(FakeTimer& timer, const std::vector<uint32_t>& ticks) {
  timer.steps.clear();
  for (uint32_t t : ticks) {
    timer.steps.push_back(uint64_t(t) * 10000);
    timer.steps.push_back(3000);
  }
}

std::vector<uint64_t> g_counts;  // counts given to the recording loop
void RecordCount(uint64_t count) { g_counts.push_back(count); }

TEST(BogomipsTest, TrialsDoubleUntilOneLastsHundredTicks) {
  struct Case {
    std::vector<uint32_t> ticks;
    int32_t noChip;
    uint64_t count;  // count of the measured trial
    uint64_t rate;
  } cases[] = {
      // 99 ticks is too short and doubles the count; 100 is measured.
      {{99, 100}, 0, 4, 0},
      {{10, 20, 40, 80, 99, 150}, 0, 64, 0},
      // Count 2^26 after 25 short trials: (67108864 / 100) x 100.
      {std::vector<uint32_t>(25, 50), 0, 1u << 26, 67108800},
      {std::vector<uint32_t>(25, 50), 1, 1u << 26, 134217600},
      // A fast processor: 2^31 still runs under a second, the count keeps
      // doubling to 2^33 and the rate no longer fits 32 bits.
      {std::vector<uint32_t>(32, 60), 0, uint64_t(1) << 33, 8589934500u},
      {std::vector<uint32_t>(32, 60), 1, uint64_t(1) << 33, 17179869000u},
  };
  for (Case& c : cases) {
    test::TestContext t;
    t.ctx.run.noChipMemory = c.noChip;
    if (c.ticks.size() >= 25) c.ticks.push_back(100);
    ScriptTrials(t.timer, c.ticks);
    g_counts.clear();
    uint64_t rate = 12345;
    ASSERT_TRUE(BogomipsLoopRate(t.ctx, 1, 1, RecordCount, rate));
    ASSERT_EQ(g_counts.size(), c.ticks.size());
    for (size_t j = 0; j < g_counts.size(); ++j) EXPECT_EQ(g_counts[j], uint64_t(2) << j);
    EXPECT_EQ(g_counts.back(), c.count);
    EXPECT_EQ(rate, c.rate);
  }
}

TEST(BogomipsTest, SwitchesAreToggledAroundEachTrial) {
  test::TestContext t;
  ScriptTrials(t.timer, {5, 100});
  g_counts.clear();
  uint64_t rate = 0;
  ASSERT_TRUE(BogomipsLoopRate(t.ctx, 0, 0, RecordCount, rate));
  const std::vector<std::string> trial = {"CacheOff", "Forbid", "CacheOn", "Permit"};
  std::vector<std::string> want = trial;
  want.insert(want.end(), trial.begin(), trial.end());
  EXPECT_EQ(t.exec.calls, want);
}

// Only a clock that never advances a second runs the 64-bit count out.
TEST(BogomipsTest, NoResultAfterSixtyThreeDoublings) {
  test::TestContext t;
  t.timer.defaultStep = 1000;  // every trial lasts 0 ticks
  g_counts.clear();
  uint64_t rate = 0;
  EXPECT_FALSE(BogomipsLoopRate(t.ctx, 1, 0, RecordCount, rate));
  EXPECT_EQ(g_counts.size(), 63u);
  EXPECT_EQ(g_counts.back(), uint64_t(1) << 63);
}

// The whole test on a clock that never reaches a second per trial.
TEST(BogomipsTest, NoResultLeavesRecordAndCardAfterHead) {
  test::ReportContext t;
  t.timer.defaultStep = 1000;
  t.ctx.bogomipsLoopRate = 777;
  t.ctx.results.setFigure(rec::kBogomips, 3.5);
  RunBogomipsWith(t.ctx, 1, 0, RecordCount);
  auto lines = t.Lines();
  ASSERT_EQ(lines.size(), 10u);  // the head only
  EXPECT_EQ(lines[8], "|   Result                                                         Result  |");
  EXPECT_EQ(t.ctx.bogomipsLoopRate, 777u);
  EXPECT_EQ(t.ctx.results.figure(rec::kBogomips), 3.5);
  EXPECT_EQ(t.ctx.results.score(slot::kBogomips).valid, 0.0);
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
}

// ---------------------------------------------------------------- whole tests

// The card of a whole run: head of 10 + parameter lines, the method line, an
// empty line, the score line and the closing line; every line 76 columns but
// a "100 Percent at" line with a wider reference (`referenceExtra`).
void ExpectCard(const std::vector<std::string>& lines, size_t params, const std::string& method, bool scored,
                size_t referenceExtra = 0) {
  ASSERT_EQ(lines.size(), 10 + params + 4);
  test::ExpectCardColumns(lines, referenceExtra);
  const std::string& m = lines[10 + params];
  EXPECT_EQ(m.substr(0, 8 + method.size()), std::string("|   [") + (scored ? "+" : "-") + "] " + method);
  EXPECT_NE(lines[10 + params + 2].find(scored ? "Percent" : "DISABLED"), std::string::npos);
  EXPECT_EQ(lines.back(), "!" + std::string(74, ' ') + "!");
}

TEST(IntegerRunTest, DhrystonesDisabledAndScored) {
  struct Case {
    int32_t cache, mt;
    bool scored;
  } cases[] = {{0, 0, false}, {1, 0, true}, {1, 1, false}};
  for (const Case& c : cases) {
    test::ReportContext t;
    t.timer.steps = {2000000};  // the timed span lasts 2 s
    RunDhrystonesWith(t.ctx, c.cache, c.mt, 1000);
    auto lines = t.Lines();
    ExpectCard(lines, 1, "Dhrystones/sec", c.scored, 4);
    EXPECT_EQ(lines[6].substr(0, 24), std::string("|   CPU Cache      : ") + (c.cache ? "YES" : "NO "));
    EXPECT_EQ(lines[5], "|   Rounds         : 1000                                                  |");
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kDhrystones), 500.0);
    EXPECT_EQ(lines[11], "|   [" + std::string(c.scored ? "+" : "-") +
                             "] Dhrystones/sec                                           500.00    |");
    ScoreSlot s = t.ctx.results.score(slot::kDhrystones);
    EXPECT_NEAR(s.percent, c.scored ? 0.005 : 0.0, 1e-12);
    EXPECT_EQ(s.valid, c.scored ? 1.0 : 0.0);
    EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
  }
}

// A test returns its card as a value and publishes each step to the run's
// listeners, in order, after the card writer and the status presenter.
TEST(IntegerRunTest, DhrystonesReturnItsResultAndPublishItsSteps) {
  struct Recorder : RunListener {
    std::vector<std::string> events;
    const StatusModel* status = nullptr;
    void PhaseStarted(const TestPhase& p) override {
      events.push_back("phase " + std::string(p.showsTest ? p.nowRunning : "") + "|" + std::string(p.state));
    }
    void CardOpened(const TestResult& r) override { events.push_back(std::string("open ") + r.card.title); }
    void FigureMeasured(const TestResult& r, const TestFigure& f) override {
      // The status presenter has shown it already.
      events.push_back("figure " + f.method + " " + std::to_string(r.figures.size()) + " " +
                       status->text(Section::Processor, StatusField::LastResult));
    }
    void CardClosed(const TestResult& r) override {
      events.push_back("close " + std::to_string(int(r.foot)) + " " +
                       status->text(Section::Processor, StatusField::State));
    }
  } recorder;
  test::ReportContext t;
  recorder.status = &t.status;
  t.ctx.listeners.push_back(&recorder);
  t.timer.steps = {2000000};
  const TestResult r = RunDhrystonesWith(t.ctx, 1, 0, 1000);
  const std::vector<std::string> want = {
      "open Dhrystones",
      "phase \x1b" "bDhrystones\x1b" "n|Calibrating...",
      "phase |Benchmarking...",
      "figure Dhrystones/sec 1 " + t.status.text(Section::Processor, StatusField::LastResult),
      "close 1 Done",
  };
  EXPECT_EQ(recorder.events, want);
  EXPECT_NE(t.status.text(Section::Processor, StatusField::LastResult), "");

  EXPECT_EQ(&r.test(), &ProcessorEntry(cpu::kDhrystones));
  EXPECT_TRUE(r.scored);
  ASSERT_EQ(r.params.size(), 1u);
  EXPECT_EQ(r.params[0], (std::pair<std::string, std::string>{"Rounds", "1000"}));
  ASSERT_EQ(r.figures.size(), 1u);
  EXPECT_EQ(r.figures[0].slot, rec::kDhrystones);
  EXPECT_DOUBLE_EQ(r.figures[0].value, 500.0);
  EXPECT_EQ(r.figures[0].unit, "Dhrystones/s");
  EXPECT_EQ(r.foot, TestResult::Foot::Score);
  EXPECT_DOUBLE_EQ(r.scoreFigure, 500.0);
  EXPECT_EQ(t.ctx.results.score(slot::kDhrystones).percent, r.percent);
  EXPECT_EQ(t.ctx.results.figure(rec::kDhrystones), r.figures[0].value);
}

TEST(IntegerRunTest, DhrystonesFullRun) {
  test::ReportContext t;
  t.timer.steps = {2000000};
  RunDhrystones(t.ctx, 1, 0);
  auto lines = t.Lines();
  ExpectCard(lines, 1, "Dhrystones/sec", true, 4);
  EXPECT_EQ(lines[5], "|   Rounds         : 5000000                                               |");
  EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kDhrystones), 2500000.0);
  EXPECT_NEAR(t.ctx.results.score(slot::kDhrystones).percent, 25.0, 1e-9);
}

TEST(IntegerRunTest, DhrystonesWithoutRecordsIsNotScored) {
  test::ReportContext t;
  t.exec.failAllocs = {2};
  RunDhrystones(t.ctx, 1, 0);
  auto lines = t.Lines();
  ExpectCard(lines, 1, "Dhrystones/sec", false, 4);
  EXPECT_EQ(t.ctx.results.score(slot::kDhrystones).valid, 0.0);
  EXPECT_EQ(t.exec.liveBlocks, 0);
  ASSERT_EQ(t.ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(t.ctx.errorLog.entries[0].location, "CPU");
}

TEST(IntegerRunTest, FibonacciFigureIsTruncatedForScoreButNotForRecord) {
  test::ReportContext t;
  t.ctx.run.multitaskingAtAll = 1;
  t.timer.steps = {13648067};  // 13.648067 s: 500.00006 FiboMHZ
  RunFibonacci(t.ctx, 1, 1);
  auto lines = t.Lines();
  ExpectCard(lines, 0, "FiboMHZ", true);
  double raw = t.ctx.results.figure(rec::kFibonacci);
  EXPECT_NEAR(raw, 6824.0336919826 / 13.648067, 1e-9);
  EXPECT_GT(raw, 500.0);
  EXPECT_EQ(lines[10].substr(57), "        500.00    |");
  EXPECT_NEAR(t.ctx.results.score(slot::kFibonacci).percent, 55.0, 1e-9);
  EXPECT_EQ(lines[8].find("FiboMHZ"), 67u);
}

TEST(IntegerRunTest, BogomipsCardAndSharedRate) {
  test::ReportContext t;
  t.ctx.run.noChipMemory = 0;
  t.timer.steps = {1000000};  // the first trial lasts 100 ticks: count 2
  RunBogomips(t.ctx, 1, 0);
  auto lines = t.Lines();
  ExpectCard(lines, 0, "BogoMIPS", true);
  EXPECT_EQ(lines[3], "|   100 Percent at : 5000.0 BogoMIPS                                       |");
  EXPECT_EQ(lines[4], "|   Score weight   :  80.0%                                                |");
  EXPECT_EQ(t.ctx.bogomipsLoopRate, 0u);
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::LastResult), "\x1b" "b0.00\x1b" "n BogoMIPS");
}

// A processor past 2^32 loop iterations a second: the kept rate and the
// figure come from the 64-bit count.
TEST(IntegerRunTest, BogomipsFastProcessorScores) {
  test::ReportContext t;
  t.ctx.run.noChipMemory = 1;
  std::vector<uint32_t> ticks(32, 60);
  ticks.push_back(100);
  ScriptTrials(t.timer, ticks);
  RunBogomipsWith(t.ctx, 1, 0, RecordCount);
  auto lines = t.Lines();
  ExpectCard(lines, 0, "BogoMIPS", true);
  EXPECT_EQ(t.ctx.bogomipsLoopRate, 17179869000u);
  EXPECT_EQ(t.ctx.results.figure(rec::kBogomips), 34359.73);
  EXPECT_EQ(lines[10].substr(57), "      34359.73    |");
  EXPECT_EQ(t.ctx.results.score(slot::kBogomips).percent, 100.0);
}

TEST(IntegerRunTest, TableHoldsTheFourTests) {
  EXPECT_EQ(kProcessorTestTable[cpu::kBogomips], &RunBogomips);
  EXPECT_EQ(kProcessorTestTable[cpu::kDhrystones], &RunDhrystones);
  EXPECT_EQ(kProcessorTestTable[cpu::kFibonacci], &RunFibonacci);
  EXPECT_EQ(kProcessorTestTable[cpu::kFpu], &RunFpuEmulation);
}

}  // namespace
}  // namespace kr
