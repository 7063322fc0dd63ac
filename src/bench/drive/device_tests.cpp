#include "bench/drive/device_tests.h"

#include <algorithm>
#include <array>
#include <string>

#include "bench/card.h"
#include "bench/drive/drive_access.h"
#include "engine/scoring.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "platform/scsi_target.h"
#include "report/report.h"
#include "util/numtext.h"

namespace kr {
namespace {

// A geometry field of the drive information record.
uint32_t Geometry(const Context& ctx, int field) { return ctx.driveInfo.field(field); }

constexpr uint32_t kSeed = 5318;
constexpr int kSeekAccesses = 100;
constexpr uint8_t kScsiRead = SCSIF_READ | SCSIF_AUTOSENSE;
constexpr uint8_t kScsiWrite = SCSIF_WRITE | SCSIF_AUTOSENSE;

int8_t Scsi10(Context& ctx, uint8_t op, uint32_t lba, uint16_t blocks, void* data = nullptr, uint32_t length = 0,
              uint8_t flags = kScsiRead) {
  const Cdb10 c(op, lba, blocks);
  return SendScsiCommand(ctx, data, length, c.b, 10, flags);
}
int8_t TestUnitReady(Context& ctx) {
  static constexpr uint8_t kCdb[6] = {SCSI_TEST_UNIT_READY, 0, 0, 0, 0, 0};
  return SendScsiCommand(ctx, nullptr, 0, kCdb, 6, kScsiRead);
}
int8_t StartStopUnit(Context& ctx, bool start) {
  const uint8_t cdb[6] = {SCSI_START_STOP_UNIT, 0, 0, 0, uint8_t(start ? 1 : 0), 0};
  return SendScsiCommand(ctx, nullptr, 0, cdb, 6, kScsiRead);
}
// An NSD transfer at a 64-bit byte offset.
int8_t Nsd(Context& ctx, uint16_t command, uint64_t offset, void* data, uint32_t length) {
  return SendNsdCommand(ctx, command, 0, length, data, uint32_t(offset >> 32), uint32_t(offset));
}

bool Etd(const Context& ctx) { return ctx.drive.cmdRead == NSCMD_ETD_READ64; }

void WriteSwitchLines(Context& ctx, const char* cacheFormat, const char* mtFormat, int32_t cacheOn, int32_t mt) {
  ReportFormat(ctx, cacheFormat, OnOffWord(cacheOn));
  ReportFormat(ctx, mtFormat, OnOffWord(mt));
}

void WriteWeightLine(Context& ctx, const char* format, double weight) {
  const FixedSplit w = SplitFixed(weight, 10);
  ReportLine(ctx, Format(format, (unsigned long)w.whole, (unsigned long)w.frac));
}

constexpr const char* kCacheLine = "|   CPU Cache        : %-10s                                          |\n";
constexpr const char* kMtLine = "|   Multitasking     : %-10s                                          |\n";

// The texts of one transfer test variant.
struct TransferTexts {
  const char* title;
  const char* status;
  const char* routine;
};

TransferTexts TextsOf(const Context& ctx, bool write, bool scsi) {
  if (scsi)
    return write ? TransferTexts{"|   Write to DEVICE [direct-access] SCSI_DA_WRITE_10                       |\n",
                                 "\x1b" "bWrite to DEVICE \x1b" "n [cached]", "SCSI_DA_WRITE_10"}
                 : TransferTexts{"|   Read from DEVICE [direct-access] SCSI_DA_READ_10                       |\n",
                                 "\x1b" "bRead from DEVICE\x1b" "n [cached]", "SCSI_DA_READ_10"};
  if (Etd(ctx))
    return write ? TransferTexts{"|   Write to DEVICE [new style] NSCMD_ETD_WRITE64                          |\n",
                                 "\x1b" "bWrite to DEVICE\x1b" "n [cached]", "NSCMD_ETD_WRITE64"}
                 : TransferTexts{"|   Read from DEVICE [new style] NSCMD_ETD_READ64                          |\n",
                                 "\x1b" "bRead from DEVICE\x1b" "n [cached]", "NSCMD_ETD_READ64"};
  return write ? TransferTexts{"|   Write to DEVICE [new style] NSCMD_TD_WRITE64                           |\n",
                               "\x1b" "bWrite to DEVICE\x1b" "n [cached]", "NSCMD_TD_WRITE64"}
               : TransferTexts{"|   Read from DEVICE [new style] NSCMD_TD_READ64                           |\n",
                               "\x1b" "bRead from DEVICE\x1b" "n [cached]", "NSCMD_TD_READ64"};
}

// One step of a transfer test: n transfers of b bytes at block 123 through
// buf. False on a device error (the timing of the step is abandoned).
bool TransferStep(Context& ctx, bool write, bool scsi, void* buf, uint32_t b, uint64_t n, int32_t cacheOn,
                  int32_t mt, double& seconds) {
  const uint32_t ss = Geometry(ctx, drive_field::kSectorSize);
  const uint64_t at = uint64_t(kDeviceTestBlock) * ss;
  const uint16_t blocks = uint16_t(b / ss);
  int8_t err = 0;
  if (!scsi) {
    // Reading positions the head (one sector); writing first saves the span
    // it will write back.
    if (Nsd(ctx, ctx.drive.cmdRead, at, buf, write ? b : ss) != 0) return false;
    const uint16_t cmd = write ? ctx.drive.cmdWrite : ctx.drive.cmdRead;
    StartTiming(ctx, cacheOn, mt);
    for (uint64_t i = 0; i < n && err == 0; ++i) err = Nsd(ctx, cmd, at, buf, b);
    seconds = StopTimingLong(ctx, cacheOn, mt);
    return err == 0;
  }
  if (write) {
    SetState(ctx, Section::Drive, "Saving blocksize...");
    if (Scsi10(ctx, SCSI_SEEK_10, kDeviceTestBlock, 0) != 0 ||
        Scsi10(ctx, SCSI_READ_10, kDeviceTestBlock, blocks, buf, b) != 0 ||
        Scsi10(ctx, SCSI_SYNCHRONIZE_CACHE_10, kDeviceTestBlock, blocks) != 0 ||
        Scsi10(ctx, SCSI_SEEK_10, kDeviceTestBlock, 0) != 0)
      return false;
    SetState(ctx, Section::Drive, "Benchmarking...");
    StartTiming(ctx, cacheOn, mt);
    for (uint64_t i = 0; i < n && err == 0; ++i)
      err = Scsi10(ctx, SCSI_WRITE_10, kDeviceTestBlock, blocks, buf, b, kScsiWrite);
    seconds = StopTimingLong(ctx, cacheOn, mt);
  } else {
    if (Scsi10(ctx, SCSI_SEEK_10, kDeviceTestBlock, 0) != 0) return false;
    StartTiming(ctx, cacheOn, mt);
    for (uint64_t i = 0; i < n && err == 0; ++i) err = Scsi10(ctx, SCSI_READ_10, kDeviceTestBlock, blocks, buf, b);
    seconds = StopTimingLong(ctx, cacheOn, mt);
  }
  return err == 0 && Scsi10(ctx, SCSI_SYNCHRONIZE_CACHE_10, kDeviceTestBlock, blocks) == 0;
}

}  // namespace

void RunDeviceTransferTest(Context& ctx, bool write, int16_t mode, uint64_t transfer, int32_t lowStep,
                           int32_t highStep, int32_t cacheOn, int32_t mt) {
  const bool scsi = mode == kAccessDirectScsi;
  const CatalogueEntry& entry = DriveEntry(write ? 16 : 15);
  const size_t base = write ? rec::kWriteDevice : rec::kReadDevice;
  const TransferTexts texts = TextsOf(ctx, write, scsi);

  WriteTopRule(ctx);
  ReportLine(ctx, texts.title);
  WriteSeparator(ctx);
  ReportFixed1(ctx, "|   100 Percent at   : %3lu.%0.1lu MB/s                                          |\n",
               entry.reference);
  WriteWeightLine(ctx, "|   Score weight     : %3lu.%.1lu%%                                              |\n",
                  entry.weight);
  ReportLine(ctx, Format("|   Loopsize (bytes) : %-10llu                                          |\n",
                         (unsigned long long)transfer));
  WriteSwitchLines(ctx, kCacheLine, kMtLine, cacheOn, mt);
  WriteEmptyLine(ctx);
  ReportLine(ctx, "|   Blocksize                                                      MB/sec  |\n");
  WriteSeparator(ctx);

  ShowDriveTest(ctx, texts.status, texts.routine, "Blocksize Low:", "Blocksize High:", "Blocksize:", cacheOn, mt,
                int32_t(BlockSizeOfStep(lowStep)), int32_t(BlockSizeOfStep(highStep)), 0, 0, 0);
  SetState(ctx, Section::Drive, "Benchmarking...");

  bool error = scsi && TestUnitReady(ctx) != 0;
  bool skipped = false, cut = false;
  const uint32_t ss = Geometry(ctx, drive_field::kSectorSize);
  // The end of the device as the geometry gives it: no span reaches past it.
  const uint64_t deviceBytes = uint64_t(Geometry(ctx, drive_field::kTotalSectors)) * ss;
  const double megabytes = double(transfer / 1048576u);
  double minimum = 100000.0, maximum = 0.0, sum = 0.0;
  int measured = 0;
  for (int32_t k = std::max(lowStep, 1); k <= std::min(highStep, 17); ++k) {
    const uint32_t b = BlockSizeOfStep(k);
    // A work scale divides the transfers; the figure counts the bytes moved.
    const uint64_t n = ScaledWork(transfer / b, ctx.plan.workScale);
    const double moved = ctx.plan.workScale > 1 ? double(n) * double(b) / 1048576.0 : megabytes;
    ctx.status.SetNumber(Section::Drive, StatusField::Blocksize, int32_t(b));
    ctx.status.SetNumber(Section::Drive, StatusField::Loopsize, int32_t(std::min<uint64_t>(n, 0x7FFFFFFF)));
    double figure = 0.0;
    // A stop request ends the sweep between two steps: the rest keep 0.00.
    if (!error && !cut && ctx.Interrupted()) cut = true;
    if (!error && !cut) {
      if (ss != 0 && b < ss) {
        // Smaller than one sector (512 bytes on a 4096-byte-sector disk): no
        // device takes it; the test scores from the steps the disk can do.
      } else if (ss == 0 || b % ss != 0) {
        skipped = true;  // not a whole number of sectors: no device takes it
      } else if (uint64_t(kDeviceTestBlock) * ss + b > deviceBytes) {
        error = true;  // the span would reach past the end of the device
      } else if (void* buf = ctx.exec.AllocVec(b, MEMF_CLEAR)) {
        double t = 0.0;
        if (TransferStep(ctx, write, scsi, buf, b, n, cacheOn, mt, t)) {
          figure = RatePerSecond(moved, t);
          minimum = std::min(minimum, figure);
          maximum = std::max(maximum, figure);
          sum += figure;
          ++measured;
          ShowDriveLast(ctx, figure);
          ShowDriveMin(ctx, minimum);
          ShowDriveMax(ctx, maximum);
          ShowDriveAverage(ctx, sum / measured);
        } else {
          error = true;
        }
        ctx.exec.FreeVec(buf);
      } else {
        error = true;
      }
    }
    ctx.results.setFigure(base + 8 * size_t(k - 1), figure);
    ReportLine(ctx, Format("|  %8lu", (unsigned long)b));
    ReportFixed2(ctx, "                                                 %8lu.%0.2lu    |\n", figure);
  }
  if (measured == 0) minimum = 0.0;
  const double average = measured > 0 ? sum / measured : 0.0;
  ctx.results.setFigure(base + 8 * 17, minimum);
  ctx.results.setFigure(base + 8 * 18, maximum);
  ctx.results.setFigure(base + 8 * 19, average);

  const bool scored = lowStep == 3 && highStep == 17 && transfer == 16u * 1048576u && cacheOn != 0 && !error &&
                      !skipped && !cut && measured > 0;
  WriteSweepSummary(ctx, minimum, maximum, average);
  WriteEmptyLine(ctx);
  WriteScore(ctx, entry.slot, ScorePercent(average, entry.reference, entry.weight), scored);
  WriteClosingLine(ctx);
  SetState(ctx, Section::Drive, "Done");
}

namespace {

struct SeekPattern {
  const char* name;
  const char* card;
};
constexpr SeekPattern kPatterns[7] = {
    {"Random Blocks", "|   [%s] Random Blocks                     "},
    {"Random Tracks", "|   [%s] Random Tracks                     "},
    {"Random Cylinders", "|   [%s] Random Cylinders                  "},
    {"Block 2 Block", "|   [%s] Block 2 Block                     "},
    {"Track 2 Track", "|   [%s] Track 2 Track                     "},
    {"Cylinder 2 Cylinder", "|   [%s] Cylinder 2 Cylinder               "},
    {"First <-> Last", "|   [%s] First <-> Last                    "},
};
constexpr const char* kTimeTail = "                  %8lu.%0.2lu    |\n";

uint64_t Mod(uint32_t r, uint64_t m) { return m == 0 ? 0 : r % m; }

// The 100 block numbers of a pattern, drawn from a generator seeded with 5318.
std::array<uint64_t, kSeekAccesses> Positions(const Context& ctx, int pattern) {
  const uint64_t total = Geometry(ctx, drive_field::kTotalSectors), cylinders = Geometry(ctx, drive_field::kCylinders),
                 heads = Geometry(ctx, drive_field::kHeads), track = Geometry(ctx, drive_field::kTrackSectors),
                 cylinder = Geometry(ctx, drive_field::kCylSectors);
  Lcg rng(kSeed);
  std::array<uint64_t, kSeekAccesses> p{};
  for (int i = 0; i < kSeekAccesses; ++i) {
    switch (pattern) {
      case 0: p[size_t(i)] = Mod(rng.Next(), total); break;
      case 1: p[size_t(i)] = Mod(rng.Next(), cylinders * heads) * track; break;
      case 2: p[size_t(i)] = Mod(rng.Next(), cylinders) * cylinder; break;
      case 3: p[size_t(i)] = uint64_t(i); break;
      case 4: p[size_t(i)] = uint64_t(i) * track; break;
      case 5: p[size_t(i)] = uint64_t(i) * cylinder; break;
      default: p[size_t(i)] = i % 2 == 0 ? (total > 0 ? total - 1 : 0) : 0; break;
    }
  }
  return p;
}

// One access: a one-sector read (NSD) or a SEEK(10) (SCSI).
int8_t Access(Context& ctx, bool scsi, uint64_t block, void* sector, uint32_t ss) {
  if (scsi) return block > 0xFFFFFFFFu ? int8_t(IOERR_BADADDRESS) : Scsi10(ctx, SCSI_SEEK_10, uint32_t(block), 0);
  return Nsd(ctx, ctx.drive.cmdRead, block * ss, sector, ss);
}

}  // namespace

void RunSeekOnDevice(Context& ctx, int16_t mode, int32_t cacheOn, int32_t mt) {
  const bool scsi = mode == kAccessDirectScsi;
  const CatalogueEntry& entry = DriveEntry(17);
  const char* routine = scsi ? "SCSI_DA_SEEK_10" : Etd(ctx) ? "NSCMD_ETD_SEEK64" : "NSCMD_TD_SEEK64";

  WriteTopRule(ctx);
  ReportLine(ctx, scsi ? "|   Seek on DEVICE [direct-access] SCSI_DA_SEEK_10                         |\n"
                  : Etd(ctx) ? "|   Seek on DEVICE [new sytle] NSCMD_ETD_SEEK64                            |\n"
                             : "|   Seek on DEVICE [new sytle] NSCMD_TD_SEEK64                             |\n");
  WriteSeparator(ctx);
  ReportFixed1(ctx, "|   100 Percent at    : %1lu.%0.1lu ms                                             |\n",
               entry.reference);
  WriteWeightLine(ctx, "|   Score weight      : %3lu.%.1lu%%                                             |\n",
                  entry.weight);
  ReportLine(ctx, Format("|   Loopsize          : %-6lu                                             |\n",
                         (unsigned long)kSeekAccesses));
  WriteSwitchLines(ctx, "|   CPU Cache         : %-10s                                         |\n",
                   "|   Multitasking      : %-10s                                         |\n", cacheOn, mt);
  WriteEmptyLine(ctx);
  ReportLine(ctx, "|   Method                                                         ms      |\n");
  WriteSeparator(ctx);

  const uint32_t ss = Geometry(ctx, drive_field::kSectorSize);
  double ms[7] = {};
  bool error = false, cut = false;
  for (int p = 0; p < 7 && !error; ++p) {
    ShowDriveTest(ctx, std::string("\x1b" "bSeek on DEVICE\x1b" "n [") + kPatterns[p].name + "]", routine, "From:",
                  "To:", "Blocksize:", cacheOn, mt, 0, 0, 0, 0, 1);
    SetState(ctx, Section::Drive, "Delay...");
    // The drive settles for 5 s before each pattern (a work scale shortens it).
    if (!WaitTicks(ctx, ScaledWork(uint32_t(250), ctx.plan.workScale))) {
      cut = true;
      break;
    }
    const std::array<uint64_t, kSeekAccesses> blocks = Positions(ctx, p);
    SetState(ctx, Section::Drive, "Benchmarking...");
    void* sector = ctx.exec.AllocVec(std::max<uint32_t>(ss, 1), MEMF_PUBLIC);
    if (!sector || Access(ctx, scsi, 0, sector, ss) != 0) {
      error = true;
    } else {
      int8_t err = 0;
      StartTiming(ctx, cacheOn, mt);
      for (int i = 0; i < kSeekAccesses && err == 0; ++i) err = Access(ctx, scsi, blocks[size_t(i)], sector, ss);
      const double t = StopTimingLong(ctx, cacheOn, mt);
      error = err != 0;
      if (!error) ms[p] = t * 10.0;
    }
    if (sector) ctx.exec.FreeVec(sector);
    if (error) break;
    ReportLine(ctx, Format(kPatterns[p].card, error ? "-" : "+"));
    ReportFixed2(ctx, kTimeTail, ms[p]);
  }
  // Patterns not measured keep 0.
  for (int p = 0; p < 7; ++p) ctx.results.setFigure(rec::kSeekDevice + 8 * size_t(p), ms[p]);

  const double random = (ms[0] + ms[1] + ms[2]) / 3, sequential = (ms[3] + ms[4] + ms[5]) / 3;
  double total = 0.0;
  for (double m : ms) total += m;
  total /= 7;
  ctx.results.setFigure(rec::kSeekDeviceAverages, random);
  ctx.results.setFigure(rec::kSeekDeviceAverages + 8, sequential);
  ctx.results.setFigure(rec::kSeekDeviceAverages + 16, total);

  const bool scored = cacheOn != 0 && !error && !cut && total > 0.0;
  const double score = total > 0.0 ? ScoreFromTime(total, entry.weight, 1.0 / 3.0) : 0.0;
  WriteEmptyLine(ctx);
  ReportFixed2(ctx, "|   Average Random-Access:      %3lu.%0.2lu ms                                  |\n", random);
  ReportFixed2(ctx, "|   Average Sequential-Access : %3lu.%0.2lu ms                                  |\n", sequential);
  ReportFixed2(ctx, "|   Total Average Access:       %3lu.%0.2lu ms                                  |\n", total);
  WriteEmptyLine(ctx);
  WriteScore(ctx, entry.slot, score, scored);
  WriteClosingLine(ctx);
  SetState(ctx, Section::Drive, "Done");
}

void RunSpinUpDevice(Context& ctx, int16_t mode, int32_t cacheOn, int32_t mt) {
  const bool scsi = mode == kAccessDirectScsi;
  const CatalogueEntry& entry = DriveEntry(18);

  WriteTopRule(ctx);
  ReportLine(ctx, scsi ? "|   SpinUp DEVICE [direct-access] SCSI_DA_START_STOP_UNIT                  |\n"
                       : "|   SpinUp DEVICE [new style device] CMD_STOP - CMD_START                  |\n");
  WriteSeparator(ctx);
  ReportFixed1(ctx, "|   100 Percent at   : %1lu.%0.1lu secs                                            |\n",
               entry.reference);
  WriteWeightLine(ctx, "|   Score weight     : %2lu.%.1lu%%                                               |\n",
                  entry.weight);
  WriteSwitchLines(ctx, kCacheLine, kMtLine, cacheOn, mt);
  WriteEmptyLine(ctx);
  ReportLine(ctx, "|   Time                                                           secs    |\n");
  WriteSeparator(ctx);

  ShowDriveTest(ctx, "\x1b" "bSpinUp DEVICE\x1b" "n", scsi ? "SCSI_DA_START_STOP_UNIT" : "CMD_STOP - CMD_START [NSD]",
                "From:", "To:", "Blocksize:", cacheOn, mt, 0, 0, 0, 0, 1);
  SetState(ctx, Section::Drive, "Waiting... [5 secs idle]");
  bool full = WaitTicks(ctx, 250);

  SetState(ctx, Section::Drive, "Shuting down... [15 secs idle]");
  bool error = false, stopped = false;
  double t = 0.0;
  if (full) {  // a stop request during the first wait leaves the device alone
    if (scsi)
      error = TestUnitReady(ctx) != 0 || Scsi10(ctx, SCSI_SYNCHRONIZE_CACHE_10, 0, 0) != 0 ||
              StartStopUnit(ctx, false) != 0;
    else
      error = SendNsdCommand(ctx, CMD_STOP, 0, 0, nullptr, 0, 0) != 0;
    stopped = !error;
    // The waits are for the device; after a device error there is nothing to wait for.
    if (stopped) full = WaitTicks(ctx, 750);
  }
  if (stopped) {
    // Started again whatever happened since: the device is never left stopped.
    SetState(ctx, Section::Drive, "SpinUp!");
    StartTiming(ctx, cacheOn, mt);
    const int8_t err = scsi ? StartStopUnit(ctx, true) : SendNsdCommand(ctx, CMD_START, 0, 0, nullptr, 0, 0);
    t = StopTimingLong(ctx, cacheOn, mt);
    error = err != 0 || (scsi && TestUnitReady(ctx) != 0);
    if (error) t = 0.0;
    SetState(ctx, Section::Drive, "Waiting... [5 secs idle]");
    if (!error && full) full = WaitTicks(ctx, 250);
  }

  ctx.results.setFigure(rec::kSpinUpDevice, t);
  ReportLine(ctx, Format("|   [%s] SpinUp Time                       ", error ? "-" : "+"));
  ReportFixed2(ctx, kTimeTail, t);
  const bool scored = cacheOn != 0 && !error && full && t > 0.0;
  WriteEmptyLine(ctx);
  WriteScore(ctx, entry.slot, t > 0.0 ? ScoreFromTime(t, entry.weight, 1.0) : 0.0, scored);
  WriteClosingLine(ctx);
  SetState(ctx, Section::Drive, "Done");
}

}  // namespace kr
