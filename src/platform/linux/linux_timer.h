#pragma once

#include "platform/timer.h"

namespace kr {

// CLOCK_MONOTONIC in microseconds.
class LinuxTimer : public Timer {
 public:
  bool Open() override { return true; }
  void Close() override {}
  void GetSysTime(TimeVal& tv) override;
  // CLOCK_THREAD_CPUTIME_ID in microseconds.
  void GetThreadCpuTime(TimeVal& tv) override;
  // Sleeps in pieces of at most 0.1 s, looking at `stop` between them.
  bool Delay(uint32_t ticks, const std::atomic<bool>* stop) override;
};

}  // namespace kr
