// One context over fake host services and a private home in memory-backed
// storage, shared by every run of a fuzz target: each input is written to the
// file a reader takes, then the reader runs as the program runs it.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
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

namespace kr::fuzz {

class Home {
 public:
  Home() {
    std::string tmpl = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/kr-fuzz-XXXXXX");
    if (!::mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
    for (const char* d : {"Data", "Reports", "Database", "Database/Local", "Database/Server", "RAM"})
      MakeDirs(path_ + "/" + d);
  }
  ~Home() {
    std::string cmd = "rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) std::perror("rm");
  }
  const std::string& path() const { return path_; }
  // Writes `bytes` as the file at `rest` below the home (replacing it).
  void Put(const std::string& rest, const uint8_t* data, size_t size) const {
    FILE* f = std::fopen((path_ + "/" + rest).c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
  }

 private:
  std::string path_;
};

// A fresh context per input (records zero-filled, built-in settings) over
// the one home.
struct FuzzContext {
  FakeExec exec;
  FakeTimer timer;
  FakeRequester requester;
  StatusModel status;
  FakeDos dos;
  Context ctx;

  explicit FuzzContext(const Home& home)
      : dos(home.path(), home.path() + "/RAM"), ctx(exec, timer, dos, requester, status) {
    SetBuiltinDefaults(ctx.settings);
    ResetSystemInfo(ctx.sysinfo);
    ctx.run.noChipMemory = 1;
  }
};

inline const Home& TheHome() {
  static Home home;
  return home;
}

}  // namespace kr::fuzz
