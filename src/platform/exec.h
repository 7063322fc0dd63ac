// What the system asks of the host's kernel: memory with memory types, the
// scheduling switch (Forbid/Permit) and the data-cache switch.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kr {

// Memory type flags, as the system passes them.
enum : uint32_t {
  MEMF_ANY = 0,
  MEMF_PUBLIC = 1u << 0,
  MEMF_CHIP = 1u << 1,
  MEMF_FAST = 1u << 2,
  MEMF_CLEAR = 1u << 16,
  // The host's own: the block need not be backed yet. A block is otherwise
  // made resident when it is handed out, so that no timed access faults;
  // a check that only asks whether the block can be had does not pay that.
  MEMF_UNTOUCHED = 1u << 24,
};
constexpr uint32_t CACRF_EnableD = 0x100;

class Exec {
 public:
  virtual ~Exec() = default;

  // AllocVec/FreeVec: nullptr when the memory type is not available or the
  // request cannot be met. MEMF_CLEAR zero-fills.
  virtual void* AllocVec(size_t size, uint32_t flags) = 0;
  virtual void FreeVec(void* p) = 0;
  // Free and largest bytes of a memory type (MEMF_FAST, MEMF_CHIP).
  virtual uint64_t AvailMem(uint32_t flags) = 0;
  virtual uint64_t TotalMem(uint32_t flags) = 0;
  // Highest chip address; 0 when the host has no chip memory.
  virtual uint64_t MaxLocMem() = 0;
  // The start of the system ROM image and its size; nullptr/0 when the host has none.
  virtual const uint8_t* RomBase() = 0;
  virtual size_t RomSize() = 0;

  // Scheduling switch: Forbid nests; Permit undoes one Forbid.
  virtual void Forbid() = 0;
  virtual void Permit() = 0;
  // Sets the cache bits under mask and returns the previous bits.
  virtual uint32_t CacheControl(uint32_t bits, uint32_t mask) = 0;
  // The host's memory copy.
  virtual void CopyMem(const void* src, void* dst, size_t size) = 0;
  // `passes` copies of the same block, one after the other: one call for a
  // whole timed run, so the per-pass cost is the copy's own (no dispatch).
  // Every pass copies; none is merged with another or dropped.
  virtual void CopyMemPasses(const void* src, void* dst, size_t size, uint32_t passes) {
    for (uint32_t pass = 0; pass < passes; ++pass) CopyMem(src, dst, size);
  }

  // The real-time budget the host enforces on spans between Forbid and
  // Permit: so much run time (microseconds) per period. Zero runtime: the
  // spans do not run under a real-time policy, or the host sets no budget.
  struct RealTimeBudget {
    int64_t runtimeUs = 0;
    int64_t periodUs = 0;
  };
  virtual RealTimeBudget SpanBudget() { return {}; }
};

}  // namespace kr
