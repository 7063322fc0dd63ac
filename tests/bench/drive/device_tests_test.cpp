// The device-level tests against the emulated drive, with the fake clock (1 s
// per timed span, waits recorded instead of waited).
#include "bench/drive/device_tests.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "bench/drive/drive_access.h"
#include "bench/drive/drive_section.h"
#include "engine/scoring.h"
#include "platform/fake/emulated_drive.h"
#include "platform/scsi_target.h"
#include "shell/startup_checks.h"
#include "support/fixed_clock_context.h"
#include "support/report_file.h"
#include "util/numtext.h"

namespace kr {
namespace {

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kAt = 123 * 512;

std::vector<uint8_t> ReadImage(const std::string& path) {
  std::vector<uint8_t> out;
  int fd = ::open(path.c_str(), O_RDONLY);
  off_t size = ::lseek(fd, 0, SEEK_END);
  out.resize(size_t(size));
  EXPECT_EQ(::pread(fd, out.data(), out.size(), 0), ssize_t(out.size()));
  ::close(fd);
  return out;
}

// A drive whose image holds a pattern, gathered as the partition of the
// settings (a temporary folder), with the report open.
struct DeviceBench : ::testing::Test {
  test::FixedClockContext t;
  Context& ctx = t.ctx;
  test::TempDir part;
  std::string image = t.home.path() + "/disk.img";
  std::unique_ptr<EmulatedDrive> drive;
  EmulatedDevices devices;

  void Make(uint64_t bytes, EmulatedDriveConfig c = {}, bool fill = true) {
    int fd = ::open(image.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(bytes)), 0);
    if (fill) {
      std::vector<uint8_t> data(static_cast<size_t>(bytes));
      Lcg rng(77);
      for (uint8_t& b : data) b = uint8_t(rng.Next() >> 7);
      ASSERT_EQ(::pwrite(fd, data.data(), data.size(), 0), ssize_t(data.size()));
    }
    ::close(fd);
    drive = std::make_unique<EmulatedDrive>(image, c);
    devices.AddDrive("emulated.device", 0, *drive);
    DosEntry e;
    e.hasStartup = e.hasEnvironment = true;
    e.fssm_Device = "emulated.device";
    e.environment = EmulatedEnvironment(c, bytes, 0x444F5301);
    devices.AddPartition(part.path(), e);
    ctx.drive.devices = &devices;
    ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, part.path());
    GatherDriveInfo(ctx);
    drive->ClearLog();
  }
  // Runs one test over a connection of its own and returns its card.
  template <typename F>
  std::string Card(F&& run, UnitAccess access = UnitAccess::kRead) {
    return test::CaptureReport(ctx, "device.txt", [&] {
      ASSERT_TRUE(OpenDeviceConnection(ctx, access));
      run();
      CloseDeviceConnection(ctx);
    });
  }
  std::string Read(int16_t mode, int32_t low = 3, int32_t high = 17, uint64_t transfer = 16 * kMiB) {
    return Card([&] { RunDeviceTransferTest(ctx, false, mode, transfer, low, high, 1, 1); });
  }
  std::string Write(int16_t mode, int32_t low = 3, int32_t high = 17, uint64_t transfer = 16 * kMiB) {
    return Card([&] { RunDeviceTransferTest(ctx, true, mode, transfer, low, high, 1, 1); }, UnitAccess::kReadWrite);
  }
  std::string State() const { return t.status.text(Section::Drive, StatusField::State); }
  // The requests of a command (for HD_SCSICMD: of an operation code).
  std::vector<EmulatedRequest> Requests(uint16_t command, int opcode = -1) const {
    std::vector<EmulatedRequest> out;
    for (const EmulatedRequest& r : drive->log())
      if (r.command == command && (opcode < 0 || r.opcode == opcode)) out.push_back(r);
    return out;
  }
};

std::string SweepLines(uint32_t from, const char* figure = "16.00") {
  std::string lines;
  for (uint32_t b = from; b <= 8388608; b *= 2)
    lines += Format("|  %8u%60s    |\n", b, figure);
  return lines;
}

