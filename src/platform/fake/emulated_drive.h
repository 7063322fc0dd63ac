// An emulated drive for tests: a disk-image file presented as a device with a
// chosen geometry, NSD answer and SCSI target, with errors injected at chosen
// requests and every request logged.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/blockdev.h"
#include "platform/scsi_target.h"

namespace kr {

enum class NsdAnswer { kNone, kTd64, kEtd64, kBoth, kNoCommands };

struct EmulatedDriveConfig {
  uint32_t sectorSize = 512;
  uint32_t heads = 4;
  uint32_t trackSectors = 32;  // cylinders follow from the image size
  bool rejectGeometry = false;  // TD_GETGEOMETRY fails
  NsdAnswer nsd = NsdAnswer::kBoth;  // kNone: the query is an unknown command
  uint32_t nsdActual = kDeviceQuerySize;  // io_Actual the query answers with
  uint32_t nsdSizeAvailable = kDeviceQuerySize;
  uint16_t nsdDeviceType = NSDEVTYPE_TRACKDISK;
  bool scsi = true;  // takes HD_SCSICMD
  uint8_t responseFormat = 2;
  uint8_t ansiVersion = 2;
  bool removable = false;
  std::string vendor = "KELVA", product = "Emulated Disk", revision = "1.0";
  bool startStop = true;  // accepts START STOP UNIT and CMD_STOP/CMD_START
  bool failOpen = false;
  bool refusePermission = false;  // the open fails as a refused permission
};

// An error at chosen requests: the first `skip` matching requests pass, the
// next `times` fail. For HD_SCSICMD the command ends with CHECK CONDITION and
// `sense` unless `error` names another io_Error.
struct EmulatedFault {
  uint16_t command = HD_SCSICMD;
  int opcode = -1;  // HD_SCSICMD only: the operation code that fails, -1 any
  uint32_t skip = 0;
  uint32_t times = 0xFFFFFFFFu;
  int8_t error = 0;  // 0: TDERR_NotSpecified, or HFERR_BadStatus for SCSI
  Sense sense = kSenseReadError;
};

// One request as the drive saw it.
struct EmulatedRequest {
  uint16_t command = 0;
  int opcode = -1;      // HD_SCSICMD: the operation code
  uint64_t offset = 0;  // byte offset of a transfer or seek
  uint32_t length = 0;  // bytes asked for
  int8_t error = 0;
};

class EmulatedDrive {
 public:
  // Opens the image for reading and writing; ok() says whether it could.
  EmulatedDrive(const std::string& image, EmulatedDriveConfig config = {});
  ~EmulatedDrive();
  EmulatedDrive(const EmulatedDrive&) = delete;
  EmulatedDrive& operator=(const EmulatedDrive&) = delete;

  bool ok() const { return fd_ >= 0; }
  EmulatedDriveConfig& config() { return config_; }
  void AddFault(const EmulatedFault& f) { faults_.push_back({f, 0}); }
  void ClearFaults() { faults_.clear(); }
  const std::vector<EmulatedRequest>& log() const { return log_; }
  void ClearLog() { log_.clear(); }
  bool stopped() const { return stopped_; }
  uint64_t bytes() const { return bytes_; }
  int openUnits() const { return openUnits_; }
  UnitAccess lastAccess() const { return lastAccess_; }

  // The unit side (EmulatedDevices opens units on a drive).
  int8_t DoIO(IoRequest& io, bool writable);
  void Opened(UnitAccess a) {
    ++openUnits_;
    lastAccess_ = a;
  }
  void Closed() { --openUnits_; }

 private:
  friend class ImageMedium;
  int8_t Run(IoRequest& io, bool writable, EmulatedRequest& rec);
  int8_t Transfer(IoRequest& io, uint64_t offset, int op, bool writable, EmulatedRequest& rec);
  const EmulatedFault* Strike(const EmulatedRequest& rec);

  EmulatedDriveConfig config_;
  int fd_ = -1;
  uint64_t bytes_ = 0;
  bool stopped_ = false;
  int openUnits_ = 0;
  UnitAccess lastAccess_ = UnitAccess::kRead;
  std::vector<std::pair<EmulatedFault, uint32_t>> faults_;  // with the matches seen so far
  std::vector<EmulatedRequest> log_;
  std::vector<uint16_t> commands_;
};

// A DOS device list and device names over emulated drives.
class EmulatedDevices : public BlockDevices {
 public:
  void AddPartition(const std::string& name, const DosEntry& entry) { partitions_[name] = entry; }
  void AddDrive(const std::string& device, uint32_t unit, EmulatedDrive& drive) { drives_[{device, unit}] = &drive; }

  bool FindDosEntry(std::string_view partition, DosEntry& out) override;
  OpenResult OpenDevice(std::string_view device, uint32_t unit, uint32_t flags, UnitAccess access) override;

 private:
  std::map<std::string, DosEntry> partitions_;
  std::map<std::pair<std::string, uint32_t>, EmulatedDrive*> drives_;
};

// An environment over a drive's geometry: the whole image as one partition.
DosEnvec EmulatedEnvironment(const EmulatedDriveConfig& c, uint64_t imageBytes, uint32_t dosType);

}  // namespace kr
