// The emulated drive and the SCSI target it shares with devices that have no
// SCSI pass-through.
#include "platform/fake/emulated_drive.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "device_support.h"
#include "support/test_context.h"

namespace kr {
namespace {

using test::Nsd;
using test::ScsiCall;
using test::TempDir;

constexpr uint32_t kImageBytes = 1 << 20;  // 2048 sectors

uint8_t PatternByte(uint64_t i) { return uint8_t(i * 7 % 251); }

struct Drive {
  TempDir dir;
  std::string image = dir.path() + "/disk.img";
  std::unique_ptr<EmulatedDrive> drive;
  EmulatedDevices devices;

  explicit Drive(EmulatedDriveConfig c = {}, uint64_t size = kImageBytes) {
    std::vector<uint8_t> bytes(kImageBytes);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = PatternByte(i);
    int fd = ::open(image.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
    EXPECT_EQ(::ftruncate(fd, off_t(size)), 0);
    ::close(fd);
    drive = std::make_unique<EmulatedDrive>(image, c);
    devices.AddDrive("emulated.device", 0, *drive);
  }
  std::unique_ptr<BlockUnit> Open(UnitAccess a = UnitAccess::kRead) {
    OpenResult r = devices.OpenDevice("emulated.device", 0, 0, a);
    EXPECT_EQ(r.error, 0);
    return std::move(r.unit);
  }
  std::vector<uint8_t> ImageBytes(uint64_t offset, size_t n) {
    std::vector<uint8_t> out(n);
    int fd = ::open(image.c_str(), O_RDONLY);
    EXPECT_EQ(::pread(fd, out.data(), n, off_t(offset)), ssize_t(n));
    ::close(fd);
    return out;
  }
};

TEST(EmulatedDrive, InquiryAnswersTheChosenResponseFormat) {
  for (uint8_t format : {0, 1, 2}) {
    EmulatedDriveConfig c;
    c.responseFormat = format;
    c.removable = format == 1;
    Drive d(c);
    auto u = d.Open();
    uint8_t buf[252];
    std::memset(buf, 0xEE, sizeof buf);
    ScsiCall s;
    ASSERT_EQ(s.Send(*u, {SCSI_INQUIRY, 0, 0, 0, 252, 0}, buf, 252), 0);
    EXPECT_EQ(s.cmd.scsi_Actual, 36u);
    EXPECT_EQ(buf[0], 0x00);  // connected direct-access device
    EXPECT_EQ(buf[1], format == 1 ? 0x80 : 0x00);
    EXPECT_EQ(buf[2] & 0x07, 2);
    EXPECT_EQ(buf[3] & 0x0F, format);
    EXPECT_EQ(buf[4], 31);
    EXPECT_EQ(std::string((char*)buf + 8, 28), "KELVA   Emulated Disk   1.0 ");
    EXPECT_EQ(buf[36], 0xEE);  // nothing beyond the answer is touched
  }
  // The allocation length limits the answer.
  Drive d;
  auto u = d.Open();
  uint8_t buf[252]{};
  ScsiCall s;
  ASSERT_EQ(s.Send(*u, {SCSI_INQUIRY, 0, 0, 0, 5, 0}, buf, 252), 0);
  EXPECT_EQ(s.cmd.scsi_Actual, 5u);
  EXPECT_EQ(buf[5], 0);
}

TEST(EmulatedDrive, BadRequestsEndWithSenseData) {
  EmulatedDriveConfig noStart;
  noStart.startStop = false;
  struct Case {
    const char* what;
    EmulatedDriveConfig config;
    UnitAccess access;
    std::vector<uint8_t> cdb;
    uint32_t len;
    Sense sense;
  } cases[] = {
      {"read past the end", {}, UnitAccess::kRead, {SCSI_READ_10, 0, 0, 0, 0x07, 0xFF, 0, 0, 2, 0}, 1024,
       kSenseLbaOutOfRange},
      {"seek past the end", {}, UnitAccess::kRead, {SCSI_SEEK_10, 0, 0, 0, 0x08, 0x00, 0, 0, 0, 0}, 0,
       kSenseLbaOutOfRange},
      {"sync past the end", {}, UnitAccess::kRead, {SCSI_SYNCHRONIZE_CACHE_10, 0, 0, 0, 0x07, 0xFF, 0, 0, 2, 0}, 0,
       kSenseLbaOutOfRange},
      {"write on a read-only unit", {}, UnitAccess::kRead, {SCSI_WRITE_10, 0, 0, 0, 0, 123, 0, 0, 1, 0}, 512,
       kSenseWriteProtected},
      {"unknown operation (FORMAT UNIT)", {}, UnitAccess::kReadWrite, {0x04, 0, 0, 0, 0, 0}, 0, kSenseInvalidOpcode},
      {"ten-byte command cut short", {}, UnitAccess::kRead, {SCSI_READ_10, 0, 0, 0, 0, 0}, 512, kSenseInvalidOpcode},
      {"vital product data page", {}, UnitAccess::kRead, {SCSI_INQUIRY, 1, 0x80, 0, 252, 0}, 252, kSenseInvalidField},
      {"start/stop not taken", noStart, UnitAccess::kRead, {SCSI_START_STOP_UNIT, 0, 0, 0, 0, 0}, 0,
       kSenseInvalidOpcode},
  };
  for (const Case& c : cases) {
    Drive d(c.config);
    auto u = d.Open(c.access);
    std::vector<uint8_t> buf(std::max<uint32_t>(c.len, 1));
    ScsiCall s;
    EXPECT_EQ(s.Send(*u, c.cdb.data(), c.cdb.size(), buf.data(), c.len, c.cdb[0] == SCSI_WRITE_10 ? SCSIF_AUTOSENSE
                                                                                                   : SCSIF_READ | SCSIF_AUTOSENSE),
              HFERR_BadStatus)
        << c.what;
    EXPECT_EQ(s.cmd.scsi_Status, SCSI_STATUS_CHECK_CONDITION) << c.what;
    EXPECT_EQ(s.cmd.scsi_SenseActual, kSenseSize) << c.what;
    EXPECT_EQ(s.sense[0], 0x70) << c.what;
    EXPECT_TRUE(s.LastSense() == c.sense) << c.what << ": key " << int(s.LastSense().key) << " asc "
                                          << int(s.LastSense().asc);
    EXPECT_EQ(s.cmd.scsi_Actual, 0u) << c.what;
  }

  // Without AUTOSENSE the status still says CHECK CONDITION, but no sense is copied.
  Drive d;
  auto u = d.Open();
  ScsiCall s;
  EXPECT_EQ(s.Send(*u, {0x04, 0, 0, 0, 0, 0}, nullptr, 0, SCSIF_READ), HFERR_BadStatus);
  EXPECT_EQ(s.cmd.scsi_SenseActual, 0u);
  EXPECT_EQ(s.sense[0], 0);
  // A data buffer too small for the transfer is refused before the medium is touched.
  uint8_t small[512];
  EXPECT_EQ(s.Send10(*u, SCSI_READ_10, 123, 2, small, sizeof small), IOERR_BADLENGTH);
}

TEST(EmulatedDrive, ScsiTransfersReachTheImageAndStopStopsTheUnit) {
  Drive d;
  auto u = d.Open(UnitAccess::kReadWrite);
  ScsiCall s;
  ASSERT_EQ(s.Send(*u, {SCSI_TEST_UNIT_READY, 0, 0, 0, 0, 0}), 0);
  ASSERT_EQ(s.Send10(*u, SCSI_SEEK_10, 123, 0), 0);
  std::vector<uint8_t> saved(4 * 512), pattern(4 * 512, 0x5A);
  ASSERT_EQ(s.Send10(*u, SCSI_READ_10, 123, 4, saved.data(), uint32_t(saved.size())), 0);
  EXPECT_EQ(s.cmd.scsi_Actual, saved.size());
  EXPECT_EQ(saved, d.ImageBytes(123 * 512, saved.size()));
  ASSERT_EQ(s.Send10(*u, SCSI_WRITE_10, 123, 4, pattern.data(), uint32_t(pattern.size()), SCSIF_AUTOSENSE), 0);
  ASSERT_EQ(s.Send10(*u, SCSI_SYNCHRONIZE_CACHE_10, 123, 4), 0);
  EXPECT_EQ(d.ImageBytes(123 * 512, pattern.size()), pattern);
  ASSERT_EQ(s.Send10(*u, SCSI_WRITE_10, 123, 4, saved.data(), uint32_t(saved.size()), SCSIF_AUTOSENSE), 0);
  EXPECT_EQ(d.ImageBytes(123 * 512, saved.size()), saved);
  // The last block can be read; zero blocks transfer nothing.
  ASSERT_EQ(s.Send10(*u, SCSI_READ_10, 2047, 1, saved.data(), 512), 0);
  ASSERT_EQ(s.Send10(*u, SCSI_READ_10, 0, 0, saved.data(), 0), 0);
  EXPECT_EQ(s.cmd.scsi_Actual, 0u);

  ASSERT_EQ(s.Send(*u, {SCSI_START_STOP_UNIT, 0, 0, 0, 0, 0}), 0);
  EXPECT_TRUE(d.drive->stopped());
  EXPECT_EQ(s.Send(*u, {SCSI_TEST_UNIT_READY, 0, 0, 0, 0, 0}), HFERR_BadStatus);
  EXPECT_TRUE(s.LastSense() == kSenseNotReady);
  ASSERT_EQ(s.Send(*u, {SCSI_START_STOP_UNIT, 0, 0, 0, 1, 0}), 0);
  EXPECT_FALSE(d.drive->stopped());
  EXPECT_EQ(s.Send(*u, {SCSI_TEST_UNIT_READY, 0, 0, 0, 0, 0}), 0);
}

TEST(EmulatedDrive, DeviceQueryAnswers) {
  struct Case {
    const char* what;
    NsdAnswer answer;
    uint32_t actual, size;
    int8_t error;
    bool td64, etd64;
  } cases[] = {
      {"none", NsdAnswer::kNone, 16, 16, IOERR_NOCMD, false, false},
      {"TD64", NsdAnswer::kTd64, 16, 16, 0, true, false},
      {"ETD64", NsdAnswer::kEtd64, 16, 16, 0, false, true},
      {"both", NsdAnswer::kBoth, 16, 16, 0, true, true},
      {"no commands", NsdAnswer::kNoCommands, 16, 16, 0, false, false},
      {"short actual", NsdAnswer::kBoth, 12, 12, 0, true, true},
      {"size differs", NsdAnswer::kBoth, 16, 20, 0, true, true},
  };
  for (const Case& c : cases) {
    EmulatedDriveConfig cfg;
    cfg.nsd = c.answer;
    cfg.nsdActual = c.actual;
    cfg.nsdSizeAvailable = c.size;
    Drive d(cfg);
    auto u = d.Open();
    NSDeviceQueryResult q;
    IoRequest io;
    io.io_Command = NSCMD_DEVICEQUERY;
    io.io_Length = kDeviceQuerySize;
    io.io_Data = &q;
    ASSERT_EQ(u->DoIO(io), c.error) << c.what;
    if (c.error) continue;
    EXPECT_EQ(io.io_Actual, c.actual) << c.what;
    EXPECT_EQ(q.SizeAvailable, c.size) << c.what;
    EXPECT_EQ(q.DeviceType, NSDEVTYPE_TRACKDISK);
    bool td = false, etd = false;
    for (const uint16_t* p = q.SupportedCommands; *p; ++p) {
      td |= *p == NSCMD_TD_READ64;
      etd |= *p == NSCMD_ETD_READ64;
    }
    EXPECT_EQ(td, c.td64) << c.what;
    EXPECT_EQ(etd, c.etd64) << c.what;
    // The set it names is the set it takes.
    uint8_t buf[512];
    EXPECT_EQ(Nsd(*u, NSCMD_TD_READ64, 0, buf, 512) == 0, c.td64) << c.what;
    EXPECT_EQ(Nsd(*u, NSCMD_ETD_READ64, 0, buf, 512) == 0, c.etd64) << c.what;
  }
}

TEST(EmulatedDrive, SixtyFourBitTransfersAndTheirLimits) {
  const uint64_t size = (5ull << 30) + kImageBytes;  // sparse, past 4 GiB
  Drive d({}, size);
  auto ro = d.Open();
  auto rw = d.Open(UnitAccess::kReadWrite);
  EXPECT_EQ(d.drive->openUnits(), 2);
  const uint64_t high = (4ull << 30) + 123 * 512;
  std::vector<uint8_t> out(1024, 0xA5), in(1024);
  ASSERT_EQ(Nsd(*rw, NSCMD_TD_WRITE64, high, out.data(), 1024), 0);
  ASSERT_EQ(Nsd(*ro, NSCMD_ETD_READ64, high, in.data(), 1024), 0);
  EXPECT_EQ(in, out);
  EXPECT_EQ(d.ImageBytes(high, 1024), out);
  EXPECT_EQ(d.ImageBytes(123 * 512, 1)[0], PatternByte(123 * 512));  // not wrapped to the low 32 bits

  struct Case {
    const char* what;
    uint16_t command;
    uint64_t offset;
    uint32_t len;
    bool writable;
    int8_t error;
  } cases[] = {
      {"write on a read-only unit", NSCMD_TD_WRITE64, 0, 512, false, TDERR_WriteProt},
      {"ends past the device", NSCMD_TD_WRITE64, size - 512, 1024, true, IOERR_BADADDRESS},
      {"starts past the device", NSCMD_TD_READ64, size, 512, false, IOERR_BADADDRESS},
      {"seek past the device", NSCMD_TD_SEEK64, size, 0, false, IOERR_BADADDRESS},
      {"offset inside a sector", NSCMD_TD_READ64, 100, 512, false, IOERR_BADADDRESS},
      {"length not whole sectors", NSCMD_TD_READ64, 0, 128, false, IOERR_BADLENGTH},
      {"unknown command", 0x1234, 0, 0, false, IOERR_NOCMD},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> buf(std::max<uint32_t>(c.len, 1), 0x11);
    IoRequest io;
    io.io_Command = c.command;
    io.io_Length = c.len;
    io.io_Data = buf.data();
    SetOffset64(io, c.offset);
    EXPECT_EQ((c.writable ? rw : ro)->DoIO(io), c.error) << c.what;
    EXPECT_EQ(io.io_Error, c.error) << c.what;
  }
  EXPECT_EQ(d.ImageBytes(0, 1)[0], PatternByte(0));
  EXPECT_EQ(d.ImageBytes(size - 512, 512), std::vector<uint8_t>(512, 0));
}

TEST(EmulatedDrive, GeometryAndItsRejection) {
  EmulatedDriveConfig c;
  c.heads = 1;
  c.trackSectors = 16;
  Drive d(c);
  auto u = d.Open();
  DriveGeometry g;
  IoRequest io;
  io.io_Command = TD_GETGEOMETRY;
  io.io_Length = kDriveGeometrySize;
  io.io_Data = &g;
  ASSERT_EQ(u->DoIO(io), 0);
  EXPECT_EQ(g.dg_SectorSize, 512u);
  EXPECT_EQ(g.dg_TotalSectors, 2048u);
  EXPECT_EQ(g.dg_CylSectors, 16u);
  EXPECT_EQ(g.dg_Cylinders, 128u);
  EXPECT_EQ(g.dg_Heads, 1u);

  d.drive->config().rejectGeometry = true;
  EXPECT_NE(u->DoIO(io), 0);
}

TEST(EmulatedDrive, InjectedErrorsStrikeTheChosenRequests) {
  Drive d;
  EmulatedFault f;
  f.opcode = SCSI_READ_10;
  f.skip = 1;
  f.times = 1;
  f.sense = kSenseReadError;
  d.drive->AddFault(f);
  EmulatedFault stop;
  stop.command = CMD_STOP;
  stop.error = TDERR_NotSpecified;
  d.drive->AddFault(stop);
  auto u = d.Open();
  ScsiCall s;
  uint8_t buf[512];
  EXPECT_EQ(s.Send(*u, {SCSI_TEST_UNIT_READY, 0, 0, 0, 0, 0}), 0);  // other operations pass
  EXPECT_EQ(s.Send10(*u, SCSI_READ_10, 123, 1, buf, 512), 0);
  EXPECT_EQ(s.Send10(*u, SCSI_READ_10, 124, 1, buf, 512), HFERR_BadStatus);
  EXPECT_TRUE(s.LastSense() == kSenseReadError);
  EXPECT_EQ(s.Send10(*u, SCSI_READ_10, 125, 1, buf, 512), 0);
  IoRequest io;
  io.io_Command = CMD_STOP;
  EXPECT_EQ(u->DoIO(io), TDERR_NotSpecified);
  EXPECT_FALSE(d.drive->stopped());

  const auto& log = d.drive->log();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].opcode, SCSI_TEST_UNIT_READY);
  EXPECT_EQ(log[2].opcode, SCSI_READ_10);
  EXPECT_EQ(log[2].offset, 124u * 512);
  EXPECT_EQ(log[2].length, 512u);
  EXPECT_EQ(log[2].error, HFERR_BadStatus);
  EXPECT_EQ(log[3].error, 0);
  EXPECT_EQ(log[4].command, CMD_STOP);
}

TEST(EmulatedDrive, DeviceListAndOpenFailures) {
  Drive d;
  DosEntry e;
  e.hasStartup = true;
  e.fssm_Device = "emulated.device";
  e.hasEnvironment = true;
  e.environment = EmulatedEnvironment(d.drive->config(), kImageBytes, 0x444F5301);
  d.devices.AddPartition("DH1", e);
  DosEntry found;
  ASSERT_TRUE(d.devices.FindDosEntry("DH1", found));
  EXPECT_EQ(found.fssm_Device, "emulated.device");
  EXPECT_EQ(found.environment.de_HighCyl, 2048u / (4 * 32) - 1);
  EXPECT_FALSE(d.devices.FindDosEntry("DH2", found));

  EXPECT_EQ(d.devices.OpenDevice("emulated.device", 1, 0, UnitAccess::kRead).error, IOERR_OPENFAIL);
  EXPECT_EQ(d.devices.OpenDevice("other.device", 0, 0, UnitAccess::kRead).unit, nullptr);
  d.drive->config().failOpen = true;
  EXPECT_EQ(d.devices.OpenDevice("emulated.device", 0, 0, UnitAccess::kRead).error, IOERR_OPENFAIL);
  EXPECT_EQ(d.drive->openUnits(), 0);
}

}  // namespace
}  // namespace kr
