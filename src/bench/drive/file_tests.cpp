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
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "report/report.h"
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

constexpr uint32_t kSeed = 5318;
constexpr const char* kComment = "KelvaRANK VTS 2003";
constexpr uint32_t kProtection = 2;

const FileOpRow& Row(FileOp op) { return kRows[size_t(op)]; }

void WriteGroupHead(Context& ctx, const std::string& partition, int32_t n, int32_t cacheOn, int32_t mt) {
  WriteTopRule(ctx);
  WriteEmptyLine(ctx);
  ReportFormat(ctx, "|   dos.library standart functions - [%s]                                 |\n",
               partition.c_str());
  WriteSeparator(ctx);
  ReportFormat(ctx, "|   Files            : %-4lu                                                |\n",
               static_cast<unsigned long>(n));
  ReportFormat(ctx, "|   CPU Cache        : %-10s                                          |\n", OnOffWord(cacheOn));
  ReportFormat(ctx, "|   Multitasking     : %-10s                                          |\n", OnOffWord(mt));
  WriteEmptyLine(ctx);
  ReportLine(ctx, "|   Method                                     KelvaRANKS           OP/sec |\n");
  WriteSeparator(ctx);
}

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
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += (handle[size_t(i)] = dos.Open(name[size_t(i)], MODE_NEWFILE)) == 0;
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
      break;
    case FileOp::OpenFiles:
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += (handle[size_t(i)] = dos.Open(name[size_t(i)], MODE_OLDFILE)) == 0;
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
      break;
    case FileOp::SetFilesize: {
      Lcg rng(kSeed);
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += !dos.SetFileSize(handle[size_t(i)], int64_t(rng.Next() % 65535u));
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
      break;
    }
    case FileOp::CloseFromWrite:
    case FileOp::CloseFromRead:
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += !dos.Close(std::exchange(handle[size_t(i)], 0));
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
      break;
    case FileOp::SetComment:
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += !dos.SetComment(name[size_t(i)], kComment);
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
      break;
    case FileOp::SetProtection:
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += !dos.SetProtection(name[size_t(i)], kProtection);
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
      break;
    case FileOp::SetDate: {
      const DateStamp now = dos.Now();
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += !dos.SetFileDate(name[size_t(i)], now);
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
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
      StartTiming(ctx, cacheOn, mt);
      const bool ok = dos.ListDir(files.directory, entries);
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
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
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += !dos.DeleteFile(name[size_t(i)]);
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
      break;
    case FileOp::SeekInFile: {
      const int64_t fh = dos.Open(files.CopyOfSize(1048576), MODE_OLDFILE);
      if (fh == 0) {
        LogError(ctx, "DRIVE", "Seek in File", "Error open needed file");
        return r;
      }
      Lcg rng(kSeed);
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n; ++i) bad += dos.Seek(fh, int64_t(rng.Next() % 1048575u), OFFSET_BEGINNING) < 0;
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
      dos.Close(fh);
      break;
    }
    case FileOp::RenameFiles: {
      const std::string& copy = files.CopyOfSize(1048576);
      StartTiming(ctx, cacheOn, mt);
      for (int32_t i = 0; i < n / 2; ++i) {
        bad += !dos.Rename(copy, files.foobar);
        bad += !dos.Rename(files.foobar, copy);
      }
      r.seconds = StopTimingLong(ctx, cacheOn, mt);
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

void RunFileOpTest(Context& ctx, BenchFiles& files, FileOp op, int32_t cacheOn, int32_t multitaskingOn,
                   int32_t fileCount) {
  const FileOpRow& row = Row(op);
  const CatalogueEntry& entry = DriveEntry(row.entry);
  const int32_t n = std::clamp<int32_t>(fileCount, 0, int32_t(files.handles.size()));

  if (op == FileOp::CreateFiles) WriteGroupHead(ctx, files.partition, n, cacheOn, multitaskingOn);
  ShowDriveTest(ctx, row.title, row.routine, "File low:", "File high:", "File:", cacheOn, multitaskingOn, 1, n, n, 0,
                2);
  SetState(ctx, Section::Drive, "Benchmarking...");
  ctx.status.SetText(Section::Drive, StatusField::LastResult, "NA");

  // A work scale runs the loop over fewer files; the figure counts the
  // operations made.
  const int32_t worked = n > 0 ? int32_t(ScaledWork(uint32_t(n), ctx.plan.workScale)) : n;
  const LoopResult loop = TimedLoop(ctx, files, op, cacheOn, multitaskingOn, worked);
  // The current-file field shows the last file once the loop is over (a
  // status call inside the timed span would be timed with the files).
  if (op == FileOp::OpenFiles || op == FileOp::SetProtection) ctx.status.SetNumber(Section::Drive, StatusField::Blocksize, n);

  const double figure = loop.timed ? RatePerSecond(double(loop.operations), loop.seconds) : 0.0;
  ctx.results.setFigure(rec::kFileSystemOps + 8 * size_t(entry.slot - slot::kDriveFirst - 2), figure);
  ShowDriveLastOps(ctx, figure);
  if (loop.failures > 0) {
    // With the system's reason when it gave one ("Too many open files").
    const std::string why = ctx.dos.LastError().call.empty() ? std::string() : ": " + ctx.dos.LastErrorReason();
    LogError(ctx, "DRIVE", entry.label,
             Format("%lld of %lld operations failed", static_cast<long long>(loop.failures),
                    static_cast<long long>(loop.operations)) + why);
  }

  const bool scored = n == 2000 && cacheOn != 0 && loop.timed && loop.failures == 0;
  const double score = ScorePercent(figure, entry.reference, entry.weight);
  ctx.results.setScore(entry.slot, scored ? ScoreSlot{score, 1.0} : ScoreSlot{0.0, 0.0});

  ReportLine(ctx, Format(row.card, scored ? "+" : "-"));
  ReportFixed1(ctx, "%8lu.%0.1lu      ", score);
  ReportFixed2(ctx, "    %8lu.%0.2lu    |\n", figure);
  SetState(ctx, Section::Drive, "Done");
}

void RunFileTransferTest(Context& ctx, BenchFiles& files, FileTransfer kind, uint64_t fileSize, int32_t lowStep,
                         int32_t highStep, int32_t cacheOn, int32_t multitaskingOn) {
  const bool reading = kind == FileTransfer::Read;
  const CatalogueEntry& entry = DriveEntry(reading ? 1 : 2);
  const size_t base = reading ? rec::kReadFile : rec::kWriteFile;
  const char* function = reading ? "Read from file" : "Write to file";
  Dos& dos = ctx.dos;

  WriteTopRule(ctx);
  ReportFormat(ctx,
               reading ? "|   Read from FILE - [%s]                                                 |\n"
                       : "|   Write fo FILE - [%s]                                                  |\n",
               files.partition.c_str());
  WriteSeparator(ctx);
  ReportFixed1(ctx,
               reading ? "|   100 Percent at   : %3lu.%0.1lu MB/se c                                       |\n"
                       : "|   100 Percent at   : %3lu.%0.1lu MB/sec                                        |\n",
               entry.reference);
  const FixedSplit w = SplitFixed(entry.weight, 10);
  ReportLine(ctx, Format("|   Score weight     : %3lu.%.1lu%%                                              |\n",
                         (unsigned long)w.whole, (unsigned long)w.frac));
  ReportLine(ctx, Format("|   Loopsize [bytes] : %-10llu                                          |\n",
                         (unsigned long long)fileSize));
  ReportFormat(ctx, "|   CPU Cache        : %-10s                                          |\n", OnOffWord(cacheOn));
  ReportFormat(ctx, "|   Multitasking     : %-10s                                          |\n", OnOffWord(multitaskingOn));
  WriteEmptyLine(ctx);
  ReportLine(ctx, "|   Blocksize                                                      MB/sec  |\n");
  WriteSeparator(ctx);

  ShowDriveTest(ctx, reading ? "\x1b" "bRead from FILE\x1b" "n [cached]" : "\x1b" "bWrite to FILE\x1b" "n [cached]",
                reading ? "dos.lib Read()" : "dos.lib Write()", "Filesize low:", "Filesize high:", "Filesize:",
                cacheOn, multitaskingOn, int32_t(BlockSizeOfStep(lowStep)), int32_t(BlockSizeOfStep(highStep)),
                int32_t(std::min<uint64_t>(fileSize, 0x7FFFFFFF)), 0, 0);
  SetState(ctx, Section::Drive, "Benchmarking...");

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
    ctx.status.SetNumber(Section::Drive, StatusField::Blocksize, int32_t(b));
    ctx.status.SetNumber(Section::Drive, StatusField::Loopsize, int32_t(std::min<uint64_t>(n, 0x7FFFFFFF)));
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
    StartTiming(ctx, cacheOn, multitaskingOn);
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
    const double t = StopTimingLong(ctx, cacheOn, multitaskingOn);
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
    ctx.results.setFigure(base + 8 * size_t(k - 1), figure);
    ShowDriveLast(ctx, figure);
    ShowDriveMin(ctx, minimum);
    ShowDriveMax(ctx, maximum);
    ShowDriveAverage(ctx, sum / steps);
    ReportLine(ctx, Format("|  %8lu", (unsigned long)b));
    ReportFixed2(ctx, "                                                 %8lu.%0.2lu    |\n", figure);
  }
  const double average = steps > 0 ? sum / steps : 0.0;
  ctx.results.setFigure(base + 8 * 17, minimum);
  ctx.results.setFigure(base + 8 * 18, maximum);
  ctx.results.setFigure(base + 8 * 19, average);
  if (failedCalls > 0)
    LogError(ctx, "DRIVE", entry.label,
             Format("%lld of %lld operations failed", (long long)failedCalls, (long long)calls) + failReason);

  const bool scored = lowStep == 1 && highStep == 17 && fileSize == 16u * 1048576u && cacheOn != 0 &&
                      !stepFailed && failedCalls == 0;
  WriteSweepSummary(ctx, minimum, maximum, average);
  WriteEmptyLine(ctx);
  WriteScore(ctx, entry.slot, ScorePercent(average, entry.reference, entry.weight), scored);
  WriteClosingLine(ctx);
  SetState(ctx, Section::Drive, "Done");
}

void FinishFileOpGroup(Context& ctx) {
  const ScoreSlot group = FileSystemGroupTotal(ctx.results);
  WriteEmptyLine(ctx);
  WriteScore(ctx, slot::kFileSystemGroup, group.percent, group.counts());
  WriteEmptyLine(ctx);
  WriteClosingLine(ctx);
}

}  // namespace kr
