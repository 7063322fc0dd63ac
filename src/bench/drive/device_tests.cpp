#include "bench/drive/device_tests.h"

#include <algorithm>
#include <array>
#include <string>

#include "bench/card.h"
#include "bench/drive/drive_access.h"
#include "engine/scoring.h"
#include "engine/timing.h"
#include "platform/scsi_target.h"
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

constexpr const char* kCacheLine = "|   CPU Cache        : %-10s                                          |\n";
constexpr const char* kMtLine = "|   Multitasking     : %-10s                                          |\n";

constexpr DriveCardHead TransferHead(const char* title) {
  return {title,
          "|   100 Percent at   : %3lu.%0.1lu MB/s                                          |\n",
          "|   Score weight     : %3lu.%.1lu%%                                              |\n",
          "|   Loopsize (bytes) : %-10llu                                          |\n",
          kCacheLine,
          kMtLine,
          "|   Blocksize                                                      MB/sec  |\n"};
}
constexpr DriveCardHead kScsiWriteHead =
    TransferHead("|   Write to DEVICE [direct-access] SCSI_DA_WRITE_10                       |\n");
constexpr DriveCardHead kScsiReadHead =
    TransferHead("|   Read from DEVICE [direct-access] SCSI_DA_READ_10                       |\n");
constexpr DriveCardHead kEtdWriteHead =
    TransferHead("|   Write to DEVICE [new style] NSCMD_ETD_WRITE64                          |\n");
constexpr DriveCardHead kEtdReadHead =
    TransferHead("|   Read from DEVICE [new style] NSCMD_ETD_READ64                          |\n");
constexpr DriveCardHead kTdWriteHead =
    TransferHead("|   Write to DEVICE [new style] NSCMD_TD_WRITE64                           |\n");
constexpr DriveCardHead kTdReadHead =
    TransferHead("|   Read from DEVICE [new style] NSCMD_TD_READ64                           |\n");

// The texts of one transfer test variant.
struct TransferTexts {
  const DriveCardHead* head;
  const char* status;
  const char* routine;
};

TransferTexts TextsOf(const Context& ctx, bool write, bool scsi) {
  if (scsi)
    return write ? TransferTexts{&kScsiWriteHead, "\x1b" "bWrite to DEVICE \x1b" "n [cached]", "SCSI_DA_WRITE_10"}
                 : TransferTexts{&kScsiReadHead, "\x1b" "bRead from DEVICE\x1b" "n [cached]", "SCSI_DA_READ_10"};
  if (Etd(ctx))
    return write ? TransferTexts{&kEtdWriteHead, "\x1b" "bWrite to DEVICE\x1b" "n [cached]", "NSCMD_ETD_WRITE64"}
                 : TransferTexts{&kEtdReadHead, "\x1b" "bRead from DEVICE\x1b" "n [cached]", "NSCMD_ETD_READ64"};
  return write ? TransferTexts{&kTdWriteHead, "\x1b" "bWrite to DEVICE\x1b" "n [cached]", "NSCMD_TD_WRITE64"}
               : TransferTexts{&kTdReadHead, "\x1b" "bRead from DEVICE\x1b" "n [cached]", "NSCMD_TD_READ64"};
}

