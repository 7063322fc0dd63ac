#include "bench/drive/drive_section.h"

#include <algorithm>

#include "bench/drive/bench_dir.h"
#include "bench/drive/device_tests.h"
#include "bench/drive/drive_access.h"
#include "bench/drive/file_tests.h"
#include "engine/errorlog.h"
#include "engine/scoring.h"
#include "engine/status_ops.h"
#include "report/frame.h"
#include "report/report.h"
#include "bench/card.h"
#include "engine/home_files.h"
#include "engine/progress.h"

namespace kr {
namespace {

constexpr int kDriveWindow = int(Section::Drive);

// The section's window and its progress: k/N names the test now running.
// The window opens with the section (its status presenter shows 1/N).
struct DriveProgress {
  Context& ctx;
  int32_t step;
  explicit DriveProgress(Context& c) : ctx(c), step(c.countDrive > 0 ? 100 / c.countDrive : 0) {
    OpenSection(ctx, Section::Drive);
  }
  void Finished() {
    ctx.gauge[kDriveWindow] += step;
    ctx.status.SetGauge(Section::Drive, ctx.gauge[kDriveWindow]);
    if (ctx.progress[kDriveWindow] < ctx.countDrive) StepDriveProgress(ctx);
  }
};

// One test, announced to the listeners, its status cleared before and its
// progress step after; its result is kept.
template <typename Run>
void RunTest(Context& ctx, DriveProgress& progress, std::vector<TestResult>& results, int entry, Run run) {
  const CatalogueEntry& test = DriveEntry(entry);
  ClearDriveStatus(ctx);
  Publish(ctx, [&](RunListener& l) { l.TestStarted(test); });
  results.push_back(run());
  const ScoreSlot score = ctx.results.score(test.slot);
  Publish(ctx, [&](RunListener& l) { l.TestFinished(test, score); });
  progress.Finished();
}

// True (after its error entry) when the section must end before its next
// test: a stop request, or the benchmark directory is no longer the one this
// run made (the partition was unmounted or changed under the run; nothing
// below that path is the section's any more).
bool Stop(Context& ctx, const BenchFiles& files) {
  if (ctx.Interrupted()) {
    LogError(ctx, "DRIVE", "RunDriveSection", "Interrupted by the user");
    return true;
  }
  if (files.created && !BenchmarkDirectoryIntact(ctx, files)) {
    LogError(ctx, "DRIVE", "RunDriveSection", "The benchmark directory is gone (partition unmounted?)");
    return true;
  }
  return false;
}

void WriteSkippedBlock(Context& ctx) {
  WriteTopRule(ctx);
  ReportLine(ctx, "\xA1   The following benchmarks was skipped because the device you have       \xA1\n");
  ReportLine(ctx, "|   selected don't complies to the SCSI-2 standard or don't supports NSD:  |\n");
  WriteEmptyLine(ctx);
  ReportLine(ctx, "|   * Read from DEVICE                                                     |\n");
  ReportLine(ctx, "|   * Write to DEVICE                                                      |\n");
  ReportLine(ctx, "|   * Seek on DEVICE                                                       |\n");
  ReportLine(ctx, "|   * SpinUP DEVICE                                                        |\n");
  WriteEmptyLine(ctx);
  ReportLine(ctx, "!   KelvaRANKS : 0 [SKIPPED]                                               !\n");
  WriteTopRule(ctx);
}

// One device test (drive switch e, 3..6) over a connection of its own: the
// variant of the requested access mode. False when the device could not be
// opened (the test is left out; the connection logged why).
bool RunDeviceTest(Context& ctx, DriveProgress& window, std::vector<TestResult>& results, int e) {
  const SettingsRecord& st = RunSettings(ctx);
  const int entry = 12 + e;  // Read from Device .. SpinUP Device
  const int32_t cacheOn = st.driveCache(DriveEntry(entry).driveCache);
  // Only Write to Device writes; it opens the device exclusively unless a
  // file system on it is mounted.
  if (!OpenDeviceConnection(ctx, e == drive_switch::kWriteDevice ? UnitAccess::kReadWrite : UnitAccess::kRead)) return false;
  const int16_t mode = ctx.drive.requestedMode == kAccessNsd64 ? kAccessNsd64 : kAccessDirectScsi;
  RunTest(ctx, window, results, entry, [&] {
    switch (e) {
      case drive_switch::kReadDevice:
      case drive_switch::kWriteDevice: {
        const int i = e - 1;  // count and sweep index
        return RunDeviceTransferTest(ctx, e == drive_switch::kWriteDevice, mode,
                                     uint64_t(std::max(st.driveCount(i + 1), 0)) * 1048576u, st.driveSweepStart(i),
                                     st.driveSweepStop(i), cacheOn, 1);
      }
      case drive_switch::kSeekDevice: return RunSeekOnDevice(ctx, mode, cacheOn, 1);
      default: return RunSpinUpDevice(ctx, mode, cacheOn, 1);
    }
  });
  CloseDeviceConnection(ctx);
  return true;
}

}  // namespace

DriveSectionRun RunHardDriveSection(Context& ctx, StartupProgress& progress) {
  const SettingsRecord& st = RunSettings(ctx);
  DriveSectionRun run;
  // A device node named as the partition has no file system: its file tests
  // are left out (not run, not scored), the device tests run.
  auto fileTest = [&](int e) { return !ctx.drive.rawDevice && st.driveEnabled(e) != 0; };
  const bool fileOps = fileTest(drive_switch::kFileSystem);
  const bool needDirectory = fileOps || fileTest(drive_switch::kReadFile) || fileTest(drive_switch::kWriteFile);

  BenchFiles files;
  if (needDirectory) {
    if (ctx.run.freeSpace == 0) {
      ctx.requester.Request(kErrorTitle,
                            "Not enough space to copy datafiles!\n\n\033bSelect another device\033n", "Abort");
      run.code = 20;
      return run;
    }
    // The marker first: a crash from here on leaves it for the next start.
    if (!WriteCrashMarker(ctx, nullptr)) LogError(ctx, "DRIVE", "RunDriveSection", "Could not write the crash marker");
    progress.Open();
    progress.SetText("Copy Benchmark files...");
    progress.SetGauge(0);
    const bool made = MakeBenchmarkDirectory(ctx, files, progress);
    progress.Close();
    if (!made) {
      if (ctx.Interrupted())
        LogError(ctx, "DRIVE", "RunDriveSection", "Interrupted by the user");
      else if (!files.created)  // the folder itself could not be made: say which and why
        ctx.requester.Request(kErrorTitle,
                              "Could not create the benchmark folder\n\033b" + ctx.dos.HostPath(files.directory) +
                                  "\033n\n" + files.createFailure +
                                  (files.createFailure == "File exists"
                                       ? " (left by an interrupted run? remove it, then run again)"
                                       : ""),
                              "Abort");
      else
        ctx.requester.Request(kErrorTitle, "Could not copy needed datafiles!\n\n\033bReinstall KelvaRANK\033n",
                              "Abort");
      if (RemoveBenchmarkDirectory(ctx, files)) DeletePidFile(ctx);
      run.code = 20;
      return run;
    }
  }

  DriveProgress window(ctx);
  int parts = 0;
  bool stopped = false;

  // Read from File and Write to File.
  for (int e : {drive_switch::kReadFile, drive_switch::kWriteFile}) {
    if (!fileTest(e)) continue;
    if ((stopped = Stop(ctx, files))) break;
    const int i = e - 1;  // sweep and count index
    RunTest(ctx, window, run.results, e, [&] {
      return RunFileTransferTest(ctx, files, e == drive_switch::kReadFile ? FileTransfer::Read : FileTransfer::Write,
                          uint64_t(std::max(st.driveCount(e), 0)) * 1048576u, st.driveSweepStart(i),
                          st.driveSweepStop(i), st.driveCache(i), 1);
    });
    ++parts;
  }

  if (fileOps && !stopped) {
    const int32_t fileCount = st.driveCount(0) * 1000;
    int done = 0;
    for (int k = 0; k < kFileOpCount && !(stopped = Stop(ctx, files)); ++k, ++done) {
      const FileOp op = FileOp(k);
      RunTest(ctx, window, run.results, FileOpCatalogueEntry(op), [&] {
        return RunFileOpTest(ctx, files, op, st.driveCache(FileOpCacheIndex(op)), 1, fileCount);
      });
    }
    if (done == kFileOpCount) {
      run.fileSystemGroup = FinishFileOpGroup(ctx);
      ++parts;
    }
  }

  if (!stopped) {
    if (ctx.drive.accessMode == kAccessNone) {
      WriteSkippedBlock(ctx);
      for (int s = 14; s < 18; ++s) ctx.results.setScore(slot::kDriveFirst + s, {0.0, 0.0});
    } else {
      for (int e = drive_switch::kReadDevice; e <= drive_switch::kSpinUp; ++e) {
        // A test that does not run this time (switched off, left out, or
        // after a stop) scores 0 and is not counted.
        ctx.results.setScore(slot::kDriveFirst + 11 + e, {0.0, 0.0});
        if (st.driveEnabled(e) == 0 || stopped) continue;
        if ((stopped = Stop(ctx, files))) continue;
        if (RunDeviceTest(ctx, window, run.results, e))
          ++parts;
        else
          window.Finished();
      }
    }
  }

  // A stop that came inside the last test (a device test's wait) is logged
  // like one between tests.
  if (!stopped && ctx.Interrupted()) LogError(ctx, "DRIVE", "RunDriveSection", "Interrupted by the user");

  CloseSection(ctx, Section::Drive, DriveTotal(ctx.results, parts));

  if (needDirectory) {
    progress.Open();
    progress.SetText("Delete Benchmark files...");
    progress.SetGauge(0);
    const bool removed = RemoveBenchmarkDirectory(ctx, files);
    progress.Close();
    // A directory left behind (its partition went away under the run) keeps
    // the crash marker: the next start removes what is left of it.
    if (removed) DeletePidFile(ctx);
  }
  return run;
}

}  // namespace kr
