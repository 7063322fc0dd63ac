// timer.device: a microsecond time stamp.
#pragma once

#include <cstdint>

namespace kr {

struct TimeVal {
  uint32_t secs = 0;
  uint32_t micro = 0;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual bool Open() = 0;  // false when the timer service cannot be had
  virtual void Close() = 0;
  virtual void GetSysTime(TimeVal& tv) = 0;
};

}  // namespace kr
