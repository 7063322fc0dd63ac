// Gathering the drive information against the emulated drive.
#include "bench/drive/drive_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/context.h"
#include "engine/status_model.h"
#include "platform/fake/emulated_drive.h"
#include "platform/fake/fake_exec.h"
#include "platform/fake/fake_requester.h"
#include "platform/fake/fake_timer.h"
#include "platform/linux/linux_dos.h"
#include "report/report.h"
#include "records/settings_record.h"
#include "support/test_context.h"

namespace kr {
namespace {

using test::TempDir;

// The real dos layer, with a volume size that can be scripted.
struct VolumeDos : LinuxDos {
  using LinuxDos::LinuxDos;
  bool scripted = false, fail = false;
  VolumeInfo volume;
  bool Info(std::string_view path, VolumeInfo& out) override {
    if (fail) return false;
    if (!scripted) return LinuxDos::Info(path, out);
    out = volume;
    return true;
  }
};

uint32_t F(const DriveInfo& d, int n) { return n <= 35 ? d.fields[n - 1] : d.inquiry[n - 36]; }

struct Gathering : test::BasicTestContext<VolumeDos> {
  TempDir part;
  std::string image = home.path() + "/disk.img";
  std::unique_ptr<EmulatedDrive> drive;
  EmulatedDevices devices;
  DosEntry entry;

