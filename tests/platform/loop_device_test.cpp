// The Linux block device on a real loop-mounted ext4 image. Needs root and
// loop devices; skips with the reason otherwise. The image is always unmounted
// and detached, also when a check fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/drive/drive_access.h"
#include "device_support.h"
#include "platform/linux/linux_blockdev.h"
#include "platform/linux/linux_partition.h"
#include "platform/linux/udisks_open.h"
#include "support/loop_mount.h"
#include "support/test_context.h"

namespace kr {
namespace {

using test::Nsd;
using test::ScsiCall;
using test::TempDir;

constexpr uint64_t kLoopImageBytes = 128ull << 20;  // room for the benchmark files
constexpr uint64_t kBlock123 = 123 * 512;

using test::Shell;

// Aligned memory for direct transfers.
struct Aligned {
  void* p = nullptr;
  explicit Aligned(size_t n, uint8_t fill = 0) {
    EXPECT_EQ(::posix_memalign(&p, 4096, n), 0);
    std::memset(p, fill, n);
  }
  ~Aligned() { std::free(p); }
  uint8_t* bytes() { return static_cast<uint8_t*>(p); }
};

class LoopPartition : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = loop_.Attach(dir_.path(), kLoopImageBytes);
    if (!why.empty()) GTEST_SKIP() << why;
    image_ = loop_.image();
    mnt_ = loop_.mnt();
    node_ = loop_.node();
  }
  void Unmount() { loop_.Unmount(); }
  std::vector<uint8_t> ImageBytes(uint64_t offset, size_t n) {
    std::vector<uint8_t> out(n);
    int fd = ::open(image_.c_str(), O_RDONLY);
    EXPECT_EQ(::pread(fd, out.data(), n, off_t(offset)), ssize_t(n));
    ::close(fd);
    return out;
  }
  std::unique_ptr<BlockUnit> Open(UnitAccess a) {
    OpenResult r = devices_.OpenDevice(node_, 0, 0, a);
    EXPECT_EQ(r.error, 0) << r.call << ": " << r.reason;
    return std::move(r.unit);
  }

  TempDir dir_;
  test::LoopMount loop_;  // goes before the folder holding its image
  std::string image_, mnt_, node_;
  LinuxBlockDevices devices_;
};

TEST_F(LoopPartition, ResolvesToTheLoopDeviceAndIsOffered) {
  PartitionFacts f;
  std::string why;
  ASSERT_TRUE(ResolvePartition(mnt_, f, why)) << why;
  EXPECT_EQ("/dev/" + f.device.name, node_);
  EXPECT_EQ(f.entry.fssm_Device, node_);
  EXPECT_EQ(f.device.kind, "loop");
  EXPECT_EQ(f.mount.fsType, "ext4");
  EXPECT_EQ(f.dosType, 0xEF53u);
  EXPECT_EQ(f.entry.environment.de_DosType, 0xEF53u);
  EXPECT_EQ(f.entry.environment.de_LowCyl, 0u);
  EXPECT_EQ(f.entry.environment.de_HighCyl, (kLoopImageBytes >> 20) - 1);  // cylinders of 1 MiB
  EXPECT_GT(f.freeBytes, 0u);
  EXPECT_LE(f.totalBytes, kLoopImageBytes);

  DosEntry e;
  EXPECT_TRUE(devices_.FindDosEntry(mnt_, e));
  EXPECT_FALSE(devices_.FindDosEntry("/proc", e));
  EXPECT_NE(devices_.lastReason().find("not on a block device"), std::string::npos) << devices_.lastReason();

  bool offered = false;
  for (const PartitionChoice& c : ListPartitions())
    if (c.path == mnt_) offered = c.device == node_ && c.fsType == "ext4";
  EXPECT_TRUE(offered);
}

