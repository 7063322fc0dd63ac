// The host of one program run, the same for the desktop and the terminal
// program: the services the context is built on, the lock on the home, the
// limit of open files, and the line that says why the start-up failed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/context.h"
#include "platform/linux/linux_blockdev.h"
#include "platform/linux/linux_dos.h"
#include "platform/linux/linux_exec.h"
#include "platform/linux/linux_host_probe.h"
#include "platform/linux/linux_timer.h"
#include "platform/mpega.h"
#include "shell/startup.h"

namespace kr {

// A home named on the command line as an absolute path (a relative one is
// taken from the working folder); empty: the default home.
std::string AbsoluteHome(const std::string& home);

class Host {
  // First: the limit is raised and the home named before the services start.
  uint64_t openFileLimit_;
  std::string home_;

 public:
  // Raises the limit of open files first (the drive section's file tests
  // keep up to 3000 files open), then sets up the services on `home` (see
  // AbsoluteHome).
  explicit Host(const std::string& home);
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  const std::string& home() const { return home_; }
  // The limit of open files in force after the raise.
  uint64_t openFileLimit() const { return openFileLimit_; }

  // One program at a time on a home (HomeLock::Take); lockError() says why
  // after kFailed. The lock is held until UnlockHome or the host's end.
  HomeLock::Outcome LockHome(bool wait) { return lock_.Take(home_, wait); }
  const std::string& lockError() const { return lock_.error(); }
  void UnlockHome() { lock_.Release(); }

  // Hands the context the services it does not take in its constructor
  // (the sound decoder and the block devices).
  void Attach(Context& ctx);

  LinuxExec exec;
  LinuxTimer timer;
  LinuxDos dos;
  LinuxBlockDevices devices;  // before the context: the drive state may hold a unit of it
  LinuxHostProbe probe{exec};
  std::unique_ptr<Mpega> mpega;

 private:
  HomeLock lock_;
};

// "start-up failed in STEP (PATH): REASON", each part only when known; the
// front end says how a host path and a Latin-1 reason are shown.
std::string StartupFailureLine(const StartupState& state, const std::function<std::string(std::string_view)>& showPath,
                               const std::function<std::string(std::string_view)>& showReason);

}  // namespace kr
