// A context over fake host services and an empty home, for the start-up
// suites: the home starts without any folder so first starts can be shown.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "engine/context.h"
#include "engine/status_model.h"
#include "platform/fake/fake_dos.h"
#include "platform/fake/fake_exec.h"
#include "platform/fake/fake_mpega.h"
#include "platform/fake/fake_requester.h"
#include "platform/fake/fake_timer.h"
#include "platform/linux/linux_dos.h"
#include "records/settings_record.h"
#include "shell/startup.h"
#include "shell/startup_checks.h"
#include "support/host_files.h"
#include "support/test_context.h"
#include "platform/fake/fake_host_probe.h"
#include "records/sysinfo_record.h"

namespace kr::test {

// Counts the timer's opens and closes.
class CountingTimer : public FakeTimer {
 public:
  int opens = 0, closes = 0;
  bool Open() override {
    ++opens;
    return FakeTimer::Open();
  }
  void Close() override { ++closes; }
};

// Records what the start-up window was told.
class RecordingProgress : public StartupProgress {
 public:
  std::vector<std::string> texts;
  std::vector<int32_t> gauges;
  std::vector<int32_t> pauses;
  int opens = 0, closes = 0;
  void Open() override { ++opens; }
  void SetText(std::string_view t) override { texts.emplace_back(t); }
  void SetGauge(int32_t g) override { gauges.push_back(g); }
  void Pause(int32_t ticks) override { pauses.push_back(ticks); }
  void Close() override { ++closes; }
};

// Front-end hooks that record their calls; any of them can be made to fail.
class RecordingHooks : public StartupHooks {
 public:
  RecordingProgress progress;
  bool quickStart = true;
  bool failFonts = false, failGui = false, failDatabases = false, failMainWindow = false;
  std::vector<std::string> calls;

  StartupProgress& Progress() override { return progress; }
  bool QuickStart() override { return quickStart; }
  bool InitFonts(Context&) override { return Note("InitFonts", !failFonts); }
  void CloseFonts(Context&) override { calls.push_back("CloseFonts"); }
  bool BuildGui(Context&) override { return Note("BuildGui", !failGui); }
  void DisposeGui(Context&) override { calls.push_back("DisposeGui"); }
  bool LoadDatabases(Context&) override { return Note("LoadDatabases", !failDatabases); }
  void SaveDatabases(Context&) override { calls.push_back("SaveDatabases"); }
  bool OpenMainWindow(Context&) override { return Note("OpenMainWindow", !failMainWindow); }
  void OpenFirstRunSettings(Context&) override { calls.push_back("OpenFirstRunSettings"); }
  void GatherDriveInfo(Context&) override { calls.push_back("GatherDriveInfo"); }

 private:
  bool Note(const char* name, bool ok) {
    calls.push_back(name);
    return ok;
  }
};

struct ShellWorld {
  // A new home below a temporary folder (made by the program itself), or
  // an existing home: a later start of the program on it.
  explicit ShellWorld(std::string home = "") : dos(home.empty() ? root.path() + "/home" : home, ram.path()) {
    SetBuiltinDefaults(ctx.settings);
    ResetSystemInfo(ctx.sysinfo);
    ctx.run.noChipMemory = 1;
    ctx.mpega = &mpega;
  }

  TempDir root;
  TempDir ram;
  FakeExec exec;
  CountingTimer timer;
  FakeRequester requester;
  StatusModel status;
  FakeMpega mpega;
  // The real dos layer that can be made read-only (every change refused,
  // as the kernel does for a read-only mount), given a path that cannot be
  // opened, or made to fail chosen calls. Root ignores permission bits, so
  // a chmod would not show these.
  FakeDos dos;
  Context ctx{exec, timer, dos, requester, status};
  RecordingHooks hooks;
  FakeHostProbe probe = PegasosHost();  // no chip memory, like this host

  // StartUp on this world.
  int Start(StartupState& state) { return StartUp(ctx, probe, hooks, state); }

  std::string Home() const { return dos.home(); }
  std::string HomeFile(std::string_view rest) const { return Home() + "/" + std::string(rest); }

  // The requests shown so far whose text contains `part`.
  int Asked(std::string_view part) const {
    int n = 0;
    for (const auto& a : requester.asked)
      if (a.text.find(part) != std::string::npos) ++n;
    return n;
  }
};

inline void WriteHostFile(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

inline int64_t HostFileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? int64_t(st.st_size) : -1;
}

inline bool HostExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// FNV-1a over the 17 data files of a home, in order.
inline uint64_t DataFilesDigest(const std::string& home) {
  uint64_t h = 1469598103934665603ull;
  for (int k = 0; k < kDataFileCount; ++k)
    for (uint8_t b : ReadHostFile(home + "/Data/" + DataFileName(k))) h = (h ^ b) * 1099511628211ull;
  return h;
}

}  // namespace kr::test
