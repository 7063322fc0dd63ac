// The module record: the 9504-byte results record with its descriptive part
// (who, which machine and system, which drive, when, serial, version, build,
// comment), its serial, the scrambler, the validity test and module files.
// The results area (bytes 0..7231) is described in engine/results.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/results.h"

namespace kr {

struct Context;
class Dos;

// A module is a results record; the same 9504 bytes.
using ModuleRecord = ResultsRecord;

namespace mod {
constexpr size_t kSize = rec::kSize;
constexpr size_t kFileSize = kSize;  // a module file holds the scrambled record, nothing else

// The descriptive part, in record order (offset, width). Texts are
// NUL-terminated ISO 8859-1 inside their fields.
constexpr size_t kUserName = 0x1C40, kUserNameWidth = 32;
constexpr size_t kRealName = 0x1C60, kRealNameWidth = 32;
constexpr size_t kLocation = 0x1C80, kLocationWidth = 32;
constexpr size_t kEmail = 0x1CA0, kEmailWidth = 128;
constexpr size_t kHomepage = 0x1D20, kHomepageWidth = 256;
// Four hardware groups (main model, busboard, accelerator, SCSI/IDE
// controller), each a vendor name, a model name and an "Other" text.
constexpr size_t kHardware = 0x1E20, kHardwareGroupSize = 96, kHardwareTextWidth = 32;
constexpr size_t kHardwareVendor = 0, kHardwareModel = 32, kHardwareOther = 64;  // within a group
constexpr size_t kOverclocked = 0x1FA0, kOverclockedWidth = 16;
constexpr size_t kClock = 0x1FB0, kClockWidth = 16;
// The eight system-information texts, 32 bytes each, in this order.
constexpr size_t kCpu = 0x1FC0, kFpu = 0x1FE0, kMmu = 0x2000, kTotalFast = 0x2020, kTotalChip = 0x2040;
constexpr size_t kOs = 0x2060, kKs = 0x2080, kWb = 0x20A0, kSysTextWidth = 32;
constexpr size_t kDiskVendor = 0x20C0, kDiskVendorWidth = 64;
constexpr size_t kDiskProduct = 0x2100, kDiskProductWidth = 64;
constexpr size_t kDiskRevision = 0x2140, kDiskRevisionWidth = 128;
constexpr size_t kDeviceName = 0x21C0, kDeviceNameWidth = 64;
constexpr size_t kFileSystem = 0x2200, kFileSystemWidth = 64;
constexpr size_t kDriveSize = 0x2240, kDriveSizeWidth = 8;
constexpr size_t kDate = rec::kModuleDate, kTime = rec::kModuleTime, kStampWidth = rec::kStampWidth;
constexpr size_t kSerial = 0x2288, kSerialWidth = 35;
constexpr size_t kVersion = 0x22AB, kVersionWidth = 64;
constexpr size_t kBuild = 0x22EB, kBuildWidth = 32;
constexpr size_t kComment = 0x230B, kCommentWidth = 533;

struct Field {
  size_t offset, width;
};
// Every field of the descriptive part, in record order.
constexpr Field kFields[] = {
    {kUserName, kUserNameWidth}, {kRealName, kRealNameWidth}, {kLocation, kLocationWidth},
    {kEmail, kEmailWidth}, {kHomepage, kHomepageWidth},
    {kHardware, 32}, {kHardware + 32, 32}, {kHardware + 64, 32},            // main model
    {kHardware + 96, 32}, {kHardware + 128, 32}, {kHardware + 160, 32},     // busboard
    {kHardware + 192, 32}, {kHardware + 224, 32}, {kHardware + 256, 32},    // accelerator
    {kHardware + 288, 32}, {kHardware + 320, 32}, {kHardware + 352, 32},    // controller
    {kOverclocked, kOverclockedWidth}, {kClock, kClockWidth},
    {kCpu, 32}, {kFpu, 32}, {kMmu, 32}, {kTotalFast, 32}, {kTotalChip, 32}, {kOs, 32}, {kKs, 32}, {kWb, 32},
    {kDiskVendor, kDiskVendorWidth}, {kDiskProduct, kDiskProductWidth}, {kDiskRevision, kDiskRevisionWidth},
    {kDeviceName, kDeviceNameWidth}, {kFileSystem, kFileSystemWidth}, {kDriveSize, kDriveSizeWidth},
    {kDate, kStampWidth}, {kTime, kStampWidth}, {kSerial, kSerialWidth}, {kVersion, kVersionWidth},
    {kBuild, kBuildWidth}, {kComment, kCommentWidth},
};
// The fields tile the descriptive part: each starts where the one before
// ends, from the end of the results area to the end of the record.
constexpr bool FieldsTile() {
  size_t at = rec::kResultsAreaSize;
  for (const Field& f : kFields) {
    if (f.offset != at) return false;
    at += f.width;
  }
  return at == kSize;
}
static_assert(FieldsTile());
static_assert(kHardware + 4 * kHardwareGroupSize == kOverclocked);

// Version text every module of this release carries: modules made on other
// installations of the same release carry it too.
inline constexpr std::string_view kVersionText = "1.001";
// Seed of the scrambler's first byte; byte i uses kScrambleSeed + i.
constexpr uint32_t kScrambleSeed = 5318;
}  // namespace mod

// The text of a descriptive field (up to its NUL, or the whole field).
inline std::string_view ModuleText(const ModuleRecord& m, size_t offset, size_t width) {
  return m.text(offset, width);
}
inline std::string_view ModuleSerial(const ModuleRecord& m) { return m.text(mod::kSerial, mod::kSerialWidth); }

// The native-build text of this host: "Linux (" + the machine architecture
// as uname reports it + ")", cut to the field (31 characters).
std::string NativeBuildText();

// The processor-clock text: "%0.2f" of loopRate x 50 / 49710200, where
// loopRate is the loop count the BogoMIPS workload kept.
std::string ProcessorClockText(uint64_t loopRate);

// Fills the descriptive part of `m` (from offset 0x1C40 on; the date and
// time fields are left as MakeStamp wrote them) from the settings, the
// system information, the drive information and the host flags of ctx, and
// then sets its serial. The results area is not touched.
void FillModuleDescription(const Context& ctx, ModuleRecord& m);

// The MD5 digest of all 9504 bytes of m as the serial text: "0x" followed by
// 32 upper-case hexadecimal digits (first digest byte first).
std::string ComputeModuleSerial(const ModuleRecord& m);
// Computes the serial over the record as it stands (serial field included)
// and stores it, with its NUL, at the serial field.
void MakeModuleSerial(ModuleRecord& m);

// True when s is exactly "0x" followed by 32 upper-case hexadecimal digits:
// the only form a serial may have when it becomes part of a file name.
bool IsWellFormedSerial(std::string_view s);

// Scrambles or unscrambles a record in place (the same operation): byte i
// (0..9502) is XORed with (draw of the generator seeded kScrambleSeed + i)
// mod 255; the last byte passes through.
void ScrambleModule(ModuleRecord& m);

// The version and validity test.
enum class ModuleValidity { Valid, NotValid, TooOld };
// Without requester: NotValid when the serial field does not hold a
// well-formed serial (it must start with "0x" and, so that it can name a
// file, continue with exactly 32 upper-case hexadecimal digits); TooOld when
// the version reads 0.949 or lower; Valid otherwise (a version with no
// digits included).
ModuleValidity CheckModule(const ModuleRecord& m);
// CheckModule, showing the not-valid or too-old requester on failure.
bool ValidateModule(Context& ctx, const ModuleRecord& m);
// The not-valid requester alone (used wherever a serial is refused).
void ShowNotValid(Context& ctx);

// Reading a module file: at most 9504 bytes are read; a file that gives
// fewer is ShortFile; the bytes are unscrambled and validated (requester on
// failure) and only a valid record is copied into `dest`.
enum class ModuleRead { Ok, OpenFailed, ShortFile, Invalid };
// The stored (scrambled) 9504 bytes of a module file, without a request:
// Ok, OpenFailed or ShortFile.
ModuleRead ReadStoredModule(Dos& dos, std::string_view path, ModuleRecord& stored);
ModuleRead ReadModuleFile(Context& ctx, std::string_view path, ModuleRecord& dest);
// Writing a module file: the scrambled copy of `m`, 9504 bytes, written as a
// new file beside the target and renamed over it; false (and no file, no
// leftover) when the write failed.
bool WriteModuleFile(Context& ctx, std::string_view path, const ModuleRecord& m);

}  // namespace kr
