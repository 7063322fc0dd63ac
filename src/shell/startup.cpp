#include "shell/startup.h"

#include <ctime>

#include "bench/drive/drive_access.h"
#include "engine/errorlog.h"
#include "modules/module_base.h"
#include "settings/config_files.h"
#include "settings/server_data.h"
#include "shell/assets.h"
#include "sysinfo/sysinfo.h"

namespace kr {
namespace {

// One pass makes the files, a second one replaces outdated ones; a file
// still outdated after that cannot be renewed.
constexpr int kCheckPasses = 2;

void Release(Context& ctx, StartupHooks& hooks, StartupState& state) {
  if (ctx.errorLog.outputOpen) CloseErrorLogOutput(ctx);
  if (state.databasesLoaded) hooks.SaveDatabases(ctx);
  state.databasesLoaded = false;
  if (state.guiBuilt) hooks.DisposeGui(ctx);
  state.guiBuilt = false;
  if (state.timerOpen) ctx.timer.Close();
  state.timerOpen = false;
  if (state.fontsOpen) hooks.CloseFonts(ctx);
  state.fontsOpen = false;
  state.started = false;
}

int Fail(Context& ctx, StartupHooks& hooks, StartupState& state, std::string_view step) {
  state.failedStep = std::string(step);
  Release(ctx, hooks, state);
  return kStartupFailed;
}

// The folders of the home where whole-file writes and reports leave their
// temporaries.
constexpr std::string_view kTemporaryFolders[] = {"PROGDIR:", "PROGDIR:Data/", "PROGDIR:Reports/",
                                                  "PROGDIR:Database/Local/", "PROGDIR:Database/Server/"};

}  // namespace

int RemoveStaleTemporaries(Context& ctx, int64_t before) {
  int removed = 0;
  std::vector<DirEntry> entries;
  for (std::string_view folder : kTemporaryFolders) {
    if (!ctx.dos.ListDir(folder, entries)) continue;
    for (const DirEntry& e : entries)
      if (e.isFile && e.modified < before && Dos::IsTemporaryName(e.name) &&
          ctx.dos.DeleteFile(std::string(folder) + e.name))
        ++removed;
  }
  return removed;
}

namespace {

// Folders, built-in assets and the server description of the home. The
// program runs from its home alone: nothing is read from the source tree.
bool PrepareHome(Context& ctx, StartupState& state) {
  std::string failed;
  // Whatever a write cut short by a kill left behind: the home is locked
  // for this process, so a temporary from before its start is nobody's.
  RemoveStaleTemporaries(ctx, int64_t(std::time(nullptr)));
  if (!MakeHomeFolders(ctx, failed)) {
    state.failedStep = "MakeHome";
    state.failedPath = failed;
    state.failedReason = ctx.dos.LastErrorReason();
    LogError(ctx, "MAIN", "MakeHome", "Could not create a folder of the home");
    ctx.requester.Request(
        kErrorTitle,
        "Could not create the folder\n'" + failed + "'!\n\nMake sure KelvaRANK may write to its home folder.", "Abort");
    return false;
  }
  bool installed = InstallMissingAssets(ctx, failed);
  if (installed && ctx.dos.FileSize(kServerDataFile) < 0 &&
      !WriteServerData(ctx, kDefaultServerHost, kDefaultServerPath)) {
    installed = false;
    failed = ctx.dos.HostPath(kServerDataFile);
  }
  if (!installed) {
    state.failedStep = "InstallAssets";
    state.failedPath = failed;
    state.failedReason = ctx.dos.LastErrorReason();
    LogError(ctx, "MAIN", "InstallAssets", "Could not write a data file of the home");
    ctx.requester.Request(
        kErrorTitle, "Could not write the file\n'" + failed + "'!\n\nMake sure KelvaRANK may write to its home folder.",
        "Abort");
    return false;
  }
  return true;
}

bool RunChecksUntilCurrent(Context& ctx, StartupHooks& hooks, StartupState& state) {
  StartupOptions options;
  options.quickStart = hooks.QuickStart();
  for (int pass = 1;; ++pass) {
    ctx.run.defaultsOutdated = 0;
    ctx.run.configOutdated = 0;
    if (!RunStartupChecks(ctx, hooks.Progress(), options)) {
      state.failedPath = ctx.run.checkFailedPath;
      state.failedReason = ctx.run.checkFailedReason;
      return false;
    }
    if (ctx.run.firstRun) state.firstRun = true;
    if (!ctx.run.defaultsOutdated && !ctx.run.configOutdated) return true;
    if (pass == kCheckPasses) {
      // The outdated file was deleted and made again and is still not
      // current: the home does not keep what is written to it.
      std::string_view file = ctx.run.configOutdated ? kConfigFile : kDefaultsFile;
      state.failedPath = ctx.dos.HostPath(file);
      state.failedReason = "it was made again and is still not of this version's length (the home does not keep "
                           "what is written to it)";
      LogError(ctx, "MAIN", "RunStartupChecks", "Could not renew a settings file");
      ctx.requester.Request(
          kErrorTitle,
          "Could not renew the file\n'" + state.failedPath + "'!\n\nMake sure KelvaRANK may write to its home folder.",
          "Abort");
      return false;
    }
    if (ctx.run.defaultsOutdated) DeleteDefaultsFile(ctx);
    if (ctx.run.configOutdated) DeleteConfigFile(ctx);
  }
}

}  // namespace

void StartupHooks::GatherDriveInfo(Context& ctx) { kr::GatherDriveInfo(ctx); }

bool StartupHooks::LoadDatabases(Context& ctx) {
  LoadIndex(ctx, Database::Local);
  LoadIndex(ctx, Database::Server);
  return true;
}

int StartUp(Context& ctx, HostProbe& probe, StartupHooks& hooks, StartupState& state) {
  state = StartupState{};

  if (!hooks.InitFonts(ctx)) return Fail(ctx, hooks, state, "InitFonts");
  state.fontsOpen = true;
  if (!ctx.timer.Open()) return Fail(ctx, hooks, state, "OpenTimer");
  state.timerOpen = true;
  if (!hooks.BuildGui(ctx)) return Fail(ctx, hooks, state, "BuildGui");
  state.guiBuilt = true;
  CollectSystemInfo(ctx, probe);

  if (!PrepareHome(ctx, state)) return Fail(ctx, hooks, state, state.failedStep);
  if (!RunChecksUntilCurrent(ctx, hooks, state)) return Fail(ctx, hooks, state, "RunStartupChecks");

  if (!hooks.LoadDatabases(ctx)) return Fail(ctx, hooks, state, "LoadDatabases");
  state.databasesLoaded = true;
  if (!hooks.OpenMainWindow(ctx)) return Fail(ctx, hooks, state, "OpenMainWindow");

  if (ctx.run.firstRun) {
    hooks.OpenFirstRunSettings(ctx);
    ctx.run.firstRun = 0;
  } else {
    hooks.GatherDriveInfo(ctx);
  }
  if (ctx.settings.errorLogEnabled()) OpenErrorLogOutput(ctx);
  state.started = true;
  return kStartupOk;
}

void ShutDown(Context& ctx, StartupHooks& hooks, StartupState& state) {
  if (!state.started) return;
  // A failed save is in the error log; the old file stays whole.
  (void)SaveDefaults(ctx);
  if (ctx.settings.saveAtExit()) (void)SaveConfig(ctx);
  Release(ctx, hooks, state);
}

}  // namespace kr
