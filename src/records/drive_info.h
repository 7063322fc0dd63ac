// The drive information record, gathered for the selected partition.
#pragma once

#include <cstdint>

#include "util/bytes.h"

namespace kr {

// The numeric fields of the drive information record, numbered from 1 as
// the gathering and the report's drive section name them.
namespace drive_field {
enum : int {
  kUnit = 1, kDeviceFlags, kDosType, kLowCyl, kHighCyl, kBlockSize, kBlocksPerTrack, kSurfaces, kMaxTransfer,
  kMask, kNumBuffers, kBufMemType, kInterleave, kTableSize, kReserved, kPreAlloc, kBootBlocks, kHostId, kStepRate,
  kHighlevelValid, kBootPri, kSectorSize, kTotalSectors, kCylinders, kCylSectors, kTrackSectors, kHeads,
  kDeviceType, kGeoBufMemType, kGeoFlags, kLowlevelValid, kNsd, kTd64, kEtd64, kCmd64,
};
static_assert(kCmd64 == 35);
}  // namespace drive_field

struct DriveInfo {
  uint32_t fields[35]{};  // numeric fields 1..35 at index 0..34: field(n)
  uint32_t field(int n) const { return fields[n - 1]; }
  uint32_t& field(int n) { return fields[n - 1]; }
  char vendor[64]{};
  char product[64]{};
  char revision[64]{};
  char deviceName[64]{};
  uint32_t inquiry[18]{};      // numeric fields 36..53 (decoded inquiry data) at index 0..17
  char vendorSpecific[64]{};   // field 57: inquiry bytes 36..55
  char furtherInquiry[64]{};   // field 58: inquiry bytes 56..90
  char partitionName[64]{};    // field 59: the settings' partition name
  bool gathered = false;
};

}  // namespace kr
