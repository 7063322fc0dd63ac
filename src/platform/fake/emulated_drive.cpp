#include "platform/fake/emulated_drive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/exec.h"

namespace kr {

class ImageMedium : public SectorMedium {
 public:
  ImageMedium(EmulatedDrive& d, bool writable) : d_(d), writable_(writable) {}
  uint32_t SectorSize() const override { return d_.config_.sectorSize; }
  uint64_t Sectors() const override { return d_.bytes_ / d_.config_.sectorSize; }
  bool Writable() const override { return writable_; }
  int Read(uint64_t offset, void* buf, uint32_t len) override {
    return ::pread(d_.fd_, buf, len, off_t(offset)) == ssize_t(len) ? 0 : EIO;
  }
  int Write(uint64_t offset, const void* buf, uint32_t len) override {
    return ::pwrite(d_.fd_, buf, len, off_t(offset)) == ssize_t(len) ? 0 : EIO;
  }
  int Seek(uint64_t) override { return 0; }
  int Sync() override { return ::fdatasync(d_.fd_) == 0 ? 0 : errno; }
  int Ready() override { return d_.stopped_ ? EAGAIN : 0; }
  int StartStop(bool start) override {
    if (!d_.config_.startStop) return ENOTSUP;
    d_.stopped_ = !start;
    return 0;
  }

 private:
  EmulatedDrive& d_;
  bool writable_;
};

namespace {

enum { kRead, kWrite, kSeek };

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

}  // namespace

EmulatedDrive::EmulatedDrive(const std::string& image, EmulatedDriveConfig config) : config_(std::move(config)) {
  fd_ = ::open(image.c_str(), O_RDWR | O_CLOEXEC);
  struct stat st;
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0) bytes_ = uint64_t(st.st_size);
}

EmulatedDrive::~EmulatedDrive() {
  if (fd_ >= 0) ::close(fd_);
}

const EmulatedFault* EmulatedDrive::Strike(const EmulatedRequest& rec) {
  for (auto& [f, seen] : faults_) {
    if (f.command != rec.command) continue;
    if (rec.command == HD_SCSICMD && f.opcode >= 0 && f.opcode != rec.opcode) continue;
    const uint32_t n = seen++;
    if (n >= f.skip && n - f.skip < f.times) return &f;
  }
  return nullptr;
}

int8_t EmulatedDrive::DoIO(IoRequest& io, bool writable) {
  EmulatedRequest rec;
  rec.command = io.io_Command;
  rec.length = io.io_Length;
  switch (io.io_Command) {
    case NSCMD_TD_READ64: case NSCMD_TD_WRITE64: case NSCMD_TD_SEEK64:
    case NSCMD_ETD_READ64: case NSCMD_ETD_WRITE64: case NSCMD_ETD_SEEK64:
      rec.offset = Offset64(io);
      break;
    case CMD_READ: case CMD_WRITE:
      rec.offset = io.io_Offset;
      break;
    case HD_SCSICMD:
      if (io.io_Data) {
        const SCSICmd& c = *static_cast<const SCSICmd*>(io.io_Data);
        if (c.scsi_Command && c.scsi_CmdLength > 0) {
          rec.opcode = c.scsi_Command[0];
          if (c.scsi_CmdLength >= 10 && rec.opcode >= 0x20) {
            rec.offset = uint64_t(Be32(c.scsi_Command + 2)) * config_.sectorSize;
            rec.length = uint32_t(Be16(c.scsi_Command + 7)) * config_.sectorSize;
          } else {
            rec.length = c.scsi_Length;
          }
        }
      }
      break;
    default:
      break;
  }
  if (const EmulatedFault* f = Strike(rec)) {
    io.io_Actual = 0;
    if (io.io_Command == HD_SCSICMD && io.io_Data && (f->error == 0 || f->error == HFERR_BadStatus))
      io.io_Error = CheckCondition(*static_cast<SCSICmd*>(io.io_Data), f->sense);
    else
      io.io_Error = f->error != 0 ? f->error : int8_t(TDERR_NotSpecified);
  } else {
    io.io_Error = Run(io, writable, rec);
  }
  rec.error = io.io_Error;
  log_.push_back(rec);
  return io.io_Error;
}

