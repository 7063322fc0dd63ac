#include "bench/drive/file_tests.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "bench/card.h"
#include "bench/drive/bench_dir.h"
#include "engine/errorlog.h"
#include "engine/scoring.h"
#include "engine/timing.h"
#include "util/numtext.h"

namespace kr {
namespace {

// ": " and the system's reason for the last failed call, or nothing when
// there was none.
std::string SystemReason(const Dos& dos) {
  return dos.LastError().call.empty() ? std::string() : ": " + dos.LastErrorReason();
}

}  // namespace

namespace {

struct FileOpRow {
  int entry;           // catalogue position (DriveEntry)
  int cacheIndex;      // drive cpuCache index
  const char* title;   // status "Now running"
  const char* routine;
  const char* card;    // the line's left part, "%s" the marker
};

// In FileOp order.
constexpr FileOpRow kRows[kFileOpCount] = {
    {3, 4, "\x1b" "bCreate Files\x1b" "n", "dos.lib Open() MODE_NEWFILE",
     "|   [%s] Create Files                    "},
    {9, 12, "\x1b" "bSet Random Filesize [0 - 65KB]\x1b" "n", "dos.lib SetFileSize()",
     "|   [%s] Set Filesize                    "},
    {6, 8, "\x1b" "bClose Files\x1b" "n (from MODE_NEWFILE)", "dos.lib Close()",
     "|   [%s] Close Files [writing]           "},
    {4, 3, "\x1b" "bOpen Files for Read\x1b" "n", "dos.lib Open() - MODE_OLDFILE",
     "|   [%s] Open Files                      "},
    {5, 7, "\x1b" "bClose Files\x1b" "n (from MODE_OLDFILE)", "dos.lib Close()",
     "|   [%s] Close Files [reading]           "},
    {8, 9, "\x1b" "bSet File Comment\x1b" "n", "dos.lib SetComment()",
     "|   [%s] Set Comment                     "},
    {7, 10, "\x1b" "bSet Protection Bits\x1b" "n", "dos.lib SetProtection()",
     "|   [%s] Set Protection                  "},
    {10, 13, "\x1b" "bSet Date\x1b" "n", "dos.lib SetFileDate()",
     "|   [%s] Set Date                        "},
    {14, 11, "\x1b" "bDirScan\x1b" "n", "dos.lib Examine()/ExNext()",
     "|   [%s] Directory Scan                  "},
    {11, 5, "\x1b" "bDelete Files\x1b" "n", "dos.lib Delete()",
     "|   [%s] Delete Files                    "},
    {13, 2, "\x1b" "bRandom Seek in File\x1b" "n", "dos.lib Seek()",
     "|   [%s] Seek in File                    "},
    {12, 6, "\x1b" "bRename Files\x1b" "n", "dos.lib Rename()",
     "|   [%s] Rename Files                    "},
};

constexpr uint32_t kFileSeed = 5318;
constexpr const char* kComment = "KelvaRANK VTS 2003";
constexpr uint32_t kProtection = 2;

const FileOpRow& Row(FileOp op) { return kRows[size_t(op)]; }

constexpr const char* kSwitchCache = "|   CPU Cache        : %-10s                                          |\n";
constexpr const char* kSwitchMt = "|   Multitasking     : %-10s                                          |\n";

constexpr DriveCardHead kGroupHead = {
    "|   dos.library standart functions - [%s]                                 |\n",
    nullptr,
    nullptr,
    "|   Files            : %-4llu                                                |\n",
    kSwitchCache,
    kSwitchMt,
    "|   Method                                     KelvaRANKS           OP/sec |\n",
    true};

constexpr DriveCardHead kReadHead = {
    "|   Read from FILE - [%s]                                                 |\n",
    "|   100 Percent at   : %3lu.%0.1lu MB/se c                                       |\n",
    "|   Score weight     : %3lu.%.1lu%%                                              |\n",
    "|   Loopsize [bytes] : %-10llu                                          |\n",
    kSwitchCache,
    kSwitchMt,
    "|   Blocksize                                                      MB/sec  |\n"};

constexpr DriveCardHead kWriteHead = {
    "|   Write fo FILE - [%s]                                                  |\n",
    "|   100 Percent at   : %3lu.%0.1lu MB/sec                                        |\n",
    "|   Score weight     : %3lu.%.1lu%%                                              |\n",
    "|   Loopsize [bytes] : %-10llu                                          |\n",
    kSwitchCache,
    kSwitchMt,
    "|   Blocksize                                                      MB/sec  |\n"};

// What one timed loop did.
struct LoopResult {
  double seconds = 0.0;
  int64_t operations = 0;  // calls made
  int64_t failures = 0;    // calls that failed
  bool timed = false;      // false: the preparation failed and nothing was timed
};

LoopResult TimedLoop(Context& ctx, BenchFiles& files, FileOp op, int32_t cacheOn, int32_t mt, int32_t n) {
  LoopResult r;
  Dos& dos = ctx.dos;
  dos.ClearError();  // what the loop's last failing call leaves says why calls failed
  const std::vector<std::string>& name = files.scratch;
  std::vector<int64_t>& handle = files.handles;
  int64_t bad = 0;
  switch (op) {
    case FileOp::CreateFiles:
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += (handle[size_t(i)] = dos.Open(name[size_t(i)], MODE_NEWFILE)) == 0;
      });
      break;
    case FileOp::OpenFiles:
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += (handle[size_t(i)] = dos.Open(name[size_t(i)], MODE_OLDFILE)) == 0;
      });
      break;
    case FileOp::SetFilesize: {
      Lcg rng(kFileSeed);
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += !dos.SetFileSize(handle[size_t(i)], int64_t(rng.Next() % 65535u));
      });
      break;
    }
    case FileOp::CloseFromWrite:
    case FileOp::CloseFromRead:
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += !dos.Close(std::exchange(handle[size_t(i)], 0));
      });
      break;
    case FileOp::SetComment:
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += !dos.SetComment(name[size_t(i)], kComment);
      });
      break;
    case FileOp::SetProtection:
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += !dos.SetProtection(name[size_t(i)], kProtection);
      });
      break;
    case FileOp::SetDate: {
      const DateStamp now = dos.Now();
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += !dos.SetFileDate(name[size_t(i)], now);
      });
      break;
    }
    case FileOp::DirectoryScan: {
      // The entry table is reserved before timing; the scan fills it.
      std::vector<DirEntry> entries;
      entries.reserve(size_t(n) + 32);
      if (!dos.IsDir(files.directory)) {
        LogError(ctx, "DRIVE", "DirScan", "Could not lock benchmark-dir");
        return r;
      }
      bool ok = false;
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] { ok = dos.ListDir(files.directory, entries); });
      if (!ok) {
        LogError(ctx, "DRIVE", "DirScan", "Could not examine dir");
        return r;
      }
      // The figure counts the scratch files, not the entries scanned.
      r.timed = true;
      r.operations = n - 18;
      return r;
    }
    case FileOp::DeleteFiles:
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += !dos.DeleteFile(name[size_t(i)]);
      });
      break;
    case FileOp::SeekInFile: {
      const int64_t fh = dos.Open(files.CopyOfSize(1048576), MODE_OLDFILE);
      if (fh == 0) {
        LogError(ctx, "DRIVE", "Seek in File", "Error open needed file");
        return r;
      }
      Lcg rng(kFileSeed);
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n; ++i) bad += dos.Seek(fh, int64_t(rng.Next() % 1048575u), OFFSET_BEGINNING) < 0;
      });
      dos.Close(fh);
      break;
    }
    case FileOp::RenameFiles: {
      const std::string& copy = files.CopyOfSize(1048576);
      r.seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int32_t i = 0; i < n / 2; ++i) {
          bad += !dos.Rename(copy, files.foobar);
          bad += !dos.Rename(files.foobar, copy);
        }
      });
      r.timed = true;
      r.operations = int64_t(n / 2) * 2;
      r.failures = bad;
      return r;
    }
  }
  r.timed = true;
  r.operations = n;
  r.failures = bad;
  return r;
}

}  // namespace

