// The drive information record, gathered for the selected partition.
#pragma once

#include <cstdint>

#include "util/bytes.h"

namespace kr {

struct DriveInfo {
  uint32_t fields[35]{};  // numeric fields 1..35 at index 0..34
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
