// Sending requests to a unit the way the drive section does.
#pragma once

#include <cstdint>
#include <cstring>
#include <algorithm>
#include <initializer_list>
#include <vector>

#include "platform/blockdev.h"
#include "platform/scsi_target.h"

namespace kr::test {

// One SCSI command with its sense buffer.
struct ScsiCall {
  uint8_t cdb[16]{};
  uint8_t sense[252]{};
  SCSICmd cmd;
  IoRequest io;

  int8_t Send(BlockUnit& unit, std::initializer_list<uint8_t> bytes, void* data = nullptr, uint32_t len = 0,
              uint8_t flags = SCSIF_READ | SCSIF_AUTOSENSE) {
    return Send(unit, bytes.begin(), bytes.size(), data, len, flags);
  }
  int8_t Send(BlockUnit& unit, const uint8_t* bytes, size_t n, void* data = nullptr, uint32_t len = 0,
              uint8_t flags = SCSIF_READ | SCSIF_AUTOSENSE) {
    std::memset(cdb, 0, sizeof cdb);
    std::memset(sense, 0, sizeof sense);
    std::memcpy(cdb, bytes, n);
    cmd = SCSICmd{};
    cmd.scsi_Data = data;
    cmd.scsi_Length = len;
    cmd.scsi_Command = cdb;
    cmd.scsi_CmdLength = uint16_t(n);
    cmd.scsi_Flags = flags;
    cmd.scsi_SenseData = sense;
    cmd.scsi_SenseLength = sizeof sense;
    io = IoRequest{};
    io.io_Command = HD_SCSICMD;
    io.io_Length = kSCSICmdSize;
    io.io_Data = &cmd;
    return unit.DoIO(io);
  }
  int8_t Send10(BlockUnit& unit, uint8_t op, uint32_t lba, uint16_t blocks, void* data = nullptr, uint32_t len = 0,
                uint8_t flags = SCSIF_READ | SCSIF_AUTOSENSE) {
    Cdb10 c(op, lba, blocks);
    return Send(unit, c.b, 10, data, len, flags);
  }
  // The sense key, ASC and ASCQ of the last command.
  Sense LastSense() const { return {uint8_t(sense[2] & 0x0F), sense[12], sense[13]}; }
};

// An NSD transfer at a 64-bit byte offset.
inline int8_t Nsd(BlockUnit& unit, uint16_t command, uint64_t offset, void* data, uint32_t len) {
  IoRequest io;
  io.io_Command = command;
  io.io_Length = len;
  io.io_Data = data;
  SetOffset64(io, offset);
  return unit.DoIO(io);
}

}  // namespace kr::test
