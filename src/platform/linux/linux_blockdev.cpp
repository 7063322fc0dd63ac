#include "platform/linux/linux_blockdev.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/exec.h"
#include "platform/linux/linux_partition.h"
#include "platform/linux/udisks_open.h"
#include "platform/scsi_target.h"

namespace kr {
namespace {

constexpr uint32_t kBounceSize = 1u << 20;  // unaligned transfers go through this in pieces
constexpr unsigned kSgTimeoutMs = 120000;   // START STOP UNIT may take a spin-up

// The disk node as a medium: O_DIRECT transfers, through an aligned bounce
// buffer when the caller's buffer is not aligned for direct I/O.
class FdMedium : public SectorMedium {
 public:
  FdMedium(int fd, uint32_t sectorSize, uint64_t bytes, bool writable, uint32_t align, void* bounce)
      : fd_(fd), ss_(sectorSize), bytes_(bytes), writable_(writable), align_(align), bounce_(bounce) {}

  uint32_t SectorSize() const override { return ss_; }
  uint64_t Sectors() const override { return bytes_ / ss_; }
  bool Writable() const override { return writable_; }

  int Read(uint64_t offset, void* buf, uint32_t len) override { return Transfer(offset, buf, len, false); }
  int Write(uint64_t offset, const void* buf, uint32_t len) override {
    return Transfer(offset, const_cast<void*>(buf), len, true);
  }
  int Seek(uint64_t offset) override { return Whole(offset, bounce_, ss_, false); }
  int Sync() override { return ::fdatasync(fd_) == 0 ? 0 : errno; }
  int Ready() override {
    uint64_t size = 0;
    if (::ioctl(fd_, BLKGETSIZE64, &size) != 0) return errno;
    return size == 0 ? ENXIO : 0;  // a detached loop device or a removed medium
  }
  int StartStop(bool) override { return ENOTSUP; }

 private:
  // One call per piece until done; a short answer at the end is an error.
  int Whole(uint64_t offset, void* buf, uint32_t len, bool write) {
    auto* p = static_cast<uint8_t*>(buf);
    while (len > 0) {
      ssize_t n = write ? ::pwrite(fd_, p, len, off_t(offset)) : ::pread(fd_, p, len, off_t(offset));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) return EIO;
      p += n;
      offset += uint64_t(n);
      len -= uint32_t(n);
    }
    return 0;
  }

  int Transfer(uint64_t offset, void* buf, uint32_t len, bool write) {
    if (reinterpret_cast<uintptr_t>(buf) % align_ == 0) return Whole(offset, buf, len, write);
    auto* p = static_cast<uint8_t*>(buf);
    while (len > 0) {
      const uint32_t piece = std::min(len, kBounceSize);
      if (write) std::memcpy(bounce_, p, piece);
      if (int err = Whole(offset, bounce_, piece, write)) return err;
      if (!write) std::memcpy(p, bounce_, piece);
      p += piece;
      offset += piece;
      len -= piece;
    }
    return 0;
  }

  int fd_;
  uint32_t ss_;
  uint64_t bytes_;
  bool writable_;
  uint32_t align_;
  void* bounce_;
};

}  // namespace

bool IsAtaBacked(const BlockFacts& facts) { return facts.kind == "scsi" && facts.vendor == "ATA"; }

namespace {

uint32_t Clamp32(uint64_t v) { return uint32_t(std::min<uint64_t>(v, 0xFFFFFFFFu)); }

class LinuxBlockUnit : public BlockUnit {
 public:
  LinuxBlockUnit(int fd, bool writable, uint32_t sectorSize, uint64_t bytes, const BlockFacts& facts, bool sg,
                 void* bounce, uint32_t align)
      : fd_(fd),
        writable_(writable),
        ss_(sectorSize),
        bytes_(bytes),
        sg_(sg),
        ata_(sg && IsAtaBacked(facts)),
        maxTransfer_(std::max(facts.maxTransfer / sectorSize * sectorSize, sectorSize)),
        bounce_(bounce),
        medium_(fd, sectorSize, bytes, writable, align, bounce),
        target_(medium_, MakeInquiry(facts.vendor, facts.product, facts.revision, 2, 2, facts.removable)) {
    FillGeometry(facts);
    commands_ = {CMD_READ,         CMD_WRITE,        CMD_UPDATE,      TD_GETGEOMETRY,   HD_SCSICMD,
                 NSCMD_DEVICEQUERY, NSCMD_TD_READ64,  NSCMD_TD_WRITE64, NSCMD_TD_SEEK64, NSCMD_ETD_READ64,
                 NSCMD_ETD_WRITE64, NSCMD_ETD_SEEK64};
    if (sg_) {
      commands_.push_back(CMD_STOP);
      commands_.push_back(CMD_START);
    }
    commands_.push_back(0);
  }
  ~LinuxBlockUnit() override {
    ::close(fd_);
    std::free(bounce_);
  }