TEST_F(LoopPartition, AnswersAsADriverWithoutPassThrough) {
  auto u = Open(UnitAccess::kRead);
  ASSERT_TRUE(u);
  DriveGeometry g;
  IoRequest io;
  io.io_Command = TD_GETGEOMETRY;
  io.io_Length = kDriveGeometrySize;
  io.io_Data = &g;
  ASSERT_EQ(u->DoIO(io), 0);
  EXPECT_EQ(g.dg_SectorSize, 512u);
  EXPECT_EQ(g.dg_TotalSectors, kLoopImageBytes / 512);
  EXPECT_EQ(g.dg_CylSectors, g.dg_Heads * g.dg_TrackSectors);
  EXPECT_EQ(g.dg_Cylinders, g.dg_TotalSectors / g.dg_CylSectors);

  NSDeviceQueryResult q;
  io = IoRequest{};
  io.io_Command = NSCMD_DEVICEQUERY;
  io.io_Length = kDeviceQuerySize;
  io.io_Data = &q;
  ASSERT_EQ(u->DoIO(io), 0);
  EXPECT_EQ(io.io_Actual, kDeviceQuerySize);
  EXPECT_EQ(q.SizeAvailable, kDeviceQuerySize);
  EXPECT_EQ(q.DeviceType, NSDEVTYPE_TRACKDISK);
  std::vector<uint16_t> cmds;
  for (const uint16_t* p = q.SupportedCommands; *p; ++p) cmds.push_back(*p);
  for (uint16_t c : {NSCMD_TD_READ64, NSCMD_TD_WRITE64, NSCMD_TD_SEEK64, NSCMD_ETD_READ64})
    EXPECT_NE(std::find(cmds.begin(), cmds.end(), c), cmds.end()) << std::hex << c;

  ScsiCall s;
  uint8_t inq[252]{};
  ASSERT_EQ(s.Send(*u, {SCSI_INQUIRY, 0, 0, 0, 252, 0}, inq, 252), 0);
  EXPECT_EQ(inq[0], 0x00);  // direct access
  EXPECT_EQ(inq[3] & 0x0F, 2);  // SCSI-2 response format
  EXPECT_EQ(std::string((char*)inq + 8, 24), "Linux   Loop device     ");
  EXPECT_EQ(s.Send(*u, {SCSI_TEST_UNIT_READY, 0, 0, 0, 0, 0}), 0);
  EXPECT_EQ(s.Send10(*u, SCSI_SEEK_10, 123, 0), 0);
  EXPECT_EQ(s.Send10(*u, SCSI_SYNCHRONIZE_CACHE_10, 123, 8), 0);

  // A loop device cannot be stopped.
  EXPECT_EQ(s.Send(*u, {SCSI_START_STOP_UNIT, 0, 0, 0, 0, 0}), HFERR_BadStatus);
  EXPECT_TRUE(s.LastSense() == kSenseInvalidOpcode);
  io = IoRequest{};
  io.io_Command = CMD_STOP;
  EXPECT_EQ(u->DoIO(io), IOERR_NOCMD);

  // Opened for reading: nothing is written, nothing is read past the end.
  Aligned buf(4096);
  EXPECT_EQ(Nsd(*u, NSCMD_TD_WRITE64, kBlock123, buf.p, 512), TDERR_WriteProt);
  EXPECT_EQ(s.Send10(*u, SCSI_WRITE_10, 123, 1, buf.p, 512, SCSIF_AUTOSENSE), HFERR_BadStatus);
  EXPECT_TRUE(s.LastSense() == kSenseWriteProtected);
  EXPECT_EQ(Nsd(*u, NSCMD_TD_READ64, kLoopImageBytes - 512, buf.p, 1024), IOERR_BADADDRESS);
  EXPECT_EQ(s.Send10(*u, SCSI_READ_10, uint32_t(kLoopImageBytes / 512 - 1), 2, buf.p, 1024), HFERR_BadStatus);
  EXPECT_TRUE(s.LastSense() == kSenseLbaOutOfRange);
}

