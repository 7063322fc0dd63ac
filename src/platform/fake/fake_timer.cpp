#include "platform/fake/fake_timer.h"

namespace kr {

void FakeTimer::GetSysTime(TimeVal& tv) {
  ++calls;
  tv = now;
  uint64_t step = defaultStep;
  if (!steps.empty()) {
    step = steps.front();
    steps.pop_front();
  }
  uint64_t micro = uint64_t(now.micro) + step;
  now.secs += uint32_t(micro / 1000000);
  now.micro = uint32_t(micro % 1000000);
}

}  // namespace kr
