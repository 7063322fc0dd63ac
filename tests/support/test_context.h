// A context over fake host services and a fresh temporary home.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "bench/card.h"
#include "engine/context.h"
#include "engine/status_model.h"
#include "platform/fake/fake_dos.h"
#include "platform/fake/fake_exec.h"
#include "platform/fake/fake_requester.h"
#include "platform/fake/fake_timer.h"
#include "platform/linux/linux_dos.h"
#include "records/settings_record.h"
#include "records/sysinfo_record.h"

namespace kr::test {

// A temporary folder removed with everything in it at the end of its scope.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/kr-test-XXXXXX";
    char* p = mkdtemp(tmpl.data());
    path_ = p ? p : "";
  }
  ~TempDir() {
    if (!path_.empty()) (void)std::system(("rm -rf '" + path_ + "'").c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The one test context: fake exec, a fake timer (1 s per timed region unless
// scripted), a fake requester, a status model and the real dos layer over a
// temporary home (PROGDIR:, with the folders a start-up makes) and RAM folder
// (RAM:), with the built-in default settings and no chip memory. The dos
// layer fails only the calls a test asks it to (platform/fake/fake_dos.h).
// The standard sinks are attached, so a test or section called on its own
// writes its card into an open report and shows itself in the status model.
//
// A test that needs its own dos layer, timer or status model names it: the
// dos layer is made from the home, the RAM folder and `dosArgs`; a timer
// made from a status model gets this one.
template <class Dos = FakeDos, class Timer = FakeTimer, class Status = StatusModel>
struct BasicTestContext {
  TempDir home;
  TempDir ram;
  FakeExec exec;
  Status status;
  Timer timer;
  FakeRequester requester;
  Dos dos;
  Context ctx{exec, timer, dos, requester, status};
  StandardSinks sinks{ctx};

  template <class... A>
    requires(!std::is_constructible_v<Timer, Status&>)
  explicit BasicTestContext(A&&... dosArgs) : dos(home.path(), ram.path(), std::forward<A>(dosArgs)...) {
    Prepare();
  }
  template <class... A>
    requires std::is_constructible_v<Timer, Status&>
  explicit BasicTestContext(A&&... dosArgs)
      : timer(status), dos(home.path(), ram.path(), std::forward<A>(dosArgs)...) {
    Prepare();
  }
  BasicTestContext(const BasicTestContext&) = delete;
  BasicTestContext& operator=(const BasicTestContext&) = delete;

 private:
  void Prepare() {
    SetBuiltinDefaults(ctx.settings);
    ResetSystemInfo(ctx.sysinfo);
    ctx.run.noChipMemory = 1;
    for (const char* d : {"Data", "Reports", "Database", "Database/Local", "Database/Server", "Docs"})
      MakeDirs(home.path() + "/" + d);
  }
};

using TestContext = BasicTestContext<>;

}  // namespace kr::test