TEST_F(DeviceBench, ReadFromDeviceCardsInBothModes) {
  Make(12 * kMiB);
  const std::string tail =
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n"
      "|   100 Percent at   : 500.0 MB/s                                          |\n"
      "|   Score weight     : 110.0%                                              |\n"
      "|   Loopsize (bytes) : 16777216                                            |\n"
      "|   CPU Cache        : YES                                                 |\n"
      "|   Multitasking     : YES                                                 |\n"
      "|                                                                          |\n"
      "|   Blocksize                                                      MB/sec  |\n"
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n" +
      SweepLines(512) +
      "|                                                                          |\n"
      "|   Minimum :       16.00 MB/s                                             |\n"
      "|   Maximum :       16.00 MB/s                                             |\n"
      "|   Average :       16.00 MB/s                                             |\n"
      "|                                                                          |\n"
      "|   KelvaRANKS :   3.52 Percent                                            |\n"
      "!                                                                          !\n";
  const std::string rule = "\xB7--------------------------------------------------------------------------\xB7\n";
  struct Case {
    int16_t mode;
    NsdAnswer nsd;
    const char* title;
    const char* routine;
  };
  for (const Case& c : {
           Case{kAccessNsd64, NsdAnswer::kBoth,
                "|   Read from DEVICE [new style] NSCMD_TD_READ64                           |\n", "NSCMD_TD_READ64"},
           Case{kAccessNsd64, NsdAnswer::kEtd64,
                "|   Read from DEVICE [new style] NSCMD_ETD_READ64                          |\n", "NSCMD_ETD_READ64"},
           Case{kAccessDirectScsi, NsdAnswer::kBoth,
                "|   Read from DEVICE [direct-access] SCSI_DA_READ_10                       |\n", "SCSI_DA_READ_10"},
       }) {
    SCOPED_TRACE(c.routine);
    EmulatedDriveConfig cfg;
    cfg.nsd = c.nsd;
    Make(12 * kMiB, cfg);
    ctx.results.setScore(slot::kDriveFirst + 14, {0.0, 0.0});
    EXPECT_EQ(Read(c.mode), rule + c.title + tail);
    EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 14).valid, 1.0);
    EXPECT_EQ(ctx.results.figure(rec::kReadDevice + 8 * 16), 16.0);   // 8 MiB
    EXPECT_EQ(ctx.results.figure(rec::kReadDevice + 8 * 19), 16.0);   // average
    EXPECT_EQ(t.status.text(Section::Drive, StatusField::Routine), c.routine);
    EXPECT_EQ(t.status.text(Section::Drive, StatusField::NowRunning), "\x1b" "bRead from DEVICE\x1b" "n [cached]");
    EXPECT_EQ(State(), "Done");
    // Every transfer is at block 123; 8 MiB is read twice.
    const uint16_t read = c.mode == kAccessDirectScsi ? uint16_t(HD_SCSICMD) : ctx.drive.cmdRead;
    const std::vector<EmulatedRequest> reads = Requests(read, c.mode == kAccessDirectScsi ? SCSI_READ_10 : -1);
    ASSERT_FALSE(reads.empty());
    for (const EmulatedRequest& r : reads) EXPECT_EQ(r.offset, kAt);
    EXPECT_EQ(std::count_if(reads.begin(), reads.end(), [](auto& r) { return r.length == 8 * kMiB; }), 2);
    if (c.mode == kAccessDirectScsi) {
      EXPECT_EQ(drive->log().front().opcode, SCSI_TEST_UNIT_READY);
      EXPECT_EQ(Requests(HD_SCSICMD, SCSI_SEEK_10).size(), 15u);
      EXPECT_EQ(Requests(HD_SCSICMD, SCSI_SYNCHRONIZE_CACHE_10).size(), 15u);
    } else {
      EXPECT_EQ(reads.front().length, 512u);  // the positioning read of one sector
    }
  }
}

TEST_F(DeviceBench, SweepsOtherThanTheDefaultAreNotScored) {
  Make(12 * kMiB);
  struct Case {
    int32_t low, high;
    uint64_t transfer;
    int32_t cache;
  };
  for (const Case& c : {Case{4, 17, 16 * kMiB, 1}, Case{3, 16, 16 * kMiB, 1}, Case{3, 17, 8 * kMiB, 1},
                        Case{3, 17, 16 * kMiB, 0}}) {
    const std::string card =
        Card([&] { RunDeviceTransferTest(ctx, false, kAccessNsd64, c.transfer, c.low, c.high, c.cache, 1); });
    EXPECT_NE(card.find("|   KelvaRANKS : DISABLED"), std::string::npos) << card;
    EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 14).valid, 0.0);
  }
}

