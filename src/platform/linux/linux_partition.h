// Partitions on Linux: a partition is a directory (absolute path, at most 63
// characters) on a block-device-backed file system. These functions resolve
// one through the mount table and sysfs to its block device, file system and
// environment, and list the partitions a user can choose.
//
// The readers take the mount table's text and a sysfs root, so tests can run
// them against a fake tree; the real ones read /proc/self/mountinfo and /sys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/blockdev.h"

namespace kr {

constexpr size_t kPartitionMax = 63;  // longest partition name (the field holds 64 bytes)

// One line of a mountinfo table.
struct MountEntry {
  uint32_t major = 0, minor = 0;
  std::string root;        // the mounted directory within its file system
  std::string mountPoint;  // unescaped
  std::string fsType;
  std::string source;  // unescaped mount source, e.g. "/dev/vda1"
  bool readOnly = false;  // the mount's own "ro" option
};
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The mount holding a canonical absolute path: the longest mount point that is
// a path prefix of it; among equal mount points the last (the visible one).
// nullptr when none matches.
const MountEntry* MountOfPath(const std::vector<MountEntry>& mounts, std::string_view path);

// Facts about a block device from sysfs.
struct BlockFacts {
  uint32_t major = 0, minor = 0;
  std::string name;  // kernel name of the device holding the file system ("vda1", "loop0", "dm-0")
  std::string disk;  // kernel name of its whole disk ("vda", "loop0", "dm-0")
  bool isPartition = false;
  uint64_t start = 0;    // first 512-byte sector of the partition on its disk
  uint64_t sectors = 0;  // size of the partition (or whole disk) in 512-byte sectors
  uint64_t diskSectors = 0;  // size of the whole disk in 512-byte sectors
  uint32_t logicalBlockSize = 512;
  uint32_t maxTransfer = 0;   // bytes per request the queue takes
  uint32_t dmaAlignment = 511;
  bool removable = false;
  std::string kind;  // "scsi", "nvme", "virtio", "loop", "dm", "mmc", "md", "zram" or "block"
  // Identity for an inquiry answered by the platform (space-free, not padded).
  std::string vendor, product, revision;
};

// Reads sysRoot + "/dev/block/MAJ:MIN" and the folders it leads to.
// false (with why) when the device has no sysfs entry.
bool DescribeBlockDevice(const std::string& sysRoot, uint32_t major, uint32_t minor, BlockFacts& out,
                         std::string& why);

// The mount points of the file systems that live on the disk of device
// MAJ:MIN (on it or on one of its partitions), one per file system.
std::vector<std::string> MountPointsOnDisk(const std::string& mountInfoText, const std::string& sysRoot,
                                           uint32_t major, uint32_t minor);
// The mount points of the file systems that share blocks with device MAJ:MIN:
// on the node itself, on its whole disk (for a partition), on any partition
// of it (for a whole disk). A sibling partition's file system is not one.
std::vector<std::string> MountPointsOnUnit(const std::string& mountInfoText, const std::string& sysRoot,
                                           uint32_t major, uint32_t minor);
// True when a mounted file system lives on the disk of device MAJ:MIN.
bool DiskHasMountedFileSystem(const std::string& mountInfoText, const std::string& sysRoot, uint32_t major,
                              uint32_t minor);

// A resolved partition.
struct PartitionFacts {
  std::string path;   // as given
  std::string real;   // canonical path
  MountEntry mount;
  BlockFacts device;
  uint32_t dosType = 0;  // the file system's magic number (statfs)
  uint64_t totalBytes = 0, freeBytes = 0;
  DosEntry entry;     // the startup message and environment
};

// The environment of a partition on its disk: cylinders of 64 surfaces x 32
// blocks (1 MiB at 512-byte blocks), low/high cylinder the whole cylinders
// inside the partition; a partition smaller than a cylinder gets one-block
// cylinders so its extent stays exact.
DosEnvec EnvironmentOf(const BlockFacts& device, uint32_t dosType);

// Validates and resolves a partition name. why says what is wrong, e.g.
// "not an absolute path", "not on a block device". A block device node
// (e.g. "/dev/sdb2") resolves to itself as the unit, with no file system
// (entry.rawDevice): the device tests can run on it, the file tests cannot.
bool ResolvePartition(std::string_view path, PartitionFacts& out, std::string& why,
                      const std::string& mountInfoText, const std::string& sysRoot);
// The same against this machine (/proc/self/mountinfo, /sys).
bool ResolvePartition(std::string_view path, PartitionFacts& out, std::string& why);

// A partition the user may choose.
struct PartitionChoice {
  std::string path;
  std::string device;  // device node, e.g. "/dev/vda1"
  std::string fsType;  // the mount table's name, e.g. "ext4"
  uint64_t totalBytes = 0, freeBytes = 0;
};
// Mount points of block-backed file systems the user can write to (directories,
// names of at most 63 characters, mounted read-write), in mount-table order,
// then the home directory when it is a block-backed directory not listed yet.
std::vector<PartitionChoice> ListPartitions(const std::string& mountInfoText, const std::string& sysRoot,
                                            const std::string& home);
std::vector<PartitionChoice> ListPartitions();

// The text of a file, or empty.
std::string ReadTextFile(const std::string& path);

}  // namespace kr
