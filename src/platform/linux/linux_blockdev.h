// The block device on Linux: partitions resolve through the mount table and
// sysfs (linux_partition.h); a unit is the partition's disk node.
//
// A unit answers like a device driver: TD_GETGEOMETRY from the kernel
// (synthesised 64 heads x 32 sectors when the kernel has no geometry), the NSD
// query with the TD64 and ETD64 command sets, 64-bit read/write/seek as
// pread/pwrite with O_DIRECT at the byte offset, HD_SCSICMD through SG_IO where
// the device takes SCSI commands and otherwise answered by the platform
// (INQUIRY from sysfs; READ/WRITE/SEEK/SYNCHRONIZE CACHE(10) and TEST UNIT
// READY as the same file operations), CMD_STOP/CMD_START as START STOP UNIT
// where the device takes SCSI commands and IOERR_NOCMD otherwise.
//
// A unit is opened read-only unless writing is asked for; for writing only
// when no file system sharing its blocks is mounted, and then exclusively
// (nothing else may hold it). No file system is ever frozen. No request
// reaches past the device's end.
#pragma once

#include <string>

#include "platform/blockdev.h"

namespace kr {

class LinuxBlockDevices : public BlockDevices {
 public:
  bool FindDosEntry(std::string_view partition, DosEntry& out) override;
  OpenResult OpenDevice(std::string_view device, uint32_t unit, uint32_t flags, UnitAccess access) override;

  std::string WriteRefusal(std::string_view device) override;

  // Why the last FindDosEntry failed ("not on a block device", ...).
  const std::string& lastReason() const { return lastReason_; }

 private:
  std::string lastReason_;
};

struct BlockFacts;
// A disk behind the kernel's SCSI-ATA translation (SATA through libata, whose
// vendor field reads "ATA"): it answers SEEK(10) without seeking, so Direct-SCSI
// seeks go to it as one-sector reads, as they do on devices without pass-through.
bool IsAtaBacked(const BlockFacts& facts);

// What a user is told when the device node may not be opened.
constexpr const char* kDevicePermissionHint = "run as root or join the disk group";

}  // namespace kr