  int8_t DoIO(IoRequest& io) override {
    io.io_Error = Run(io);
    return io.io_Error;
  }

 private:
  void FillGeometry(const BlockFacts& facts) {
    uint32_t heads = 0, trackSectors = 0;
    struct hd_geometry g {};
    if (::ioctl(fd_, HDIO_GETGEO, &g) == 0 && g.heads > 0 && g.sectors > 0) {
      heads = g.heads;
      trackSectors = g.sectors;
    } else {  // no geometry from the kernel: 1 MiB cylinders at 512-byte sectors
      heads = 64;
      trackSectors = 32;
    }
    // Sector numbers are 32-bit in the geometry: a larger device shows its first 2^32 - 1 sectors.
    geometry_.dg_SectorSize = ss_;
    geometry_.dg_TotalSectors = Clamp32(bytes_ / ss_);
    geometry_.dg_Heads = heads;
    geometry_.dg_TrackSectors = trackSectors;
    geometry_.dg_CylSectors = heads * trackSectors;
    geometry_.dg_Cylinders = geometry_.dg_TotalSectors / geometry_.dg_CylSectors;
    geometry_.dg_BufMemType = MEMF_PUBLIC;
    geometry_.dg_DeviceType = DG_DIRECT_ACCESS;
    geometry_.dg_Flags = facts.removable ? DGF_REMOVABLE : 0;
  }

  int8_t Run(IoRequest& io) {
    switch (io.io_Command) {
      case TD_GETGEOMETRY:
        if (io.io_Length < kDriveGeometrySize || !io.io_Data) return IOERR_BADLENGTH;
        *static_cast<DriveGeometry*>(io.io_Data) = geometry_;
        io.io_Actual = kDriveGeometrySize;
        return 0;
      case NSCMD_DEVICEQUERY: {
        if (io.io_Length < kDeviceQuerySize || !io.io_Data) return IOERR_BADLENGTH;
        auto* q = static_cast<NSDeviceQueryResult*>(io.io_Data);
        q->DevQueryFormat = 0;
        q->SizeAvailable = kDeviceQuerySize;
        q->DeviceType = NSDEVTYPE_TRACKDISK;
        q->DeviceSubType = 0;
        q->SupportedCommands = commands_.data();
        io.io_Actual = kDeviceQuerySize;
        return 0;
      }
      case CMD_READ:
        return Transfer(io, io.io_Offset, Op::kRead);
      case CMD_WRITE:
        return Transfer(io, io.io_Offset, Op::kWrite);
      case NSCMD_TD_READ64:
      case NSCMD_ETD_READ64:
        return Transfer(io, Offset64(io), Op::kRead);
      case NSCMD_TD_WRITE64:
      case NSCMD_ETD_WRITE64:
        return Transfer(io, Offset64(io), Op::kWrite);
      case NSCMD_TD_SEEK64:
      case NSCMD_ETD_SEEK64:
        return Transfer(io, Offset64(io), Op::kSeek);
      case CMD_UPDATE:
        io.io_Actual = 0;
        return ::fdatasync(fd_) == 0 ? 0 : TDERR_NotSpecified;
      case CMD_STOP:
      case CMD_START: {
        io.io_Actual = 0;
        if (!sg_) return IOERR_NOCMD;
        uint8_t cdb[6] = {SCSI_START_STOP_UNIT, 0, 0, 0, uint8_t(io.io_Command == CMD_START ? 1 : 0), 0};
        SCSICmd cmd;
        cmd.scsi_Command = cdb;
        cmd.scsi_CmdLength = 6;
        cmd.scsi_Flags = SCSIF_READ;
        return SgOnce(cmd, cdb, nullptr, 0) == 0 ? 0 : TDERR_NotSpecified;
      }
      case HD_SCSICMD: {
        if (!io.io_Data) return IOERR_BADLENGTH;
        auto& cmd = *static_cast<SCSICmd*>(io.io_Data);
        io.io_Actual = kSCSICmdSize;
        return sg_ ? SgExecute(cmd) : target_.Execute(cmd);
      }
      default:
        return IOERR_NOCMD;
    }
  }

