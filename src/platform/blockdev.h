// The block device behind a partition, as the drive section talks to it: the
// DOS device list (partition name -> startup message and environment) and an
// opened unit that answers I/O requests the way a device driver does.
//
// A request carries a command code and the standard request fields; DoIO runs
// it to completion and returns io_Error (0 on success). 64-bit transfers put
// the high 32 bits of the byte offset in io_Actual and the low 32 bits in
// io_Offset; on return io_Actual holds the bytes transferred.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kr {

// Command codes.
enum : uint16_t {
  CMD_READ = 2,
  CMD_WRITE = 3,
  CMD_UPDATE = 4,
  CMD_STOP = 6,
  CMD_START = 7,
  TD_GETGEOMETRY = 22,
  HD_SCSICMD = 28,
  NSCMD_DEVICEQUERY = 0x4000,
  NSCMD_TD_READ64 = 0xC000,
  NSCMD_TD_WRITE64 = 0xC001,
  NSCMD_TD_SEEK64 = 0xC002,
  NSCMD_ETD_READ64 = 0xE000,
  NSCMD_ETD_WRITE64 = 0xE001,
  NSCMD_ETD_SEEK64 = 0xE002,
};

// io_Error values a unit answers with.
enum : int8_t {
  IOERR_OPENFAIL = -1,    // the unit could not be opened
  IOERR_NOCMD = -3,       // the unit does not take this command
  IOERR_BADLENGTH = -4,   // length not a whole number of sectors, or too short a record
  IOERR_BADADDRESS = -5,  // offset not sector-aligned or beyond the end of the device
  TDERR_NotSpecified = 20,  // the transfer failed (the host's I/O error)
  TDERR_WriteProt = 28,     // a write on a unit opened for reading only
  TDERR_NoMem = 31,
  HFERR_SelTimeout = 44,  // the device is gone
  HFERR_BadStatus = 45,   // the SCSI command ended with a non-good status (sense data filled)
};

// The standard I/O request, reduced to the fields the drive section uses.
struct IoRequest {
  uint16_t io_Command = 0;
  uint8_t io_Flags = 0;
  int8_t io_Error = 0;
  uint32_t io_Actual = 0;
  uint32_t io_Length = 0;
  void* io_Data = nullptr;
  uint32_t io_Offset = 0;
};

// TD_GETGEOMETRY answer (32 bytes on the host).
struct DriveGeometry {
  uint32_t dg_SectorSize = 0;
  uint32_t dg_TotalSectors = 0;
  uint32_t dg_Cylinders = 0;
  uint32_t dg_CylSectors = 0;
  uint32_t dg_Heads = 0;
  uint32_t dg_TrackSectors = 0;
  uint32_t dg_BufMemType = 0;
  uint8_t dg_DeviceType = 0;
  uint8_t dg_Flags = 0;
  uint16_t dg_Reserved = 0;
};
constexpr uint32_t kDriveGeometrySize = 32;  // io_Length of TD_GETGEOMETRY
constexpr uint8_t DG_DIRECT_ACCESS = 0;
constexpr uint8_t DGF_REMOVABLE = 1;

// NSCMD_DEVICEQUERY answer. SupportedCommands is a zero-terminated list owned
// by the unit, valid while it is open.
struct NSDeviceQueryResult {
  uint32_t DevQueryFormat = 0;
  uint32_t SizeAvailable = 0;
  uint16_t DeviceType = 0;
  uint16_t DeviceSubType = 0;
  const uint16_t* SupportedCommands = nullptr;
};
constexpr uint32_t kDeviceQuerySize = 16;  // the record's size on the host: the only right answer
constexpr uint16_t NSDEVTYPE_TRACKDISK = 5;

// HD_SCSICMD block: one command descriptor block, its data and sense buffers.
struct SCSICmd {
  void* scsi_Data = nullptr;
  uint32_t scsi_Length = 0;
  uint32_t scsi_Actual = 0;
  const uint8_t* scsi_Command = nullptr;
  uint16_t scsi_CmdLength = 0;
  uint16_t scsi_CmdActual = 0;
  uint8_t scsi_Flags = 0;
  uint8_t scsi_Status = 0;
  uint8_t* scsi_SenseData = nullptr;
  uint16_t scsi_SenseLength = 0;
  uint16_t scsi_SenseActual = 0;
};
constexpr uint32_t kSCSICmdSize = 30;  // io_Length of HD_SCSICMD
enum : uint8_t { SCSIF_WRITE = 0, SCSIF_READ = 1, SCSIF_AUTOSENSE = 2 };

// An opened unit. One request at a time; the unit is closed when destroyed.
class BlockUnit {
 public:
  virtual ~BlockUnit() = default;
  virtual int8_t DoIO(IoRequest& io) = 0;
};

// How a unit is opened: for reading only unless a write test runs.
enum class UnitAccess { kRead, kReadWrite };

struct OpenResult {
  std::unique_ptr<BlockUnit> unit;  // null on failure
  int8_t error = IOERR_OPENFAIL;
  std::string call;    // the failing host call, e.g. "open"
  std::string reason;  // the host's reason, for a message to the user
  bool permission = false;  // the failure was a refused permission
  bool inUse = false;       // refused for writing: a mounted file system or another holder has the device
};

// The environment of a partition, as the DOS device list holds it.
struct DosEnvec {
  uint32_t de_TableSize = 0;
  uint32_t de_SizeBlock = 0;  // in long words
  uint32_t de_Surfaces = 0;
  uint32_t de_BlocksPerTrack = 0;
  uint32_t de_Reserved = 0;
  uint32_t de_PreAlloc = 0;
  uint32_t de_Interleave = 0;
  uint32_t de_LowCyl = 0;
  uint32_t de_HighCyl = 0;
  uint32_t de_NumBuffers = 0;
  uint32_t de_BufMemType = 0;
  uint32_t de_MaxTransfer = 0;
  uint32_t de_Mask = 0;
  int32_t de_BootPri = 0;
  uint32_t de_DosType = 0;
  uint32_t de_BootBlocks = 0;
};

// A partition's entry in the DOS device list.
struct DosEntry {
  bool hasStartup = false;  // a startup message exists
  std::string fssm_Device;  // the device name to open
  uint32_t fssm_Unit = 0;
  uint32_t fssm_Flags = 0;
  bool hasEnvironment = false;
  DosEnvec environment;
  bool rawDevice = false;  // the name is the device node itself: no file system to test
};

class BlockDevices {
 public:
  virtual ~BlockDevices() = default;
  // The DOS device list entry of a partition name; false when none exists.
  virtual bool FindDosEntry(std::string_view partition, DosEntry& out) = 0;
  // OpenDevice for a device name of a startup message.
  virtual OpenResult OpenDevice(std::string_view device, uint32_t unit, uint32_t flags, UnitAccess access) = 0;
  // Why the device may not be opened for writing now (one line naming the
  // device, what holds it and how to run the write test instead); empty
  // when it may.
  virtual std::string WriteRefusal(std::string_view) { return {}; }
};

// The 64-bit byte offset of an NSD request.
inline uint64_t Offset64(const IoRequest& io) { return (uint64_t(io.io_Actual) << 32) | io.io_Offset; }
inline void SetOffset64(IoRequest& io, uint64_t offset) {
  io.io_Actual = uint32_t(offset >> 32);
  io.io_Offset = uint32_t(offset);
}

}  // namespace kr
