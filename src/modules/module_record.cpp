#include "modules/module_record.h"

#include <algorithm>
#include <cstring>

#include "util/md5.h"
#include "engine/context.h"
#include "sysinfo/hardware_tables.h"
#include "util/numtext.h"

namespace kr {

namespace {


// Zero-fills a field and stores text cut to width - 1 bytes: the field then
// holds the text, its terminator and zeros, whatever it held before.
void SetField(ModuleRecord& m, size_t offset, size_t width, std::string_view text) {
  std::memset(m.data() + offset, 0, width);
  m.set_text(offset, width, text);
}

// A list name copied without its terminator into a zero-filled field.
void SetName(ModuleRecord& m, size_t offset, std::string_view name) {
  std::memset(m.data() + offset, 0, mod::kHardwareTextWidth);
  std::memcpy(m.data() + offset, name.data(), std::min(name.size(), mod::kHardwareTextWidth));
}

std::string_view CharField(const char (&field)[64]) {
  return GetText(reinterpret_cast<const uint8_t*>(field), sizeof field);
}

}  // namespace

std::string ProcessorClockText(uint64_t loopRate) {
  return Format("%0.2f", double(loopRate) * 50.0 / 49710200.0);
}

void FillModuleDescription(const Context& ctx, ModuleRecord& m) {
  // 1, 2: version, build, comment.
  SetField(m, mod::kVersion, mod::kVersionWidth, mod::kVersionText);
  SetField(m, mod::kBuild, mod::kBuildWidth, NativeBuildText());
  SetField(m, mod::kComment, mod::kCommentWidth, RunSettings(ctx).moduleComment());

  // 3: the eight system-information texts.
  constexpr std::pair<size_t, int> kSys[] = {
      {mod::kCpu, sysrec::kCpu},           {mod::kFpu, sysrec::kFpu}, {mod::kMmu, sysrec::kMmu},
      {mod::kTotalFast, sysrec::kTotalFast}, {mod::kTotalChip, sysrec::kTotalChip},
      {mod::kOs, sysrec::kOs},             {mod::kKs, sysrec::kKs},   {mod::kWb, sysrec::kWb},
  };
  for (auto [offset, field] : kSys) SetField(m, offset, mod::kSysTextWidth, ctx.sysinfo.field(field));

  // 4: the personal texts, each at most its field size minus one.
  const SettingsRecord& s = RunSettings(ctx);
  SetField(m, mod::kUserName, mod::kUserNameWidth, s.text(cfg::kUserName, cfg::kNameWidth));
  SetField(m, mod::kRealName, mod::kRealNameWidth, s.text(cfg::kRealName, cfg::kNameWidth));
  SetField(m, mod::kLocation, mod::kLocationWidth, s.text(cfg::kLocation, cfg::kNameWidth));
  SetField(m, mod::kEmail, mod::kEmailWidth, s.text(cfg::kEmail, cfg::kEmailWidth));
  SetField(m, mod::kHomepage, mod::kHomepageWidth, s.text(cfg::kHomepage, cfg::kPathWidth));

  // 5: overclocked ("Not avail" on an emulated or no-chip host).
  SetField(m, mod::kOverclocked, mod::kOverclockedWidth, OverclockedText(ctx));

  // 6: the four hardware groups. The "Other" field holds the group's own
  // text when its "Other" maker is chosen; the main model's holds the host's
  // label instead on an emulated or no-chip host.
  for (int family = 0; family < hw::kFamilyCount; ++family) {
    HardwareFields f = ComposeHardwareFields(ctx, family);
    size_t group = mod::kHardware + mod::kHardwareGroupSize * size_t(family);
    SetName(m, group + mod::kHardwareVendor, f.maker);
    SetName(m, group + mod::kHardwareModel, f.model);
    SetField(m, group + mod::kHardwareOther, mod::kHardwareTextWidth, f.override);
  }

  // 7: the drive texts.
  const DriveInfo& d = ctx.driveInfo;
  SetField(m, mod::kDiskVendor, mod::kDiskVendorWidth, CharField(d.vendor));
  SetField(m, mod::kDiskProduct, mod::kDiskProductWidth, CharField(d.product));
  SetField(m, mod::kDiskRevision, mod::kDiskRevisionWidth, CharField(d.revision));
  SetField(m, mod::kDeviceName, mod::kDeviceNameWidth, CharField(d.deviceName));
  SetField(m, mod::kFileSystem, mod::kFileSystemWidth, DosTypeIdText(d.field(drive_field::kDosType)));
  uint64_t driveBytes = uint64_t(d.field(drive_field::kSectorSize)) * uint64_t(d.field(drive_field::kTotalSectors));
  SetField(m, mod::kDriveSize, mod::kDriveSizeWidth, SizeText(driveBytes));

  // 8: the processor clock from the BogoMIPS loop count.
  SetField(m, mod::kClock, mod::kClockWidth,
           ctx.run.amithlon ? std::string("Disabled") : ProcessorClockText(ctx.bogomipsLoopRate));

  // 9.
  MakeModuleSerial(m);
}

std::string ComputeModuleSerial(const ModuleRecord& m) {
  uint8_t digest[16];
  Md5Digest(m.data(), mod::kSize, digest);
  std::string serial = "0x";
  for (uint8_t b : digest) serial += Format("%02X", unsigned(b));
  return serial;
}

void MakeModuleSerial(ModuleRecord& m) {
  SetField(m, mod::kSerial, mod::kSerialWidth, ComputeModuleSerial(m));
}

bool IsWellFormedSerial(std::string_view s) {
  if (s.size() != 34 || s[0] != '0' || s[1] != 'x') return false;
  return std::all_of(s.begin() + 2, s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

bool SerialMatchesContents(const ModuleRecord& m) {
  ModuleRecord zeroed = m;
  std::memset(zeroed.data() + mod::kSerial, 0, mod::kSerialWidth);
  return ComputeModuleSerial(zeroed) == ModuleSerial(m);
}

void ScrambleModule(ModuleRecord& m) {
  for (size_t i = 0; i + 1 < mod::kSize; ++i) {
    Lcg g(mod::kScrambleSeed + uint32_t(i));
    m.bytes[i] ^= uint8_t(g.Next() % 255u);
  }
}

ModuleValidity CheckModule(const ModuleRecord& m) {
  if (!IsWellFormedSerial(ModuleSerial(m))) return ModuleValidity::NotValid;
  // A: the number at the version text; B: the number two bytes further (the
  // digits after the point of "d.ddd"). Both read within the version field.
  std::string_view field(reinterpret_cast<const char*>(m.data()) + mod::kVersion, mod::kVersionWidth);
  std::string_view atA = field.substr(0, field.find('\0'));
  std::string_view atB = field.substr(2);
  atB = atB.substr(0, atB.find('\0'));
  long a = -1, b = -1;
  if (StrToLong(atA, a) < 0) a = -1;
  if (StrToLong(atB, b) < 0) b = -1;
  if (a == 0 && b <= 949) return ModuleValidity::TooOld;
  return ModuleValidity::Valid;
}

void ShowNotValid(Context& ctx) {
  ctx.requester.Request(kErrorTitle, "Not valid, don't try to load crap!", "Ok");
}

bool ValidateModule(Context& ctx, const ModuleRecord& m) {
  switch (CheckModule(m)) {
    case ModuleValidity::Valid: return true;
    case ModuleValidity::NotValid: ShowNotValid(ctx); return false;
    case ModuleValidity::TooOld:
      ctx.requester.Request(kErrorTitle,
                            "Selected module is too old.\n\nYou can\xB4t use this module with the current version of "
                            "KelvaRANK.",
                            "Ok");
      return false;
  }
  return false;
}

ModuleRead ReadStoredModule(Dos& dos, std::string_view path, ModuleRecord& stored) {
  int64_t fh = dos.Open(path, MODE_OLDFILE);
  if (fh == 0) return ModuleRead::OpenFailed;
  int64_t got = 0;
  // Read until the record is full or the file ends (a read may return less).
  while (got < int64_t(mod::kSize)) {
    int64_t n = dos.Read(fh, stored.data() + got, int64_t(mod::kSize) - got);
    if (n <= 0) break;
    got += n;
  }
  dos.Close(fh);
  return got == int64_t(mod::kSize) ? ModuleRead::Ok : ModuleRead::ShortFile;
}

ModuleRead ReadModuleFile(Context& ctx, std::string_view path, ModuleRecord& dest) {
  ModuleRecord work;
  if (ModuleRead r = ReadStoredModule(ctx.dos, path, work); r != ModuleRead::Ok) return r;
  ScrambleModule(work);
  if (!ValidateModule(ctx, work)) return ModuleRead::Invalid;
  dest = work;
  return ModuleRead::Ok;
}

bool WriteModuleFile(Context& ctx, std::string_view path, const ModuleRecord& m) {
  ModuleRecord work = m;
  ScrambleModule(work);
  return ctx.dos.WriteFileAtomic(path, work.data(), mod::kSize);
}

}  // namespace kr