TEST_F(DeviceBench, WriteToDeviceWritesBackWhatItReadInBothModes) {
  for (int16_t mode : {kAccessNsd64, kAccessDirectScsi}) {
    SCOPED_TRACE(mode);
    Make(12 * kMiB);
    const std::vector<uint8_t> before = ReadImage(image);
    const std::string card = Write(mode);
    EXPECT_EQ(ReadImage(image), before);
    EXPECT_NE(card.find(mode == kAccessNsd64
                            ? "|   Write to DEVICE [new style] NSCMD_TD_WRITE64                           |\n"
                            : "|   Write to DEVICE [direct-access] SCSI_DA_WRITE_10                       |\n"),
              std::string::npos);
    EXPECT_NE(card.find("|   KelvaRANKS :   3.52 Percent"), std::string::npos) << card;
    EXPECT_EQ(t.status.text(Section::Drive, StatusField::NowRunning),
              mode == kAccessNsd64 ? "\x1b" "bWrite to DEVICE\x1b" "n [cached]"
                                   : "\x1b" "bWrite to DEVICE \x1b" "n [cached]");
    // Each step reads its span before the first write of it.
    const auto& log = drive->log();
    uint32_t lastRead = 0;
    for (const EmulatedRequest& r : log) {
      const bool isRead = mode == kAccessNsd64 ? r.command == NSCMD_TD_READ64 : r.opcode == SCSI_READ_10;
      const bool isWrite = mode == kAccessNsd64 ? r.command == NSCMD_TD_WRITE64 : r.opcode == SCSI_WRITE_10;
      if (isRead) lastRead = r.length;
      if (isWrite) {
        EXPECT_EQ(r.offset, kAt);
        EXPECT_EQ(r.length, lastRead);
      }
    }
  }
}

TEST_F(DeviceBench, ADeviceErrorStopsTheDeviceWorkAndTheScore) {
  for (int16_t mode : {kAccessNsd64, kAccessDirectScsi}) {
    SCOPED_TRACE(mode);
    Make(12 * kMiB);
    const std::vector<uint8_t> before = ReadImage(image);
    // The third write of the 4096-byte step fails.
    EmulatedFault f;
    f.command = mode == kAccessNsd64 ? uint16_t(NSCMD_TD_WRITE64) : uint16_t(HD_SCSICMD);
    f.opcode = mode == kAccessNsd64 ? -1 : SCSI_WRITE_10;
    f.skip = uint32_t(32768 + 16384 + 8192 + 2);
    f.times = 1;
    drive->AddFault(f);
    const std::string card = Write(mode);
    EXPECT_EQ(ReadImage(image), before);
    // The steps before it measured; from it on nothing more is sent.
    EXPECT_NE(card.find("|      2048                                                       16.00    |\n"),
              std::string::npos);
    EXPECT_NE(card.find("|      4096                                                        0.00    |\n"),
              std::string::npos);
    EXPECT_NE(card.find("|   8388608                                                        0.00    |\n"),
              std::string::npos);
    EXPECT_NE(card.find("|   Minimum :       16.00 MB/s"), std::string::npos);
    EXPECT_NE(card.find("|   KelvaRANKS : DISABLED"), std::string::npos);
    EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 15).valid, 0.0);
    EXPECT_EQ(drive->log().back().error, mode == kAccessNsd64 ? TDERR_NotSpecified : HFERR_BadStatus);
    EXPECT_TRUE(ctx.errorLog.entries.empty());
  }
}

TEST_F(DeviceBench, NoTransferReachesPastTheEndOfTheDevice) {
  // 2 MiB: the spans from 2 MiB up do not fit after block 123.
  for (int16_t mode : {kAccessNsd64, kAccessDirectScsi}) {
    SCOPED_TRACE(mode);
    Make(2 * kMiB);
    const std::vector<uint8_t> before = ReadImage(image);
    const std::string card = Write(mode);
    EXPECT_EQ(ReadImage(image), before);
    for (const EmulatedRequest& r : drive->log()) EXPECT_LE(r.offset + r.length, 2 * kMiB);
    EXPECT_EQ(drive->log().back().error, 0);
    EXPECT_NE(card.find("|   1048576                                                       16.00    |\n"),
              std::string::npos);
    EXPECT_NE(card.find("|   2097152                                                        0.00    |\n"),
              std::string::npos);
    EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 15).valid, 0.0);
  }
}

