#include "bench/drive/drive_access.h"

#include <cstring>
#include <new>
#include <string>

#include "engine/context.h"
#include "engine/errorlog.h"
#include "report/report.h"
#include "records/settings_record.h"

namespace kr {
namespace {

constexpr std::string_view kDrive = "DRIVE";
constexpr std::string_view kUnknown = "Unknown";
constexpr std::string_view kWaringTitle = "\033bWARING\033n";
constexpr std::string_view kWarningTitle = "\033bWARNING\033n";

static_assert(sizeof(DriveGeometry) == kDriveGeometrySize, "the geometry record is 32 bytes");

uint32_t& Q(DriveInfo& d, int n) { return d.inquiry[n - 36]; }

void PutText(char (&field)[64], std::string_view text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// A bounded copy of n bytes (stopping at a NUL) into a field zeroed first.
void CopyBytes(char (&field)[64], const uint8_t* src, size_t n) {
  std::memset(field, 0, sizeof field);
  for (size_t i = 0; i < n && i < sizeof field - 1 && src[i]; ++i) field[i] = char(src[i]);
}

// Buffers a device reaches: chip memory on a host that has it, else any.
uint32_t DeviceMemory(const Context& ctx) { return ctx.run.noChipMemory ? MEMF_PUBLIC : MEMF_CHIP; }

void DecodeInquiry(DriveInfo& d, const uint8_t* b) {
  Q(d, 36) = b[0] >> 5;
  Q(d, 37) = b[0] & 0x1F;
  Q(d, 38) = b[1] >> 7;
  Q(d, 39) = b[1] & 0x7F;
  Q(d, 40) = b[2] >> 6;
  Q(d, 41) = (b[2] >> 3) & 0x07;
  Q(d, 42) = b[2] & 0x07;
  Q(d, 43) = b[3] >> 7;
  Q(d, 44) = (b[3] >> 6) & 1;
  Q(d, 45) = b[3] & 0x0F;
  Q(d, 46) = b[4];
  Q(d, 47) = b[7] >> 7;
  Q(d, 48) = (b[7] >> 5) & 1;
  Q(d, 49) = (b[7] >> 6) & 1;
  Q(d, 50) = (b[7] >> 4) & 1;
  Q(d, 51) = (b[7] >> 3) & 1;
  Q(d, 52) = (b[7] >> 1) & 1;
  Q(d, 53) = b[7] & 1;
  CopyBytes(d.vendor, b + 8, 8);
  CopyBytes(d.product, b + 16, 16);
  CopyBytes(d.revision, b + 32, 4);
  CopyBytes(d.vendorSpecific, b + 36, 20);
  CopyBytes(d.furtherInquiry, b + 56, 35);
}

}  // namespace

uint32_t FreeSpaceBase(int32_t thousands) {
  switch (thousands) {
    case 1: return 32974468;
    case 2: return 65762020;
    case 3: return 99098806;
    default: return 0;
  }
}

bool OpenDeviceConnection(Context& ctx, UnitAccess access) {
  DeviceConnection& c = ctx.drive.connection;
  CloseDeviceConnection(ctx);
  const uint32_t mem = DeviceMemory(ctx) | MEMF_CLEAR;
  c.inquiry = static_cast<uint8_t*>(ctx.exec.AllocVec(kInquiryBufferSize, mem));
  if (c.inquiry) c.sense = static_cast<uint8_t*>(ctx.exec.AllocVec(kSenseBufferSize, mem));
  if (!c.inquiry || !c.sense) {
    LogError(ctx, kDrive, "AllocVec", "Could not get buffer for scsi-sence data");
    CloseDeviceConnection(ctx);
    return false;
  }
  // The host has no message ports: the request record lives in the connection.
  OpenResult r;
  if (ctx.drive.devices)
    r = ctx.drive.devices->OpenDevice(ctx.driveInfo.deviceName, ctx.driveInfo.field(drive_field::kUnit),
                                      ctx.driveInfo.field(drive_field::kDeviceFlags), access);
  else
    r.reason = "no block devices";
  ctx.drive.openRefused = r.permission;
  ctx.drive.openFailure = r.unit ? std::string() : r.reason;
  if (!r.unit || r.error != 0) {
    // A device refused for writing says why (which file systems hold it).
    LogError(ctx, kDrive, "OpenDevice", r.inUse ? r.reason : std::string("Could not open your selected device"));
    CloseDeviceConnection(ctx);
    return false;
  }
  c.unit = std::move(r.unit);
  c.io = IoRequest{};
  c.scsi = SCSICmd{};
  return true;
}

void CloseDeviceConnection(Context& ctx) {
  DeviceConnection& c = ctx.drive.connection;
  c.unit.reset();
  if (c.sense) ctx.exec.FreeVec(c.sense);
  if (c.inquiry) ctx.exec.FreeVec(c.inquiry);
  c.sense = c.inquiry = nullptr;
}

int8_t SendScsiCommand(Context& ctx, void* data, uint32_t length, const uint8_t* cdb, uint16_t cdbLength,
                       uint8_t flags) {
  DeviceConnection& c = ctx.drive.connection;
  if (!c.open()) return IOERR_OPENFAIL;
  c.scsi.scsi_Data = data;
  c.scsi.scsi_Length = length;
  c.scsi.scsi_Actual = 0;
  c.scsi.scsi_Command = cdb;
  c.scsi.scsi_CmdLength = cdbLength;
  c.scsi.scsi_Flags = flags;
  c.scsi.scsi_SenseData = c.sense;
  c.scsi.scsi_SenseLength = uint16_t(kSenseBufferSize);
  c.scsi.scsi_SenseActual = 0;
  c.io.io_Command = HD_SCSICMD;
  c.io.io_Length = kSCSICmdSize;
  c.io.io_Data = &c.scsi;
  return c.unit->DoIO(c.io);
}

int8_t SendNsdCommand(Context& ctx, uint16_t command, uint8_t ioFlags, uint32_t length, void* data,
                      uint32_t offsetHigh, uint32_t offsetLow) {
  DeviceConnection& c = ctx.drive.connection;
  if (!c.open()) return IOERR_OPENFAIL;
  c.io.io_Command = command;
  c.io.io_Flags = ioFlags;
  c.io.io_Length = length;
  c.io.io_Data = data;
  c.io.io_Actual = offsetHigh;
  c.io.io_Offset = offsetLow;
  return c.unit->DoIO(c.io);
}

bool GetHighlevelInfo(Context& ctx, std::string_view partition) {
  DriveInfo& d = ctx.driveInfo;
  d.field(drive_field::kHighlevelValid) = 0;
  DosEntry e;
  if (!ctx.drive.devices || !ctx.drive.devices->FindDosEntry(partition, e)) {
    LogError(ctx, kDrive, "GetHighlevelInfo", "No device with this name exists");
    return false;
  }
  if (!e.hasStartup) {
    LogError(ctx, kDrive, "GetHighlevelInfo", "Internal error 51");
    return false;
  }
  d.field(drive_field::kUnit) = e.fssm_Unit;
  d.field(drive_field::kDeviceFlags) = e.fssm_Flags;
  ctx.drive.rawDevice = e.rawDevice;
  PutText(d.deviceName, e.fssm_Device);
  PutText(d.partitionName, partition);
  if (!e.hasEnvironment) {
    LogError(ctx, kDrive, "GetHighlevelInfo", "Internal error 50");
    return false;
  }
  const DosEnvec& v = e.environment;
  d.field(drive_field::kDosType) = v.de_DosType;
  d.field(drive_field::kLowCyl) = v.de_LowCyl;
  d.field(drive_field::kHighCyl) = v.de_HighCyl;
  d.field(drive_field::kBlockSize) = v.de_SizeBlock * 4;
  d.field(drive_field::kBlocksPerTrack) = v.de_BlocksPerTrack;
  d.field(drive_field::kSurfaces) = v.de_Surfaces;
  d.field(drive_field::kMaxTransfer) = v.de_MaxTransfer;
  d.field(drive_field::kMask) = v.de_Mask;
  d.field(drive_field::kNumBuffers) = v.de_NumBuffers;
  d.field(drive_field::kBufMemType) = v.de_BufMemType;
  d.field(drive_field::kInterleave) = v.de_Interleave;
  d.field(drive_field::kTableSize) = v.de_TableSize;
  d.field(drive_field::kReserved) = v.de_Reserved;
  d.field(drive_field::kPreAlloc) = v.de_PreAlloc;
  d.field(drive_field::kBootBlocks) = v.de_BootBlocks;
  d.field(drive_field::kBootPri) = uint32_t(v.de_BootPri);
  d.field(drive_field::kHighlevelValid) = 1;
  return true;
}

bool GetLowlevelInfo(Context& ctx) {
  DriveInfo& d = ctx.driveInfo;
  d.field(drive_field::kLowlevelValid) = 0;
  if (!OpenDeviceConnection(ctx)) return false;
  void* mem = ctx.exec.AllocVec(sizeof(DriveGeometry), DeviceMemory(ctx));
  if (!mem) {
    LogError(ctx, kDrive, "DeviceInfo", "Could not get memory for DriveGeometry");
    CloseDeviceConnection(ctx);
    return false;
  }
  auto* g = new (mem) DriveGeometry{};
  const int8_t err = SendNsdCommand(ctx, TD_GETGEOMETRY, 0, kDriveGeometrySize, g, 0, 0);
  if (err != 0) {
    LogError(ctx, kDrive, "GetLowlevelInfo", "Could not get DriveGeometry");
  } else {
    d.field(drive_field::kSectorSize) = g->dg_SectorSize;
    d.field(drive_field::kTotalSectors) = g->dg_TotalSectors;
    d.field(drive_field::kCylinders) = g->dg_Cylinders;
    d.field(drive_field::kCylSectors) = g->dg_CylSectors;
    d.field(drive_field::kTrackSectors) = g->dg_TrackSectors;
    d.field(drive_field::kHeads) = g->dg_Heads;
    d.field(drive_field::kDeviceType) = g->dg_DeviceType;
    d.field(drive_field::kGeoBufMemType) = g->dg_BufMemType;
    d.field(drive_field::kGeoFlags) = g->dg_Flags;
    d.field(drive_field::kLowlevelValid) = 1;
  }
  ctx.exec.FreeVec(mem);
  CloseDeviceConnection(ctx);
  return err == 0;
}

bool Inquiry(Context& ctx) {
  if (!OpenDeviceConnection(ctx)) return false;
  static constexpr uint8_t kInquiry[6] = {0x12, 0x00, 0x00, 0x00, 252, 0x00};
  const int8_t err = SendScsiCommand(ctx, ctx.drive.connection.inquiry, kInquiryBufferSize, kInquiry, 6,
                                     SCSIF_READ | SCSIF_AUTOSENSE);
  if (err == 0)
    DecodeInquiry(ctx.driveInfo, ctx.drive.connection.inquiry);
  else
    LogError(ctx, kDrive, "Inquiry", "Error inquiry scsi-devcie");
  CloseDeviceConnection(ctx);
  return err == 0;
}

void NsdQuery(Context& ctx) {
  DriveInfo& d = ctx.driveInfo;
  d.field(drive_field::kNsd) = d.field(drive_field::kTd64) = d.field(drive_field::kEtd64) = d.field(drive_field::kCmd64) = 0;
  if (!OpenDeviceConnection(ctx)) return;
  NSDeviceQueryResult q;
  q.DevQueryFormat = 0;
  q.SizeAvailable = 0;
  const int8_t err = SendNsdCommand(ctx, NSCMD_DEVICEQUERY, 0, kDeviceQuerySize, &q, 0, 0);
  const uint32_t actual = ctx.drive.connection.io.io_Actual;
  if (err == 0 && actual == kDeviceQuerySize && q.SizeAvailable == actual) {
    d.field(drive_field::kNsd) = 1;
    if (q.DeviceType == NSDEVTYPE_TRACKDISK && q.SupportedCommands)
      for (const uint16_t* c = q.SupportedCommands; *c; ++c) {
        if (*c == NSCMD_TD_READ64) d.field(drive_field::kTd64) = 1;
        if (*c == NSCMD_ETD_READ64) d.field(drive_field::kEtd64) = 1;
      }
  }
  if (d.field(drive_field::kTd64) || d.field(drive_field::kEtd64)) d.field(drive_field::kCmd64) = 1;
  DriveState& s = ctx.drive;
  if (d.field(drive_field::kEtd64)) {
    s.cmdRead = NSCMD_ETD_READ64;
    s.cmdWrite = NSCMD_ETD_WRITE64;
    s.cmdSeek = NSCMD_ETD_SEEK64;
  }
  if (d.field(drive_field::kTd64)) {  // TD64 wins when both are there
    s.cmdRead = NSCMD_TD_READ64;
    s.cmdWrite = NSCMD_TD_WRITE64;
    s.cmdSeek = NSCMD_TD_SEEK64;
  }
  CloseDeviceConnection(ctx);
}

void CheckFreeSpace(Context& ctx, const SettingsRecord& settings) {
  void* infoData = ctx.exec.AllocVec(36, MEMF_CLEAR);
  if (!infoData) {
    LogError(ctx, kDrive, "CheckFreeSpace", "Could not get memory");
    return;
  }
  const std::string volume = std::string(settings.partition()) + ":";
  VolumeInfo info;
  if (ctx.drive.rawDevice) {
    // A device node has no file system of ours: the file tests are not possible, and that is no error.
  } else if (!ctx.dos.IsDir(volume)) {
    LogError(ctx, kDrive, "CheckFreeSpace", "Could not lock drive");
  } else if (!ctx.dos.Info(volume, info) || info.bytesPerBlock == 0) {
    LogError(ctx, kDrive, "CheckFreeSpace", "Could not get Info()");
  } else {
    const int64_t freeBlocks = int64_t(info.totalBlocks - info.usedBlocks);
    const int64_t base = FreeSpaceBase(settings.driveCount(0));
    const int64_t needed = (base + 16777216 - 64) / int64_t(info.bytesPerBlock);
    if (freeBlocks > needed) {
      ctx.run.freeSpace = 1;
    } else {
      ctx.run.freeSpace = 0;
      std::string text = "Not enough space on your selected partition free.\n\n";
      text += "Space need: \033b" + SizeText(uint64_t(needed) * info.bytesPerBlock) + "\033n\n";
      text += "Space free: \033b" + SizeText(uint64_t(freeBlocks) * info.bytesPerBlock) + "\033n\n\n";
      text += "'dos.library'-benchmarks disabled!";
      (void)ctx.requester.Request(kWarningTitle, text, "Ok");
    }
  }
  ctx.exec.FreeVec(infoData);
}

void GatherDriveInfo(Context& ctx) { GatherDriveInfo(ctx, ctx.settings); }

void GatherDriveInfo(Context& ctx, const SettingsRecord& settings) {
  DriveState& s = ctx.drive;
  DriveInfo& d = ctx.driveInfo;
  s.accessMode = kAccessNone;
  s.requestedMode = int16_t(AccessModeOfCycle(settings.accessMode()));
  s.openFailure.clear();
  s.openRefused = false;
  s.rawDevice = false;
  // A flag left from an earlier partition would enable file tests on this one.
  ctx.run.freeSpace = 0;
  d = DriveInfo{};
  PutText(d.vendor, kUnknown);
  PutText(d.product, kUnknown);
  PutText(d.revision, kUnknown);

  const std::string partition(settings.partition());
  if (GetHighlevelInfo(ctx, partition) && GetLowlevelInfo(ctx) && Inquiry(ctx)) {
    NsdQuery(ctx);
    CheckFreeSpace(ctx, settings);
  }
  d.gathered = true;

  if (d.field(drive_field::kHighlevelValid) == 1 && d.field(drive_field::kLowlevelValid) == 1) {
    if (s.requestedMode == kAccessDirectScsi) {
      if (Q(d, 45) != 0)
        s.accessMode = kAccessDirectScsi;
      else
        (void)ctx.requester.Request(kWaringTitle,
                                    "The device you have selected don\xB4t complies to the SCSI standard!\n\n"
                                    "Try to use the \033bNSD-64\033n mode",
                                    "Ok");
    } else if (s.requestedMode == kAccessNsd64) {
      if (d.field(drive_field::kCmd64) == 1)
        s.accessMode = kAccessNsd64;
      else
        (void)ctx.requester.Request(kWaringTitle,
                                    "The device u have selected dont\xB4t supports the NSD-64 standard!\n\n"
                                    "Try to use the \033bDIRECT-SCSI\033n mode...",
                                    "Ok");
    }
  }
  s.deviceTestsPossible = s.accessMode != kAccessNone;
  const bool fileTests = ctx.run.freeSpace != 0;
  s.hardDiskEnabled = s.deviceTestsPossible || fileTests;
  s.makeModuleEnabled = s.deviceTestsPossible && fileTests;
}

}  // namespace kr
