#pragma once

#include "platform/exec.h"

namespace kr {

// Ordinary memory as FAST (large blocks page-aligned), no chip memory, no ROM.
// AllocVec returns memory that is resident, as the host's memory always is:
// every page has been faulted in (cleared or populated) before it returns, so
// no timed region pays the page faults of a fresh block.
// Forbid pins the thread to its CPU and moves it to SCHED_FIFO where allowed;
// Permit restores both exactly. The data-cache switch is recorded only.
class LinuxExec : public Exec {
 public:
  void* AllocVec(size_t size, uint32_t flags) override;
  void FreeVec(void* p) override;
  uint64_t AvailMem(uint32_t flags) override;
  uint64_t TotalMem(uint32_t flags) override;
  uint64_t MaxLocMem() override { return 0; }
  const uint8_t* RomBase() override { return nullptr; }
  size_t RomSize() override { return 0; }
  void Forbid() override;
  void Permit() override;
  uint32_t CacheControl(uint32_t bits, uint32_t mask) override;
  void CopyMem(const void* src, void* dst, size_t size) override;
  void CopyMemPasses(const void* src, void* dst, size_t size, uint32_t passes) override;
  // The kernel's real-time throttling (sched_rt_runtime_us per
  // sched_rt_period_us) once a Forbid got SCHED_FIFO; zero before, when it
  // could not, or when the host does not throttle (runtime -1).
  RealTimeBudget SpanBudget() override;

 private:
  bool fifoSeen_ = false;
  int forbidNest_ = 0;
  bool pinned_ = false;
  bool fifo_ = false;
  unsigned char savedMask_[128]{};  // cpu_set_t image
  int savedPolicy_ = 0;
  int savedPriority_ = 0;
  uint32_t cacr_ = CACRF_EnableD;
};

}  // namespace kr
