// The program-wide drive state beside the drive information record: access
// modes, the 64-bit command set, what the front ends enable, and the device
// connection the gathering and the device tests send their requests through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/blockdev.h"

namespace kr {

enum : int16_t { kAccessNone = 0, kAccessDirectScsi = 1, kAccessNsd64 = 2 };

// Exists only between open and close; one at a time.
struct DeviceConnection {
  std::unique_ptr<BlockUnit> unit;
  uint8_t* inquiry = nullptr;  // 252 bytes
  uint8_t* sense = nullptr;    // 252 bytes
  SCSICmd scsi;                // the one command block every direct SCSI command uses
  IoRequest io;
  bool open() const { return unit != nullptr; }
};
constexpr uint32_t kInquiryBufferSize = 252;
constexpr uint32_t kSenseBufferSize = 252;

struct DriveState {
  BlockDevices* devices = nullptr;  // the host's DOS device list and devices; null: none

  int16_t accessMode = kAccessNone;     // effective, set by the gathering
  int16_t requestedMode = kAccessDirectScsi;  // from the settings' access-mode cycle
  uint16_t cmdRead = 0, cmdWrite = 0, cmdSeek = 0;  // the NSD-64 command set

  // What the gathering decided for the "Hard Disk" and "Make Module" buttons.
  bool deviceTestsPossible = false;
  bool hardDiskEnabled = false;
  bool makeModuleEnabled = false;

  // Why the device could not be opened at the last attempt (empty: it could),
  // and whether the host refused permission (the front end says how to get it).
  std::string openFailure;
  bool openRefused = false;

  // The partition is a block device node itself (no file system): only the
  // device tests can run on it.
  bool rawDevice = false;

  DeviceConnection connection;
};

}  // namespace kr
