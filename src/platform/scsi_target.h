// A direct-access SCSI target over a medium of sectors: the commands the drive
// section sends (INQUIRY, TEST UNIT READY, START STOP UNIT, SEEK(10), READ(10),
// WRITE(10), SYNCHRONIZE CACHE(10)) with fixed-format sense data for bad
// requests. It answers for devices without SCSI pass-through and for the
// emulated drive of the tests.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/blockdev.h"

namespace kr {

// SCSI operation codes and status.
enum : uint8_t {
  SCSI_TEST_UNIT_READY = 0x00,
  SCSI_INQUIRY = 0x12,
  SCSI_START_STOP_UNIT = 0x1B,
  SCSI_READ_10 = 0x28,
  SCSI_WRITE_10 = 0x2A,
  SCSI_SEEK_10 = 0x2B,
  SCSI_SYNCHRONIZE_CACHE_10 = 0x35,
};
constexpr uint8_t SCSI_STATUS_GOOD = 0x00, SCSI_STATUS_CHECK_CONDITION = 0x02;

// A ten-byte command block: operation, logical block address, block count.
struct Cdb10 {
  uint8_t b[10]{};
  Cdb10(uint8_t op, uint32_t lba, uint16_t blocks) {
    b[0] = op;
    b[2] = uint8_t(lba >> 24);
    b[3] = uint8_t(lba >> 16);
    b[4] = uint8_t(lba >> 8);
    b[5] = uint8_t(lba);
    b[7] = uint8_t(blocks >> 8);
    b[8] = uint8_t(blocks);
  }
};

// Sense keys and the additional sense codes the target reports.
enum : uint8_t {
  SENSE_NOT_READY = 0x02,
  SENSE_MEDIUM_ERROR = 0x03,
  SENSE_HARDWARE_ERROR = 0x04,
  SENSE_ILLEGAL_REQUEST = 0x05,
  SENSE_DATA_PROTECT = 0x07,
};
struct Sense {
  uint8_t key = 0, asc = 0, ascq = 0;
  friend bool operator==(const Sense&, const Sense&) = default;
};
constexpr Sense kSenseInvalidOpcode{SENSE_ILLEGAL_REQUEST, 0x20, 0x00};
constexpr Sense kSenseLbaOutOfRange{SENSE_ILLEGAL_REQUEST, 0x21, 0x00};
constexpr Sense kSenseInvalidField{SENSE_ILLEGAL_REQUEST, 0x24, 0x00};
constexpr Sense kSenseNotReady{SENSE_NOT_READY, 0x04, 0x00};
constexpr Sense kSenseReadError{SENSE_MEDIUM_ERROR, 0x11, 0x00};
constexpr Sense kSenseWriteError{SENSE_MEDIUM_ERROR, 0x0C, 0x00};
constexpr Sense kSenseWriteProtected{SENSE_DATA_PROTECT, 0x27, 0x00};
constexpr uint32_t kSenseSize = 18;  // fixed-format sense data

// The standard inquiry data (36 bytes): direct-access device, the given
// response data format and ANSI version, texts blank-padded to their fields.
std::array<uint8_t, 36> MakeInquiry(std::string_view vendor, std::string_view product, std::string_view revision,
                                    uint8_t responseFormat = 2, uint8_t ansiVersion = 2, bool removable = false);

// The medium behind a target. Byte offsets and lengths are whole sectors
// inside the medium (the target checks); results are 0 or an errno value.
class SectorMedium {
 public:
  virtual ~SectorMedium() = default;
  virtual uint32_t SectorSize() const = 0;
  virtual uint64_t Sectors() const = 0;
  virtual bool Writable() const = 0;
  virtual int Read(uint64_t offset, void* buf, uint32_t len) = 0;
  virtual int Write(uint64_t offset, const void* buf, uint32_t len) = 0;
  // Moves to a sector without transferring data to the caller.
  virtual int Seek(uint64_t offset) = 0;
  virtual int Sync() = 0;
  // 0 when the medium can take commands.
  virtual int Ready() = 0;
  // Spins the medium down or up; ENOTSUP when it cannot.
  virtual int StartStop(bool start) = 0;
};

class ScsiTarget {
 public:
  ScsiTarget(SectorMedium& medium, const std::array<uint8_t, 36>& inquiry) : medium_(medium), inquiry_(inquiry) {}
  // Runs one command; returns the io_Error of HD_SCSICMD: 0, HFERR_BadStatus
  // with scsi_Status CHECK CONDITION and the sense data (when AUTOSENSE asks),
  // or IOERR_BADLENGTH when the data buffer cannot hold the transfer.
  int8_t Execute(SCSICmd& cmd);

 private:
  int8_t Fail(SCSICmd& cmd, Sense sense);

  SectorMedium& medium_;
  std::array<uint8_t, 36> inquiry_;
};

// Writes fixed-format sense data into a command's sense buffer (when it asks
// for sense) and sets CHECK CONDITION; returns HFERR_BadStatus.
int8_t CheckCondition(SCSICmd& cmd, Sense sense);

}  // namespace kr
