#include "platform/linux/linux_timer.h"

#include <time.h>

namespace kr {

void LinuxTimer::GetSysTime(TimeVal& tv) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  tv.secs = uint32_t(ts.tv_sec);
  tv.micro = uint32_t(ts.tv_nsec / 1000);
}

}  // namespace kr