// The first phase of a device test: its window lines and its state.
void BeginDevicePhase(Context& ctx, std::string_view nowRunning, std::string_view routine,
                      std::string_view captionLow, std::string_view captionHigh, int32_t cacheOn, int32_t mt,
                      int32_t low, int32_t high, int layout, std::string_view state) {
  TestPhase phase;
  phase.section = Section::Drive;
  phase.showsTest = true;
  phase.nowRunning = nowRunning;
  phase.routine = routine;
  phase.captionLow = captionLow;
  phase.captionHigh = captionHigh;
  phase.caption = "Blocksize:";
  phase.cacheOn = cacheOn;
  phase.multitaskingOn = mt;
  phase.driveValues[0] = low;
  phase.driveValues[1] = high;
  phase.driveLayout = layout;
  phase.state = state;
  BeginPhase(ctx, phase);
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
    seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
      for (uint64_t i = 0; i < n && err == 0; ++i) err = Nsd(ctx, cmd, at, buf, b);
    });
    return err == 0;
  }
  if (write) {
    SetPhaseState(ctx, Section::Drive, "Saving blocksize...");
    if (Scsi10(ctx, SCSI_SEEK_10, kDeviceTestBlock, 0) != 0 ||
        Scsi10(ctx, SCSI_READ_10, kDeviceTestBlock, blocks, buf, b) != 0 ||
        Scsi10(ctx, SCSI_SYNCHRONIZE_CACHE_10, kDeviceTestBlock, blocks) != 0 ||
        Scsi10(ctx, SCSI_SEEK_10, kDeviceTestBlock, 0) != 0)
      return false;
    SetPhaseState(ctx, Section::Drive, "Benchmarking...");
    seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
      for (uint64_t i = 0; i < n && err == 0; ++i)
        err = Scsi10(ctx, SCSI_WRITE_10, kDeviceTestBlock, blocks, buf, b, kScsiWrite);
    });
  } else {
    if (Scsi10(ctx, SCSI_SEEK_10, kDeviceTestBlock, 0) != 0) return false;
    seconds = TimeOnceLong(ctx, cacheOn, mt, [&] {
      for (uint64_t i = 0; i < n && err == 0; ++i) err = Scsi10(ctx, SCSI_READ_10, kDeviceTestBlock, blocks, buf, b);
    });
  }
  return err == 0 && Scsi10(ctx, SCSI_SYNCHRONIZE_CACHE_10, kDeviceTestBlock, blocks) == 0;
}

}  // namespace

TestResult RunDeviceTransferTest(Context& ctx, bool write, int16_t mode, uint64_t transfer, int32_t lowStep,
                                 int32_t highStep, int32_t cacheOn, int32_t mt) {
  const bool scsi = mode == kAccessDirectScsi;
  const CatalogueEntry& entry = DriveEntry(write ? 16 : 15);
  const size_t base = write ? rec::kWriteDevice : rec::kReadDevice;
  const TransferTexts texts = TextsOf(ctx, write, scsi);

  TestResult r = OpenDriveCard(ctx, entry, cacheOn, mt, texts.head, {}, transfer);
  BeginDevicePhase(ctx, texts.status, texts.routine, "Blocksize Low:", "Blocksize High:", cacheOn, mt,
                   int32_t(BlockSizeOfStep(lowStep)), int32_t(BlockSizeOfStep(highStep)), 0, "Benchmarking...");

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
    TestPhase step;
    step.section = Section::Drive;
    step.current = int32_t(b);
    step.count = int32_t(std::min<uint64_t>(n, 0x7FFFFFFF));
    BeginPhase(ctx, step);
    TestFigure point;
    point.slot = base + 8 * size_t(k - 1);
    point.sweepPoint = true;
    point.block = b;
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
          const double figure = RatePerSecond(moved, t);
          minimum = std::min(minimum, figure);
          maximum = std::max(maximum, figure);
          sum += figure;
          ++measured;
          point.value = figure;
          point.unit = "MB/s";
          point.sweepSoFar = TestFigure::SoFar{minimum, maximum, sum / measured};
        } else {
          error = true;
        }
        ctx.exec.FreeVec(buf);
      } else {
        error = true;
      }
    }
    // A step not measured keeps its line and its slot at 0.00.
    RecordFigure(ctx, r, std::move(point));
  }
  if (measured == 0) minimum = 0.0;
  const double average = measured > 0 ? sum / measured : 0.0;
  RecordStoredFigure(ctx, r, base + 8 * 17, minimum);
  RecordStoredFigure(ctx, r, base + 8 * 18, maximum);
  RecordStoredFigure(ctx, r, base + 8 * 19, average);

  r.scored = lowStep == 3 && highStep == 17 && transfer == 16u * 1048576u && cacheOn != 0 && !error && !skipped &&
             !cut && measured > 0;
  r.sweep = TestResult::Sweep{minimum, maximum, average};
  CloseDriveCard(ctx, r, TestResult::Foot::Score, entry.slot, average,
                 ScorePercent(average, entry.reference, entry.weight));
  return r;
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


