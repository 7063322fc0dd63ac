#include "records/display_record.h"

#include <cstdio>
#include <cstring>


namespace kr {

PenText RgbPenText(uint32_t r, uint32_t g, uint32_t b) {
  PenText p{};
  char buf[40];
  std::snprintf(buf, sizeof buf, "r%08X,%08X,%08X", unsigned(r), unsigned(g), unsigned(b));
  PutText(p.data(), p.size(), buf);
  return p;
}

PenText ToolkitPenText(int32_t pen) {
  PenText p{};
  char buf[24];
  std::snprintf(buf, sizeof buf, "m%d", int(pen));
  PutText(p.data(), p.size(), buf);
  return p;
}

namespace {
bool ParseHex8(std::string_view s, uint32_t& out) {
  if (s.size() != 8) return false;
  uint32_t v = 0;
  for (char c : s) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return false;
    v = (v << 4) | uint32_t(d);
  }
  out = v;
  return true;
}
}  // namespace

bool ParsePenText(std::string_view t, PenColor& out) {
  if (t.size() == 27 && t[0] == 'r' && t[9] == ',' && t[18] == ',') {
    PenColor c;
    c.isRgb = true;
    if (!ParseHex8(t.substr(1, 8), c.r) || !ParseHex8(t.substr(10, 8), c.g) || !ParseHex8(t.substr(19, 8), c.b))
      return false;
    out = c;
    return true;
  }
  if (t.size() >= 2 && t.size() <= 4 && t[0] == 'm') {
    int32_t n = 0;
    for (char ch : t.substr(1)) {
      if (ch < '0' || ch > '9') return false;
      n = n * 10 + (ch - '0');
    }
    out = PenColor{};
    out.pen = n;
    return true;
  }
  return false;
}

PenText DefaultPenText(int pen) {
  constexpr uint32_t F = 0xFFFFFFFFu;
  switch (pen) {
    case disp::kPenModule1: return RgbPenText(F, 0, 0);
    case disp::kPenModule2: return RgbPenText(0, F, 0);
    case disp::kPenModule3: return RgbPenText(0, 0, F);
    case disp::kPenModule4: return RgbPenText(F, F, 0);
    case disp::kPenBackground: return ToolkitPenText(2);
    case disp::kPenChart: return RgbPenText(0, 0, 0);
    default: return RgbPenText(F, F, F);  // "THIS Session"
  }
}

void SetDisplayDefaults(DisplayRecord& d) {
  d.Clear();
  d.set_s32(disp::kFineScale, disp::kDefaultFineScale);
  d.set_s32(disp::kRoughScale, disp::kDefaultRoughScale);
  for (int i = 0; i < 4; ++i) d.set_s32(disp::kShowModule + 4 * size_t(i), 1);
  for (size_t i = 0; i < disp::kPenCount; ++i) d.pens[i] = DefaultPenText(int(i));
}

DisplayControls DisplayControlsFrom(const DisplayRecord& d) {
  DisplayControls c;
  c.drawMode = d.drawMode();
  c.showMode = d.showMode();
  c.splineMode = d.splineMode();
  c.masterSection = d.masterSection();
  c.slaveSection = d.slaveSection();
  c.fineScale = d.fineScale();
  c.roughScale = d.roughScale();
  for (int i = 0; i < 4; ++i) {
    c.showModule[size_t(i)] = d.showModule(i) != 0;
    c.slotLabel[size_t(i)] = std::string(d.slotName(i));
  }
  return c;
}

void ReadDisplaySettings(DisplayRecord& d, const DisplayControls& c) {
  for (size_t i = 0; i < 4; ++i) {
    if (c.slotLabel[i].empty()) continue;
    uint8_t* field = d.data() + disp::kSlotName + disp::kSlotWidth * i;
    std::memset(field, 0, disp::kSlotWidth);
    PutText(field, disp::kSlotWidth, c.slotLabel[i]);
  }
  d.set_s32(disp::kDrawMode, c.drawMode);
  d.set_s32(disp::kShowMode, c.showMode);
  d.set_s32(disp::kSplineMode, c.splineMode);
  d.set_s32(disp::kMasterSection, c.masterSection);
  d.set_s32(disp::kSlaveSection, c.slaveSection);
  d.set_s32(disp::kFineScale, c.fineScale);
  d.set_s32(disp::kRoughScale, c.roughScale);
  for (size_t i = 0; i < 4; ++i) d.set_s32(disp::kShowModule + 4 * i, c.showModule[i] ? 1 : 0);
}

}  // namespace kr
