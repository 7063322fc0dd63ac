// Partition resolution against a fake mount table and sysfs tree.
#include "platform/linux/linux_partition.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/linux/linux_blockdev.h"
#include "support/test_context.h"

namespace kr {
namespace {

using test::TempDir;

void Put(const std::string& path, const std::string& text) {
  MakeDirs(path.substr(0, path.find_last_of('/')));
  std::ofstream(path) << text;
}

// A sysfs tree: vda with partition vda1 (254:1, from sector 2048), loop0
// (7:0), dm-0 (253:0), nvme0n1 (259:0) with a model, and a virtio disk whose
// vendor is a PCI number.
struct FakeSys {
  TempDir dir;
  std::string sys = dir.path() + "/sys";

  void Disk(const std::string& name, const std::string& dev, uint64_t size, uint32_t lbs = 512) {
    std::string d = sys + "/devices/virtual/block/" + name;
    Put(d + "/uevent", "MAJOR=" + dev.substr(0, dev.find(':')) + "\nDEVNAME=" + name + "\nDEVTYPE=disk\n");
    Put(d + "/size", std::to_string(size) + "\n");
    Put(d + "/queue/logical_block_size", std::to_string(lbs) + "\n");
    Put(d + "/queue/max_sectors_kb", "1280\n");
    Put(d + "/queue/dma_alignment", "511\n");
    Put(d + "/removable", "0\n");
    Link(dev, "../../devices/virtual/block/" + name);
  }
  void Part(const std::string& disk, const std::string& name, const std::string& dev, uint64_t start,
            uint64_t size) {
    std::string d = sys + "/devices/virtual/block/" + disk + "/" + name;
    Put(d + "/uevent", "DEVNAME=" + name + "\nDEVTYPE=partition\n");
    Put(d + "/partition", "1\n");
    Put(d + "/start", std::to_string(start) + "\n");
    Put(d + "/size", std::to_string(size) + "\n");
    Link(dev, "../../devices/virtual/block/" + disk + "/" + name);
  }
  void Link(const std::string& dev, const std::string& target) {
    MakeDirs(sys + "/dev/block");
    EXPECT_EQ(::symlink(target.c_str(), (sys + "/dev/block/" + dev).c_str()), 0);
  }

