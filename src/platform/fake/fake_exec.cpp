#include "platform/fake/fake_exec.h"

#include <cstdlib>
#include <cstring>

namespace kr {

void* FakeExec::AllocVec(size_t size, uint32_t flags) {
  ++allocCount;
  if (failAllocs.count(allocCount)) return nullptr;
  if ((flags & MEMF_CHIP) && (chipSize == 0 || failChip)) return nullptr;
  if (!(flags & MEMF_CHIP) && failFast) return nullptr;
  auto* raw = static_cast<unsigned char*>(std::malloc(size + 16));
  if (!raw) return nullptr;
  if (flags & MEMF_CLEAR) std::memset(raw + 16, 0, size);
  ++liveBlocks;
  return raw + 16;
}

void FakeExec::FreeVec(void* p) {
  if (!p) return;
  --liveBlocks;
  std::free(static_cast<unsigned char*>(p) - 16);
}

uint64_t FakeExec::AvailMem(uint32_t flags) { return (flags & MEMF_CHIP) ? chipSize : (uint64_t(1) << 32); }
uint64_t FakeExec::TotalMem(uint32_t flags) { return (flags & MEMF_CHIP) ? chipSize : (uint64_t(1) << 32); }

uint32_t FakeExec::CacheControl(uint32_t bits, uint32_t mask) {
  calls.push_back((bits & mask) ? "CacheOn" : "CacheOff");
  uint32_t old = cacr_;
  cacr_ = (cacr_ & ~mask) | (bits & mask);
  return old;
}

void FakeExec::CopyMem(const void* src, void* dst, size_t size) { std::memmove(dst, src, size); }

}  // namespace kr