int8_t EmulatedDrive::Transfer(IoRequest& io, uint64_t offset, int op, bool writable, EmulatedRequest&) {
  const uint32_t ss = config_.sectorSize;
  const uint32_t len = op == kSeek ? 0 : io.io_Length;
  io.io_Actual = 0;
  if (offset % ss != 0) return IOERR_BADADDRESS;
  if (len % ss != 0) return IOERR_BADLENGTH;
  if (len > 0 && !io.io_Data) return IOERR_BADADDRESS;
  if (offset > bytes_ || len > bytes_ - offset || (op == kSeek && offset >= bytes_)) return IOERR_BADADDRESS;
  if (op == kWrite && !writable) return TDERR_WriteProt;
  ImageMedium m(*this, writable);
  int err = op == kRead ? m.Read(offset, io.io_Data, len) : op == kWrite ? m.Write(offset, io.io_Data, len) : 0;
  if (err != 0) return TDERR_NotSpecified;
  io.io_Actual = len;
  return 0;
}

int8_t EmulatedDrive::Run(IoRequest& io, bool writable, EmulatedRequest& rec) {
  switch (io.io_Command) {
    case TD_GETGEOMETRY: {
      if (config_.rejectGeometry) return IOERR_NOCMD;
      if (io.io_Length < kDriveGeometrySize || !io.io_Data) return IOERR_BADLENGTH;
      DriveGeometry g;
      g.dg_SectorSize = config_.sectorSize;
      g.dg_TotalSectors = uint32_t(std::min<uint64_t>(bytes_ / config_.sectorSize, 0xFFFFFFFFu));
      g.dg_Heads = config_.heads;
      g.dg_TrackSectors = config_.trackSectors;
      g.dg_CylSectors = config_.heads * config_.trackSectors;
      g.dg_Cylinders = g.dg_CylSectors ? g.dg_TotalSectors / g.dg_CylSectors : 0;
      g.dg_BufMemType = MEMF_PUBLIC;
      g.dg_DeviceType = DG_DIRECT_ACCESS;
      g.dg_Flags = config_.removable ? DGF_REMOVABLE : 0;
      *static_cast<DriveGeometry*>(io.io_Data) = g;
      io.io_Actual = kDriveGeometrySize;
      return 0;
    }
    case NSCMD_DEVICEQUERY: {
      if (config_.nsd == NsdAnswer::kNone) return IOERR_NOCMD;
      if (io.io_Length < kDeviceQuerySize || !io.io_Data) return IOERR_BADLENGTH;
      commands_ = {CMD_READ, CMD_WRITE, TD_GETGEOMETRY, NSCMD_DEVICEQUERY};
      if (config_.scsi) commands_.push_back(HD_SCSICMD);
      if (config_.startStop) commands_.insert(commands_.end(), {CMD_STOP, CMD_START});
      if (config_.nsd == NsdAnswer::kTd64 || config_.nsd == NsdAnswer::kBoth)
        commands_.insert(commands_.end(), {NSCMD_TD_READ64, NSCMD_TD_WRITE64, NSCMD_TD_SEEK64});
      if (config_.nsd == NsdAnswer::kEtd64 || config_.nsd == NsdAnswer::kBoth)
        commands_.insert(commands_.end(), {NSCMD_ETD_READ64, NSCMD_ETD_WRITE64, NSCMD_ETD_SEEK64});
      if (config_.nsd == NsdAnswer::kNoCommands) commands_.clear();
      commands_.push_back(0);
      auto* q = static_cast<NSDeviceQueryResult*>(io.io_Data);
      q->DevQueryFormat = 0;
      q->SizeAvailable = config_.nsdSizeAvailable;
      q->DeviceType = config_.nsdDeviceType;
      q->DeviceSubType = 0;
      q->SupportedCommands = commands_.data();
      io.io_Actual = config_.nsdActual;
      return 0;
    }
    case CMD_READ:
      return Transfer(io, io.io_Offset, kRead, writable, rec);
    case CMD_WRITE:
      return Transfer(io, io.io_Offset, kWrite, writable, rec);
    case NSCMD_TD_READ64:
    case NSCMD_ETD_READ64:
    case NSCMD_TD_WRITE64:
    case NSCMD_ETD_WRITE64:
    case NSCMD_TD_SEEK64:
    case NSCMD_ETD_SEEK64: {
      const bool etd = io.io_Command >= NSCMD_ETD_READ64;
      if (config_.nsd == NsdAnswer::kNone || config_.nsd == NsdAnswer::kNoCommands ||
          (etd && config_.nsd == NsdAnswer::kTd64) || (!etd && config_.nsd == NsdAnswer::kEtd64))
        return IOERR_NOCMD;
      const int op = (io.io_Command & 0xFF) == 0 ? kRead : (io.io_Command & 0xFF) == 1 ? kWrite : kSeek;
      return Transfer(io, Offset64(io), op, writable, rec);
    }
    case CMD_STOP:
    case CMD_START:
      io.io_Actual = 0;
      if (!config_.startStop) return IOERR_NOCMD;
      stopped_ = io.io_Command == CMD_STOP;
      return 0;
    case HD_SCSICMD: {
      if (!config_.scsi) return IOERR_NOCMD;
      if (!io.io_Data) return IOERR_BADLENGTH;
      io.io_Actual = kSCSICmdSize;
      ImageMedium m(*this, writable);
      ScsiTarget t(m, MakeInquiry(config_.vendor, config_.product, config_.revision, config_.responseFormat,
                                  config_.ansiVersion, config_.removable));
      return t.Execute(*static_cast<SCSICmd*>(io.io_Data));
    }
    default:
      return IOERR_NOCMD;
  }
}

