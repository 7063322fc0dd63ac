// The display record (2128 bytes): the comparison chart's view options, the
// modules chosen for comparison, and beside it the seven chart colours. With
// the colours it forms KelvaRANK.def (2352 bytes).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/bytes.h"

namespace kr {

namespace disp {
constexpr size_t kSize = 2128;

constexpr size_t kDrawMode = 0;       // 0 "Blocks", 1 "B-Splines"
constexpr size_t kShowMode = 4;       // 0 "Absolute", 1 "Relative"
constexpr size_t kSplineMode = 8;     // 0 "Cover", 1 "Side by side"
constexpr size_t kOptionA = 12;       // stored and handed to the chart, never edited
constexpr size_t kOptionB = 16;
constexpr size_t kMasterSection = 20; // 0 "KelvaRANKS", 1 "Processor", 2 "Memory", 3 "Hard Disk"
constexpr size_t kSlaveSection = 24;
constexpr size_t kFineScale = 28;
constexpr size_t kRoughScale = 32;
constexpr size_t kShowModule = 36;    // 4 x s32, slot 1..4
constexpr size_t kUnused52 = 52;      // 28 bytes, always 0
constexpr size_t kSlotName = 80;      // 4 x 256: Realname + " (" + user name + ")"
constexpr size_t kSlotPath = 1104;    // 4 x 256: module file loaded into the slot
constexpr size_t kSlotWidth = 256;
static_assert(kSlotPath + 4 * kSlotWidth == kSize);

constexpr int32_t kDefaultFineScale = 50, kDefaultRoughScale = 5;

// Pen texts: 32-byte texts in the toolkit's pen-text form,
// "r" + three 8-digit hex components separated by "," or "m" + pen number.
constexpr size_t kPenCount = 7;
constexpr size_t kPenWidth = 32;
// Pen roles in file order.
enum Pen : int { kPenModule1 = 0, kPenModule2, kPenModule3, kPenModule4, kPenBackground, kPenChart, kPenThisSession };
}  // namespace disp

using PenText = std::array<uint8_t, disp::kPenWidth>;

struct DisplayRecord : ByteImage<disp::kSize> {
  // The seven colour pickers' pen texts (not part of the 2128-byte
  // image; the .def stores them right after it).
  std::array<PenText, disp::kPenCount> pens{};

  int32_t drawMode() const { return s32(disp::kDrawMode); }
  int32_t showMode() const { return s32(disp::kShowMode); }
  int32_t splineMode() const { return s32(disp::kSplineMode); }
  int32_t masterSection() const { return s32(disp::kMasterSection); }
  int32_t slaveSection() const { return s32(disp::kSlaveSection); }
  int32_t fineScale() const { return s32(disp::kFineScale); }
  int32_t roughScale() const { return s32(disp::kRoughScale); }
  int32_t showModule(int slot) const { return s32(disp::kShowModule + 4 * size_t(slot)); }  // slot 0..3
  std::string_view slotName(int slot) const { return text(disp::kSlotName + disp::kSlotWidth * size_t(slot), disp::kSlotWidth); }
  std::string_view slotPath(int slot) const { return text(disp::kSlotPath + disp::kSlotWidth * size_t(slot), disp::kSlotWidth); }
  std::string_view penText(int pen) const { return GetText(pens[size_t(pen)].data(), disp::kPenWidth); }
};

// A pen text decoded: an RGB colour with 32-bit components, or a
// toolkit pen number.
struct PenColor {
  bool isRgb = false;
  uint32_t r = 0, g = 0, b = 0;
  int32_t pen = 0;
};
// Builds the pen text of an RGB colour / of a toolkit pen (zero-filled field).
PenText RgbPenText(uint32_t r, uint32_t g, uint32_t b);
PenText ToolkitPenText(int32_t pen);
// Parses a pen text; false (and `out` untouched) when it is not one.
bool ParsePenText(std::string_view text, PenColor& out);
// The built-in colour of each picker.
PenText DefaultPenText(int pen);

// The built-in display record: radios and cycles 0, scales 50 and 5, all
// four modules shown, names and paths zero-filled, default pens.
void SetDisplayDefaults(DisplayRecord& d);

// The chart controls of the module base window, independent of a front end.
struct DisplayControls {
  int32_t drawMode = 0, showMode = 0, splineMode = 0;
  int32_t masterSection = 0, slaveSection = 0;
  int32_t fineScale = disp::kDefaultFineScale, roughScale = disp::kDefaultRoughScale;
  std::array<bool, 4> showModule{true, true, true, true};
  std::array<std::string, 4> slotLabel;  // the slots' display names (Latin-1)
};

// Shows the record in the chart controls.
DisplayControls DisplayControlsFrom(const DisplayRecord& d);

// Copies the chart controls into the record: each slot label that is not
// empty replaces its display-name field (zero-filled first, cut to 255
// bytes); then the modes, sections, scales and show-module flags. Chart
// options A and B, the slot paths and the pens are not touched.
void ReadDisplaySettings(DisplayRecord& d, const DisplayControls& c);

}  // namespace kr
