#include "charts/pens.h"

namespace kr {
namespace {
constexpr Rgb kToolkitPens[8] = {
    {0xFF, 0xFF, 0xFF},  // shine
    {0xD8, 0xD8, 0xD8},  // half shine
    {0xAA, 0xAA, 0xAA},  // background
    {0x88, 0x88, 0x88},  // half shadow
    {0x44, 0x44, 0x44},  // shadow
    {0x00, 0x00, 0x00},  // text
    {0x3B, 0x6E, 0xA5},  // fill
    {0x6E, 0x9B, 0xD2},  // mark
};

bool Decode(std::string_view text, Rgb& out) {
  PenColor pc;
  if (!ParsePenText(text, pc)) return false;
  if (pc.isRgb) {
    out = {uint8_t(pc.r >> 24), uint8_t(pc.g >> 24), uint8_t(pc.b >> 24)};
    return true;
  }
  if (pc.pen < 0 || pc.pen > 7) return false;
  out = kToolkitPens[pc.pen];
  return true;
}
}  // namespace

Rgb ToolkitPenColor(int pen) { return pen >= 0 && pen <= 7 ? kToolkitPens[pen] : Rgb{}; }

Rgb PenTextColor(std::string_view text, int role) {
  Rgb c;
  if (Decode(text, c)) return c;
  if (role < 0 || role >= int(disp::kPenCount)) return Rgb{};
  const PenText def = DefaultPenText(role);
  Decode(GetText(def.data(), def.size()), c);
  return c;
}

std::array<Rgb, disp::kPenCount> ChartPalette(const DisplayRecord& d) {
  std::array<Rgb, disp::kPenCount> p;
  for (size_t i = 0; i < p.size(); ++i) p[i] = PenTextColor(d.penText(int(i)), int(i));
  return p;
}

}  // namespace kr