// Writing is refused while a file system of the disk is mounted (the reason
// names the node and the mount point); on the unmounted disk the span at
// block 123 is written and written back.
TEST_F(LoopPartition, RoundTripAtBlock123RestoresTheBytes) {
  OpenResult refused = devices_.OpenDevice(node_, 0, 0, UnitAccess::kReadWrite);
  EXPECT_EQ(refused.unit, nullptr);
  EXPECT_TRUE(refused.inUse);
  EXPECT_EQ(refused.reason.find(node_ + " holds mounted file systems (" + mnt_ + ")"), 0u) << refused.reason;
  EXPECT_EQ(devices_.WriteRefusal(node_), refused.reason);
  Unmount();
  EXPECT_EQ(devices_.WriteRefusal(node_), "");
  const std::vector<uint8_t> before = ImageBytes(kBlock123, 4096), tail = ImageBytes(kLoopImageBytes - 512, 512);
  {
    auto u = Open(UnitAccess::kReadWrite);
    ASSERT_TRUE(u);
    // Exclusive: nothing else may hold it while it is written, and it says so.
    EXPECT_NE(devices_.WriteRefusal(node_).find(node_ + " is in use"), std::string::npos);
    Aligned saved(4096), pattern(4096, 0xC3), check(4096 + 1);
    ASSERT_EQ(Nsd(*u, NSCMD_TD_READ64, kBlock123, saved.p, 4096), 0);
    EXPECT_EQ(std::vector<uint8_t>(saved.bytes(), saved.bytes() + 4096), before);
    // An unaligned buffer reads the same bytes.
    ScsiCall s;
    ASSERT_EQ(s.Send10(*u, SCSI_READ_10, 123, 8, check.bytes() + 1, 4096), 0);
    EXPECT_EQ(std::memcmp(check.bytes() + 1, saved.p, 4096), 0);

    ASSERT_EQ(Nsd(*u, NSCMD_ETD_WRITE64, kBlock123, pattern.p, 4096), 0);
    ASSERT_EQ(s.Send10(*u, SCSI_SYNCHRONIZE_CACHE_10, 123, 8), 0);
    EXPECT_EQ(ImageBytes(kBlock123, 4096), std::vector<uint8_t>(4096, 0xC3));
    ASSERT_EQ(s.Send10(*u, SCSI_WRITE_10, 123, 8, saved.p, 4096, SCSIF_AUTOSENSE), 0);
    ASSERT_EQ(s.Send10(*u, SCSI_SYNCHRONIZE_CACHE_10, 123, 8), 0);
    EXPECT_EQ(Nsd(*u, NSCMD_TD_WRITE64, kLoopImageBytes - 512, pattern.p, 1024), IOERR_BADADDRESS);
  }
  EXPECT_EQ(ImageBytes(kBlock123, 4096), before);
  EXPECT_EQ(ImageBytes(kLoopImageBytes - 512, 512), tail);
}

TEST_F(LoopPartition, WritingAnUnmountedDeviceIsExclusive) {
  Unmount();
  auto first = Open(UnitAccess::kReadWrite);
  ASSERT_TRUE(first);
  OpenResult second = devices_.OpenDevice(node_, 0, 0, UnitAccess::kReadWrite);
  EXPECT_EQ(second.unit, nullptr);
  EXPECT_EQ(second.error, IOERR_OPENFAIL);
  EXPECT_EQ(second.call, "open");
  EXPECT_FALSE(second.permission);
  first.reset();
  EXPECT_TRUE(Open(UnitAccess::kReadWrite));
}

// A user who may not open the node asks udisks2; without a system bus (or
// when polkit says no) the open fails as a refused permission whose reason
// names the node and what udisks2 answered.
TEST_F(LoopPartition, AUserWithoutAccessIsToldSo) {
  Unmount();  // writing a mounted disk is refused before any permission is asked for
  for (UnitAccess access : {UnitAccess::kRead, UnitAccess::kReadWrite}) {
    SCOPED_TRACE(access == UnitAccess::kRead ? "read" : "write");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {  // as nobody, outside the disk group, with no system bus to ask
      std::string answer = "x";
      ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kelvarank-test-bus", 1);
      if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
        LinuxBlockDevices devices;
        OpenResult r = devices.OpenDevice(node_, 0, 0, access);
        answer = r.unit ? "o" : std::string(r.permission && r.call == "open" ? "p" : "f") + r.reason;
      }
      (void)!::write(fds[1], answer.data(), answer.size());
      ::_exit(0);
    }
    ::close(fds[1]);
    char buf[512] = {};
    const ssize_t n = ::read(fds[0], buf, sizeof buf - 1);
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    ASSERT_GT(n, 0);
    const std::string answer(buf, size_t(n));
    EXPECT_EQ(answer.substr(0, 1), "p") << answer;
    EXPECT_EQ(answer.find("pPermission denied: " + node_ + " (udisks2: no system bus: "), 0u) << answer;
  }
}