// A disk with 4096-byte sectors: the steps below one sector are not sent,
// and the test scores from the steps the disk can do.
TEST_F(DeviceBench, BlockSizesBelowTheSectorSizeAreNotSentAndTheRestScores) {
  EmulatedDriveConfig c;
  c.sectorSize = 4096;
  c.heads = 2;
  c.trackSectors = 8;
  Make(12 * kMiB, c);
  const std::string card = Read(kAccessNsd64);
  for (const EmulatedRequest& r : drive->log()) EXPECT_EQ(r.length % 4096, 0u) << r.length;
  EXPECT_NE(card.find("|       512                                                        0.00    |\n"), std::string::npos);
  EXPECT_NE(card.find("|      4096                                                       16.00    |\n"), std::string::npos);
  EXPECT_NE(card.find("|   8388608                                                       16.00    |\n"), std::string::npos);
  EXPECT_EQ(Requests(NSCMD_TD_READ64).front().offset, 123u * 4096);
  EXPECT_NE(card.find("|   Minimum :       16.00 MB/s"), std::string::npos) << card;  // not the 0.00 steps
  EXPECT_NE(card.find("|   Average :       16.00 MB/s"), std::string::npos) << card;
  EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 14).valid, 1.0);
  EXPECT_EQ(card.find("DISABLED"), std::string::npos) << card;
}

std::string SeekCard(const char* title, const std::string& lines, const char* averages, const char* score) {
  return "\xB7--------------------------------------------------------------------------\xB7\n" + std::string(title) +
         "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n"
         "|   100 Percent at    : 0.0 ms                                             |\n"
         "|   Score weight      : 150.0%                                             |\n"
         "|   Loopsize          : 100                                                |\n"
         "|   CPU Cache         : YES                                                |\n"
         "|   Multitasking      : YES                                                |\n"
         "|                                                                          |\n"
         "|   Method                                                         ms      |\n"
         "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n" +
         lines + "|                                                                          |\n" + averages +
         "|                                                                          |\n" + score +
         "!                                                                          !\n";
}

TEST_F(DeviceBench, SeekOnDeviceVisitsTheSevenPatternsAfterTheirWaits) {
  EmulatedDriveConfig c;
  c.heads = 4;
  c.trackSectors = 32;
  Make(12 * kMiB, c);  // 24576 sectors, 192 cylinders of 128 sectors
  const std::string card = Card([&] { RunSeekOnDevice(ctx, kAccessNsd64, 1, 1); });
  std::string lines;
  for (const char* name : {"Random Blocks", "Random Tracks", "Random Cylinders", "Block 2 Block", "Track 2 Track",
                           "Cylinder 2 Cylinder", "First <-> Last"})
    lines += Format("|   [+] %-34s%29s    |\n", name, "10.00");
  EXPECT_EQ(card, SeekCard("|   Seek on DEVICE [new sytle] NSCMD_TD_SEEK64                             |\n", lines,
                           "|   Average Random-Access:       10.00 ms                                  |\n"
                           "|   Average Sequential-Access :  10.00 ms                                  |\n"
                           "|   Total Average Access:        10.00 ms                                  |\n",
                           "|   KelvaRANKS :   5.00 Percent                                            |\n"));
  EXPECT_EQ(t.timer.delays, std::vector<uint32_t>(7, 250));
  EXPECT_EQ(ctx.results.figure(rec::kSeekDeviceAverages + 16), 10.0);
  EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 16).percent, 5.0);

  // 7 x (block 0 once + 100 accesses), one sector each; the positions follow
  // the generator seeded with 5318 for every pattern.
  const std::vector<EmulatedRequest> reads = Requests(NSCMD_TD_READ64);
  ASSERT_EQ(reads.size(), 707u);
  Lcg rng(5318);
  for (int i = 0; i < 100; ++i) {
    const uint32_t r = rng.Next();
    EXPECT_EQ(reads[size_t(1 + i)].offset, uint64_t(r % 24576) * 512);                 // random blocks
    EXPECT_EQ(reads[size_t(102 + i)].offset, uint64_t(r % (192 * 4)) * 32 * 512);      // random tracks
    EXPECT_EQ(reads[size_t(203 + i)].offset, uint64_t(r % 192) * 128 * 512);           // random cylinders
    EXPECT_EQ(reads[size_t(304 + i)].offset, uint64_t(i) * 512);
    EXPECT_EQ(reads[size_t(405 + i)].offset, uint64_t(i) * 32 * 512);
    EXPECT_EQ(reads[size_t(506 + i)].offset, uint64_t(i) * 128 * 512);
    EXPECT_EQ(reads[size_t(607 + i)].offset, i % 2 ? 0 : uint64_t(24575) * 512);
  }
  for (const EmulatedRequest& r : reads) EXPECT_EQ(r.length, 512u);

  // A second run visits the same blocks; SCSI sends SEEK(10) to them.
  std::vector<uint64_t> first;
  for (const EmulatedRequest& r : reads) first.push_back(r.offset);
  drive->ClearLog();
  const std::string scsi = Card([&] { RunSeekOnDevice(ctx, kAccessDirectScsi, 1, 1); });
  EXPECT_NE(scsi.find("|   Seek on DEVICE [direct-access] SCSI_DA_SEEK_10                         |\n"),
            std::string::npos);
  std::vector<uint64_t> second;
  for (const EmulatedRequest& r : Requests(HD_SCSICMD, SCSI_SEEK_10)) second.push_back(r.offset);
  EXPECT_EQ(second, first);
}