int FileOpCatalogueEntry(FileOp op) { return Row(op).entry; }
int FileOpCacheIndex(FileOp op) { return Row(op).cacheIndex; }

TestResult RunFileOpTest(Context& ctx, BenchFiles& files, FileOp op, int32_t cacheOn, int32_t multitaskingOn,
                         int32_t fileCount) {
  const FileOpRow& row = Row(op);
  const CatalogueEntry& entry = DriveEntry(row.entry);
  const int32_t n = std::clamp<int32_t>(fileCount, 0, int32_t(files.handles.size()));

  // Create Files opens the group's card; the others go on with it.
  TestResult r = OpenDriveCard(ctx, entry, cacheOn, multitaskingOn, op == FileOp::CreateFiles ? &kGroupHead : nullptr,
                               files.partition, uint64_t(n));
  TestPhase phase;
  phase.section = Section::Drive;
  phase.showsTest = true;
  phase.nowRunning = row.title;
  phase.routine = row.routine;
  phase.captionLow = "File low:";
  phase.captionHigh = "File high:";
  phase.caption = "File:";
  phase.cacheOn = cacheOn;
  phase.multitaskingOn = multitaskingOn;
  phase.driveValues[0] = 1;
  phase.driveValues[1] = n;
  phase.driveValues[2] = n;
  phase.driveLayout = 2;
  phase.state = "Benchmarking...";
  phase.clearsLastResult = true;
  BeginPhase(ctx, phase);

  // A work scale runs the loop over fewer files; the figure counts the
  // operations made.
  const int32_t worked = n > 0 ? int32_t(ScaledWork(uint32_t(n), ctx.plan.workScale)) : n;
  const LoopResult loop = TimedLoop(ctx, files, op, cacheOn, multitaskingOn, worked);
  // The current-file field shows the last file once the loop is over (a
  // status call inside the timed span would be timed with the files).
  if (op == FileOp::OpenFiles || op == FileOp::SetProtection) {
    TestPhase last;
    last.section = Section::Drive;
    last.current = n;
    BeginPhase(ctx, last);
  }

  const double figure = loop.timed ? RatePerSecond(double(loop.operations), loop.seconds) : 0.0;
  r.scored = n == 2000 && cacheOn != 0 && loop.timed && loop.failures == 0;
  const double score = ScorePercent(figure, entry.reference, entry.weight);
  TestFigure f;
  f.unit = "OP/s";
  f.slot = rec::kFileSystemOps + 8 * size_t(entry.slot - slot::kDriveFirst - 2);
  f.value = figure;
  f.driveLine = row.card;
  f.driveMarker = r.scored;
  f.driveScore = score;
  f.tail = "    %8lu.%0.2lu    |\n";
  RecordFigure(ctx, r, std::move(f));
  if (loop.failures > 0) {
    // With the system's reason when it gave one ("Too many open files").
    const std::string why = ctx.dos.LastError().call.empty() ? std::string() : ": " + ctx.dos.LastErrorReason();
    LogError(ctx, "DRIVE", entry.label,
             Format("%lld of %lld operations failed", static_cast<long long>(loop.failures),
                    static_cast<long long>(loop.operations)) + why);
  }
  CloseDriveCard(ctx, r, TestResult::Foot::InLine, entry.slot, figure, score);
  return r;
}

