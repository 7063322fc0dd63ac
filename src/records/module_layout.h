// The module record's layout: the 9504-byte results record with its
// descriptive part (who, which machine and system, which drive, when, serial,
// version, build, comment). The results area (bytes 0..7231) is described in
// records/results.h; making, checking and filing modules in modules/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/results.h"

namespace kr {

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

}  // namespace kr
