#include "settings/config_files.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/errorlog.h"
#include "settings/settings_form.h"

namespace kr {
namespace {

// Reads up to `len` bytes from the start of a file into `dst`, as the block
// reads do: whatever the file holds lands from the start, the rest of `dst`
// keeps its bytes. Returns the count, or -1 when the file cannot be opened
// or a read fails (the dos layer's error says why).
int64_t ReadPrefix(Dos& dos, std::string_view path, uint8_t* dst, size_t len) {
  int64_t fh = dos.Open(path, MODE_OLDFILE);
  if (fh == 0) return -1;
  size_t done = 0;
  bool failed = false;
  while (done < len) {
    int64_t got = dos.Read(fh, dst + done, int64_t(len - done));
    if (got < 0) failed = true;
    if (got <= 0) break;
    done += size_t(got);
  }
  dos.Close(fh);
  return failed ? -1 : int64_t(done);
}

// The comment side file belongs to one .cfg: its name carries a hash of the
// .cfg's bytes. It is written before the .cfg and old ones are removed only
// after, so a kill between the two renames leaves the old pair whole, and a
// reader never pairs a .cfg with another one's comment.
constexpr std::string_view kSideFileStem = "KelvaRANK.comment.";

uint64_t ImageHash(const uint8_t* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

std::string HexOf(uint64_t h) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

std::string SideFilePath(uint64_t h) { return "PROGDIR:" + std::string(kSideFileStem) + HexOf(h); }

// Takes the comment side file that belongs to the .cfg just read (`image`:
// its exact bytes, null when its length is wrong), else a side file of an
// older home without a hash in its name, when it continues the comment the
// .cfg holds.
void LoadCommentSideFile(Dos& dos, SettingsRecord& s, const uint8_t* image) {
  s.longComment.clear();
  std::string_view field = s.text(cfg::kComment, cfg::kCommentWidth);
  if (field.size() != cfg::kCommentWidth - 1) return;
  std::vector<std::string> candidates;
  if (image) candidates.push_back(SideFilePath(ImageHash(image, cfg::kSize)));
  candidates.emplace_back(kCommentFile);
  for (const std::string& path : candidates) {
    int64_t size = dos.FileSize(path);
    if (size <= int64_t(field.size()) || size > int64_t(kCommentMax)) continue;
    std::vector<uint8_t> bytes;
    if (!dos.ReadWholeFile(path, bytes)) continue;
    std::string text(bytes.begin(), bytes.end());
    if (text.find('\0') != std::string::npos || std::string_view(text).substr(0, field.size()) != field) continue;
    s.longComment = std::move(text);
    return;
  }
}

// Reads the .cfg (and its comment) into `s` from the start; `exact` tells
// whether the file had the record's length. False: it could not be read.
bool ReadSettingsFile(Dos& dos, SettingsRecord& s, bool& exact) {
  std::vector<uint8_t> buf(cfg::kSize + 1);
  int64_t n = ReadPrefix(dos, kConfigFile, buf.data(), buf.size());
  if (n < 0) return false;
  exact = n == int64_t(cfg::kSize);
  std::copy(buf.begin(), buf.begin() + std::min<int64_t>(n, int64_t(cfg::kSize)), s.bytes.begin());
  LoadCommentSideFile(dos, s, exact ? buf.data() : nullptr);
  return true;
}

// Removes side files that belong to neither the .cfg just written (`keep`)
// nor the one on disk now, and an older home's unhashed side file.
void RemoveStaleSideFiles(Dos& dos, uint64_t keep) {
  std::vector<uint8_t> onDisk(cfg::kSize + 1);
  int64_t n = ReadPrefix(dos, kConfigFile, onDisk.data(), onDisk.size());
  std::string keepDisk = n == int64_t(cfg::kSize) ? HexOf(ImageHash(onDisk.data(), cfg::kSize)) : "";
  std::vector<DirEntry> entries;
  if (!dos.ListDir(DosDirPart(kConfigFile), entries)) return;
  const std::string legacy(kCommentFile.substr(kCommentFile.find(':') + 1));
  for (const DirEntry& e : entries) {
    bool stale = e.name == legacy;
    if (e.name.size() == kSideFileStem.size() + 16 && e.name.compare(0, kSideFileStem.size(), kSideFileStem) == 0) {
      std::string hex = e.name.substr(kSideFileStem.size());
      stale = hex.find_first_not_of("0123456789abcdef") == std::string::npos && hex != HexOf(keep) && hex != keepDisk;
    }
    if (stale && !e.isDir) dos.DeleteFile(DosDirPart(kConfigFile) + e.name);
  }
}

// The record's fields for merging: the texts by their widths, every other
// byte in its 32-bit value.
template <typename F>
void ForEachField(F f) {
  constexpr size_t kTexts[][2] = {
      {cfg::kMainOther, cfg::kOtherWidth},   {cfg::kBusOther, cfg::kOtherWidth}, {cfg::kAccelOther, cfg::kOtherWidth},
      {cfg::kCtrlOther, cfg::kOtherWidth},   {cfg::kUserName, cfg::kNameWidth},  {cfg::kRealName, cfg::kNameWidth},
      {cfg::kLocation, cfg::kNameWidth},     {cfg::kEmail, cfg::kEmailWidth},    {cfg::kSmtpServer, cfg::kSmtpWidth},
      {cfg::kHomepage, cfg::kPathWidth},     {cfg::kReportFile, cfg::kPathWidth}, {cfg::kErrorLogOut, cfg::kPathWidth},
      {cfg::kComment, cfg::kCommentWidth},   {cfg::kPartition, cfg::kPartitionWidth},
  };
  size_t off = 0;
  for (const auto& t : kTexts) {
    for (; off < t[0]; off += 4) f(off, size_t(4));
    f(t[0], t[1]);
    off = t[0] + t[1];
  }
  for (; off < cfg::kSize; off += 4) f(off, size_t(4));
}

// The file's record with this process's changes: every field that differs
// from `base` (what this process last read or wrote) is taken from `ours`,
// every other one from `disk`, so a save never undoes another process's
// change to a field this process left alone.
SettingsRecord Merge(const SettingsRecord& ours, const SettingsRecord& base, const SettingsRecord& disk) {
  SettingsRecord out = disk;
  ForEachField([&](size_t off, size_t len) {
    if (off == cfg::kComment) return;
    if (!std::equal(ours.bytes.begin() + off, ours.bytes.begin() + off + len, base.bytes.begin() + off))
      std::copy(ours.bytes.begin() + off, ours.bytes.begin() + off + len, out.bytes.begin() + off);
  });
  bool commentChanged = ours.moduleComment() != base.moduleComment() ||
                        !std::equal(ours.bytes.begin() + cfg::kComment,
                                    ours.bytes.begin() + cfg::kComment + cfg::kCommentWidth,
                                    base.bytes.begin() + cfg::kComment);
  if (commentChanged) {
    std::copy(ours.bytes.begin() + cfg::kComment, ours.bytes.begin() + cfg::kComment + cfg::kCommentWidth,
              out.bytes.begin() + cfg::kComment);
    out.longComment = ours.longComment;
  }
  return out;
}

bool SameRecord(const SettingsRecord& a, const SettingsRecord& b) {
  return a.bytes == b.bytes && a.moduleComment() == b.moduleComment();
}

bool SameDisplay(const DisplayRecord& a, const DisplayRecord& b) { return a.bytes == b.bytes && a.pens == b.pens; }

std::vector<uint8_t> DefaultsImage(const DisplayRecord& d) {
  std::vector<uint8_t> image(kDefaultsFileSize);
  std::copy(d.bytes.begin(), d.bytes.end(), image.begin());
  for (size_t i = 0; i < disp::kPenCount; ++i)
    std::copy(d.pens[i].begin(), d.pens[i].end(), image.begin() + std::ptrdiff_t(disp::kSize + i * disp::kPenWidth));
  return image;
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
    if (!ParsePenText(d.penText(int(i)), c)) d.pens[i] = DefaultPenText(int(i));
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
  bool exact = false;
  if (!ReadSettingsFile(ctx.dos, ctx.settings, exact)) {
    LogError(ctx, "CONFIG", "LoadConfig", "Error loading config!");
    return false;
  }
  if (RepairSettings(ctx.settings))
    LogError(ctx, "CONFIG", "LoadConfig", "Settings out of range set to defaults");
  ctx.settingsOnDisk = ctx.settings;
  FormFromSettings(ctx.settings, ctx.form);
  return true;
}

bool SaveConfig(Context& ctx) {
  // What the file holds now: another process may have saved since this one
  // read it. Only a whole file is merged with; anything else is replaced.
  SettingsRecord disk = ctx.settings;
  bool exact = false;
  bool haveDisk = ReadSettingsFile(ctx.dos, disk, exact) && exact;
  SettingsRecord next = ctx.settings;
  if (haveDisk && ctx.settingsOnDisk) {
    SettingsRecord repaired = disk;
    RepairSettings(repaired);
    next = Merge(ctx.settings, *ctx.settingsOnDisk, repaired);
  }
  // Write to Device and SpinUP Device are never stored as on; the record in
  // memory keeps them.
  SettingsRecord image = next;
  image.setDriveEnabled(drive_switch::kWriteDevice, 0);
  image.setDriveEnabled(drive_switch::kSpinUp, 0);
  std::string comment(next.moduleComment());
  bool ok = true;
  // A file that already holds exactly this is not written again.
  if (!haveDisk || image.bytes != disk.bytes || comment != disk.moduleComment()) {
    uint64_t hash = ImageHash(image.data(), cfg::kSize);
    if (comment.size() >= cfg::kCommentWidth) ok = ctx.dos.WriteFileAtomic(SideFilePath(hash), comment.data(), comment.size());
    ok = ok && ctx.dos.WriteFileAtomic(kConfigFile, image.data(), cfg::kSize);
    if (ok) RemoveStaleSideFiles(ctx.dos, hash);
  }
  if (!ok) {
    LogError(ctx, "CONFIG", "SaveConfig", "Error saving config!");
    return false;
  }
  if (!SameRecord(next, ctx.settings)) {
    ctx.settings = next;
    FormFromSettings(ctx.settings, ctx.form);
  }
  ctx.settingsOnDisk = ctx.settings;
  return true;
}

bool LoadDefaults(Context& ctx) {
  DisplayRecord& d = ctx.display;
  std::vector<uint8_t> image = DefaultsImage(d);
  if (ReadPrefix(ctx.dos, kDefaultsFile, image.data(), image.size()) < 0) {
    LogError(ctx, "DEFAULTS", "LoadDefaults", "Error loading defaults!");
    return false;
  }
  std::copy(image.begin(), image.begin() + disp::kSize, d.bytes.begin());
  for (size_t i = 0; i < disp::kPenCount; ++i) {
    auto from = image.begin() + std::ptrdiff_t(disp::kSize + i * disp::kPenWidth);
    std::copy(from, from + disp::kPenWidth, d.pens[i].begin());
  }
  RepairDisplay(d);
  ctx.displayOnDisk = d;
  return true;
}

bool SaveDefaults(Context& ctx) {
  std::vector<uint8_t> image = DefaultsImage(ctx.display);
  std::vector<uint8_t> disk(kDefaultsFileSize + 1);
  int64_t n = ReadPrefix(ctx.dos, kDefaultsFile, disk.data(), disk.size());
  bool whole = n == int64_t(kDefaultsFileSize);
  disk.resize(size_t(std::max<int64_t>(n, 0)));
  // Nothing to write when the file holds this already, or when this process
  // changed nothing since it read the file (another one may have saved).
  bool unchanged = ctx.displayOnDisk && SameDisplay(ctx.display, *ctx.displayOnDisk);
  if (whole && (disk == image || unchanged)) return true;
  if (!ctx.dos.WriteFileAtomic(kDefaultsFile, image.data(), image.size())) {
    LogError(ctx, "DEFAULTS", "SaveDefaults", "Error saving defaults!");
    return false;
  }
  ctx.displayOnDisk = ctx.display;
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
void ResetDisplaySettings(Context& ctx) { SetDisplayDefaults(ctx.display); }

}  // namespace kr