constexpr const char* kSeekCache = "|   CPU Cache         : %-10s                                         |\n";
constexpr const char* kSeekMt = "|   Multitasking      : %-10s                                         |\n";
constexpr DriveCardHead SeekHead(const char* title) {
  return {title,
          "|   100 Percent at    : %1lu.%0.1lu ms                                             |\n",
          "|   Score weight      : %3lu.%.1lu%%                                             |\n",
          "|   Loopsize          : %-6llu                                             |\n",
          kSeekCache,
          kSeekMt,
          "|   Method                                                         ms      |\n"};
}
constexpr DriveCardHead kScsiSeekHead =
    SeekHead("|   Seek on DEVICE [direct-access] SCSI_DA_SEEK_10                         |\n");
constexpr DriveCardHead kEtdSeekHead =
    SeekHead("|   Seek on DEVICE [new sytle] NSCMD_ETD_SEEK64                            |\n");
constexpr DriveCardHead kTdSeekHead =
    SeekHead("|   Seek on DEVICE [new sytle] NSCMD_TD_SEEK64                             |\n");

constexpr DriveCardHead SpinUpHead(const char* title) {
  return {title,
          "|   100 Percent at   : %1lu.%0.1lu secs                                            |\n",
          "|   Score weight     : %2lu.%.1lu%%                                               |\n",
          nullptr,
          kCacheLine,
          kMtLine,
          "|   Time                                                           secs    |\n"};
}
constexpr DriveCardHead kScsiSpinUpHead =
    SpinUpHead("|   SpinUp DEVICE [direct-access] SCSI_DA_START_STOP_UNIT                  |\n");
constexpr DriveCardHead kNsdSpinUpHead =
    SpinUpHead("|   SpinUp DEVICE [new style device] CMD_STOP - CMD_START                  |\n");

}  // namespace

TestResult RunSeekOnDevice(Context& ctx, int16_t mode, int32_t cacheOn, int32_t mt) {
  const bool scsi = mode == kAccessDirectScsi;
  const CatalogueEntry& entry = DriveEntry(17);
  const char* routine = scsi ? "SCSI_DA_SEEK_10" : Etd(ctx) ? "NSCMD_ETD_SEEK64" : "NSCMD_TD_SEEK64";

  TestResult r = OpenDriveCard(ctx, entry, cacheOn, mt,
                               scsi ? &kScsiSeekHead : Etd(ctx) ? &kEtdSeekHead : &kTdSeekHead, {},
                               uint64_t(kSeekAccesses));

  const uint32_t ss = Geometry(ctx, drive_field::kSectorSize);
  double ms[7] = {};
  int measured = 0;  // patterns measured, from the first
  bool error = false, cut = false;
  for (int p = 0; p < 7 && !error; ++p) {
    const std::string nowRunning = std::string("\x1b" "bSeek on DEVICE\x1b" "n [") + kPatterns[p].name + "]";
    BeginDevicePhase(ctx, nowRunning, routine, "From:", "To:", cacheOn, mt, 0, 0, 1, "Delay...");
    // The drive settles for 5 s before each pattern (a work scale shortens it).
    if (!WaitTicks(ctx, ScaledWork(uint32_t(250), ctx.plan.workScale))) {
      cut = true;
      break;
    }
    const std::array<uint64_t, kSeekAccesses> blocks = Positions(ctx, p);
    SetPhaseState(ctx, Section::Drive, "Benchmarking...");
    void* sector = ctx.exec.AllocVec(std::max<uint32_t>(ss, 1), MEMF_PUBLIC);
    if (!sector || Access(ctx, scsi, 0, sector, ss) != 0) {
      error = true;
    } else {
      int8_t err = 0;
      const double t = TimeOnceLong(ctx, cacheOn, mt, [&] {
        for (int i = 0; i < kSeekAccesses && err == 0; ++i) err = Access(ctx, scsi, blocks[size_t(i)], sector, ss);
      });
      error = err != 0;
      if (!error) ms[p] = t * 10.0;
    }
    if (sector) ctx.exec.FreeVec(sector);
    if (error) break;
    TestFigure f;
    f.slot = rec::kSeekDevice + 8 * size_t(p);
    f.value = ms[p];
    f.driveLine = kPatterns[p].card;
    f.driveMarker = true;
    f.tail = kTimeTail;
    RecordFigure(ctx, r, std::move(f));
    ++measured;
  }
  // Patterns not measured keep 0.
  for (int p = measured; p < 7; ++p) RecordStoredFigure(ctx, r, rec::kSeekDevice + 8 * size_t(p), 0.0);

  const double random = (ms[0] + ms[1] + ms[2]) / 3, sequential = (ms[3] + ms[4] + ms[5]) / 3;
  double total = 0.0;
  for (double m : ms) total += m;
  total /= 7;
  RecordStoredFigure(ctx, r, rec::kSeekDeviceAverages, random);
  RecordStoredFigure(ctx, r, rec::kSeekDeviceAverages + 8, sequential);
  RecordStoredFigure(ctx, r, rec::kSeekDeviceAverages + 16, total);

  r.scored = cacheOn != 0 && !error && !cut && total > 0.0;
  r.summary = {
      {"|   Average Random-Access:      %3lu.%0.2lu ms                                  |\n", random},
      {"|   Average Sequential-Access : %3lu.%0.2lu ms                                  |\n", sequential},
      {"|   Total Average Access:       %3lu.%0.2lu ms                                  |\n", total},
  };
  CloseDriveCard(ctx, r, TestResult::Foot::Score, entry.slot, total,
                 total > 0.0 ? ScoreFromTime(total, entry.weight, 1.0 / 3.0) : 0.0);
  return r;
}

