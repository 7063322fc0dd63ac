// Drive access and drive information: the gathering that fills the drive
// information record for the selected partition, the device connection and
// the two ways of sending requests through it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/blockdev.h"

namespace kr {

struct Context;
struct SettingsRecord;

// Rebuilds ctx.driveInfo and the drive state for the settings' partition:
// highlevel, lowlevel, inquiry, NSD query and free-space check, each only
// after the one before succeeded; then the effective access mode (with a
// warning requester when the requested one is not possible) and the enabled
// state of "Hard Disk" and "Make Module". Failures are error-log entries.
// The partition, its access mode and the file count come from `settings`
// (a run's plan, for a run on another partition), else the saved settings.
void GatherDriveInfo(Context& ctx);
void GatherDriveInfo(Context& ctx, const SettingsRecord& settings);

// The steps, in the gathering's order; each returns 1/true on success.
bool GetHighlevelInfo(Context& ctx, std::string_view partition);
bool GetLowlevelInfo(Context& ctx);
bool Inquiry(Context& ctx);
void NsdQuery(Context& ctx);
void CheckFreeSpace(Context& ctx, const SettingsRecord& settings);

// Opens the device of field 60 with the unit of field 1 and the flags of
// field 2; for reading only unless `access` asks for writing.
bool OpenDeviceConnection(Context& ctx, UnitAccess access = UnitAccess::kRead);
// Releases whatever of the connection exists.
void CloseDeviceConnection(Context& ctx);

// Runs one SCSI command through HD_SCSICMD with the connection's sense buffer;
// returns the request's error byte (0 = success).
int8_t SendScsiCommand(Context& ctx, void* data, uint32_t length, const uint8_t* cdb, uint16_t cdbLength,
                       uint8_t flags);
// Runs one NSD command with the byte offset split as the 64-bit convention
// wants it (high word in io_Actual, low word in io_Offset).
int8_t SendNsdCommand(Context& ctx, uint16_t command, uint8_t ioFlags, uint32_t length, void* data,
                      uint32_t offsetHigh, uint32_t offsetLow);

// Bytes the benchmark files need for a file count (thousands): 1, 2 or 3,
// anything else 0.
uint32_t FreeSpaceBase(int32_t thousands);

}  // namespace kr