TEST_F(DeviceBench, ASingleHeadDrawsTracksAndCylindersFromOneRange) {
  EmulatedDriveConfig c;
  c.heads = 1;
  c.trackSectors = 64;
  Make(4 * kMiB, c);  // 128 cylinders of one 64-sector track
  Card([&] { RunSeekOnDevice(ctx, kAccessDirectScsi, 1, 1); });
  const std::vector<EmulatedRequest> seeks = Requests(HD_SCSICMD, SCSI_SEEK_10);
  ASSERT_EQ(seeks.size(), 707u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seeks[size_t(102 + i)].offset, seeks[size_t(203 + i)].offset);
}

TEST_F(DeviceBench, ADeviceErrorInRandomTracksEndsTheSeekTest) {
  Make(12 * kMiB);
  EmulatedFault f;
  f.command = NSCMD_TD_READ64;
  f.skip = 101 + 1 + 40;  // Random Blocks, block 0 of Random Tracks, 40 of its accesses
  f.times = 1;
  drive->AddFault(f);
  const std::string card = Card([&] { RunSeekOnDevice(ctx, kAccessNsd64, 1, 1); });
  EXPECT_EQ(card, SeekCard("|   Seek on DEVICE [new sytle] NSCMD_TD_SEEK64                             |\n",
                           "|   [+] Random Blocks                                             10.00    |\n",
                           "|   Average Random-Access:        3.33 ms                                  |\n"
                           "|   Average Sequential-Access :   0.00 ms                                  |\n"
                           "|   Total Average Access:         1.42 ms                                  |\n",
                           "|   KelvaRANKS : DISABLED                                                  |\n"));
  EXPECT_EQ(t.timer.delays.size(), 2u);
  EXPECT_EQ(drive->log().size(), 101u + 1 + 41);
  EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 16).valid, 0.0);
  EXPECT_EQ(ctx.results.figure(rec::kSeekDevice + 8), 0.0);
}

TEST_F(DeviceBench, SeeksOnADriveBeyondTwoTebibytesUse64BitOffsets) {
  EmulatedDriveConfig c;
  c.heads = 255;
  c.trackSectors = 63;
  Make(3ull << 40, c, false);  // sparse
  Card([&] { RunSeekOnDevice(ctx, kAccessNsd64, 1, 1); });
  const std::vector<EmulatedRequest> reads = Requests(NSCMD_TD_READ64);
  ASSERT_EQ(reads.size(), 707u);
  for (const EmulatedRequest& r : reads) EXPECT_EQ(r.error, 0);
  // The last block the 32-bit geometry can name, at a byte offset past 2^32 x 512.
  EXPECT_EQ(reads[607].offset, uint64_t(0xFFFFFFFEu) * 512);
  EXPECT_GT(std::max_element(reads.begin(), reads.begin() + 101, [](auto& a, auto& b) { return a.offset < b.offset; })
                ->offset,
            uint64_t(1) << 32);
  EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 16).valid, 1.0);
}

