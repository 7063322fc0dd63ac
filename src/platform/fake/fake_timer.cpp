#include "platform/fake/fake_timer.h"

#include <utility>

namespace kr {

void FakeTimer::GetSysTime(TimeVal& tv) {
  ++calls;
  tv = now;
  lastStamp = now;
  uint64_t step = defaultStep;
  if (!steps.empty()) {
    step = steps.front();
    steps.pop_front();
  }
  uint64_t micro = uint64_t(now.micro) + step;
  now.secs += uint32_t(micro / 1000000);
  now.micro = uint32_t(micro % 1000000);
}

void FakeTimer::GetThreadCpuTime(TimeVal& tv) {
  if (!cpuLag.empty()) {
    lostCpu += cpuLag.front();
    cpuLag.pop_front();
  }
  const uint64_t wall = uint64_t(lastStamp.secs) * 1000000u + lastStamp.micro;
  const uint64_t cpu = wall > lostCpu ? wall - lostCpu : 0;
  tv.secs = uint32_t(cpu / 1000000u);
  tv.micro = uint32_t(cpu % 1000000u);
}

bool FakeTimer::Delay(uint32_t ticks, const std::atomic<bool>* stop) {
  delays.push_back(ticks);
  if (stopDuringDelay) std::exchange(stopDuringDelay, nullptr)->store(true);
  if (stop && stop->load()) return false;
  const uint64_t micro = uint64_t(now.micro) + uint64_t(ticks) * 20000u;
  now.secs += uint32_t(micro / 1000000);
  now.micro = uint32_t(micro % 1000000);
  return true;
}

}  // namespace kr
