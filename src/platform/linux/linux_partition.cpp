#include "platform/linux/linux_partition.h"

#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/exec.h"
#include "util/words.h"

namespace kr {
namespace {

// Mount tables escape blanks, tabs, newlines and backslashes as \ooo.
std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && std::isdigit((unsigned char)s[i + 1]) &&
        std::isdigit((unsigned char)s[i + 2]) && std::isdigit((unsigned char)s[i + 3])) {
      out += char((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string Trim(std::string s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace((unsigned char)s[b])) ++b;
  while (e > b && std::isspace((unsigned char)s[e - 1])) --e;
  return s.substr(b, e - b);
}

uint64_t ReadNumber(const std::string& path, uint64_t fallback) {
  std::string t = Trim(ReadTextFile(path));
  if (t.empty() || !std::isdigit((unsigned char)t[0])) return fallback;
  return std::strtoull(t.c_str(), nullptr, 10);
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string BaseName(const std::string& p) {
  size_t s = p.find_last_of('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}

std::string DirName(const std::string& p) {
  size_t s = p.find_last_of('/');
  return s == std::string::npos || s == 0 ? "/" : p.substr(0, s);
}

std::string UeventValue(const std::string& dir, std::string_view key) {
  std::istringstream in(ReadTextFile(dir + "/uevent"));
  std::string line;
  while (std::getline(in, line))
    if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=')
      return line.substr(key.size() + 1);
  return {};
}

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

std::string KindOf(const std::string& diskDir, const std::string& disk) {
  if (Exists(diskDir + "/loop")) return "loop";
  if (Exists(diskDir + "/dm")) return "dm";
  if (StartsWith(disk, "nvme")) return "nvme";
  if (StartsWith(disk, "vd")) return "virtio";
  if (StartsWith(disk, "sd") || StartsWith(disk, "sr")) return "scsi";
  if (StartsWith(disk, "mmcblk")) return "mmc";
  if (StartsWith(disk, "md")) return "md";
  if (StartsWith(disk, "zram")) return "zram";
  return "block";
}

// The kernel's release as a four-character revision ("6.1 ").
std::string KernelRevision() {
  struct utsname u;
  if (::uname(&u) != 0) return "0";
  std::string r = u.release;
  size_t dot = r.find('.');
  size_t end = dot == std::string::npos ? r.size() : r.find_first_not_of("0123456789", dot + 1);
  return r.substr(0, std::min<size_t>(end == std::string::npos ? r.size() : end, 4));
}

// Identity of a device for an inquiry the platform answers itself: the
// device's own texts where sysfs has them, else a name for its kind.
void Identify(const std::string& diskDir, BlockFacts& f) {
  std::string vendor = Trim(ReadTextFile(diskDir + "/device/vendor"));
  if (StartsWith(vendor, "0x")) vendor.clear();  // a PCI vendor number, not a name
  std::string model = Trim(ReadTextFile(diskDir + "/device/model"));
  std::string rev = Trim(ReadTextFile(diskDir + "/device/rev"));
  if (rev.empty()) rev = Trim(ReadTextFile(diskDir + "/device/firmware_rev"));
  if (f.kind == "mmc" && model.empty()) model = Trim(ReadTextFile(diskDir + "/device/name"));

  struct KindName {
    const char* kind;
    const char* vendor;
    const char* product;
  };
  static constexpr KindName kNames[] = {
      {"loop", "Linux", "Loop device"},   {"dm", "Linux", "Device mapper"}, {"nvme", "NVMe", "NVMe disk"},
      {"virtio", "VirtIO", "Virtio block"}, {"scsi", "Linux", "SCSI disk"},  {"mmc", "MMC", "MMC card"},
      {"md", "Linux", "Software RAID"},   {"zram", "Linux", "zram disk"},   {"block", "Linux", "Block device"},
  };
  const KindName* k = &kNames[std::size(kNames) - 1];
  for (const KindName& n : kNames)
    if (f.kind == n.kind) k = &n;
  f.vendor = vendor.empty() ? k->vendor : vendor;
  f.product = model.empty() ? k->product : model;
  if (f.kind == "dm" && model.empty()) {
    std::string dmName = Trim(ReadTextFile(diskDir + "/dm/name"));
    if (!dmName.empty()) f.product = "dm " + dmName;
  }
  f.revision = rev.empty() ? KernelRevision() : rev;
}

}  // namespace

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    // id parent maj:min root mountpoint options [optional...] - fstype source superoptions
    std::vector<std::string_view> w = SplitWords(line);
    if (w.size() < 7) continue;
    size_t sep = 6;
    while (sep < w.size() && w[sep] != "-") ++sep;
    if (sep + 2 >= w.size()) continue;
    MountEntry e;
    std::string_view mm = w[2];
    size_t colon = mm.find(':');
    if (colon == std::string_view::npos) continue;
    e.major = uint32_t(std::strtoul(std::string(mm.substr(0, colon)).c_str(), nullptr, 10));
    e.minor = uint32_t(std::strtoul(std::string(mm.substr(colon + 1)).c_str(), nullptr, 10));
    e.root = Unescape(w[3]);
    e.mountPoint = Unescape(w[4]);
    std::string opts(w[5]);
    e.readOnly = opts == "ro" || StartsWith(opts, "ro,");
    e.fsType = std::string(w[sep + 1]);
    e.source = Unescape(w[sep + 2]);
    out.push_back(std::move(e));
  }
  return out;
}

const MountEntry* MountOfPath(const std::vector<MountEntry>& mounts, std::string_view path) {
  const MountEntry* best = nullptr;
  for (const MountEntry& m : mounts) {
    const std::string& mp = m.mountPoint;
    bool prefix = mp == "/" ? StartsWith(path, "/")
                            : StartsWith(path, mp) && (path.size() == mp.size() || path[mp.size()] == '/');
    if (prefix && (!best || mp.size() >= best->mountPoint.size())) best = &m;
  }
  return best;
}

bool DescribeBlockDevice(const std::string& sysRoot, uint32_t major, uint32_t minor, BlockFacts& out,
                         std::string& why) {
  out = BlockFacts{};
  out.major = major;
  out.minor = minor;
  std::string link = sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  char buf[PATH_MAX];
  if (!::realpath(link.c_str(), buf)) {
    why = "no block device " + std::to_string(major) + ":" + std::to_string(minor);
    return false;
  }
  std::string dir = buf;
  out.name = UeventValue(dir, "DEVNAME");
  if (out.name.empty()) out.name = BaseName(dir);
  std::string diskDir = dir;
  out.isPartition = Exists(dir + "/partition");
  if (out.isPartition) {
    diskDir = DirName(dir);
    out.start = ReadNumber(dir + "/start", 0);
  }
  out.disk = UeventValue(diskDir, "DEVNAME");
  if (out.disk.empty()) out.disk = BaseName(diskDir);
  out.sectors = ReadNumber(dir + "/size", 0);
  out.diskSectors = ReadNumber(diskDir + "/size", out.sectors);
  out.logicalBlockSize = uint32_t(ReadNumber(diskDir + "/queue/logical_block_size", 512));
  if (out.logicalBlockSize < 512 || (out.logicalBlockSize & (out.logicalBlockSize - 1))) out.logicalBlockSize = 512;
  out.maxTransfer = uint32_t(std::min<uint64_t>(ReadNumber(diskDir + "/queue/max_sectors_kb", 128) * 1024, 0xFFFFFFFFu));
  out.dmaAlignment = uint32_t(ReadNumber(diskDir + "/queue/dma_alignment", 511));
  out.removable = ReadNumber(diskDir + "/removable", 0) != 0;
  out.kind = KindOf(diskDir, out.disk);
  Identify(diskDir, out);
  return true;
}

DosEnvec EnvironmentOf(const BlockFacts& d, uint32_t dosType) {
  DosEnvec e;
  const uint64_t perBlock = d.logicalBlockSize / 512;
  const uint64_t start = d.start / perBlock;
  const uint64_t end = (d.start + d.sectors) / perBlock;  // first block after the partition
  e.de_TableSize = 19;  // every entry through de_BootBlocks
  e.de_SizeBlock = d.logicalBlockSize / 4;
  e.de_Surfaces = 64;
  e.de_BlocksPerTrack = 32;
  uint64_t cyl = 64 * 32;
  uint64_t low = (start + cyl - 1) / cyl, high = end / cyl;
  if (high <= low) {  // smaller than a cylinder: one-block cylinders
    e.de_Surfaces = 1;
    e.de_BlocksPerTrack = 1;
    low = start;
    high = end;
  }
  e.de_LowCyl = uint32_t(std::min<uint64_t>(low, 0xFFFFFFFFu));
  e.de_HighCyl = uint32_t(std::min<uint64_t>(high > 0 ? high - 1 : 0, 0xFFFFFFFFu));
  e.de_BufMemType = MEMF_PUBLIC;
  e.de_MaxTransfer = d.maxTransfer;
  e.de_Mask = ~d.dmaAlignment;
  e.de_DosType = dosType;
  return e;
}

namespace {
// The block device a mount lives on; false for mounts without one.
bool MountDevice(const MountEntry& m, uint32_t& major, uint32_t& minor) {
  major = m.major;
  minor = m.minor;
  if (major == 0) {  // an anonymous device number (btrfs subvolumes): the source names the node
    struct stat src;
    if (StartsWith(m.source, "/dev/") && ::stat(m.source.c_str(), &src) == 0 && S_ISBLK(src.st_mode)) {
      major = ::major(src.st_rdev);
      minor = ::minor(src.st_rdev);
    }
  }
  return major != 0;
}
}  // namespace

namespace {

// The mount points of the mounted block devices on the same disk as
// major:minor that `shares` keeps, each device once.
template <typename Shares>
std::vector<std::string> MountPointsOnSameDisk(const std::string& mountInfoText, const std::string& sysRoot,
                                               uint32_t major, uint32_t minor, Shares shares) {
  std::vector<std::string> points;
  std::vector<std::pair<uint32_t, uint32_t>> seen;
  BlockFacts target, other;
  std::string why;
  if (!DescribeBlockDevice(sysRoot, major, minor, target, why)) return points;
  for (const MountEntry& m : ParseMountInfo(mountInfoText)) {
    uint32_t ma, mi;
    if (!MountDevice(m, ma, mi) || std::find(seen.begin(), seen.end(), std::pair{ma, mi}) != seen.end()) continue;
    if (!DescribeBlockDevice(sysRoot, ma, mi, other, why) || other.disk != target.disk) continue;
    if (shares(target, other)) {
      seen.emplace_back(ma, mi);
      points.push_back(m.mountPoint);
    }
  }
  return points;
}

}  // namespace

std::vector<std::string> MountPointsOnDisk(const std::string& mountInfoText, const std::string& sysRoot,
                                           uint32_t major, uint32_t minor) {
  return MountPointsOnSameDisk(mountInfoText, sysRoot, major, minor,
                               [](const BlockFacts&, const BlockFacts&) { return true; });
}

std::vector<std::string> MountPointsOnUnit(const std::string& mountInfoText, const std::string& sysRoot,
                                           uint32_t major, uint32_t minor) {
  // The same node, a partition of the whole disk, or the whole disk under a partition.
  return MountPointsOnSameDisk(mountInfoText, sysRoot, major, minor,
                               [](const BlockFacts& target, const BlockFacts& other) {
                                 return other.name == target.name || !target.isPartition || !other.isPartition;
                               });
}

bool DiskHasMountedFileSystem(const std::string& mountInfoText, const std::string& sysRoot, uint32_t major,
                              uint32_t minor) {
  return !MountPointsOnDisk(mountInfoText, sysRoot, major, minor).empty();
}

namespace {
// A block device node named as the partition: the device tests alone, on
// that node itself (a whole disk, or a spare partition of one); it has no
// file system of ours, so no file tests.
bool ResolveDeviceNode(const struct stat& st, PartitionFacts& out, std::string& why, const std::string& sysRoot) {
  if (!DescribeBlockDevice(sysRoot, ::major(st.st_rdev), ::minor(st.st_rdev), out.device, why)) {
    why = "a block device without a sysfs entry";
    return false;
  }
  out.real = out.path;
  out.totalBytes = out.device.sectors * 512;
  out.entry.hasStartup = true;
  out.entry.fssm_Device = "/dev/" + out.device.name;
  out.entry.rawDevice = true;
  out.entry.hasEnvironment = true;
  BlockFacts self = out.device;  // the node is the unit: its extent starts at its own block 0
  self.isPartition = false;
  self.start = 0;
  self.disk = self.name;
  self.diskSectors = self.sectors;
  out.entry.environment = EnvironmentOf(self, 0);
  return true;
}
}  // namespace

bool ResolvePartition(std::string_view path, PartitionFacts& out, std::string& why, const std::string& mountInfoText,
                      const std::string& sysRoot) {
  out = PartitionFacts{};
  out.path = std::string(path);
  if (path.empty() || path[0] != '/') {
    why = "not an absolute path";
    return false;
  }
  if (path.size() > kPartitionMax) {
    why = "longer than 63 characters";
    return false;
  }
  struct stat st;
  if (::stat(out.path.c_str(), &st) != 0) {
    why = std::string("cannot be reached: ") + std::strerror(errno);
    return false;
  }
  if (S_ISBLK(st.st_mode)) return ResolveDeviceNode(st, out, why, sysRoot);
  if (!S_ISDIR(st.st_mode)) {
    why = "not a directory";
    return false;
  }
  char buf[PATH_MAX];
  if (!::realpath(out.path.c_str(), buf)) {
    why = std::string("cannot be reached: ") + std::strerror(errno);
    return false;
  }
  out.real = buf;
  std::vector<MountEntry> mounts = ParseMountInfo(mountInfoText);
  const MountEntry* m = MountOfPath(mounts, out.real);
  if (!m) {
    why = "not in the mount table";
    return false;
  }
  out.mount = *m;
  uint32_t major, minor;
  if (!MountDevice(*m, major, minor) || !DescribeBlockDevice(sysRoot, major, minor, out.device, why)) {
    why = "not on a block device (" + m->fsType + " " + m->source + ")";
    return false;
  }
  struct statfs sf;
  if (::statfs(out.real.c_str(), &sf) == 0) out.dosType = uint32_t(sf.f_type);
  struct statvfs sv;
  if (::statvfs(out.real.c_str(), &sv) == 0) {
    out.totalBytes = uint64_t(sv.f_blocks) * sv.f_frsize;
    out.freeBytes = uint64_t(sv.f_bavail) * sv.f_frsize;
  }
  out.entry.hasStartup = true;
  out.entry.fssm_Device = "/dev/" + out.device.disk;
  out.entry.fssm_Unit = 0;
  out.entry.fssm_Flags = 0;
  out.entry.hasEnvironment = true;
  out.entry.environment = EnvironmentOf(out.device, out.dosType);
  return true;
}

bool ResolvePartition(std::string_view path, PartitionFacts& out, std::string& why) {
  return ResolvePartition(path, out, why, ReadTextFile("/proc/self/mountinfo"), "/sys");
}

std::vector<PartitionChoice> ListPartitions(const std::string& mountInfoText, const std::string& sysRoot,
                                            const std::string& home) {
  std::vector<PartitionChoice> out;
  std::vector<MountEntry> mounts = ParseMountInfo(mountInfoText);
  auto consider = [&](const std::string& path, bool needMountPoint) {
    for (const PartitionChoice& c : out)
      if (c.path == path) return;
    if (path.empty() || path.size() > kPartitionMax || ::access(path.c_str(), W_OK) != 0) return;
    PartitionFacts f;
    std::string why;
    if (!ResolvePartition(path, f, why, mountInfoText, sysRoot)) return;
    if (f.mount.readOnly || (needMountPoint && f.mount.mountPoint != f.real)) return;
    out.push_back({path, "/dev/" + f.device.name, f.mount.fsType, f.totalBytes, f.freeBytes});
  };
  for (size_t i = 0; i < mounts.size(); ++i) {
    // Only the visible mount of a mount point counts.
    bool hidden = false;
    for (size_t j = i + 1; j < mounts.size(); ++j) hidden |= mounts[j].mountPoint == mounts[i].mountPoint;
    if (!hidden) consider(mounts[i].mountPoint, true);
  }
  consider(home, false);
  return out;
}

std::vector<PartitionChoice> ListPartitions() {
  std::string home;
  if (const char* h = std::getenv("HOME")) home = h;
  if (home.empty())
    if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
  return ListPartitions(ReadTextFile("/proc/self/mountinfo"), "/sys", home);
}

}  // namespace kr