TEST_F(DeviceBench, SpinUpStopsWaitsAndTimesTheStart) {
  const std::string head =
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n"
      "|   100 Percent at   : 0.0 secs                                            |\n"
      "|   Score weight     : 50.0%                                               |\n"
      "|   CPU Cache        : YES                                                 |\n"
      "|   Multitasking     : YES                                                 |\n"
      "|                                                                          |\n"
      "|   Time                                                           secs    |\n"
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n";
  const std::string rule = "\xB7--------------------------------------------------------------------------\xB7\n";
  for (int16_t mode : {kAccessNsd64, kAccessDirectScsi}) {
    SCOPED_TRACE(mode);
    Make(4 * kMiB);
    t.timer.delays.clear();
    const std::string card = Card([&] { RunSpinUpDevice(ctx, mode, 1, 1); });
    EXPECT_EQ(card, rule +
                        (mode == kAccessNsd64
                             ? "|   SpinUp DEVICE [new style device] CMD_STOP - CMD_START                  |\n"
                             : "|   SpinUp DEVICE [direct-access] SCSI_DA_START_STOP_UNIT                  |\n") +
                        head +
                        "|   [+] SpinUp Time                                                1.00    |\n"
                        "|                                                                          |\n"
                        "|   KelvaRANKS :  50.00 Percent                                            |\n"
                        "!                                                                          !\n");
    EXPECT_EQ(t.timer.delays, (std::vector<uint32_t>{250, 750, 250}));
    EXPECT_FALSE(drive->stopped());
    std::vector<int> seen;
    for (const EmulatedRequest& r : drive->log()) seen.push_back(r.command == HD_SCSICMD ? r.opcode : r.command);
    if (mode == kAccessNsd64)
      EXPECT_EQ(seen, (std::vector<int>{CMD_STOP, CMD_START}));
    else
      EXPECT_EQ(seen, (std::vector<int>{SCSI_TEST_UNIT_READY, SCSI_SYNCHRONIZE_CACHE_10, SCSI_START_STOP_UNIT,
                                        SCSI_START_STOP_UNIT, SCSI_TEST_UNIT_READY}));
    EXPECT_EQ(ctx.results.figure(rec::kSpinUpDevice), 1.0);
    EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 17).valid, 1.0);
    EXPECT_EQ(t.status.text(Section::Drive, StatusField::Routine),
              mode == kAccessNsd64 ? "CMD_STOP - CMD_START [NSD]" : "SCSI_DA_START_STOP_UNIT");
  }
}

TEST_F(DeviceBench, SpinUpOnADeviceThatCannotStopIsNotScored) {
  EmulatedDriveConfig c;
  c.startStop = false;
  Make(4 * kMiB, c);
  const std::string card = Card([&] { RunSpinUpDevice(ctx, kAccessNsd64, 1, 1); });
  EXPECT_NE(card.find("|   [-] SpinUp Time                                                0.00    |\n"), std::string::npos);
  EXPECT_NE(card.find("|   KelvaRANKS : DISABLED"), std::string::npos);
  EXPECT_EQ(t.timer.delays, std::vector<uint32_t>{250});  // nothing to wait for after the refusal
  EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 17).valid, 0.0);
}

// Ctrl-C during a sweep ends it before the next step: no device work after
// it, the card is completed, the test is not scored.
TEST_F(DeviceBench, AStopRequestEndsATransferSweepBetweenSteps) {
  Make(12 * kMiB);
  std::atomic<bool> stop{false};
  ctx.interrupt = &stop;
  t.status.onChange = [&](Section) {
    if (t.status.number(Section::Drive, StatusField::Blocksize) == 2048) stop = true;
  };
  const std::string card = Read(kAccessNsd64);
  t.status.onChange = nullptr;
  ctx.interrupt = nullptr;
  // The stop came as the 2048-byte step began: it and the larger ones were not sent.
  for (const EmulatedRequest& r : Requests(NSCMD_TD_READ64)) EXPECT_LE(r.length, 1024u);
  EXPECT_NE(card.find("|      1024                                                       16.00    |\n"), std::string::npos);
  EXPECT_NE(card.find("|      2048                                                        0.00    |\n"), std::string::npos);
  EXPECT_NE(card.find("|   8388608                                                        0.00    |\n"), std::string::npos);
  EXPECT_NE(card.find("|   KelvaRANKS : DISABLED"), std::string::npos) << card;
}