  enum class Op { kRead, kWrite, kSeek };

  int8_t Transfer(IoRequest& io, uint64_t offset, Op op) {
    const uint32_t len = op == Op::kSeek ? 0 : io.io_Length;
    io.io_Actual = 0;
    if (offset % ss_ != 0) return IOERR_BADADDRESS;
    if (len % ss_ != 0) return IOERR_BADLENGTH;
    if (len > 0 && !io.io_Data) return IOERR_BADADDRESS;
    if (offset > bytes_ || len > bytes_ - offset || (op == Op::kSeek && offset >= bytes_)) return IOERR_BADADDRESS;
    if (op == Op::kWrite && !writable_) return TDERR_WriteProt;
    int err = op == Op::kRead    ? medium_.Read(offset, io.io_Data, len)
              : op == Op::kWrite ? medium_.Write(offset, io.io_Data, len)
                                 : medium_.Seek(offset);
    if (err != 0) return TDERR_NotSpecified;
    io.io_Actual = len;
    return 0;
  }

  // Pass-through: only the commands the drive section sends reach the device;
  // a unit opened for reading takes no WRITE(10), and no write reaches past the end.
  int8_t SgExecute(SCSICmd& cmd) {
    cmd.scsi_Actual = 0;
    cmd.scsi_Status = SCSI_STATUS_GOOD;
    cmd.scsi_SenseActual = 0;
    cmd.scsi_CmdActual = 0;
    if (!cmd.scsi_Command || cmd.scsi_CmdLength < 6 || cmd.scsi_CmdLength > 16)
      return CheckCondition(cmd, kSenseInvalidOpcode);
    const uint8_t* c = cmd.scsi_Command;
    switch (c[0]) {
      case SCSI_TEST_UNIT_READY:
      case SCSI_INQUIRY:
      case SCSI_START_STOP_UNIT:
        return SgOnce(cmd, c, cmd.scsi_Data, cmd.scsi_Length);
      case SCSI_SEEK_10:
        if (cmd.scsi_CmdLength < 10) return CheckCondition(cmd, kSenseInvalidOpcode);
        // The kernel's ATA translation answers SEEK(10) without moving the
        // heads: a one-sector read at the position does the seek.
        if (ata_) {
          const uint64_t lba = uint64_t(c[2]) << 24 | uint64_t(c[3]) << 16 | uint64_t(c[4]) << 8 | c[5];
          if (lba >= bytes_ / ss_) return CheckCondition(cmd, kSenseLbaOutOfRange);
          return medium_.Seek(lba * ss_) == 0 ? 0 : CheckCondition(cmd, kSenseReadError);
        }
        return SgOnce(cmd, c, nullptr, 0);
      case SCSI_SYNCHRONIZE_CACHE_10:
        if (cmd.scsi_CmdLength < 10) return CheckCondition(cmd, kSenseInvalidOpcode);
        return SgOnce(cmd, c, nullptr, 0);
      case SCSI_READ_10:
      case SCSI_WRITE_10:
        if (cmd.scsi_CmdLength < 10) return CheckCondition(cmd, kSenseInvalidOpcode);
        return SgTransfer(cmd);
      default:
        return CheckCondition(cmd, kSenseInvalidOpcode);
    }
  }

