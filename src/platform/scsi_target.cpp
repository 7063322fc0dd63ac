#include "platform/scsi_target.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kr {
namespace {

void PutText(uint8_t* field, size_t width, std::string_view text) {
  std::memset(field, ' ', width);
  std::memcpy(field, text.data(), std::min(width, text.size()));
}

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

}  // namespace

std::array<uint8_t, 36> MakeInquiry(std::string_view vendor, std::string_view product, std::string_view revision,
                                    uint8_t responseFormat, uint8_t ansiVersion, bool removable) {
  std::array<uint8_t, 36> q{};
  q[0] = 0x00;  // qualifier 0 (connected), direct-access device
  q[1] = removable ? 0x80 : 0x00;
  q[2] = ansiVersion & 0x07;
  q[3] = responseFormat & 0x0F;
  q[4] = 36 - 5;  // additional length
  PutText(&q[8], 8, vendor);
  PutText(&q[16], 16, product);
  PutText(&q[32], 4, revision);
  return q;
}

int8_t CheckCondition(SCSICmd& cmd, Sense sense) {
  cmd.scsi_Status = SCSI_STATUS_CHECK_CONDITION;
  cmd.scsi_SenseActual = 0;
  if ((cmd.scsi_Flags & SCSIF_AUTOSENSE) && cmd.scsi_SenseData && cmd.scsi_SenseLength > 0) {
    uint8_t s[kSenseSize]{};
    s[0] = 0x70;  // current error, fixed format
    s[2] = sense.key;
    s[7] = kSenseSize - 8;
    s[12] = sense.asc;
    s[13] = sense.ascq;
    const uint16_t n = uint16_t(std::min<uint32_t>(cmd.scsi_SenseLength, kSenseSize));
    std::memcpy(cmd.scsi_SenseData, s, n);
    cmd.scsi_SenseActual = n;
  }
  return HFERR_BadStatus;
}

int8_t ScsiTarget::Fail(SCSICmd& cmd, Sense sense) { return CheckCondition(cmd, sense); }

int8_t ScsiTarget::Execute(SCSICmd& cmd) {
  cmd.scsi_Actual = 0;
  cmd.scsi_Status = SCSI_STATUS_GOOD;
  cmd.scsi_SenseActual = 0;
  cmd.scsi_CmdActual = 0;
  if (!cmd.scsi_Command || cmd.scsi_CmdLength < 6) return Fail(cmd, kSenseInvalidOpcode);
  const uint8_t* c = cmd.scsi_Command;
  const uint8_t op = c[0];
  const bool tenByte = op >= 0x20 && op < 0x60;
  if (tenByte && cmd.scsi_CmdLength < 10) return Fail(cmd, kSenseInvalidOpcode);
  cmd.scsi_CmdActual = cmd.scsi_CmdLength;

  const uint32_t ss = medium_.SectorSize();
  const uint64_t sectors = medium_.Sectors();
  const uint64_t lba = tenByte ? Be32(c + 2) : 0;
  const uint32_t blocks = tenByte ? Be16(c + 7) : 0;

  switch (op) {
    case SCSI_TEST_UNIT_READY:
      return medium_.Ready() == 0 ? 0 : Fail(cmd, kSenseNotReady);

    case SCSI_INQUIRY: {
      if (c[1] & 0x01) return Fail(cmd, kSenseInvalidField);  // vital product data pages: not kept
      const uint32_t n = std::min<uint32_t>({c[4], cmd.scsi_Length, uint32_t(inquiry_.size())});
      if (n > 0 && !cmd.scsi_Data) return IOERR_BADLENGTH;
      std::memcpy(cmd.scsi_Data, inquiry_.data(), n);
      cmd.scsi_Actual = n;
      return 0;
    }

    case SCSI_START_STOP_UNIT: {
      const int err = medium_.StartStop((c[4] & 0x01) != 0);
      if (err == 0) return 0;
      return Fail(cmd, err == ENOTSUP ? kSenseInvalidOpcode : kSenseNotReady);
    }

    case SCSI_SEEK_10:
      if (lba >= sectors) return Fail(cmd, kSenseLbaOutOfRange);
      return medium_.Seek(lba * ss) == 0 ? 0 : Fail(cmd, kSenseReadError);

    case SCSI_READ_10:
    case SCSI_WRITE_10: {
      const bool write = op == SCSI_WRITE_10;
      if (lba + blocks > sectors) return Fail(cmd, kSenseLbaOutOfRange);
      const uint64_t bytes = uint64_t(blocks) * ss;
      if (bytes > cmd.scsi_Length || (bytes > 0 && !cmd.scsi_Data)) return IOERR_BADLENGTH;
      if (write && !medium_.Writable()) return Fail(cmd, kSenseWriteProtected);
      if (bytes == 0) return 0;
      const int err = write ? medium_.Write(lba * ss, cmd.scsi_Data, uint32_t(bytes))
                            : medium_.Read(lba * ss, cmd.scsi_Data, uint32_t(bytes));
      if (err == ENXIO || err == ENODEV) return Fail(cmd, kSenseNotReady);
      if (err != 0) return Fail(cmd, write ? kSenseWriteError : kSenseReadError);
      cmd.scsi_Actual = uint32_t(bytes);
      return 0;
    }

    case SCSI_SYNCHRONIZE_CACHE_10:
      if (lba > sectors || lba + blocks > sectors) return Fail(cmd, kSenseLbaOutOfRange);
      return medium_.Sync() == 0 ? 0 : Fail(cmd, kSenseWriteError);

    default:
      return Fail(cmd, kSenseInvalidOpcode);
  }
}

}  // namespace kr