  explicit Gathering(EmulatedDriveConfig c = {}) {
    int fd = ::open(image.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(::ftruncate(fd, 4 << 20), 0);
    ::close(fd);
    drive = std::make_unique<EmulatedDrive>(image, c);
    devices.AddDrive("emulated.device", 3, *drive);
    entry.hasStartup = true;
    entry.fssm_Device = "emulated.device";
    entry.fssm_Unit = 3;
    entry.fssm_Flags = 0x10;
    entry.hasEnvironment = true;
    entry.environment = EmulatedEnvironment(c, 4 << 20, 0x444F5301);
    entry.environment.de_LowCyl = 2;
    entry.environment.de_BootPri = -5;
    ctx.drive.devices = &devices;
    ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, part.path());
    ctx.settings.set_s32(cfg::kAccessMode, 0);  // Direct-SCSI
  }
  void Run() {
    devices.AddPartition(part.path(), entry);
    GatherDriveInfo(ctx);
  }
  std::string Errors() const {
    std::string s;
    for (const ErrorEntry& e : ctx.errorLog.entries) s += std::string(e.location) + "/" + e.function + "/" + e.reason + ";";
    return s;
  }
};

TEST(DriveInfo, FullChainFillsTheRecord) {
  Gathering g;
  g.Run();
  const DriveInfo& d = g.ctx.driveInfo;
  EXPECT_EQ(g.Errors(), "");
  EXPECT_TRUE(g.requester.asked.empty());
  // Highlevel: startup message and environment.
  EXPECT_EQ(F(d, 1), 3u);
  EXPECT_EQ(F(d, 2), 0x10u);
  EXPECT_EQ(F(d, 3), 0x444F5301u);
  EXPECT_EQ(F(d, 4), 2u);
  EXPECT_EQ(F(d, 5), (4u << 20) / 512 / 128 - 1);
  EXPECT_EQ(F(d, 6), 512u);
  EXPECT_EQ(F(d, 7), 32u);
  EXPECT_EQ(F(d, 8), 4u);
  EXPECT_EQ(F(d, 14), 19u);
  EXPECT_EQ(F(d, 18), 0u);  // host ID and step rate have no source
  EXPECT_EQ(F(d, 19), 0u);
  EXPECT_EQ(F(d, 20), 1u);
  EXPECT_EQ(F(d, 21), uint32_t(-5));
  EXPECT_STREQ(d.deviceName, "emulated.device");
  EXPECT_EQ(std::string(d.partitionName), g.part.path());
  // Lowlevel: the geometry.
  EXPECT_EQ(F(d, 22), 512u);
  EXPECT_EQ(F(d, 23), 8192u);
  EXPECT_EQ(F(d, 24), 64u);
  EXPECT_EQ(F(d, 25), 128u);
  EXPECT_EQ(F(d, 26), 32u);
  EXPECT_EQ(F(d, 27), 4u);
  EXPECT_EQ(F(d, 31), 1u);
  // NSD: both sets, TD64 wins.
  EXPECT_EQ(F(d, 32), 1u);
  EXPECT_EQ(F(d, 33), 1u);
  EXPECT_EQ(F(d, 34), 1u);
  EXPECT_EQ(F(d, 35), 1u);
  EXPECT_EQ(g.ctx.drive.cmdRead, NSCMD_TD_READ64);
  EXPECT_EQ(g.ctx.drive.cmdWrite, NSCMD_TD_WRITE64);
  EXPECT_EQ(g.ctx.drive.cmdSeek, NSCMD_TD_SEEK64);
  // Inquiry.
  EXPECT_EQ(F(d, 37), 0u);
  EXPECT_EQ(F(d, 42), 2u);
  EXPECT_EQ(F(d, 45), 2u);
  EXPECT_EQ(F(d, 46), 31u);
  EXPECT_STREQ(d.vendor, "KELVA   ");
  EXPECT_STREQ(d.product, "Emulated Disk   ");
  EXPECT_STREQ(d.revision, "1.0 ");
  EXPECT_STREQ(d.vendorSpecific, "");
  // Free space and the modes.
  EXPECT_EQ(g.ctx.run.freeSpace, 1);
  EXPECT_EQ(g.ctx.drive.accessMode, kAccessDirectScsi);
  EXPECT_TRUE(g.ctx.drive.hardDiskEnabled);
  EXPECT_TRUE(g.ctx.drive.makeModuleEnabled);
  // Every step closed its connection and freed its memory; nothing was opened for writing.
  EXPECT_FALSE(g.ctx.drive.connection.open());
  EXPECT_EQ(g.drive->openUnits(), 0);
  EXPECT_EQ(g.drive->lastAccess(), UnitAccess::kRead);
  EXPECT_EQ(g.exec.liveBlocks, 0);

  // NSD-64 requested on the same drive.
  g.ctx.settings.set_s32(cfg::kAccessMode, 1);
  g.Run();
  EXPECT_EQ(g.ctx.drive.accessMode, kAccessNsd64);
}

TEST(DriveInfo, FirstFailureEndsTheChain) {
  struct Case {
    const char* what;
    std::function<void(Gathering&)> arrange;
    const char* error;
    uint32_t highlevel, lowlevel;
  } cases[] = {
      {"unknown partition", [](Gathering& g) { g.ctx.settings.set_text(cfg::kPartition, 64, "/nowhere"); },
       "DRIVE/GetHighlevelInfo/No device with this name exists;", 0, 0},
      {"no startup message", [](Gathering& g) { g.entry.hasStartup = false; },
       "DRIVE/GetHighlevelInfo/Internal error 51;", 0, 0},
      {"no environment", [](Gathering& g) { g.entry.hasEnvironment = false; },
       "DRIVE/GetHighlevelInfo/Internal error 50;", 0, 0},
      {"device does not open", [](Gathering& g) { g.drive->config().failOpen = true; },
       "DRIVE/OpenDevice/Could not open your selected device;", 1, 0},
      {"no buffer memory", [](Gathering& g) { g.exec.failAllocs = {1}; },
       "DRIVE/AllocVec/Could not get buffer for scsi-sence data;", 1, 0},
      {"no geometry memory", [](Gathering& g) { g.exec.failAllocs = {3}; },
       "DRIVE/DeviceInfo/Could not get memory for DriveGeometry;", 1, 0},
      {"geometry rejected", [](Gathering& g) { g.drive->config().rejectGeometry = true; },
       "DRIVE/GetLowlevelInfo/Could not get DriveGeometry;", 1, 0},
      {"inquiry rejected", [](Gathering& g) { g.drive->config().scsi = false; },
       "DRIVE/Inquiry/Error inquiry scsi-devcie;", 1, 1},
  };
  for (const Case& c : cases) {
    Gathering g;
    c.arrange(g);
    g.Run();
    const DriveInfo& d = g.ctx.driveInfo;
    EXPECT_EQ(g.Errors(), c.error) << c.what;
    EXPECT_EQ(F(d, 20), c.highlevel) << c.what;
    EXPECT_EQ(F(d, 31), c.lowlevel) << c.what;
    EXPECT_EQ(F(d, 32), 0u) << c.what;  // no NSD query after a failure
    EXPECT_STREQ(d.vendor, "Unknown") << c.what;
    EXPECT_STREQ(d.product, "Unknown") << c.what;
    EXPECT_STREQ(d.revision, "Unknown") << c.what;
    EXPECT_EQ(g.ctx.run.freeSpace, 0) << c.what;  // the free-space check did not run
    EXPECT_EQ(g.ctx.drive.accessMode, kAccessNone) << c.what;
    EXPECT_FALSE(g.ctx.drive.hardDiskEnabled) << c.what;
    EXPECT_FALSE(g.ctx.drive.makeModuleEnabled) << c.what;
    bool query = false;
    for (const EmulatedRequest& r : g.drive->log()) query |= r.command == NSCMD_DEVICEQUERY;
    EXPECT_FALSE(query) << c.what;
    EXPECT_FALSE(g.ctx.drive.connection.open()) << c.what;
    EXPECT_EQ(g.exec.liveBlocks, 0) << c.what;
    // Only a valid highlevel and lowlevel lead to the mode decision (here: the SCSI warning).
    EXPECT_EQ(g.requester.asked.size(), c.highlevel && c.lowlevel ? 1u : 0u) << c.what;
  }
}

TEST(DriveInfo, DeviceQueryDecidesTheNsdMode) {
  struct Case {
    const char* what;
    NsdAnswer answer;
    uint32_t actual, size;
    uint16_t type;
    uint32_t nsd, td64, etd64;
    uint16_t read;
  } cases[] = {
      {"no NSD", NsdAnswer::kNone, 16, 16, NSDEVTYPE_TRACKDISK, 0, 0, 0, 0},
      {"TD64", NsdAnswer::kTd64, 16, 16, NSDEVTYPE_TRACKDISK, 1, 1, 0, NSCMD_TD_READ64},
      {"ETD64", NsdAnswer::kEtd64, 16, 16, NSDEVTYPE_TRACKDISK, 1, 0, 1, NSCMD_ETD_READ64},
      {"both", NsdAnswer::kBoth, 16, 16, NSDEVTYPE_TRACKDISK, 1, 1, 1, NSCMD_TD_READ64},
      {"actual not 16", NsdAnswer::kBoth, 12, 12, NSDEVTYPE_TRACKDISK, 0, 0, 0, 0},
      {"size differs from actual", NsdAnswer::kBoth, 16, 20, NSDEVTYPE_TRACKDISK, 0, 0, 0, 0},
      {"not a trackdisk", NsdAnswer::kBoth, 16, 16, 7, 1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    EmulatedDriveConfig cfg;
    cfg.nsd = c.answer;
    cfg.nsdActual = c.actual;
    cfg.nsdSizeAvailable = c.size;
    cfg.nsdDeviceType = c.type;
    Gathering g(cfg);
    g.ctx.settings.set_s32(cfg::kAccessMode, 1);  // NSD-64
    g.Run();
    const DriveInfo& d = g.ctx.driveInfo;
    EXPECT_EQ(F(d, 32), c.nsd) << c.what;
    EXPECT_EQ(F(d, 33), c.td64) << c.what;
    EXPECT_EQ(F(d, 34), c.etd64) << c.what;
    EXPECT_EQ(F(d, 35), c.td64 | c.etd64) << c.what;
    EXPECT_EQ(g.ctx.drive.cmdRead, c.read) << c.what;
    EXPECT_EQ(g.ctx.drive.cmdSeek, c.read ? c.read + 2 : 0) << c.what;
    EXPECT_EQ(g.Errors(), "") << c.what;  // no NSD is not an error
    if (c.read) {
      EXPECT_EQ(g.ctx.drive.accessMode, kAccessNsd64) << c.what;
      EXPECT_TRUE(g.requester.asked.empty()) << c.what;
    } else {
      EXPECT_EQ(g.ctx.drive.accessMode, kAccessNone) << c.what;
      ASSERT_EQ(g.requester.asked.size(), 1u) << c.what;
      EXPECT_EQ(g.requester.asked[0].title, "\033bWARING\033n");
      EXPECT_EQ(g.requester.asked[0].text,
                "The device u have selected dont\xB4t supports the NSD-64 standard!\n\n"
                "Try to use the \033bDIRECT-SCSI\033n mode...");
      EXPECT_EQ(g.requester.asked[0].buttons, "Ok");
      EXPECT_TRUE(g.ctx.drive.hardDiskEnabled) << c.what;  // the file tests remain
      EXPECT_FALSE(g.ctx.drive.makeModuleEnabled) << c.what;
    }
  }
}

TEST(DriveInfo, ScsiOneDriveWarnsAndLeavesTheFileTests) {
  EmulatedDriveConfig cfg;
  cfg.responseFormat = 0;
  Gathering g(cfg);
  g.Run();
  EXPECT_EQ(g.ctx.drive.accessMode, kAccessNone);
  ASSERT_EQ(g.requester.asked.size(), 1u);
  EXPECT_EQ(g.requester.asked[0].title, "\033bWARING\033n");
  EXPECT_EQ(g.requester.asked[0].text,
            "The device you have selected don\xB4t complies to the SCSI standard!\n\nTry to use the \033bNSD-64\033n mode");
  EXPECT_EQ(g.requester.asked[0].buttons, "Ok");
  EXPECT_TRUE(g.ctx.drive.hardDiskEnabled);
  EXPECT_FALSE(g.ctx.drive.makeModuleEnabled);
  EXPECT_EQ(g.Errors(), "");
}

TEST(DriveInfo, FreeSpaceMustExceedWhatTheFilesNeed) {
  // 2000 files need (65762020 + 16777216 - 64) / 512 = 161209 blocks of 512 bytes.
  struct Case {
    int32_t thousands;
    uint64_t freeBlocks;
    int32_t possible;
  } cases[] = {
      {2, 161210, 1},
      {2, 161209, 0},  // exactly the need is not enough
      {3, 161210, 0},
      {1, 97297, 1},
      {9, 32769, 1},  // an unknown count needs only the fixed part
  };
  for (const Case& c : cases) {
    Gathering g;
    g.ctx.settings.set_s32(cfg::kDriveCount, c.thousands);
    g.dos.scripted = true;
    g.dos.volume = {c.freeBlocks + 1000, 1000, 512};
    g.Run();
    EXPECT_EQ(g.ctx.run.freeSpace, c.possible) << c.thousands << " " << c.freeBlocks;
    EXPECT_EQ(g.requester.asked.size(), c.possible ? 0u : 1u);
  }
  Gathering g;
  g.dos.scripted = true;
  g.dos.volume = {161209 + 1000, 1000, 512};
  g.Run();
  ASSERT_EQ(g.requester.asked.size(), 1u);
  EXPECT_EQ(g.requester.asked[0].title, "\033bWARNING\033n");
  EXPECT_EQ(g.requester.asked[0].text, "Not enough space on your selected partition free.\n\nSpace need: \033b" +
                                           SizeText(161209ull * 512) + "\033n\nSpace free: \033b" +
                                           SizeText(161209ull * 512) +
                                           "\033n\n\n'dos.library'-benchmarks disabled!");
  EXPECT_EQ(g.ctx.drive.accessMode, kAccessDirectScsi);
  EXPECT_TRUE(g.ctx.drive.hardDiskEnabled);
  EXPECT_FALSE(g.ctx.drive.makeModuleEnabled);

  // Info failing is an error entry, not a requester.
  Gathering h;
  h.dos.fail = true;
  h.Run();
  EXPECT_EQ(h.Errors(), "DRIVE/CheckFreeSpace/Could not get Info();");
  EXPECT_EQ(h.ctx.run.freeSpace, 0);
}

TEST(DriveInfo, RefusedPermissionIsKeptForTheFrontEnd) {
  Gathering g;
  g.drive->config().refusePermission = true;
  g.Run();
  EXPECT_EQ(g.Errors(), "DRIVE/OpenDevice/Could not open your selected device;");
  EXPECT_TRUE(g.ctx.drive.openRefused);
  EXPECT_EQ(g.ctx.drive.openFailure, "Permission denied");
  EXPECT_FALSE(g.ctx.drive.hardDiskEnabled);

  g.drive->config().refusePermission = false;
  g.Run();
  EXPECT_FALSE(g.ctx.drive.openRefused);
  EXPECT_EQ(g.ctx.drive.openFailure, "");
}

TEST(DriveInfo, GatheringAgainStartsFromNothing) {
  Gathering g;
  g.Run();
  ASSERT_EQ(g.ctx.run.freeSpace, 1);
  g.ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, "/elsewhere");
  g.Run();
  EXPECT_EQ(g.ctx.run.freeSpace, 0);
  EXPECT_EQ(F(g.ctx.driveInfo, 22), 0u);
  EXPECT_STREQ(g.ctx.driveInfo.vendor, "Unknown");
  EXPECT_STREQ(g.ctx.driveInfo.deviceName, "");
  EXPECT_FALSE(g.ctx.drive.hardDiskEnabled);
}

}  // namespace
}  // namespace kr