namespace {
class EmulatedUnit : public BlockUnit {
 public:
  EmulatedUnit(EmulatedDrive& d, UnitAccess a) : d_(d), writable_(a == UnitAccess::kReadWrite) { d_.Opened(a); }
  ~EmulatedUnit() override { d_.Closed(); }
  int8_t DoIO(IoRequest& io) override { return d_.DoIO(io, writable_); }

 private:
  EmulatedDrive& d_;
  bool writable_;
};
}  // namespace

bool EmulatedDevices::FindDosEntry(std::string_view partition, DosEntry& out) {
  auto it = partitions_.find(std::string(partition));
  if (it == partitions_.end()) return false;
  out = it->second;
  return true;
}

OpenResult EmulatedDevices::OpenDevice(std::string_view device, uint32_t unit, uint32_t, UnitAccess access) {
  OpenResult r;
  auto it = drives_.find({std::string(device), unit});
  if (it == drives_.end() || !it->second->ok() || it->second->config().failOpen) {
    r.call = "OpenDevice";
    r.reason = "no such unit";
    return r;
  }
  if (it->second->config().refusePermission) {
    r.call = "open";
    r.reason = "Permission denied";
    r.permission = true;
    return r;
  }
  r.unit = std::make_unique<EmulatedUnit>(*it->second, access);
  r.error = 0;
  return r;
}

DosEnvec EmulatedEnvironment(const EmulatedDriveConfig& c, uint64_t imageBytes, uint32_t dosType) {
  DosEnvec e;
  const uint64_t cyl = uint64_t(c.heads) * c.trackSectors;
  const uint64_t cylinders = cyl ? imageBytes / c.sectorSize / cyl : 0;
  e.de_TableSize = 19;
  e.de_SizeBlock = c.sectorSize / 4;
  e.de_Surfaces = c.heads;
  e.de_BlocksPerTrack = c.trackSectors;
  e.de_LowCyl = 0;
  e.de_HighCyl = uint32_t(cylinders > 0 ? cylinders - 1 : 0);
  e.de_BufMemType = MEMF_PUBLIC;
  e.de_MaxTransfer = 0x00FFFFFF;
  e.de_Mask = 0x7FFFFFFE;
  e.de_DosType = dosType;
  return e;
}

}  // namespace kr
