// The database index entry (1003 bytes, as the index files ".dbi" hold them)
// and the module base's in-memory state (the Local and Server lists, the slot
// marks). Reading and writing index files is in modules/module_index.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/module_layout.h"
#include "util/bytes.h"

namespace kr {

namespace idx {
constexpr size_t kCountField = 10;  // "%ld", NUL-padded
constexpr size_t kEntrySize = 1003;

constexpr size_t kReserved = 0, kReservedWidth = 12;  // written as 0
constexpr size_t kPosition = 12;                      // s32: display position, -1 until shown
constexpr size_t kUserName = 16, kRealName = 48;
// Four hardware groups: vendor then product, 32 bytes each.
constexpr size_t kHardware = 80, kHardwareGroupSize = 64;
constexpr size_t kCpu = 336, kFpu = 368, kMmu = 400, kFast = 432, kChip = 464;
constexpr size_t kOs = 496, kKs = 528, kWb = 560;
constexpr size_t kOverclocked = 592;   // 16
constexpr size_t kDiskVendor = 608;    // 64
constexpr size_t kDiskProduct = 672;   // 64
constexpr size_t kDriveSize = 736;     // 8
constexpr size_t kDevice = 744;        // 64
constexpr size_t kFileSystem = 808;    // 64
constexpr size_t kDate = 872, kTime = 904;  // 32 each
constexpr size_t kSerial = 936;        // 35
constexpr size_t kBuild = 971;         // 32
static_assert(kHardware + 4 * kHardwareGroupSize == kCpu);
static_assert(kBuild + 32 == kEntrySize);

// Each text field of the entry and the module field it is copied from
// (the hardware fields follow the "Other" rule instead, see MakeIndexEntry).
struct Copy {
  size_t entry, module, width;
};
constexpr Copy kCopies[] = {
    {kUserName, mod::kUserName, 32}, {kRealName, mod::kRealName, 32},
    {kCpu, mod::kCpu, 32}, {kFpu, mod::kFpu, 32}, {kMmu, mod::kMmu, 32}, {kFast, mod::kTotalFast, 32},
    {kChip, mod::kTotalChip, 32}, {kOs, mod::kOs, 32}, {kKs, mod::kKs, 32}, {kWb, mod::kWb, 32},
    {kOverclocked, mod::kOverclocked, 16}, {kDiskVendor, mod::kDiskVendor, 64},
    {kDiskProduct, mod::kDiskProduct, 64}, {kDriveSize, mod::kDriveSize, 8}, {kDevice, mod::kDeviceName, 64},
    {kFileSystem, mod::kFileSystem, 64}, {kDate, mod::kDate, 32}, {kTime, mod::kTime, 32},
    {kSerial, mod::kSerial, 35}, {kBuild, mod::kBuild, 32},
};
}  // namespace idx

struct IndexEntry : ByteImage<idx::kEntrySize> {
  int32_t position() const { return s32(idx::kPosition); }
  void setPosition(int32_t p) { set_s32(idx::kPosition, p); }
  std::string_view serial() const { return text(idx::kSerial, 35); }
  std::string_view userName() const { return text(idx::kUserName, 32); }
  std::string_view realName() const { return text(idx::kRealName, 32); }
  std::string_view cpu() const { return text(idx::kCpu, 32); }
  std::string_view date() const { return text(idx::kDate, 32); }
  std::string_view time() const { return text(idx::kTime, 32); }
  std::string_view build() const { return text(idx::kBuild, 32); }
};

// The module base: the Local list (the one behind every view of the Local
// database) and the Server list, the four comparison slots' loaded marks
// (the records are Context::compare), and the drawers the import and export
// choosers remember.
struct ModuleBase {
  std::vector<IndexEntry> local;
  std::vector<IndexEntry> server;
  std::array<int32_t, 4> slotLoaded{};  // 0 empty, else the slot number 1..4
  std::string importDrawer = "Modules";
  std::string exportDrawer = "Modules";
  // Why an index file that is there could not be read or parsed (empty: it
  // was read, or there was none). A database in that state is not written:
  // its index would replace the modules it lists.
  std::string localError, serverError;
};

}  // namespace kr
