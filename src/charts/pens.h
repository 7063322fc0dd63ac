// The chart's seven pens: pen texts of the display record turned into colours.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "records/display_record.h"

namespace kr {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// The colours of the toolkit's own pens 0..7 (shine, half shine, background,
// half shadow, shadow, text, fill, mark) on this host.
Rgb ToolkitPenColor(int pen);

// The colour of a pen text: "r" + three 8-digit hex components (the top byte
// of each is the 8-bit channel) or "m" + a toolkit pen 0..7. Anything else
// (garbage, another pen form, a toolkit pen beyond 7) gives the colour of the
// role's built-in pen, so a damaged .def never loses the chart.
Rgb PenTextColor(std::string_view text, int role);

// The seven colours in role order (disp::Pen).
std::array<Rgb, disp::kPenCount> ChartPalette(const DisplayRecord& d);

}  // namespace kr
