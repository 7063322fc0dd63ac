// The display record (2128 bytes): the comparison chart's view options, the
// modules chosen for comparison and the seven chart colours. With the colour
// block it forms KelvaRANK.def.
#pragma once

#include "util/bytes.h"

namespace kr {

namespace disp {
constexpr size_t kSize = 2128;
}

struct DisplayRecord : ByteImage<disp::kSize> {};

}  // namespace kr
