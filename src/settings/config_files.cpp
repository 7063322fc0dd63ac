#include "settings/config_files.h"

#include <algorithm>
#include <vector>

#include "engine/errorlog.h"
#include "settings/settings_form.h"

namespace kr {
namespace {

// Reads up to `len` bytes from the start of a file into `dst`, as the block
// reads do: whatever the file holds lands from the start, the rest of `dst`
// keeps its bytes. Returns false when the file cannot be opened.
bool ReadPrefix(Dos& dos, std::string_view path, uint8_t* dst, size_t len) {
  int64_t fh = dos.Open(path, MODE_OLDFILE);
  if (fh == 0) return false;
  size_t done = 0;
  while (done < len) {
    int64_t got = dos.Read(fh, dst + done, int64_t(len - done));
    if (got <= 0) break;
    done += size_t(got);
  }
  dos.Close(fh);
  return true;
}

// Takes the comment side file when it continues the comment the .cfg holds.
void LoadCommentSideFile(Context& ctx) {
  SettingsRecord& s = ctx.settings;
  s.longComment.clear();
  std::string_view field = s.text(cfg::kComment, cfg::kCommentWidth);
  if (field.size() != cfg::kCommentWidth - 1) return;
  int64_t size = ctx.dos.FileSize(kCommentFile);
  if (size <= int64_t(field.size()) || size > int64_t(kCommentMax)) return;
  std::vector<uint8_t> bytes;
  if (!ctx.dos.ReadWholeFile(kCommentFile, bytes)) return;
  std::string text(bytes.begin(), bytes.end());
  if (text.find('\0') != std::string::npos || std::string_view(text).substr(0, field.size()) != field) return;
  s.longComment = std::move(text);
}

bool InRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

// A .def from elsewhere may hold anything: values the chart would index
// with are put back to their defaults, and pens that are no pen text too.
void RepairDisplay(DisplayRecord& d) {
  for (size_t off : {disp::kDrawMode, disp::kShowMode, disp::kSplineMode})
    if (!InRange(d.s32(off), 0, 1)) d.set_s32(off, 0);
  if (!InRange(d.s32(disp::kMasterSection), 0, 3)) d.set_s32(disp::kMasterSection, 0);
  if (!InRange(d.s32(disp::kSlaveSection), 0, 23)) d.set_s32(disp::kSlaveSection, 0);
  if (d.s32(disp::kFineScale) <= 0) d.set_s32(disp::kFineScale, disp::kDefaultFineScale);
  if (d.s32(disp::kRoughScale) <= 0) d.set_s32(disp::kRoughScale, disp::kDefaultRoughScale);
  for (size_t i = 0; i < disp::kPenCount; ++i) {
    PenColor c;
    if (!ParsePenSpec(d.penText(int(i)), c)) d.pens[i] = DefaultPenSpec(int(i));
  }
}

// A .cfg of the right length but from elsewhere: options the runs use as
// sizes, steps or indexes go back to their defaults when out of range (the
// same ranges the pages allow). Returns true when something was repaired.
bool RepairSettings(SettingsRecord& s) {
  bool repaired = false;
  auto fix = [&](size_t off, int32_t lo, int32_t hi, int32_t def) {
    if (!InRange(s.s32(off), lo, hi)) {
      s.set_s32(off, def);
      repaired = true;
    }
  };
  for (int p = 0; p < 24; ++p) {
    Range loop = MemLoopSizeRange(p), sweep = MemSweepRange(p);
    fix(cfg::kMemLoopSize + 4 * size_t(p), loop.min, loop.max, MemDefaultLoopSize(p));
    fix(cfg::kMemSweepStart + 4 * size_t(p), sweep.min, sweep.max, 1);
    fix(cfg::kMemSweepStop + 4 * size_t(p), sweep.min, sweep.max, MemDefaultSweepStop(p));
  }
  fix(cfg::kDriveCount, kDriveFilesRange.min, kDriveFilesRange.max, 2);
  for (int i = 1; i <= 4; ++i)
    fix(cfg::kDriveCount + 4 * size_t(i), kDriveLoopSizeRange.min, kDriveLoopSizeRange.max, 16);
  for (int i = 0; i < 4; ++i) {
    Range r = DriveSweepRange(i);
    fix(cfg::kDriveSweepStart + 4 * size_t(i), r.min, r.max, DriveDefaultSweepStart(i));
    fix(cfg::kDriveSweepStop + 4 * size_t(i), r.min, r.max, 17);
  }
  const size_t vendorOff[4] = {cfg::kMainVendor, cfg::kBusVendor, cfg::kAccelVendor, cfg::kCtrlVendor};
  for (size_t g = 0; g < 4; ++g) {
    fix(vendorOff[g], 0, kOtherVendorIndex[g], 0);
    fix(vendorOff[g] + 4, 0, 0x7FFFFFFF, 0);
  }
  fix(cfg::kAccessMode, 0, 1, 0);
  fix(cfg::kSmtpPort, kSmtpPortRange.min, kSmtpPortRange.max, 25);
  return repaired;
}

}  // namespace

bool ConfigExists(Context& ctx) { return ctx.dos.FileSize(kConfigFile) >= 0; }
bool DefaultsExists(Context& ctx) { return ctx.dos.FileSize(kDefaultsFile) >= 0; }

bool LoadConfig(Context& ctx) {
  if (!ReadPrefix(ctx.dos, kConfigFile, ctx.settings.data(), cfg::kSize)) {
    LogError(ctx, "CONFIG", "LoadConfig", "Error loading config!");
    return false;
  }
  LoadCommentSideFile(ctx);
  if (RepairSettings(ctx.settings))
    LogError(ctx, "CONFIG", "LoadConfig", "Settings out of range set to defaults");
  FormFromSettings(ctx.settings, ctx.form);
  return true;
}

bool SaveConfig(Context& ctx) {
  // Write to Device and SpinUP Device are never stored as on; the record in
  // memory keeps them.
  SettingsRecord image = ctx.settings;
  image.setDriveEnabled(4, 0);
  image.setDriveEnabled(6, 0);
  bool ok = ctx.dos.WriteFileAtomic(kConfigFile, image.data(), cfg::kSize);
  if (ok) {
    std::string_view comment = ctx.settings.moduleComment();
    if (comment.size() >= cfg::kCommentWidth) {
      ok = ctx.dos.WriteFileAtomic(kCommentFile, comment.data(), comment.size());
    } else if (ctx.dos.FileSize(kCommentFile) >= 0) {
      ok = ctx.dos.DeleteFile(kCommentFile);
    }
  }
  if (!ok) LogError(ctx, "CONFIG", "SaveConfig", "Error saving config!");
  return ok;
}

bool LoadDefaults(Context& ctx) {
  std::vector<uint8_t> image(kDefaultsFileSize);
  DisplayRecord& d = ctx.display;
  std::copy(d.bytes.begin(), d.bytes.end(), image.begin());
  for (size_t i = 0; i < disp::kPenCount; ++i)
    std::copy(d.pens[i].begin(), d.pens[i].end(), image.begin() + std::ptrdiff_t(disp::kSize + i * disp::kPenWidth));
  if (!ReadPrefix(ctx.dos, kDefaultsFile, image.data(), image.size())) {
    LogError(ctx, "DEFAULTS", "LoadDefaults", "Error loading defaults!");
    return false;
  }
  std::copy(image.begin(), image.begin() + disp::kSize, d.bytes.begin());
  for (size_t i = 0; i < disp::kPenCount; ++i) {
    auto from = image.begin() + std::ptrdiff_t(disp::kSize + i * disp::kPenWidth);
    std::copy(from, from + disp::kPenWidth, d.pens[i].begin());
  }
  RepairDisplay(d);
  return true;
}

bool SaveDefaults(Context& ctx) {
  std::vector<uint8_t> image(kDefaultsFileSize);
  const DisplayRecord& d = ctx.display;
  std::copy(d.bytes.begin(), d.bytes.end(), image.begin());
  for (size_t i = 0; i < disp::kPenCount; ++i)
    std::copy(d.pens[i].begin(), d.pens[i].end(), image.begin() + std::ptrdiff_t(disp::kSize + i * disp::kPenWidth));
  if (!ctx.dos.WriteFileAtomic(kDefaultsFile, image.data(), image.size())) {
    LogError(ctx, "DEFAULTS", "SaveDefaults", "Error saving defaults!");
    return false;
  }
  return true;
}

void ResetSettings(Context& ctx, ResetScope scope) {
  bool chipOff = ctx.run.amithlon != 0 || ctx.run.noChipMemory != 0;
  ResetForm(ctx.form, scope, chipOff);
  if (scope != ResetScope::Everything) return;
  SetBuiltinDefaults(ctx.settings);
  if (chipOff)
    for (int p = 0; p < 24; ++p)
      if (IsChipOrRomMemoryTest(p)) ctx.settings.setMemEnabled(p, 0);
}

void ShowSettings(Context& ctx) { FormFromSettings(ctx.settings, ctx.form); }

}  // namespace kr

namespace kr {
static_assert(kConfigFileSize == cfg::kSize);
static_assert(kDefaultsFileSize == disp::kSize + disp::kPenCount * disp::kPenWidth);
}  // namespace kr