  FakeSys() {
    Disk("vda", "254:0", 1 << 22);
    Part("vda", "vda1", "254:1", 2048, (1 << 22) - 2048);
    Put(sys + "/devices/virtual/block/vda/device/vendor", "0x1af4\n");
    Disk("loop0", "7:0", 131072);
    Put(sys + "/devices/virtual/block/loop0/loop/backing_file", "/tmp/x.img\n");
    Disk("dm-0", "253:0", 8192, 4096);
    Put(sys + "/devices/virtual/block/dm-0/dm/name", "vg-root\n");
    Disk("nvme0n1", "259:0", 1000215216);
    Put(sys + "/devices/virtual/block/nvme0n1/device/model", "Samsung SSD 970 EVO Plus 1TB          \n");
    Put(sys + "/devices/virtual/block/nvme0n1/device/firmware_rev", "2B2QEXM7\n");
    Disk("sda", "8:0", 2048);
    Put(sys + "/devices/virtual/block/sda/device/vendor", "ATA     \n");
    Put(sys + "/devices/virtual/block/sda/device/model", "WDC WD10EZEX-00B\n");
    Put(sys + "/devices/virtual/block/sda/device/rev", "1A01\n");
    Put(sys + "/devices/virtual/block/sda/removable", "1\n");
  }
};

TEST(Partition, MountTableLongestPrefixAndEscapes) {
  const std::string table =
      "27 1 254:1 / / rw,relatime - ext4 /dev/vda1 rw\n"
      "40 27 7:0 / /home rw,relatime shared:5 - ext4 /dev/loop0 rw\n"
      "41 27 0:44 / /home/work\\040dir rw - tmpfs tmpfs rw\n"
      "42 27 253:0 /sub /mnt/data ro,nosuid master:1 - xfs /dev/mapper/vg-root rw\n"
      "43 27 259:0 / /mnt/data rw - btrfs /dev/nvme0n1 rw\n"
      "garbage line\n";
  std::vector<MountEntry> m = ParseMountInfo(table);
  ASSERT_EQ(m.size(), 5u);
  EXPECT_EQ(m[2].mountPoint, "/home/work dir");
  EXPECT_EQ(m[3].root, "/sub");
  EXPECT_TRUE(m[3].readOnly);
  EXPECT_FALSE(m[4].readOnly);
  EXPECT_EQ(m[3].source, "/dev/mapper/vg-root");

  struct Case {
    const char* path;
    const char* mount;
  } cases[] = {
      {"/", "/"},
      {"/homework", "/"},  // a name prefix is not a path prefix
      {"/home", "/home"},
      {"/home/user/x", "/home"},
      {"/home/work dir/a", "/home/work dir"},
      {"/mnt/data/x", "/mnt/data"},
  };
  for (const Case& c : cases) {
    const MountEntry* e = MountOfPath(m, c.path);
    ASSERT_NE(e, nullptr) << c.path;
    EXPECT_EQ(e->mountPoint, c.mount) << c.path;
  }
  EXPECT_EQ(MountOfPath(m, "/mnt/data")->fsType, "btrfs");  // the later mount covers the earlier one
}

TEST(Partition, BlockDeviceFromSysfs) {
  FakeSys fs;
  struct Case {
    uint32_t major, minor;
    const char *name, *disk, *kind, *vendor, *product, *revision;
    bool partition;
    uint64_t start, sectors;
    uint32_t lbs;
  } cases[] = {
      {254, 1, "vda1", "vda", "virtio", "VirtIO", "Virtio block", nullptr, true, 2048, (1 << 22) - 2048, 512},
      {7, 0, "loop0", "loop0", "loop", "Linux", "Loop device", nullptr, false, 0, 131072, 512},
      {253, 0, "dm-0", "dm-0", "dm", "Linux", "dm vg-root", nullptr, false, 0, 8192, 4096},
      {259, 0, "nvme0n1", "nvme0n1", "nvme", "NVMe", "Samsung SSD 970 EVO Plus 1TB", "2B2QEXM7", false, 0,
       1000215216, 512},
      {8, 0, "sda", "sda", "scsi", "ATA", "WDC WD10EZEX-00B", "1A01", false, 0, 2048, 512},
  };
  for (const Case& c : cases) {
    BlockFacts f;
    std::string why;
    ASSERT_TRUE(DescribeBlockDevice(fs.sys, c.major, c.minor, f, why)) << c.name << ": " << why;
    EXPECT_EQ(f.name, c.name);
    EXPECT_EQ(f.disk, c.disk);
    EXPECT_EQ(f.kind, c.kind);
    EXPECT_EQ(f.vendor, c.vendor);
    EXPECT_EQ(f.product, c.product);
    if (c.revision) {
      EXPECT_EQ(f.revision, c.revision);
    }
    EXPECT_FALSE(f.revision.empty());
    EXPECT_EQ(f.isPartition, c.partition);
    EXPECT_EQ(f.start, c.start);
    EXPECT_EQ(f.sectors, c.sectors);
    EXPECT_EQ(f.logicalBlockSize, c.lbs);
    EXPECT_EQ(f.maxTransfer, 1280u * 1024);
  }
  BlockFacts sda;
  std::string why;
  ASSERT_TRUE(DescribeBlockDevice(fs.sys, 8, 0, sda, why));
  EXPECT_TRUE(sda.removable);
  EXPECT_FALSE(DescribeBlockDevice(fs.sys, 9, 9, sda, why));
  EXPECT_NE(why.find("9:9"), std::string::npos);
}

// Which mounted file systems keep Write to Device off a unit: those on the
// node, on its whole disk, or on a partition of a whole disk; not a sibling
// partition's. SATA disks (vendor "ATA") are the ones whose seeks are reads.
TEST(Partition, MountsSharingBlocksWithAUnitAndAtaDisks) {
  FakeSys fs;
  fs.Part("vda", "vda2", "254:2", 4096, 2048);
  auto line = [](const char* dev, const char* point, const char* source) {
    return std::string("36 35 ") + dev + " / " + point + " rw,relatime - ext4 " + source + " rw\n";
  };
  const std::string partOne = line("254:1", "/mnt/a", "/dev/vda1") + line("0:22", "/run", "tmpfs");
  const std::string wholeDisk = line("254:0", "/mnt/w", "/dev/vda");
  struct Case {
    const std::string* table;
    uint32_t minor;  // of vda: 0 the disk, 1 and 2 its partitions
    std::vector<std::string> points;
  } cases[] = {
      {&partOne, 0, {"/mnt/a"}}, {&partOne, 1, {"/mnt/a"}}, {&partOne, 2, {}},
      {&wholeDisk, 0, {"/mnt/w"}}, {&wholeDisk, 2, {"/mnt/w"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MountPointsOnUnit(*c.table, fs.sys, 254, c.minor), c.points) << c.minor;

  for (auto [minor, major, ata] : {std::tuple{0u, 8u, true}, {0u, 254u, false}, {0u, 259u, false}}) {
    BlockFacts f;
    std::string why;
    ASSERT_TRUE(DescribeBlockDevice(fs.sys, major, minor, f, why)) << why;
    EXPECT_EQ(IsAtaBacked(f), ata) << f.name;
  }
}

TEST(Partition, EnvironmentCoversWholeCylindersInsideThePartition) {
  struct Case {
    uint64_t start, sectors;
    uint32_t lbs;
    uint32_t low, high, surfaces, perTrack;
  } cases[] = {
      {0, 131072, 512, 0, 63, 64, 32},           // whole 64 MiB loop device
      {2048, 4194304 - 2048, 512, 1, 2047, 64, 32},  // partition from 1 MiB to the end of 2 GiB
      {100, 10000, 512, 1, 3, 64, 32},           // unaligned start: first whole cylinder is 1
      {0, 8192, 4096, 0, 0, 64, 32},             // 4 MiB at 4 KiB blocks: 1024 blocks < one cylinder of 2048
      {34, 1000, 512, 34, 1033, 1, 1},           // smaller than a cylinder: exact one-block cylinders
  };
  for (const Case& c : cases) {
    BlockFacts d;
    d.start = c.start;
    d.sectors = c.sectors;
    d.logicalBlockSize = c.lbs;
    d.maxTransfer = 131072;
    DosEnvec e = EnvironmentOf(d, 0xEF53);
    const uint64_t blocks = c.sectors / (c.lbs / 512);
    if (c.lbs == 4096) {  // 1024 blocks: one-block cylinders
      EXPECT_EQ(e.de_Surfaces, 1u);
      EXPECT_EQ(e.de_HighCyl - e.de_LowCyl + 1, blocks);
      continue;
    }
    EXPECT_EQ(e.de_LowCyl, c.low) << c.start;
    EXPECT_EQ(e.de_HighCyl, c.high) << c.start;
    EXPECT_EQ(e.de_Surfaces, c.surfaces);
    EXPECT_EQ(e.de_BlocksPerTrack, c.perTrack);
    EXPECT_EQ(e.de_SizeBlock * 4, c.lbs);
    EXPECT_EQ(e.de_DosType, 0xEF53u);
    EXPECT_EQ(e.de_MaxTransfer, 131072u);
    // The described extent never reaches outside the partition.
    const uint64_t cyl = uint64_t(e.de_Surfaces) * e.de_BlocksPerTrack;
    EXPECT_GE(uint64_t(e.de_LowCyl) * cyl, c.start);
    EXPECT_LE((uint64_t(e.de_HighCyl) + 1) * cyl, c.start + c.sectors);
  }
}

TEST(Partition, ResolveRefusesWhatIsNotAPartition) {
  FakeSys fs;
  TempDir t;
  const std::string plain = t.path() + "/file";
  Put(plain, "x");
  MakeDirs(t.path() + "/ram");
  const std::string table = "1 0 254:1 / / rw - ext4 /dev/vda1 rw\n"
                            "2 1 0:50 / " + t.path() + "/ram rw - tmpfs tmpfs rw\n";
  struct Case {
    std::string path;
    const char* why;
  } cases[] = {
      {"relative/dir", "not an absolute path"},
      {"/" + std::string(63, 'a'), "longer than 63 characters"},
      {t.path() + "/missing", "cannot be reached"},
      {plain, "not a directory"},
      {t.path() + "/ram", "not on a block device"},
  };
  for (const Case& c : cases) {
    PartitionFacts f;
    std::string why;
    EXPECT_FALSE(ResolvePartition(c.path, f, why, table, fs.sys)) << c.path;
    EXPECT_NE(why.find(c.why), std::string::npos) << c.path << ": " << why;
  }

  PartitionFacts f;
  std::string why;
  ASSERT_TRUE(ResolvePartition(t.path(), f, why, table, fs.sys)) << why;
  EXPECT_EQ(f.device.name, "vda1");
  EXPECT_EQ(f.mount.fsType, "ext4");
  EXPECT_TRUE(f.entry.hasStartup);
  EXPECT_TRUE(f.entry.hasEnvironment);
  EXPECT_EQ(f.entry.fssm_Device, "/dev/vda");  // the disk; the environment places the partition on it
  EXPECT_EQ(f.entry.environment.de_LowCyl, 1u);
  EXPECT_NE(f.dosType, 0u);
  EXPECT_GT(f.totalBytes, 0u);
}

TEST(Partition, ListOffersWritableBlockBackedMountPointsAndHome) {
  FakeSys fs;
  TempDir t;
  const std::string rw = t.path() + "/rw", ro = t.path() + "/ro", ram = t.path() + "/ram",
                    hidden = t.path() + "/over", file = t.path() + "/file",
                    deep = t.path() + "/" + std::string(60, 'd'), home = rw + "/home/user";
  for (const std::string& d : {rw, ro, ram, hidden, deep, home}) MakeDirs(d);
  Put(file, "x");
  const std::string table = "1 0 254:1 / /nonexistent-root rw - ext4 /dev/vda1 rw\n"
                            "2 1 7:0 / " + rw + " rw - ext4 /dev/loop0 rw\n"
                            "3 1 7:0 / " + ro + " ro - ext4 /dev/loop0 rw\n"
                            "4 1 0:50 / " + ram + " rw - tmpfs tmpfs rw\n"
                            "5 1 253:0 / " + hidden + " rw - xfs /dev/dm-0 rw\n"
                            "6 1 0:51 / " + hidden + " rw - tmpfs tmpfs rw\n"
                            "7 1 7:0 / " + file + " rw - ext4 /dev/loop0 rw\n"
                            "8 1 7:0 / " + deep + " rw - ext4 /dev/loop0 rw\n";
  std::vector<PartitionChoice> list = ListPartitions(table, fs.sys, home);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].path, rw);
  EXPECT_EQ(list[0].device, "/dev/loop0");
  EXPECT_EQ(list[0].fsType, "ext4");
  EXPECT_GT(list[0].totalBytes, 0u);
  EXPECT_LE(list[0].freeBytes, list[0].totalBytes);
  EXPECT_EQ(list[1].path, home);

  // Home already listed as a mount point is not repeated.
  EXPECT_EQ(ListPartitions(table, fs.sys, rw).size(), 1u);
}

}  // namespace
}  // namespace kr
