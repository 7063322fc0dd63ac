// The host's memory as the Linux exec layer hands it out.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "platform/linux/linux_exec.h"

namespace kr {
namespace {

// Pages of [p, p + size) that are not in memory.
size_t MissingPages(const void* p, size_t size) {
  const auto page = uintptr_t(sysconf(_SC_PAGESIZE));
  const uintptr_t first = uintptr_t(p) & ~(page - 1);
  const uintptr_t end = uintptr_t(p) + size;
  std::vector<unsigned char> in((end - first + page - 1) / page);
  if (mincore(reinterpret_cast<void*>(first), end - first, in.data()) != 0) return in.size();
  size_t missing = 0;
  for (unsigned char b : in) missing += (b & 1) == 0;
  return missing;
}

// A timed region must not pay page faults: whatever the size and whether
// cleared or not, every page is resident when AllocVec returns.
TEST(LinuxExec, AllocatedMemoryIsResident) {
  LinuxExec exec;
  for (size_t size : {size_t(128), size_t(4096) * 3 + 7, size_t(1) << 20, size_t(8) << 20, size_t(64) << 20}) {
    for (uint32_t flags : {uint32_t(MEMF_FAST), uint32_t(MEMF_FAST | MEMF_CLEAR)}) {
      void* p = exec.AllocVec(size, flags);
      ASSERT_NE(p, nullptr) << size;
      EXPECT_EQ(MissingPages(p, size), 0u) << size << " bytes, flags " << flags;
      if (flags & MEMF_CLEAR) {
        const auto* b = static_cast<const unsigned char*>(p);
        EXPECT_EQ(b[0] | b[size / 2] | b[size - 1], 0) << size;
      }
      exec.FreeVec(p);
    }
  }
  EXPECT_EQ(exec.AllocVec(64, MEMF_CHIP), nullptr);  // no chip memory on this host
}

// A block that is only asked for (the start-up's memory check) is not made
// resident: most of its pages are still missing.
TEST(LinuxExec, UntouchedBlockIsNotMadeResident) {
  LinuxExec exec;
  const size_t size = size_t(18) << 20;
  void* p = exec.AllocVec(size, MEMF_FAST | MEMF_UNTOUCHED);
  ASSERT_NE(p, nullptr);
  EXPECT_GT(MissingPages(p, size), size / 4096 / 2);
  exec.FreeVec(p);
}

}  // namespace
}  // namespace kr