TEST(Udisks, ObjectPathEscapesAllButLettersAndDigits) {
  EXPECT_EQ(UdisksBlockObjectPath("sda"), "/org/freedesktop/UDisks2/block_devices/sda");
  EXPECT_EQ(UdisksBlockObjectPath("nvme0n1"), "/org/freedesktop/UDisks2/block_devices/nvme0n1");
  EXPECT_EQ(UdisksBlockObjectPath("dm-0"), "/org/freedesktop/UDisks2/block_devices/dm_2d0");
  EXPECT_EQ(UdisksBlockObjectPath("md_a.b"), "/org/freedesktop/UDisks2/block_devices/md_5fa_2eb");
}

TEST_F(LoopPartition, GatheringFillsTheRecordInBothModes) {
  for (int32_t cycle : {0, 1}) {
    test::TestContext t;
    t.ctx.drive.devices = &devices_;
    t.ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, mnt_);
    t.ctx.settings.set_s32(cfg::kAccessMode, cycle);
    GatherDriveInfo(t.ctx);
    const DriveInfo& d = t.ctx.driveInfo;
    EXPECT_TRUE(t.ctx.errorLog.entries.empty()) << t.ctx.errorLog.entries[0].reason;
    EXPECT_TRUE(t.requester.asked.empty());
    EXPECT_EQ(std::string(d.deviceName), node_);
    EXPECT_EQ(d.fields[2], 0xEF53u);                    // DOS type
    EXPECT_EQ(d.fields[19], 1u);                        // highlevel valid
    EXPECT_EQ(d.fields[22], kLoopImageBytes / 512);         // total sectors
    EXPECT_EQ(d.fields[30], 1u);                        // lowlevel valid
    EXPECT_EQ(d.fields[34], 1u);                        // 64-bit commands
    EXPECT_EQ(d.inquiry[45 - 36], 2u);                  // SCSI-2 response format
    EXPECT_STREQ(d.vendor, "Linux   ");
    EXPECT_EQ(t.ctx.run.freeSpace, 1);
    EXPECT_EQ(t.ctx.drive.accessMode, cycle == 0 ? kAccessDirectScsi : kAccessNsd64);
    EXPECT_TRUE(t.ctx.drive.makeModuleEnabled);
    EXPECT_EQ(t.exec.liveBlocks, 0);
  }
}

// The device node named as the partition: the device tests are possible on
// the node itself, the file tests are not, and that is no error.
TEST_F(LoopPartition, ADeviceNodeIsAPartitionForTheDeviceTestsAlone) {
  test::TestContext t;
  t.ctx.drive.devices = &devices_;
  t.ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, node_);
  GatherDriveInfo(t.ctx);
  const DriveInfo& d = t.ctx.driveInfo;
  EXPECT_TRUE(t.ctx.errorLog.entries.empty()) << t.ctx.errorLog.entries[0].reason;
  EXPECT_TRUE(t.ctx.drive.rawDevice);
  EXPECT_EQ(std::string(d.deviceName), node_);
  EXPECT_EQ(d.fields[19], 1u);  // highlevel valid
  EXPECT_EQ(d.fields[30], 1u);  // lowlevel valid
  EXPECT_EQ(t.ctx.run.freeSpace, 0);
  EXPECT_TRUE(t.ctx.drive.deviceTestsPossible);
  EXPECT_FALSE(t.ctx.drive.makeModuleEnabled);
}

}  // namespace
}  // namespace kr
