// The cost of a timed region: StartTiming + StopTiming over the real Linux
// exec and timer, against a bare pair of clock_gettime calls. With both
// switches on (cache on, multitasking on) the region should add little beyond
// the two clock reads; with both off it also pins the thread and asks for the
// real-time class (Forbid/Permit), which is shown for comparison.
#include <benchmark/benchmark.h>

#include <time.h>

#include "engine/context.h"
#include "engine/status_model.h"
#include "engine/timing.h"
#include "platform/fake/fake_requester.h"
#include "platform/linux/linux_dos.h"
#include "platform/linux/linux_exec.h"
#include "platform/linux/linux_timer.h"

namespace {

struct RealContext {
  kr::LinuxExec exec;
  kr::LinuxTimer timer;
  kr::LinuxDos dos{"/tmp", "/tmp"};
  kr::FakeRequester requester;
  kr::StatusModel status;
  kr::Context ctx{exec, timer, dos, requester, status};
};

void BM_TimedRegion(benchmark::State& state) {
  RealContext rc;
  const int32_t cacheOn = int32_t(state.range(0)), multitaskingOn = int32_t(state.range(1));
  double total = 0.0;
  for (auto _ : state) {
    kr::StartTiming(rc.ctx, cacheOn, multitaskingOn);
    total += kr::StopTiming(rc.ctx, cacheOn, multitaskingOn);
  }
  benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_TimedRegion)->ArgNames({"cache", "multitasking"})->Args({1, 1})->Args({0, 0});

void BM_BareClockPair(benchmark::State& state) {
  timespec a{}, b{};
  for (auto _ : state) {
    clock_gettime(CLOCK_MONOTONIC, &a);
    clock_gettime(CLOCK_MONOTONIC, &b);
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
  }
}
BENCHMARK(BM_BareClockPair);

}  // namespace

BENCHMARK_MAIN();