TestResult RunFileTransferTest(Context& ctx, BenchFiles& files, FileTransfer kind, uint64_t fileSize, int32_t lowStep,
                               int32_t highStep, int32_t cacheOn, int32_t multitaskingOn) {
  const bool reading = kind == FileTransfer::Read;
  const CatalogueEntry& entry = DriveEntry(reading ? 1 : 2);
  const size_t base = reading ? rec::kReadFile : rec::kWriteFile;
  const char* function = reading ? "Read from file" : "Write to file";
  Dos& dos = ctx.dos;

  TestResult r = OpenDriveCard(ctx, entry, cacheOn, multitaskingOn, reading ? &kReadHead : &kWriteHead,
                               files.partition, fileSize);
  TestPhase phase;
  phase.section = Section::Drive;
  phase.showsTest = true;
  phase.nowRunning = reading ? "\x1b" "bRead from FILE\x1b" "n [cached]" : "\x1b" "bWrite to FILE\x1b" "n [cached]";
  phase.routine = reading ? "dos.lib Read()" : "dos.lib Write()";
  phase.captionLow = "Filesize low:";
  phase.captionHigh = "Filesize high:";
  phase.caption = "Filesize:";
  phase.cacheOn = cacheOn;
  phase.multitaskingOn = multitaskingOn;
  phase.driveValues[0] = int32_t(BlockSizeOfStep(lowStep));
  phase.driveValues[1] = int32_t(BlockSizeOfStep(highStep));
  phase.driveValues[2] = int32_t(std::min<uint64_t>(fileSize, 0x7FFFFFFF));
  phase.state = "Benchmarking...";
  BeginPhase(ctx, phase);

  double minimum = 100000.0, maximum = 0.0, sum = 0.0;
  int steps = 0;
  int64_t calls = 0, failedCalls = 0;
  std::string failReason;  // ": <the system's reason>" of the last failed step
  bool stepFailed = false;
  const double megabytes = double(fileSize / 1048576u);
  for (int32_t k = std::max(lowStep, 1); k <= std::min(highStep, 17); ++k) {
    const uint32_t b = BlockSizeOfStep(k);
    // A work scale divides the transfers; the figure counts the bytes moved.
    const uint64_t n = ScaledWork(fileSize / b, ctx.plan.workScale);
    const double moved = ctx.plan.workScale > 1 ? double(n) * double(b) / 1048576.0 : megabytes;
    TestPhase step;
    step.section = Section::Drive;
    step.current = int32_t(b);
    step.count = int32_t(std::min<uint64_t>(n, 0x7FFFFFFF));
    BeginPhase(ctx, step);
    ++steps;
    std::vector<uint8_t> buffer;
    try {
      buffer.assign(b, 0);
    } catch (const std::bad_alloc&) {
      LogError(ctx, "DRIVE", function, "Could not get data buffer");
      stepFailed = true;
      continue;
    }
    dos.ClearError();  // the reason an entry gives is this step's
    const int64_t fh = reading ? dos.Open(files.CopyOfSize(b), MODE_OLDFILE) : dos.Open(files.foobar, MODE_NEWFILE);
    if (fh == 0) {
      LogError(ctx, "DRIVE", reading ? "Read File low" : function, "Error open needed files" + SystemReason(dos));
      stepFailed = true;
      continue;
    }
    int64_t bad = 0;
    const double t = TimeOnceLong(ctx, cacheOn, multitaskingOn, [&] {
      if (reading)
        for (uint64_t i = 0; i < n; ++i) {
          bad += dos.Read(fh, buffer.data(), b) != int64_t(b);
          bad += dos.Seek(fh, 0, OFFSET_BEGINNING) < 0;
        }
      else
        for (uint64_t i = 0; i < n; ++i) {
          bad += dos.Write(fh, buffer.data(), b) != int64_t(b);
          bad += dos.Seek(fh, 0, OFFSET_BEGINNING) < 0;
        }
    });
    if (bad > 0) failReason = SystemReason(dos);
    // A write the system could not store shows at the close (a full disk).
    if (!dos.Close(fh) && !reading && bad++ == 0) failReason = SystemReason(dos);
    if (!reading) dos.DeleteFile(files.foobar);
    calls += int64_t(2 * n);
    failedCalls += bad;

    const double figure = RatePerSecond(moved, t);
    minimum = std::min(minimum, figure);
    maximum = std::max(maximum, figure);
    sum += figure;
    TestFigure point;
    point.unit = "MB/s";
    point.slot = base + 8 * size_t(k - 1);
    point.value = figure;
    point.sweepPoint = true;
    point.block = b;
    point.sweepSoFar = TestFigure::SoFar{minimum, maximum, sum / steps};
    RecordFigure(ctx, r, std::move(point));
  }
  const double average = steps > 0 ? sum / steps : 0.0;
  RecordStoredFigure(ctx, r, base + 8 * 17, minimum);
  RecordStoredFigure(ctx, r, base + 8 * 18, maximum);
  RecordStoredFigure(ctx, r, base + 8 * 19, average);
  if (failedCalls > 0)
    LogError(ctx, "DRIVE", entry.label,
             Format("%lld of %lld operations failed", (long long)failedCalls, (long long)calls) + failReason);

  r.scored = lowStep == 1 && highStep == 17 && fileSize == 16u * 1048576u && cacheOn != 0 && !stepFailed &&
             failedCalls == 0;
  r.sweep = TestResult::Sweep{minimum, maximum, average};
  CloseDriveCard(ctx, r, TestResult::Foot::Score, entry.slot, average,
                 ScorePercent(average, entry.reference, entry.weight));
  return r;
}

TestResult FinishFileOpGroup(Context& ctx) {
  const ScoreSlot group = FileSystemGroupTotal(ctx.results);
  TestResult r;
  r.card.setsDone = false;
  r.continuesCard = true;
  r.scored = group.counts();
  CloseDriveCard(ctx, r, TestResult::Foot::Group, slot::kFileSystemGroup, group.percent, group.percent);
  return r;
}

}  // namespace kr