TEST_F(DeviceBench, AStopDuringTheSpinDownWaitStillStartsTheDevice) {
  Make(4 * kMiB);
  std::atomic<bool> stop{false};
  ctx.interrupt = &stop;
  // Ctrl-C while the stopped device idles for 15 seconds.
  t.status.onChange = [&](Section) {
    if (State() == "Shuting down... [15 secs idle]") t.timer.stopDuringDelay = &stop;
  };
  const std::string card = Card([&] { RunSpinUpDevice(ctx, kAccessDirectScsi, 1, 1); });
  t.status.onChange = nullptr;
  ctx.interrupt = nullptr;
  EXPECT_FALSE(drive->stopped());
  EXPECT_EQ(Requests(HD_SCSICMD, SCSI_START_STOP_UNIT).size(), 2u);
  EXPECT_EQ(t.timer.delays, (std::vector<uint32_t>{250, 750}));
  EXPECT_NE(card.find("|   [+] SpinUp Time                                                1.00    |\n"), std::string::npos);
  EXPECT_NE(card.find("|   KelvaRANKS : DISABLED"), std::string::npos);
}

// Records the run's events and how the device was open when each test began.
struct DeviceEvents : RunListener {
  EmulatedDrive* drive = nullptr;
  std::atomic<bool>* stopAfterFirst = nullptr;
  std::vector<std::string> seen;
  void TestStarted(const CatalogueEntry& test) override {
    seen.push_back(std::string(test.label) + (drive->lastAccess() == UnitAccess::kReadWrite ? " rw" : " r") +
                   std::to_string(drive->openUnits()));
  }
  void TestFinished(const CatalogueEntry& test, const ScoreSlot& score) override {
    seen.push_back(std::string("done ") + test.label + (score.counts() ? " scored" : ""));
    if (stopAfterFirst) *stopAfterFirst = true;
  }
};

struct DeviceSection : DeviceBench {
  DeviceEvents events;
  SilentProgress progress;
  void Prepare(int32_t accessCycle) {
    for (int i = 0; i <= 6; ++i) ctx.settings.setDriveEnabled(i, i >= 3);
    ctx.settings.set_s32(cfg::kAccessMode, accessCycle);
    Make(12 * kMiB);
    events.drive = drive.get();
    ctx.listeners.push_back(&events);
    for (int s = 14; s < 18; ++s) ctx.results.setScore(slot::kDriveFirst + s, {40.0, 1.0});
    CountAllTests(ctx);
  }
};

TEST_F(DeviceSection, RunsEachDeviceTestOverItsOwnConnection) {
  for (int32_t cycle : {0, 1}) {
    SCOPED_TRACE(cycle);
    events.seen.clear();
    Prepare(cycle);
    ASSERT_EQ(ctx.drive.accessMode, cycle == 0 ? kAccessDirectScsi : kAccessNsd64);
    const std::vector<uint8_t> before = ReadImage(image);
    DriveSectionRun ran;
    const std::string report =
        test::CaptureReport(ctx, "section.txt", [&] { ran = RunHardDriveSection(ctx, progress); });
    EXPECT_EQ(ReadImage(image), before);
    // Only Write to Device opens the device for writing; no connection is left open.
    EXPECT_EQ(events.seen, (std::vector<std::string>{
                               "Read from Device r1", "done Read from Device scored", "Write to Device rw1",
                               "done Write to Device scored", "Seek on Device r1", "done Seek on Device scored",
                               "SpinUP Device r1", "done SpinUP Device scored"}));
    EXPECT_EQ(drive->openUnits(), 0);
    EXPECT_FALSE(ctx.drive.connection.open());
    EXPECT_NE(report.find(cycle == 0 ? "SCSI_DA_READ_10" : "NSCMD_TD_READ64"), std::string::npos);
    EXPECT_EQ(report.find("[SKIPPED]"), std::string::npos);
    EXPECT_TRUE(ctx.errorLog.entries.empty());
    // The returned results hold what the results record holds.
    std::vector<std::string> labels;
    for (const TestResult& r : ran.results) {
      labels.push_back(r.test().label);
      EXPECT_TRUE(r.scored);
      EXPECT_EQ(r.percent, ctx.results.score(r.test().slot).percent) << r.test().label;
      for (const TestFigure& f : r.figures) EXPECT_EQ(f.value, ctx.results.figure(f.slot)) << r.test().label;
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"Read from Device", "Write to Device", "Seek on Device",
                                                "SpinUP Device"}));
    EXPECT_EQ(ran.results[2].figures.size(), 7u + 3);  // the patterns and their three averages
    ctx.listeners.clear();
  }
}

