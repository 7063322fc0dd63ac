// Timed regions, elapsed time and the loop-overhead calibrations.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "engine/timing.h"
#include "support/test_context.h"

namespace kr {
namespace {

TEST(TimedRegion, SwitchesInTheFixedOrderAroundTheTwoStamps) {
  struct Case {
    int32_t cacheOn, multitaskingOn;
    std::vector<std::string> calls;
  } cases[] = {
      {0, 0, {"CacheOff", "Forbid", "Permit", "CacheOn"}},
      {1, 1, {}},
      {0, 1, {"CacheOff", "CacheOn"}},
      {1, 0, {"Forbid", "Permit"}},
      // Only the low 16 bits of the multitasking switch are tested.
      {1, 0x10000, {"Forbid", "Permit"}},
  };
  for (const Case& c : cases) {
    test::TestContext t;
    t.timer.steps = {250};
    StartTiming(t.ctx, c.cacheOn, c.multitaskingOn);
    // Exactly one stamp on entry, and it came after every switch.
    EXPECT_EQ(t.timer.calls, 1);
    EXPECT_EQ(t.exec.calls.size(), c.calls.size() / 2);
    // A display on another thread sees the region open (and draws nothing).
    EXPECT_TRUE(t.ctx.timingOpen.load());
    double s = StopTiming(t.ctx, c.cacheOn, c.multitaskingOn);
    EXPECT_EQ(t.timer.calls, 2);
    EXPECT_EQ(t.exec.calls, c.calls) << c.cacheOn << "," << c.multitaskingOn;
    EXPECT_DOUBLE_EQ(s, 0.000250);
    EXPECT_FALSE(t.ctx.timingOpen);
  }
}

TEST(TimedRegion, ElapsedTimeUsesWrappingMicroseconds) {
  EXPECT_DOUBLE_EQ(ElapsedSeconds({10, 999999}, {11, 1}), 0.000002);
  EXPECT_DOUBLE_EQ(ElapsedSeconds({0, 0}, {3, 500000}), 3.5);
  // 4295 s is past 2^32 microseconds: the result wraps, as the host's does.
  EXPECT_DOUBLE_EQ(ElapsedSeconds({0, 0}, {4295, 0}), double(uint32_t(4295000000ull)) * 1e-6);
}

// One span of 250 ms per attempt; the fake CPU clock loses cpuLag.
struct SpanRun {
  int attempts;
  double seconds;
  size_t errors;
};
SpanRun RunSpan(test::TestContext& t, std::deque<uint64_t> lag, std::deque<uint64_t> steps, int32_t mt = 1) {
  t.timer.cpuLag = std::move(lag);
  t.timer.steps = std::move(steps);
  CleanSpan span(t.ctx, "PROCESSOR", "ZLib deflate", mt);
  while (span.Attempt()) {
    StartTiming(t.ctx, 1, mt);
    span.Took(StopTiming(t.ctx, 1, mt));
  }
  return {span.Attempts(), span.Seconds(), t.ctx.errorLog.entries.size()};
}

TEST(CleanSpan, StalledSpansAreMeasuredAgainAndTheLastResortIsLogged) {
  struct Case {
    const char* what;
    std::deque<uint64_t> lag, steps;
    int attempts;
    double seconds;
    size_t errors;
  } cases[] = {
      {"no stall", {}, {250000, 1}, 1, 0.25, 0},
      // The margin is 100 us + 1 % of the wall time: 2600 us of 250 ms.
      {"within the margin", {0, 2600}, {250000, 1}, 1, 0.25, 0},
      {"a throttled span", {0, 50000}, {300000, 1, 250000, 1}, 2, 0.25, 0},
      // Four stalls: the least stalled attempt counts and the log says so.
      {"never clean",
       {0, 9000, 0, 7000, 0, 8000, 0, 9000},
       {259000, 1, 257000, 1, 258000, 1, 259000, 1},
       4, 0.257, 1},
  };
  for (const Case& c : cases) {
    test::TestContext t;
    const SpanRun r = RunSpan(t, c.lag, c.steps);
    EXPECT_EQ(r.attempts, c.attempts) << c.what;
    EXPECT_DOUBLE_EQ(r.seconds, c.seconds) << c.what;
    ASSERT_EQ(r.errors, c.errors) << c.what;
    if (r.errors) {
      EXPECT_STREQ(t.ctx.errorLog.entries[0].location, "PROCESSOR");
      EXPECT_STREQ(t.ctx.errorLog.entries[0].function, "ZLib deflate");
      EXPECT_STREQ(t.ctx.errorLog.entries[0].reason, "No clean timing in 4 tries: stalled 7000 us");
    }
  }
}

TEST(CleanSpan, RealTimeSpansWaitUntilTheBudgetCoversThem) {
  test::TestContext t;
  t.timer.defaultStep = 1;
  t.exec.budget = {950000, 1000000};
  // 600 ms, then a span expected as long: 1.2 s would pass the budget, so it
  // waits (in ticks of 20 ms) until the first span is a period old.
  RunSpan(t, {}, {600000, 1}, 0);
  EXPECT_TRUE(t.timer.delays.empty());
  RunSpan(t, {}, {}, 0);
  EXPECT_EQ(t.timer.delays.size(), 50u);
  EXPECT_EQ(t.timer.delays.front(), 1u);
  // Without a budget (or with multitasking on) nothing waits.
  test::TestContext u;
  u.timer.defaultStep = 1;
  RunSpan(u, {}, {600000, 1}, 0);
  RunSpan(u, {}, {600000, 1}, 0);
  t.timer.delays.clear();
  RunSpan(t, {}, {600000, 1}, 1);
  RunSpan(t, {}, {600000, 1}, 1);
  EXPECT_TRUE(u.timer.delays.empty());
  EXPECT_TRUE(t.timer.delays.empty());
}

TEST(TimedRegion, ReadCentiseconds) {
  test::TestContext t;
  t.timer.now = {5, 123456};
  EXPECT_EQ(ReadCentiseconds(t.ctx), 512u);
}

TEST(Calibration, InnerStepsFollowTheKernelShapes) {
  struct Case {
    uint32_t passes, limit, stride;
    uint64_t steps;
  } cases[] = {
      {3, 7, 8, 3},             // blockSize 7: the inner step runs once per pass (i = 0 only)
      {2, 128, 8, 32},
      {1, 8388608 / 2, 16, 262144},
      {4, 8388608 / 4, 32, 4 * 65536},
      {0, 1024, 8, 0},
      {5, 0, 8, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EmptyLoopNest(c.passes, c.limit, c.stride), c.steps) << c.passes << " " << c.limit << " " << c.stride;
}

TEST(Calibration, TimesTheEmptyLoopAndSetsTheMemoryState) {
  test::TestContext t;
  std::vector<std::string> states;
  t.status.onChange = [&](Section s) {
    const std::string& v = t.status.text(Section::Memory, StatusField::State);
    if (s == Section::Memory && (states.empty() || states.back() != v)) states.push_back(v);
  };
  t.timer.steps = {1500};
  double s = CalibrateWordLoop(t.ctx, 4096, 10, 0, 0);
  EXPECT_DOUBLE_EQ(s, 0.0015);
  EXPECT_EQ(states, (std::vector<std::string>{"Calibrating...", "Benchmarking..."}));
  EXPECT_EQ(t.exec.calls, (std::vector<std::string>{"CacheOff", "Forbid", "Permit", "CacheOn"}));
}

}  // namespace
}  // namespace kr
