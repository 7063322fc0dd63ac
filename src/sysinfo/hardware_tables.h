// The maker and model lists of the four hardware families (main model,
// busboard, accelerator, controller) and the composing of the hardware texts
// the report's GENERAL block and the module record carry.
#pragma once

#include <cstdint>
#include <string>

namespace kr {

struct Context;

namespace hw {
enum Family { kMainModel = 0, kBusboard = 1, kAccelerator = 2, kController = 3, kFamilyCount = 4 };
// Index of the "Other" maker in each family's maker list.
constexpr int kOtherVendor[kFamilyCount] = {12, 10, 16, 20};
// Index of the "None" maker, -1 when the family has none (the main model).
constexpr int kNoneVendor[kFamilyCount] = {-1, 9, 15, 19};
// Longest combined hardware text (without terminator).
constexpr size_t kCombinedMax = 96;
}  // namespace hw

// Number of makers in a family's list; 0 for an unknown family.
int VendorCount(int family);
// Number of models in a maker's list; 0 for an unknown family or maker.
int ModelCount(int family, int vendor);
// The maker text, nullptr when family or vendor is out of range.
const char* VendorName(int family, int vendor);
// The model text, nullptr when family, vendor or model is out of range.
const char* ModelName(int family, int vendor, int model);

// The three record fields of one family: maker and model list entries of the
// settings' indexes (empty when an index is outside the lists) and the
// override: the family's "Other:" text when its "Other" maker is chosen; for
// the main model the host's own label replaces it (see HostMainModelLabel).
struct HardwareFields {
  std::string maker, model, override;
};
HardwareFields ComposeHardwareFields(const Context& ctx, int family);

// The label that stands for the main model on a host that is not a classic
// machine, from the run-state host flags: on a no-chip-memory host the
// detected machine name (run.hostModel) or, when detection gave none,
// "Pegasos Hardware"; else "AmigaXL/Amithlon" on an Amithlon host; empty on a
// classic host. The no-chip test wins over the Amithlon test.
std::string HostMainModelLabel(const Context& ctx);

// The combined text of one family from the settings' choices and the host
// flags: the override ("Other:" text or the emulated host's label) when not
// empty, else maker + " - " + model, or the maker alone when it is "None"
// (busboard, accelerator, controller). At most hw::kCombinedMax characters;
// an out-of-range index yields an empty part, never a crash. Empty for an
// unknown family.
std::string HardwareText(const Context& ctx, int family);

// "YES" or "NO" from the settings switch; "Not avail" on an Amithlon or
// no-chip-memory host.
std::string OverclockedText(const Context& ctx);

// DOS-type texts of a partition's file system ("0x444F5303 [DOS3]" and
// "Fast FileSystem International"); "Unknown" for a type outside the table.
const char* DosTypeIdText(uint32_t dosType);
const char* DosTypeNameText(uint32_t dosType);

}  // namespace kr
