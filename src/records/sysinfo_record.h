// The system-information record: eight 32-byte zero-terminated texts.
#pragma once

#include <string_view>

#include "util/bytes.h"

namespace kr {

namespace sysrec {
constexpr size_t kTextWidth = 32;
enum Field { kTotalFast = 0, kTotalChip, kCpu, kFpu, kMmu, kOs, kKs, kWb, kFieldCount };
}  // namespace sysrec

struct SystemInfo : ByteImage<sysrec::kTextWidth * sysrec::kFieldCount> {
  std::string_view field(int f) const { return text(size_t(f) * sysrec::kTextWidth, sysrec::kTextWidth); }
  void setField(int f, std::string_view t) { set_text(size_t(f) * sysrec::kTextWidth, sysrec::kTextWidth, t); }
};

// Defaults before detection: CPU, FPU and MMU "None", OS "Unknown", the rest empty.
inline void ResetSystemInfo(SystemInfo& s) {
  s.Clear();
  s.setField(sysrec::kCpu, "None");
  s.setField(sysrec::kFpu, "None");
  s.setField(sysrec::kMmu, "None");
  s.setField(sysrec::kOs, "Unknown");
}

}  // namespace kr
