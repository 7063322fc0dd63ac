// timer.device: a microsecond time stamp.
#pragma once

#include <atomic>
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
  // The calling thread's CPU time (user and system), on the same scale as
  // GetSysTime. A timed span's wall time beyond its CPU time is time the
  // thread did not run: a stall.
  virtual void GetThreadCpuTime(TimeVal& tv) = 0;
  // dos.library Delay: waits `ticks` fiftieths of a second. It lives with the
  // clock so that a test's fake clock never really waits. A raised `stop`
  // ends the wait early; the result is false then.
  virtual bool Delay(uint32_t ticks, const std::atomic<bool>* stop) = 0;
};

}  // namespace kr