TestResult RunSpinUpDevice(Context& ctx, int16_t mode, int32_t cacheOn, int32_t mt) {
  const bool scsi = mode == kAccessDirectScsi;
  const CatalogueEntry& entry = DriveEntry(18);

  TestResult r = OpenDriveCard(ctx, entry, cacheOn, mt, scsi ? &kScsiSpinUpHead : &kNsdSpinUpHead);
  BeginDevicePhase(ctx, "\x1b" "bSpinUp DEVICE\x1b" "n", scsi ? "SCSI_DA_START_STOP_UNIT" : "CMD_STOP - CMD_START [NSD]",
                   "From:", "To:", cacheOn, mt, 0, 0, 1, "Waiting... [5 secs idle]");
  bool full = WaitTicks(ctx, 250);

  SetPhaseState(ctx, Section::Drive, "Shuting down... [15 secs idle]");
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
    SetPhaseState(ctx, Section::Drive, "SpinUp!");
    int8_t err = 0;
    t = TimeOnceLong(ctx, cacheOn, mt,
                     [&] { err = scsi ? StartStopUnit(ctx, true) : SendNsdCommand(ctx, CMD_START, 0, 0, nullptr, 0, 0); });
    error = err != 0 || (scsi && TestUnitReady(ctx) != 0);
    if (error) t = 0.0;
    SetPhaseState(ctx, Section::Drive, "Waiting... [5 secs idle]");
    if (!error && full) full = WaitTicks(ctx, 250);
  }

  TestFigure f;
  f.slot = rec::kSpinUpDevice;
  f.value = t;
  f.driveLine = "|   [%s] SpinUp Time                       ";
  f.driveMarker = !error;
  f.tail = kTimeTail;
  RecordFigure(ctx, r, std::move(f));
  r.scored = cacheOn != 0 && !error && full && t > 0.0;
  CloseDriveCard(ctx, r, TestResult::Foot::Score, entry.slot, t, t > 0.0 ? ScoreFromTime(t, entry.weight, 1.0) : 0.0);
  return r;
}

}  // namespace kr