TEST_F(DeviceSection, ADeviceThatCannotBeOpenedLeavesItsTestsOut) {
  Prepare(1);
  drive->config().refusePermission = true;
  RunHardDriveSection(ctx, progress);
  EXPECT_TRUE(events.seen.empty());
  ASSERT_EQ(ctx.errorLog.entries.size(), 4u);
  EXPECT_STREQ(ctx.errorLog.entries[0].function, "OpenDevice");
  EXPECT_TRUE(ctx.drive.openRefused);
  for (int s = 14; s < 18; ++s) EXPECT_EQ(ctx.results.score(slot::kDriveFirst + s).valid, 0.0);
  EXPECT_EQ(ctx.results.score(slot::kDriveTotal).valid, 0.0);
}

// The device goes away during Read from Device (every request fails after its
// first block size, and it can no longer be opened): that test ends with
// what it measured, unscored; the later ones are left out with the open's
// error entry; nothing is left open and the section ends normally.
TEST_F(DeviceSection, ADeviceThatVanishesMidRunEndsItsTestsCleanly) {
  Prepare(1);
  struct Vanish : RunListener {
    EmulatedDrive* drive;
    void TestStarted(const CatalogueEntry& test) override {
      if (std::string(test.label) != "Read from Device") return;
      // The 512-byte step (one positioning read and 32768 timed ones) passes.
      drive->AddFault({NSCMD_TD_READ64, -1, 32769u, 0xFFFFFFFFu, TDERR_NotSpecified});
      drive->config().failOpen = true;
    }
  } vanish;
  vanish.drive = drive.get();
  ctx.listeners.insert(ctx.listeners.begin(), &vanish);
  EXPECT_EQ(RunHardDriveSection(ctx, progress).code, 0);
  EXPECT_EQ(events.seen, (std::vector<std::string>{"Read from Device r1", "done Read from Device"}));
  ASSERT_EQ(ctx.errorLog.entries.size(), 3u);
  for (const ErrorEntry& e : ctx.errorLog.entries) EXPECT_STREQ(e.function, "OpenDevice");
  EXPECT_GT(ctx.results.figure(rec::kReadDevice + 8 * 18), 0.0);  // the maximum: a step measured before it went
  for (int s = 14; s < 18; ++s) EXPECT_EQ(ctx.results.score(slot::kDriveFirst + s).valid, 0.0);
  EXPECT_EQ(ctx.results.score(slot::kDriveTotal).valid, 0.0);
  EXPECT_EQ(drive->openUnits(), 0);
  EXPECT_FALSE(ctx.drive.connection.open());
}

TEST_F(DeviceSection, AStopRequestEndsTheSectionBetweenDeviceTests) {
  Prepare(1);
  std::atomic<bool> stop{false};
  ctx.interrupt = &stop;
  events.stopAfterFirst = &stop;
  RunHardDriveSection(ctx, progress);
  ctx.interrupt = nullptr;
  EXPECT_EQ(events.seen, (std::vector<std::string>{"Read from Device r1", "done Read from Device scored"}));
  ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(ctx.errorLog.entries[0].reason, "Interrupted by the user");
  EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 14).valid, 1.0);
  for (int s = 15; s < 18; ++s) EXPECT_EQ(ctx.results.score(slot::kDriveFirst + s).valid, 0.0);
  EXPECT_EQ(drive->openUnits(), 0);
}

}  // namespace
}  // namespace kr
