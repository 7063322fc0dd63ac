#include "platform/linux/linux_timer.h"

#include <errno.h>
#include <time.h>

#include <algorithm>

namespace kr {

void LinuxTimer::GetSysTime(TimeVal& tv) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  tv.secs = uint32_t(ts.tv_sec);
  tv.micro = uint32_t(ts.tv_nsec / 1000);
}

void LinuxTimer::GetThreadCpuTime(TimeVal& tv) {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  tv.secs = uint32_t(ts.tv_sec);
  tv.micro = uint32_t(ts.tv_nsec / 1000);
}

}  // namespace kr

namespace kr {

bool LinuxTimer::Delay(uint32_t ticks, const std::atomic<bool>* stop) {
  constexpr uint64_t kPieceNs = 100'000'000;
  timespec end;
  clock_gettime(CLOCK_MONOTONIC, &end);
  const uint64_t total = uint64_t(ticks) * 20'000'000u;
  uint64_t ns = uint64_t(end.tv_nsec) + total;
  end.tv_sec += time_t(ns / 1'000'000'000u);
  end.tv_nsec = long(ns % 1'000'000'000u);
  for (;;) {
    if (stop && stop->load(std::memory_order_relaxed)) return false;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t left = (int64_t(end.tv_sec) - now.tv_sec) * 1'000'000'000 + (end.tv_nsec - now.tv_nsec);
    if (left <= 0) return true;
    const uint64_t piece = std::min<uint64_t>(uint64_t(left), kPieceNs);
    timespec req{time_t(piece / 1'000'000'000u), long(piece % 1'000'000'000u)};
    while (nanosleep(&req, &req) != 0 && errno == EINTR) {
      if (stop && stop->load(std::memory_order_relaxed)) return false;
    }
  }
}

}  // namespace kr
