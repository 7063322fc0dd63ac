// Timed regions, elapsed time and the loop-overhead calibrations.
#include <gtest/gtest.h>

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
