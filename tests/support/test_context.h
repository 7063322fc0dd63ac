// A context over fake host services and a fresh temporary home.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

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

// Fake exec, fake timer (1 s per timed region unless scripted), fake
// requester, a status model and the real dos layer over a temporary home
// (PROGDIR:) and RAM folder (RAM:), with the built-in default settings. The
// dos layer fails only the calls a test asks it to (platform/fake/fake_dos.h).
struct TestContext {
  TempDir home;
  TempDir ram;
  FakeExec exec;
  FakeTimer timer;
  FakeRequester requester;
  StatusModel status;
  FakeDos dos{home.path(), ram.path()};
  Context ctx{exec, timer, dos, requester, status};

  TestContext() {
    SetBuiltinDefaults(ctx.settings);
    ResetSystemInfo(ctx.sysinfo);
    ctx.run.noChipMemory = 1;
    for (const char* d : {"Data", "Reports", "Database", "Database/Local", "Database/Server", "Docs"})
      MakeDirs(home.path() + "/" + d);
  }
};

}  // namespace kr::test
