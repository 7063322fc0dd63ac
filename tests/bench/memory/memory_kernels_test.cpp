// The memory kernels touch exactly their block (the sanitizer build catches a
// stray access) and do what they promise; the empty-loop nests count their
// steps.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/memory/memory_kernels.h"
#include "engine/timing.h"
#include "platform/fake/fake_exec.h"

namespace kr {
namespace {

// A heap block of exactly `bytes` bytes, so that any access past its end is
// an error under the sanitizers.
std::unique_ptr<uint8_t[]> Block(size_t bytes, uint8_t fill) {
  std::unique_ptr<uint8_t[]> p(new uint8_t[bytes]);
  std::memset(p.get(), fill, bytes);
  return p;
}

TEST(MemoryKernels, WriteKernelsZeroEveryElementAndStayInsideTheBlock) {
  using Fn = void (*)(uint8_t*, uint32_t, uint32_t);
  struct Case {
    Fn fn;
    uint32_t bytes;
    uint32_t touched;  // whole groups of 8, 16 or 32 elements
  };
  const Case cases[] = {
      {WriteKernel8, 128, 128}, {WriteKernel16, 256, 256}, {WriteKernel32, 4096, 4096},
      // Partial trailing groups are left alone rather than overrun.
      {WriteKernel8, 100, 96},  {WriteKernel16, 100, 96},  {WriteKernel32, 200, 128},
  };
  for (const Case& c : cases) {
    auto b = Block(c.bytes, 0xAA);
    c.fn(b.get(), c.bytes, 3);
    for (uint32_t i = 0; i < c.bytes; ++i)
      ASSERT_EQ(b[i], i < c.touched ? 0 : 0xAA) << "bytes " << c.bytes << " at " << i;
  }
}

TEST(MemoryKernels, ReadKernelsLeaveTheBlockAsItWas) {
  using Fn = void (*)(const uint8_t*, uint32_t, uint32_t);
  for (Fn fn : {ReadKernel8, ReadKernel16, ReadKernel32}) {
    for (uint32_t bytes : {128u, 100u, 8192u}) {
      auto b = Block(bytes, 0x5C);
      fn(b.get(), bytes, 2);
      for (uint32_t i = 0; i < bytes; ++i) ASSERT_EQ(b[i], 0x5C);
    }
  }
}

TEST(MemoryKernels, FillCopyAndAllocKernels) {
  FakeExec exec;
  auto src = Block(1024, 0x11);
  auto dst = Block(1024, 0x00);
  CopyKernel(exec, src.get(), dst.get(), 1024, 2);
  EXPECT_EQ(std::memcmp(src.get(), dst.get(), 1024), 0);

  FillKernel(dst.get(), 1024, 2);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(dst[i], 0);

  // One allocation and release per pass.
  EXPECT_TRUE(AllocKernel(exec, 256, MEMF_FAST | MEMF_CLEAR, 5));
  EXPECT_EQ(exec.allocCount, 5);
  EXPECT_EQ(exec.liveBlocks, 0);

  // The third allocation fails: the kernel stops there and leaks nothing.
  FakeExec failing;
  failing.failAllocs = {3};
  EXPECT_FALSE(AllocKernel(failing, 256, MEMF_FAST, 10));
  EXPECT_EQ(failing.allocCount, 3);
  EXPECT_EQ(failing.liveBlocks, 0);
}

TEST(MemoryKernels, EmptyLoopNestRunsTheKernelLoopShape) {
  struct Case {
    uint32_t passes, limit, stride;
    uint64_t steps;
  };
  const Case cases[] = {
      {3, 7, 8, 3},         // a block of 7 bytes still steps once per pass
      {2, 128, 8, 32},      // byte shape over 128 bytes
      {1, 64, 16, 4},       // word shape: 128 bytes are 64 halfwords
      {5, 32, 32, 5},       // long shape: 128 bytes are 32 longwords
      {524288, 128, 8, 8388608},
      {4, 0, 8, 0},
      {0, 128, 8, 0},
      {2, 10, 3, 8},        // any other stride
  };
  for (const Case& c : cases)
    EXPECT_EQ(EmptyLoopNest(c.passes, c.limit, c.stride), c.steps) << c.passes << " " << c.limit << " " << c.stride;
}

}  // namespace
}  // namespace kr
