// The FLOPS workload and the FPU Emulation card.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "bench/cpu/fpu.h"
#include "bench/cpu/processor_tests.h"
#include "bench/cpu/card_report.h"
#include "records/catalogue.h"

namespace kr {
namespace {

// A clock that advances by scripted steps: every reading returns the current
// time and then moves it on by the next step (or by `rest`). The first
// reading of a dtime pair therefore sets the length of the timed loop.
class ScriptClock : public FlopsClock {
 public:
  std::deque<double> steps;
  double rest = 0.5;
  double t = 100.0;
  int calls = 0;
  double Now() override {
    ++calls;
    double r = t;
    double step = rest;
    if (!steps.empty()) {
      step = steps.front();
      steps.pop_front();
    }
    t += step;
    return r;
  }
  // One timed loop of `seconds`, then a gap before the next loop.
  void Loop(double seconds) {
    steps.push_back(seconds);
    steps.push_back(0.5);
  }
};

TEST(FlopsTest, DateStampClock) {
  struct Case {
    DateStamp ds;
    double seconds;
  } cases[] = {
      {{0, 0, 0}, 0.0},
      {{5, 1, 25}, 60.5},            // the day count is not used
      {{0, 1439, 2999}, 86399.98},
  };
  for (const Case& c : cases) EXPECT_NEAR(DateStampSeconds(c.ds), c.seconds, 1e-9);
  // Across midnight the interval is negative.
  EXPECT_LT(DateStampSeconds({1, 0, 10}) - DateStampSeconds({0, 1439, 2990}), 0.0);
}

TEST(FlopsTest, ModulesComputeTheirIntegrals) {
  // One calibration pass of 1000000 loops; every module then runs m loops.
  ScriptClock clock;
  clock.rest = 20.0;
  FlopsState st;
  FlopsInit(st, {500000, 15.0, 512000000});
  for (int k = 1; k <= 8; ++k) FlopsModule(st, clock, k);
  EXPECT_EQ(st.n, 1000000);
  EXPECT_EQ(st.m, 1000000);  // modules 2 and 7 recompute m from their results
  // Each module's difference from its exact result (ln f(1), pi, 0.5,
  // sin(pi/3), ln 2, 1/4, the three integrals, 7/24).
  for (int k = 1; k <= 8; ++k) EXPECT_LT(std::fabs(st.error[k]), 1e-9) << "module " << k << ": " << st.error[k];
}

TEST(FlopsTest, CalibrationStopsAtTheLoopLimit) {
  ScriptClock clock;
  clock.rest = 0.02;  // never 15 seconds
  FlopsState st;
  FlopsInit(st, {15625, 15.0, 250000});
  FlopsModule(st, clock, 1);
  EXPECT_EQ(st.n, 250000);                 // 31250, 62500, 125000, 250000
  EXPECT_EQ(clock.calls, 4 * 2 + 2);       // four passes and the null loop
  EXPECT_DOUBLE_EQ(st.T[1], 1e6 / 250000);
}

// Scripted loop times (seconds): calibration 16 (one pass of 31250 loops, so
// T[1] = 32 us per second), null loop 1, module 2's loops 1 and 3, modules
// 3..8 two each. In microseconds per loop: nulltime 32, T[2] = 480,
// T[5] = 32, T[6] = 96 and 64 - 32 = 32 for modules 3..8.
void ScriptRun(ScriptClock& clock) {
  clock.Loop(16);
  clock.Loop(1);
  clock.Loop(1);
  clock.Loop(3);
  for (int k = 3; k <= 8; ++k) clock.Loop(2);
}

TEST(FlopsTest, MflopsFiguresFollowThePublishedWeights) {
  ScriptClock clock;
  ScriptRun(clock);
  FlopsState st;
  FlopsInit(st);
  for (int k = 1; k <= 8; ++k) FlopsModule(st, clock, k);
  double mean = FlopsSummary(st);
  EXPECT_DOUBLE_EQ(st.nulltime, 32.0);
  const double module[9] = {0, 14.0 / 480, 7.0 / 64, 17.0 / 32, 15.0 / 32, 29.0 / 32, 29.0 / 32, 12.0 / 32, 30.0 / 32};
  for (int k = 1; k <= 8; ++k) EXPECT_NEAR(st.moduleMflops[k], module[k], 1e-12) << k;
  const double mflops[5] = {0, 52.0 / (5 * 64 + 32), 152.0 / (480 + 4 * 32 + 4 * 32), 146.0 / (480 + 6 * 32),
                            91.0 / (4 * 32)};
  for (int i = 1; i <= 4; ++i) EXPECT_NEAR(st.mflops[i], mflops[i], 1e-12) << i;
  EXPECT_NEAR(mean, (mflops[1] + mflops[2] + mflops[3] + mflops[4]) / 4, 1e-12);
}

TEST(FlopsTest, CardRecordAndSwitches) {
  test::ReportContext t;
  ScriptClock clock;
  clock.steps = {0.5, 0.5};  // the two readings that prime the clock
  ScriptRun(clock);
  RunFpuEmulationWith(t.ctx, 0, 0, clock, FlopsLimits{});
  auto lines = t.Lines();
  // Head 10, eight modules, empty line, Iteration, NullTime, four MFLOPS,
  // empty line, score, closing line.
  ASSERT_EQ(lines.size(), 10u + 8 + 1 + 6 + 3);
  test::ExpectCardColumns(lines, 2);  // "%2lu.%0.1lu" of 1000.0
  EXPECT_EQ(lines[3], "|   100 Percent at : 1000.0 MFlops                                           |");
  EXPECT_EQ(lines[10], "|   [-] Integral of df(x)/f(x)                                     0.02    |");
  EXPECT_EQ(lines[12], "|   [-] Integral of sin(x) from 0.0 to PI/3.0 (Trapazoidal)        0.53    |");
  EXPECT_EQ(lines[15], "|   [-] Integral of sos(x)*cos(x) from 0.0 to PI/4 (Trap.)         0.90    |");
  EXPECT_EQ(lines[19].substr(0, 20), "|   [-] Iteration   ");
  EXPECT_EQ(lines[19].substr(55), "           31250    |");
  EXPECT_EQ(lines[20], "|   [-] NullTime (usec)                                           32.00    |");
  EXPECT_EQ(lines[24].substr(0, 16), "|   [-] MFLOPS(4");
  EXPECT_EQ(lines[26], "|   KelvaRANKS : DISABLED                                                  |");

  EXPECT_NEAR(t.ctx.results.figure(rec::kFpuModule), 14.0 / 480, 1e-12);
  EXPECT_NEAR(t.ctx.results.figure(rec::kFpuModule + 8 * 7), 30.0 / 32, 1e-12);
  EXPECT_NEAR(t.ctx.results.figure(rec::kFpuMflops + 8 * 3), 91.0 / 128, 1e-12);
  EXPECT_EQ(t.ctx.results.score(slot::kFpu).valid, 0.0);
  // Cache and multitasking are switched around every module.
  ASSERT_EQ(t.exec.calls.size(), 32u);
  for (size_t k = 0; k < 8; ++k) {
    EXPECT_EQ(t.exec.calls[4 * k], "CacheOff");
    EXPECT_EQ(t.exec.calls[4 * k + 1], "Forbid");
    EXPECT_EQ(t.exec.calls[4 * k + 2], "Permit");
    EXPECT_EQ(t.exec.calls[4 * k + 3], "CacheOn");
  }
}

TEST(FlopsTest, NegativeRunTimeScoresZero) {
  // The null loop takes longer than every module loop: the module times come
  // out negative and so do the figures; only nulltime itself is clamped.
  test::ReportContext t;
  ScriptClock clock;
  clock.steps = {0.5, 0.5};
  clock.Loop(16);
  clock.Loop(30);
  clock.Loop(1);
  clock.Loop(3);
  for (int k = 3; k <= 8; ++k) clock.Loop(2);
  RunFpuEmulationWith(t.ctx, 1, 0, clock, FlopsLimits{});
  EXPECT_LT(t.ctx.results.figure(rec::kFpuMean), 0.0);
  ScoreSlot s = t.ctx.results.score(slot::kFpu);
  EXPECT_EQ(s.percent, 0.0);
  EXPECT_EQ(s.valid, 1.0);
}

TEST(FlopsTest, ZeroLoopTimeGivesNoFigure) {
  // Loops shorter than the clock's tick: a zero run time is not an infinite
  // figure.
  ScriptClock clock;
  clock.rest = 0.0;
  clock.Loop(16);
  FlopsState st;
  FlopsInit(st);
  for (int k = 1; k <= 8; ++k) FlopsModule(st, clock, k);
  FlopsSummary(st);
  for (int k = 2; k <= 8; ++k) EXPECT_EQ(st.moduleMflops[k], 0.0) << k;
  EXPECT_EQ(st.mflops[4], 0.0);
}

}  // namespace
}  // namespace kr
