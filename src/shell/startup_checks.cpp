#include "shell/startup_checks.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "bench/drive/bench_dir.h"
#include "engine/errorlog.h"
#include "platform/bench_folder.h"
#include "platform/mpega.h"
#include "settings/config_files.h"
#include "records/display_record.h"
#include "settings/server_data.h"

namespace kr {
namespace {

// Request titles: the bold title word of the request window.
constexpr std::string_view kWarning = "\033bWARNING\033n";
constexpr std::string_view kInformation = "\033bINFORMATION\033n";

constexpr int kScratchFiles = 3000;
constexpr int32_t kStepPause = 5;  // ticks between two check steps

bool AskContinue(Context& ctx, std::string_view title, std::string_view text, std::string_view buttons) {
  // Only the first button goes on; a requester that cannot ask (-1) refuses.
  return ctx.requester.Request(title, text, buttons) == 0;
}

void Tell(Context& ctx, std::string_view title, std::string_view text, std::string_view button) {
  (void)ctx.requester.Request(title, text, button);
}

// Notes the file a check stopped on and the dos layer's reason, for the
// start-up's failure report. Returns false.
bool NoteFileFailure(Context& ctx, std::string_view path) {
  ctx.run.checkFailedPath = ctx.dos.HostPath(path);
  ctx.run.checkFailedReason = ctx.dos.LastErrorReason();
  return false;
}

// A file that was not written whole is removed: it must not pass for a
// good one at the next start. The write's error is the one reported.
bool DropPartialFile(Context& ctx, std::string_view path) {
  NoteFileFailure(ctx, path);
  if (!ctx.dos.DeleteFile(path) && ctx.dos.LastError().code != ENOENT)
    ctx.run.checkFailedReason += "; the partial file could not be removed";
  return false;
}

// Whether a settings file is known to be missing (a first start), as
// opposed to being there or being out of reach (ctx.dos says why).
bool KnownMissing(Context& ctx, std::string_view path) {
  if (ctx.dos.FileSize(path) >= 0) return false;
  int code = ctx.dos.LastError().code;
  return code == ENOENT;
}

// A settings file that is there but cannot be read stops start-up: going on
// would show or save the built-in values as if they were the user's.
bool SettingsFileUnreadable(Context& ctx, std::string_view path) {
  NoteFileFailure(ctx, path);
  Tell(ctx, kErrorTitle,
       "Could not read the file\n'" + ctx.run.checkFailedPath + "'!\n\n" + ctx.run.checkFailedReason +
           "\n\nMake sure KelvaRANK may read its home folder.",
       "Abort");
  return false;
}

}  // namespace

bool FileHasSize(Context& ctx, std::string_view path, int64_t size) { return ctx.dos.FileSize(path) == size; }

bool GenerateDataFiles(Context& ctx, StartupProgress& progress, DataFileMode mode) {
  progress.SetText(mode == DataFileMode::Generate ? "Generating Datafiles..." : "Repairing Datafiles...");
  progress.SetGauge(0);
  for (int k = 0; k < kDataFileCount; ++k) {
    progress.SetGauge(4 * k);
    const int64_t size = DataFileSize(k);
    auto* buf = static_cast<uint8_t*>(ctx.exec.AllocVec(size_t(size), MEMF_CLEAR));
    if (!buf) {
      ctx.run.checkFailedPath = ctx.dos.HostPath(std::string(kDataDir) + DataFileName(k));
      ctx.run.checkFailedReason = "could not get " + std::to_string(size) + " bytes of memory to make it";
      Tell(ctx, kErrorTitle, "Could not get enough memory to create the datafiles.", "Abort");
      return false;
    }
    FillDataBytes(buf, size_t(size), kDataSeedBase + uint32_t(k));
    const std::string path = std::string(kDataDir) + DataFileName(k);
    int64_t fh = ctx.dos.Open(path, MODE_NEWFILE);
    if (fh == 0) {
      ctx.exec.FreeVec(buf);
      NoteFileFailure(ctx, path);
      Tell(ctx, kErrorTitle,
           "Could not open a datafile for write.\n\nDelete the complete KelvaRANK-folder per Hand and reinstall.",
           "Abort");
      return false;
    }
    bool written = ctx.dos.Write(fh, buf, size) == size;
    // A file that did not reach the disk whole is a short write as well.
    written = ctx.dos.Close(fh) && written;
    ctx.exec.FreeVec(buf);
    if (!written) return DropPartialFile(ctx, path);
  }
  progress.SetGauge(100);
  return true;
}

bool CheckInstallMarker(Context& ctx, StartupProgress& progress) {
  if (int64_t fh = ctx.dos.Open(kInstallMarkerFile, MODE_OLDFILE)) {
    ctx.dos.Close(fh);
    return true;
  }
  if (!AskContinue(ctx, kInformation,
                   "This is your first start of KelvaRANK VTS 2003.\n\n"
                   "Now the needed datafiles need to be generated.\n"
                   "Make sure that on the partition you have installed\n"
                   "KelvaRANK are at least 17MB free...\n\n"
                   "\033bNOTE:\033n This action can take serval minutes!",
                   "Continue|No space")) {
    ctx.run.checkFailedPath = ctx.dos.HostPath(kDataDir);
    ctx.run.checkFailedReason = "the data files were not made (the first start was answered \"No space\")";
    return false;
  }
  if (!GenerateDataFiles(ctx, progress, DataFileMode::Generate)) return false;

  bool written = false;
  // Made new: a name already there (a link, even a dangling one) is never
  // written through.
  if (int64_t fh = ctx.dos.CreateNew(kInstallMarkerFile)) {
    const int64_t len = int64_t(kInstallMarkerText.size());
    written = ctx.dos.Write(fh, kInstallMarkerText.data(), len) == len;
    written = ctx.dos.Close(fh) && written;
    // A partial marker would pass for a finished first start.
    if (!written) DropPartialFile(ctx, kInstallMarkerFile);
  } else {
    NoteFileFailure(ctx, kInstallMarkerFile);
  }
  if (!written) {
    Tell(ctx, kErrorTitle, "Could not generate KelvaRANK.ins!\n\n\033bReinstall KelvaRANK\033n", "Abort");
    return false;
  }
  return true;
}

bool CheckPidFile(Context& ctx, StartupProgress& progress) {
  int64_t fh = ctx.dos.Open(kPidFile, MODE_OLDFILE);
  if (fh == 0) return true;

  Tell(ctx, kInformation,
       "KelvaRANK found a undeleted benchmark-data directory.\n"
       "Maybe you system are crashed while the last run.\n\n"
       "Anyway, click to cleanup...\n",
       "Cleanup");
  progress.SetText("Cleanup old session...");

  // The whole path is taken: a shortened one would name another folder. A
  // path that cannot be a partition of ours (empty, longer than the
  // settings field, or not an absolute folder on this host) is not used.
  CrashMarker marker;
  const int64_t size = ctx.dos.FileSize(kPidFile);
  bool usable = size > 0 && size_t(size) <= kCrashMarkerMax;
  if (usable) {
    std::string bytes(size_t(size), '\0');
    usable = ctx.dos.Read(fh, bytes.data(), size) == size && ReadCrashMarker(bytes, marker);
  }
  std::string host;
  if (usable) {
    host = ctx.dos.HostPath(BenchDirOfDrivePath(marker.drivePath));
    usable = host.size() > 1 && host.front() == '/';
  }
  ctx.dos.Close(fh);

  if (!usable) {
    ctx.dos.DeleteFile(kPidFile);
    Tell(ctx, kInformation,
         "Cleanup failed unknown!\n\nIt could be that on the partion witch you have selected in \n"
         "\033bSettings/Harddrive\033n, a folder named \033b'KelvaRANK_bench'\033n exists.\n\n"
         "Please delete this folder per hand before you start the next \033iHarddrive\033n benchmark...",
         "Ok");
    return true;
  }

  // Only the names the drive tests create are deleted, inside the folder
  // itself (never through a link); anything else keeps the folder in place.
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  const size_t slash = host.rfind('/');
  const std::string parent = slash == 0 ? "/" : host.substr(0, slash), name = host.substr(slash + 1);
  std::vector<std::string> names;
  names.reserve(kScratchFiles + kDataFileCount + 1);
  char scratch[16];
  for (int i = 0; i < kScratchFiles; ++i) {
    std::snprintf(scratch, sizeof scratch, "%.5d", i);
    names.emplace_back(scratch);
  }
  for (int k = 0; k < kDataFileCount; ++k) names.emplace_back(DataFileName(k));
  names.emplace_back("foobar.bin");
  const BenchFolderRemoval r =
      RemoveBenchFolder(parent, name, names, marker.hasFolder ? &marker.folder : nullptr, [&](size_t done) {
        if (done % 100 == 0 || done == names.size()) progress.SetGauge(int32_t(done * 100 / names.size()));
      });
  if (r.outcome != BenchFolderRemoval::Outcome::Kept) {
    ctx.dos.DeleteFile(kPidFile);
    return true;
  }
  // The marker stays until the folder is really gone: the next start tries again.
  LogError(ctx, "MAIN", "CheckPidFile", "Benchmark folder " + host + " not removed: " + r.reason);
  Tell(ctx, kWarning,
       "The benchmark folder \033b" + host + "\033n of an interrupted drive run was not removed:\n" + r.reason +
           ".\n\nKelvaRANK tries again at the next start; a drive run on that partition needs the folder gone.",
       "Ok");
  return true;
}

bool CheckDataFiles(Context& ctx, StartupProgress& progress) {
  bool corrupt = false;
  for (int k = 0; k < kDataFileCount && !corrupt; ++k)
    corrupt = !FileHasSize(ctx, std::string(kDataDir) + DataFileName(k), DataFileSize(k));
  if (corrupt) {
    Tell(ctx, kInformation, "The datafiles seems to be corrput!\nNow we try to repair them.\n\n\033bClick...\033n",
         "Try repair");
    // The set is usable again or the next start tries once more; either
    // way start-up goes on.
    (void)GenerateDataFiles(ctx, progress, DataFileMode::Repair);
  }
  return true;
}

bool CheckServerData(Context& ctx) {
  if (LoadServerData(ctx)) return true;
  NoteFileFailure(ctx, kServerDataFile);
  Tell(ctx, kErrorTitle, "Could not read 'PROGDIR:Data/server.txt'!\n\n\033bReinstall KelvaRANK\033n", "Abort");
  return false;
}

bool CheckMp3File(Context& ctx) {
  const int64_t size = ctx.dos.FileSize(kMp3File);
  if (size == kMp3FileSize) return true;
  if (size < 0) {
    NoteFileFailure(ctx, kMp3File);
  } else {
    ctx.run.checkFailedPath = ctx.dos.HostPath(kMp3File);
    ctx.run.checkFailedReason =
        "it is " + std::to_string(size) + " bytes long, " + std::to_string(kMp3FileSize) + " expected";
  }
  Tell(ctx, kErrorTitle, "'PROGDIR:Data/mp3cdda.mp3' seems wrong filelen!\n\n\033bReinstall KelvaRANK\033n", "Abort");
  return false;
}

bool CheckLogo(Context& ctx) {
  if (ctx.dos.FileSize(kLogoFile) >= 0) return true;
  NoteFileFailure(ctx, kLogoFile);
  Tell(ctx, kErrorTitle, "Could not lock 'PROGDIR:Data/logo.pic'!\n\n\033bReinstall KelvaRANK\033n", "Abort");
  return false;
}

bool CheckMemory(Context& ctx) {
  if (!ctx.run.noChipMemory) {
    void* chip = ctx.exec.AllocVec(kMinChipBlock, MEMF_CHIP);
    if (!chip) {
      ctx.run.checkFailedReason = "not enough CHIP memory free (" + std::to_string(kMinChipBlock) + " bytes in one block)";
      Tell(ctx, kErrorTitle, "Not enough CHIP memory free.\n\nMinimum \033b1.0 MB\033n in one block", "Abort");
      return false;
    }
    ctx.exec.FreeVec(chip);
  }
  // The block is only asked for: none of it is touched.
  void* fast = ctx.exec.AllocVec(kMinFastBlock, MEMF_FAST | MEMF_UNTOUCHED);
  if (!fast) {
    ctx.run.checkFailedReason = "not enough FAST memory free (" + std::to_string(kMinFastBlock) + " bytes in one block)";
    Tell(ctx, kErrorTitle, "Not enough FAST memory free.\n\nMinimum \033b18.0 MB\033n in one block", "Abort");
    return false;
  }
  ctx.exec.FreeVec(fast);
  return true;
}

bool CheckLibraries(Context& ctx) {
  if (ctx.mpega && ctx.mpega->OpenLibrary()) {
    ctx.mpega->CloseLibrary();
    ctx.run.mpegaAvailable = 1;
    return true;
  }
  ctx.run.mpegaAvailable = 0;
  if (AskContinue(ctx, kWarning,
                  "You don\xB4t have installed 'mpega.library'.\nInstall it if you want to Benchmark\n"
                  "\033bMP3 2 CDDA\033n and fire up KelvaRANK again.",
                  "Resume|Quit"))
    return true;
  ctx.run.checkFailedReason = "quit at the missing MP3 decoder";
  return false;
}

bool CheckDefaultsFile(Context& ctx) {
  ctx.run.defaultsOutdated = !FileHasSize(ctx, kDefaultsFile, int64_t(kDefaultsFileSize));
  return !ctx.run.defaultsOutdated;
}

bool CheckConfigFile(Context& ctx) {
  ctx.run.configOutdated = !FileHasSize(ctx, kConfigFile, int64_t(kConfigFileSize));
  if (ctx.run.configOutdated)
    Tell(ctx, kInformation,
         "The file 'PROGDIR:KelvaRANK.cfg' is too old for this version of KelvaRANK!\n\n"
         "Sorry, but you need to re-define your settings now...",
         "Restart");
  return !ctx.run.configOutdated;
}

bool RunStartupChecks(Context& ctx, StartupProgress& progress, const StartupOptions& options) {
  struct Step {
    const char* text;
    bool (*check)(Context&, StartupProgress&);
    int32_t gauge;
  };
  static const Step kSteps[] = {
      {"Checking KelvaRANK.ins...", CheckInstallMarker, 10},
      {"Checking KelvaRANK.pid...", CheckPidFile, 20},
      {"Checking Datafiles... [binary]", CheckDataFiles, 30},
      {"Checking Datafiles... [server]", [](Context& c, StartupProgress&) { return CheckServerData(c); }, 40},
      {"Checking Datafiles... [mp3cdda]", [](Context& c, StartupProgress&) { return CheckMp3File(c); }, 50},
      {"Checking Logo...", [](Context& c, StartupProgress&) { return CheckLogo(c); }, 60},
      {"Checking Memory...", [](Context& c, StartupProgress&) { return CheckMemory(c); }, 70},
      {"Checking Libraries...", [](Context& c, StartupProgress&) { return CheckLibraries(c); }, 80},
  };

  ctx.run.checkFailedPath.clear();
  ctx.run.checkFailedReason.clear();
  progress.Open();
  bool ok = true;
  for (const Step& step : kSteps) {
    progress.SetText(step.text);
    ok = step.check(ctx, progress);
    progress.SetGauge(step.gauge);
    if (!options.quickStart) progress.Pause(kStepPause);
    if (!ok) break;
  }

  if (ok) {
    // A file that is there but cannot be read stops start-up; a missing one
    // is made. The length checks below catch a file that is not current.
    if (!KnownMissing(ctx, kDefaultsFile)) {
      progress.SetText("Loading KelvaRANK.def...");
      if (!DefaultsExists(ctx) || !LoadDefaults(ctx)) ok = SettingsFileUnreadable(ctx, kDefaultsFile);
    } else {
      progress.SetText("Making KelvaRANK.def...");
      ResetDisplaySettings(ctx);
      (void)SaveDefaults(ctx);
      (void)LoadDefaults(ctx);
    }
    progress.SetGauge(90);
  }
  if (ok) {
    if (!KnownMissing(ctx, kConfigFile)) {
      progress.SetText("Loading KelvaRANK.cfg...");
      if (!ConfigExists(ctx) || !LoadConfig(ctx)) ok = SettingsFileUnreadable(ctx, kConfigFile);
    } else {
      progress.SetText("Making KelvaRANK.cfg...");
      ResetSettings(ctx, ResetScope::Everything);
      (void)SaveConfig(ctx);
      (void)LoadConfig(ctx);
      ctx.run.firstRun = 1;
    }
  }
  if (ok) {
    progress.SetGauge(100);

    progress.SetText("Checking KelvaRANK.def...");
    (void)CheckDefaultsFile(ctx);
    progress.SetGauge(100);
    progress.SetText("Checking KelvaRANK.cfg...");
    (void)CheckConfigFile(ctx);
    progress.SetGauge(100);
  }
  progress.Close();
  return ok;
}

bool DeleteDefaultsFile(Context& ctx) { return ctx.dos.DeleteFile(kDefaultsFile); }
bool DeleteConfigFile(Context& ctx) { return ctx.dos.DeleteFile(kConfigFile); }

}  // namespace kr