  // READ(10)/WRITE(10) in pieces the queue takes.
  int8_t SgTransfer(SCSICmd& cmd) {
    const uint8_t* c = cmd.scsi_Command;
    const bool write = c[0] == SCSI_WRITE_10;
    const uint64_t lba = uint64_t(c[2]) << 24 | uint64_t(c[3]) << 16 | uint64_t(c[4]) << 8 | c[5];
    const uint32_t blocks = uint32_t(c[7]) << 8 | c[8];
    const uint64_t bytes = uint64_t(blocks) * ss_;
    if (bytes > cmd.scsi_Length || (bytes > 0 && !cmd.scsi_Data)) return IOERR_BADLENGTH;
    if (write && !writable_) return CheckCondition(cmd, kSenseWriteProtected);
    if (lba + blocks > bytes_ / ss_) return CheckCondition(cmd, kSenseLbaOutOfRange);
    const uint32_t perPiece = maxTransfer_ / ss_;
    uint32_t done = 0;
    do {
      const uint32_t n = std::min(blocks - done, perPiece);
      const uint64_t at = lba + done;
      uint8_t cdb[10] = {c[0], c[1], uint8_t(at >> 24), uint8_t(at >> 16), uint8_t(at >> 8), uint8_t(at), c[6],
                         uint8_t(n >> 8), uint8_t(n), c[9]};
      const uint32_t actualBefore = cmd.scsi_Actual;
      int8_t err = SgOnce(cmd, cdb, static_cast<uint8_t*>(cmd.scsi_Data) + uint64_t(done) * ss_, n * ss_);
      cmd.scsi_Actual += actualBefore;
      if (err != 0) return err;
      done += n;
    } while (done < blocks);
    return 0;
  }

  int8_t SgOnce(SCSICmd& cmd, const uint8_t* cdb, void* data, uint32_t len) {
    uint8_t sense[252];
    sg_io_hdr_t h{};
    h.interface_id = 'S';
    h.cmd_len = uint8_t(cdb == cmd.scsi_Command ? cmd.scsi_CmdLength : (cdb[0] >= 0x20 ? 10 : 6));
    h.cmdp = const_cast<uint8_t*>(cdb);
    h.dxfer_direction = len == 0 ? SG_DXFER_NONE : (cmd.scsi_Flags & SCSIF_READ) ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    h.dxfer_len = len;
    h.dxferp = len == 0 ? nullptr : data;
    h.mx_sb_len = sizeof sense;
    h.sbp = sense;
    h.timeout = kSgTimeoutMs;
    cmd.scsi_CmdActual = cmd.scsi_CmdLength;
    if (::ioctl(fd_, SG_IO, &h) != 0)
      return errno == ENODEV || errno == ENXIO ? HFERR_SelTimeout : TDERR_NotSpecified;
    cmd.scsi_Actual = uint32_t(int64_t(len) - h.resid);
    if (h.host_status != 0) return HFERR_SelTimeout;
    if (h.status != SCSI_STATUS_GOOD) {
      cmd.scsi_Status = h.status;
      if ((cmd.scsi_Flags & SCSIF_AUTOSENSE) && cmd.scsi_SenseData) {
        const uint16_t n = uint16_t(std::min<uint32_t>(h.sb_len_wr, cmd.scsi_SenseLength));
        std::memcpy(cmd.scsi_SenseData, sense, n);
        cmd.scsi_SenseActual = n;
      }
      return HFERR_BadStatus;
    }
    if (h.driver_status != 0) return TDERR_NotSpecified;
    return 0;
  }

  int fd_;
  bool writable_;
  uint32_t ss_;
  uint64_t bytes_;
  bool sg_;
  bool ata_;  // SATA behind the kernel's SCSI-ATA translation (libata)
  uint32_t maxTransfer_;
  void* bounce_;
  FdMedium medium_;
  ScsiTarget target_;
  DriveGeometry geometry_;
  std::vector<uint16_t> commands_;
};

OpenResult Failure(std::string call, int err, std::string reason = {}) {
  OpenResult r;
  r.call = std::move(call);
  r.reason = reason.empty() ? std::strerror(err) : std::move(reason);
  r.permission = err == EACCES || err == EPERM;
  return r;
}

}  // namespace

bool LinuxBlockDevices::FindDosEntry(std::string_view partition, DosEntry& out) {
  PartitionFacts facts;
  lastReason_.clear();
  if (!ResolvePartition(partition, facts, lastReason_)) return false;
  out = facts.entry;
  return true;
}

