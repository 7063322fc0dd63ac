#include "records/catalogue.h"

namespace kr {

std::string TestKeyName(std::string_view label) {
  std::string out;
  for (char c : label) {
    if (c >= 'A' && c <= 'Z') out += char(c - 'A' + 'a');
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += c;
  }
  return out;
}

namespace {
template <typename Pred>
const CatalogueEntry* FindDrive(Pred pred) {
  for (int d = 1; d <= kDriveTests; ++d)
    if (pred(DriveEntry(d))) return &DriveEntry(d);
  return nullptr;
}
}  // namespace

const CatalogueEntry* DriveEntryOfSwitch(int s) {
  if (s == drive_switch::kFileSystem) return nullptr;
  return FindDrive([s](const CatalogueEntry& e) { return e.driveSwitch == s; });
}
const CatalogueEntry* DriveEntryOfCache(int i) {
  return FindDrive([i](const CatalogueEntry& e) { return e.driveCache == i; });
}
const CatalogueEntry* DriveEntryOfSweep(int i) {
  if (i < 0) return nullptr;
  return FindDrive([i](const CatalogueEntry& e) { return e.driveSweep == i; });
}

uint32_t BlockSizeOfStep(int32_t step) {
  if (step < 1 || step > 17) return 0;
  return 128u << (step - 1);
}

}  // namespace kr
