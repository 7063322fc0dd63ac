// The start-up and shutdown sequence, front-end independent.
//
// StartUp brings the program up in a fixed order:
//   1. fonts                          (hooks.InitFonts)
//   2. timer service                  (ctx.timer.Open)
//   3. volume list and GUI            (hooks.BuildGui)
//   4. system information             (CollectSystemInfo with the probe)
//   5. the home: its folders, the built-in assets and the server
//      description when they are missing
//   6. the start-up checks (shell/startup_checks.h), run again after an
//      outdated defaults or configuration file was deleted
//   7. module databases and main window (hooks.LoadDatabases,
//      hooks.OpenMainWindow)
//   8. first run: the settings window (hooks.OpenFirstRunSettings), and the
//      first-run flag is cleared; otherwise the drive information
//      (hooks.GatherDriveInfo)
//   9. the error-log output when the settings switch it on
// Any failure releases what was acquired, in reverse order, and StartUp
// returns 20. ShutDown saves the defaults, and the settings when "save at
// exit" is on, then releases everything in reverse order.
#pragma once

#include <string>
#include <string_view>

#include "engine/context.h"
#include "shell/startup_checks.h"
#include "platform/host_probe.h"

namespace kr {

inline constexpr int kStartupOk = 0;
inline constexpr int kStartupFailed = 20;

// The server description a new home gets: a collection server on this
// machine (docs/startup.md says how to point it elsewhere).
inline constexpr std::string_view kDefaultServerHost = "http://localhost:8080";
inline constexpr std::string_view kDefaultServerPath = "kelvarank";

// What a front end adds to the sequence. The terminal front end takes the
// defaults (no fonts, no windows, quick start); the desktop program
// implements the windows. The hooks for other subsystems' steps (module
// databases, drive information) are called here in their place of the order.
class StartupHooks {
 public:
  virtual ~StartupHooks() = default;

  // The start-up window of the checks.
  virtual StartupProgress& Progress() = 0;
  // QUICKSTART=TRUE: no pauses between the check steps.
  virtual bool QuickStart() { return true; }

  virtual bool InitFonts(Context&) { return true; }
  virtual void CloseFonts(Context&) {}
  virtual bool BuildGui(Context&) { return true; }
  virtual void DisposeGui(Context&) {}
  // Loads the Local and Server indexes into ctx.modules (a missing index is
  // an empty database); a front end that overrides it calls this first.
  virtual bool LoadDatabases(Context& ctx);
  virtual void SaveDatabases(Context&) {}
  virtual bool OpenMainWindow(Context&) { return true; }
  virtual void OpenFirstRunSettings(Context&) {}
  // Gathers the drive information of the settings' partition
  // (bench/drive/drive_access.h) with ctx.drive.devices.
  virtual void GatherDriveInfo(Context& ctx);
};

// What StartUp acquired, for ShutDown (and for its own clean-up on failure).
struct StartupState {
  bool fontsOpen = false;
  bool timerOpen = false;
  bool guiBuilt = false;
  bool databasesLoaded = false;
  bool started = false;   // StartUp returned 0
  bool firstRun = false;  // the settings were newly made at this start
  // After a failure: the step that failed ("InitFonts", "OpenTimer",
  // "BuildGui", "MakeHome", "InstallAssets", "RunStartupChecks",
  // "LoadDatabases", "OpenMainWindow") and, when a file or folder stopped
  // it, its path and the system's reason ("No space left on device").
  std::string failedStep;
  std::string failedPath;
  std::string failedReason;
};

// 0 when the program is up, 20 when start-up failed (everything acquired is
// released again and ShutDown has nothing left to do).
// `probe` is the host detection of this host (platform/host_probe.h).
int StartUp(Context& ctx, HostProbe& probe, StartupHooks& hooks, StartupState& state);

// Removes the temporaries a whole-file write or a report cut short by a
// kill leaves in the home's folders ("<name>.<16 hex>.new" and ".part",
// regular files only, no link followed) that were last changed before
// `before` (seconds since 1970). StartUp calls it first, with its own start:
// the caller holds the home lock, so such a file belongs to no live process.
// Returns how many were removed.
int RemoveStaleTemporaries(Context& ctx, int64_t before);

// Saves the defaults and, with "save at exit", the settings; closes the
// error-log output; releases databases, GUI, timer and fonts. Does nothing
// when the program is not up.
void ShutDown(Context& ctx, StartupHooks& hooks, StartupState& state);

}  // namespace kr
