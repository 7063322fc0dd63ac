// Test doubles for the host's kernel services.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/exec.h"

namespace kr {

// Ordinary memory for FAST and, when chipSize > 0, for CHIP too; an optional
// ROM image. Every scheduling and cache call is recorded in `calls`, and
// allocations can be made to fail by their sequence number (1-based) or all
// allocations of a memory type.
class FakeExec : public Exec {
 public:
  uint64_t chipSize = 0;         // 0: a host without chip memory
  std::vector<uint8_t> rom;      // empty: no ROM
  std::set<int> failAllocs;      // allocation numbers that fail
  bool failChip = false;
  bool failFast = false;
  int allocCount = 0;
  int liveBlocks = 0;
  std::vector<std::string> calls;  // "Forbid", "Permit", "Cache 0/100"

  void* AllocVec(size_t size, uint32_t flags) override;
  void FreeVec(void* p) override;
  uint64_t AvailMem(uint32_t flags) override;
  uint64_t TotalMem(uint32_t flags) override;
  uint64_t MaxLocMem() override { return chipSize; }
  const uint8_t* RomBase() override { return rom.empty() ? nullptr : rom.data(); }
  size_t RomSize() override { return rom.size(); }
  void Forbid() override { calls.push_back("Forbid"); }
  void Permit() override { calls.push_back("Permit"); }
  uint32_t CacheControl(uint32_t bits, uint32_t mask) override;
  void CopyMem(const void* src, void* dst, size_t size) override;
  // A real-time budget to report (none unless a test sets one).
  RealTimeBudget budget;
  RealTimeBudget SpanBudget() override { return budget; }

 private:
  uint32_t cacr_ = CACRF_EnableD;
};

}  // namespace kr
