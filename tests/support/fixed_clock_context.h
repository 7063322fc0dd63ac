// A test context whose dos clock stands still, so run stamps, report names
// and whole reports are the same on every run.
#pragma once

#include <string>

#include "engine/context.h"
#include "engine/status_model.h"
#include "platform/fake/fake_exec.h"
#include "platform/fake/fake_requester.h"
#include "platform/fake/fake_timer.h"
#include "platform/linux/linux_dos.h"
#include "records/settings_record.h"
#include "support/test_context.h"
#include "records/sysinfo_record.h"

namespace kr::test {

// The real dos layer with Now() fixed.
class FixedClockDos : public LinuxDos {
 public:
  FixedClockDos(std::string home, std::string ram, DateStamp when)
      : LinuxDos(std::move(home), std::move(ram)), when_(when) {}
  DateStamp Now() override { return when_; }
  void Set(DateStamp when) { when_ = when; }

 private:
  DateStamp when_;
};

// 14.06.03 12:34:56 in days since 1978-01-01, minutes and 1/50 s ticks.
inline constexpr DateStamp kFixedStamp{9295, 12 * 60 + 34, 56 * 50};

// The test context with the real dos layer and the fixed clock.
template <class Dos = FixedClockDos, class Timer = FakeTimer, class Status = StatusModel>
struct BasicFixedClockContext : BasicTestContext<Dos, Timer, Status> {
  BasicFixedClockContext() : BasicTestContext<Dos, Timer, Status>(kFixedStamp) {}
};

using FixedClockContext = BasicFixedClockContext<>;

}  // namespace kr::test