namespace {

struct stat NodeStat(const std::string& node, bool& isBlock) {
  struct stat st {};
  isBlock = ::stat(node.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
  return st;
}

std::string Joined(const std::vector<std::string>& points) {
  std::string out;
  for (const std::string& p : points) out += (out.empty() ? "" : ", ") + p;
  return out;
}

}  // namespace

std::string LinuxBlockDevices::WriteRefusal(std::string_view device) {
  const std::string node(device);
  bool isBlock = false;
  const struct stat st = NodeStat(node, isBlock);
  if (!isBlock) return {};  // the open says what is wrong with it
  const std::vector<std::string> mounted =
      MountPointsOnUnit(ReadTextFile("/proc/self/mountinfo"), "/sys", ::major(st.st_rdev), ::minor(st.st_rdev));
  if (!mounted.empty())
    return node + " holds mounted file systems (" + Joined(mounted) +
           "); Write to Device runs only when none of that disk is mounted: run it on an unmounted disk or a "
           "spare partition (--partition /dev/NODE)";
  // Exclusive: fails while anything holds the node (a file system mounted in
  // another namespace, a device-mapper or RAID member, a partition of it).
  const int fd = ::open(node.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
  if (fd < 0 && errno == EBUSY)
    return node + " is in use (a mounted file system, a device-mapper or RAID member, or another program holds "
                  "it); Write to Device runs only on a disk nothing else uses: run it on an unmounted disk or a "
                  "spare partition (--partition /dev/NODE)";
  if (fd >= 0) ::close(fd);
  return {};
}

OpenResult LinuxBlockDevices::OpenDevice(std::string_view device, uint32_t unit, uint32_t, UnitAccess access) {
  const std::string node(device);
  if (unit != 0) return Failure("OpenDevice", ENODEV, "no unit " + std::to_string(unit) + " on " + node);
  const bool write = access == UnitAccess::kReadWrite;
  // Writing only where no file system can be changed under the test: never
  // shared with a mounted one (what it writes between the test's read and
  // its write-back would be undone), and nothing is frozen.
  if (write)
    if (std::string why = WriteRefusal(node); !why.empty()) {
      OpenResult r = Failure("open", EBUSY, why);
      r.inUse = true;
      return r;
    }
  int fd = ::open(node.c_str(), (write ? O_RDWR | O_EXCL : O_RDONLY) | O_DIRECT | O_CLOEXEC);
  if (fd < 0 && write && errno == EBUSY) {
    OpenResult r = Failure("open", EBUSY, node + " is in use; Write to Device runs only on a disk nothing else uses");
    r.inUse = true;
    return r;
  }
  if (fd < 0 && (errno == EACCES || errno == EPERM)) {
    // The node is closed to this user: udisks2 may hand out a descriptor
    // when polkit allows it (the mount table was checked above).
    const int refused = errno;
    std::string why;
    fd = OpenThroughUdisks(node, write, why);
    if (fd < 0) return Failure("open", refused, std::string(std::strerror(refused)) + ": " + node + " (" + why + ")");
  }
  if (fd < 0) return Failure("open", errno, std::string(std::strerror(errno)) + ": " + node);

  auto fail = [&](const char* call, int err, std::string reason = {}) {
    ::close(fd);
    return Failure(call, err, std::move(reason));
  };
  struct stat st;
  if (::fstat(fd, &st) != 0) return fail("fstat", errno);
  if (!S_ISBLK(st.st_mode)) return fail("fstat", ENOTBLK, node + " is not a block device");
  uint64_t bytes = 0;
  int sectorSize = 0;
  if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) return fail("BLKGETSIZE64", errno);
  if (::ioctl(fd, BLKSSZGET, &sectorSize) != 0) return fail("BLKSSZGET", errno);
  if (sectorSize < 512 || (sectorSize & (sectorSize - 1))) return fail("BLKSSZGET", EINVAL, "odd sector size");
  if (bytes == 0) return fail("BLKGETSIZE64", ENOMEDIUM);

  BlockFacts facts;
  std::string why;
  if (!DescribeBlockDevice("/sys", ::major(st.st_rdev), ::minor(st.st_rdev), facts, why)) {
    facts.vendor = "Linux";
    facts.product = "Block device";
    facts.revision = "0";
    facts.maxTransfer = 128 * 1024;
  }
  int sgVersion = 0;
  const bool sg = ::ioctl(fd, SG_GET_VERSION_NUM, &sgVersion) == 0 && sgVersion >= 30000;

  const uint32_t align = std::max<uint32_t>(uint32_t(sectorSize), facts.dmaAlignment + 1);
  void* bounce = nullptr;
  if (::posix_memalign(&bounce, std::max<uint32_t>(align, 4096), kBounceSize) != 0) return fail("posix_memalign", ENOMEM);

  OpenResult r;
  r.unit = std::make_unique<LinuxBlockUnit>(fd, write, uint32_t(sectorSize), bytes, facts, sg, bounce, align);
  r.error = 0;
  return r;
}

}  // namespace kr
