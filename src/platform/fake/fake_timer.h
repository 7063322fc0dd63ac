#pragma once

#include <deque>
#include <vector>

#include "platform/timer.h"

namespace kr {

// A clock that advances by scripted steps: every GetSysTime returns the
// current time and then advances it by the next scripted step in
// microseconds (or by defaultStep when the script is used up). With a fixed
// step every timed region lasts exactly that long, so whole runs and their
// reports are deterministic.
class FakeTimer : public Timer {
 public:
  TimeVal now{1000, 0};
  std::deque<uint64_t> steps;
  uint64_t defaultStep = 1000000;
  int calls = 0;
  bool failOpen = false;

  bool Open() override { return !failOpen; }
  void Close() override {}
  // Every Delay asked for, in ticks; a delay moves the clock on by its
  // length without waiting. With stopDuringDelay the stop flag is raised
  // when the next delay begins (a Ctrl-C during a wait).
  std::vector<uint32_t> delays;
  std::atomic<bool>* stopDuringDelay = nullptr;

  void GetSysTime(TimeVal& tv) override;
  // The CPU clock agrees with the wall clock: it shows the last stamp
  // GetSysTime gave (without moving the clock on) less the CPU time the
  // script says the thread lost. Every read takes the next entry of cpuLag
  // (microseconds, 0 when used up) and adds it to the loss, so {0, 60000}
  // makes the first timed span a stall of 60 ms.
  std::deque<uint64_t> cpuLag;
  uint64_t lostCpu = 0;
  TimeVal lastStamp{1000, 0};
  void GetThreadCpuTime(TimeVal& tv) override;
  bool Delay(uint32_t ticks, const std::atomic<bool>* stop) override;
};

}  // namespace kr
