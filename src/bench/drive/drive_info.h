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
  bool gathered = false;
};

}  // namespace kr
