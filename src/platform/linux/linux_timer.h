#pragma once

#include "platform/timer.h"

namespace kr {

// CLOCK_MONOTONIC in microseconds.
class LinuxTimer : public Timer {
 public:
  bool Open() override { return true; }
  void Close() override {}
  void GetSysTime(TimeVal& tv) override;
};

}  // namespace kr
