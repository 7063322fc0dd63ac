// Memory kernels against their plain references, and the time of a whole
// standard memory section on this machine.
//
//   BM_CopyFast2Fast vs BM_PlainMemcpy  (8 MiB blocks): target ratio >= 0.95
//   BM_MemsetFast    vs BM_PlainMemset  (8 MiB blocks): target ratio >= 0.95
//   BM_Copy_Ours/N vs BM_Copy_Reference/N (N = 128 B .. 8 MiB): the copy
//                             test's kernel (one platform call for all
//                             passes, as the test times it) against a loop
//                             of memcpy with the same passes; target >= 0.98
//                             at every size (perf/pairs.py gives the ratio
//                             as median and range of interleaved pairs).
//   BM_Read32_Ours/N vs BM_Read32_Reference/N (4 KiB, 64 KiB): the 32-bit
//                             read kernel against the same loads written
//                             plainly; target >= 1.0.
//   BM_StandardMemorySection: the memory section with every test enabled and
//                             default settings, real timer; target under two
//                             minutes.
//
// The ratios are bytes_per_second of ours over the reference's.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "bench/card.h"
#include "bench/memory/memory_kernels.h"
#include "bench/memory/memory_tests.h"
#include "records/catalogue.h"
#include "engine/context.h"
#include "engine/scoring.h"
#include "run/sections.h"
#include "engine/status_model.h"
#include "platform/fake/fake_requester.h"
#include "platform/linux/linux_dos.h"
#include "platform/linux/linux_exec.h"
#include "platform/linux/linux_timer.h"
#include "records/settings_record.h"

namespace {

constexpr uint32_t kBlock = 8 * 1048576;

// Buffers as the tests get them: FAST, cleared, from the platform.
struct Buffers {
  kr::LinuxExec exec;
  uint8_t* src = static_cast<uint8_t*>(exec.AllocVec(kBlock, kr::MEMF_FAST | kr::MEMF_CLEAR));
  uint8_t* dst = static_cast<uint8_t*>(exec.AllocVec(kBlock, kr::MEMF_FAST | kr::MEMF_CLEAR));
  ~Buffers() {
    exec.FreeVec(src);
    exec.FreeVec(dst);
  }
};

void BM_CopyFast2Fast(benchmark::State& state) {
  Buffers b;
  for (auto _ : state) {
    kr::CopyKernel(b.exec, b.src, b.dst, kBlock, 1);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kBlock);
}

void BM_PlainMemcpy(benchmark::State& state) {
  Buffers b;
  for (auto _ : state) {
    std::memcpy(b.dst, b.src, kBlock);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kBlock);
}

// The paired benchmarks share one pair of blocks: where the pages of a block
// lie in the caches (and whether it got huge pages) differs from one
// allocation to the next, and at 256 KiB that alone moved a pair by 10 %.
Buffers& SharedBuffers() {
  static Buffers shared;
  return shared;
}

// Passes per iteration: a mebibyte in all (at least one pass).
uint32_t PassesFor(uint32_t size) { return size >= 1048576 ? 1 : 1048576 / size; }

void BM_Copy_Ours(benchmark::State& state) {
  Buffers& b = SharedBuffers();
  const uint32_t size = uint32_t(state.range(0)), passes = PassesFor(size);
  kr::Exec& exec = b.exec;  // through the interface, as the test calls it
  for (auto _ : state) {
    kr::CopyKernel(exec, b.src, b.dst, size, passes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * size * passes);
}

void BM_Copy_Reference(benchmark::State& state) {
  Buffers& b = SharedBuffers();
  const uint32_t size = uint32_t(state.range(0)), passes = PassesFor(size);
  for (auto _ : state) {
    for (uint32_t p = 0; p < passes; ++p) {
      std::memcpy(b.dst, b.src, size);
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * size * passes);
}

// The 32-bit read kernel against the same loads written out here (32
// volatile loads per step, one statement each, the pass inlined into the
// pass loop, as the kernel had it before its pass got a function of its
// own). Target >= 1.0 at 4 KiB.
inline __attribute__((always_inline)) void Load32(const volatile uint32_t* p, volatile uint32_t& sink) { sink = *p; }
template <size_t... K>
inline __attribute__((always_inline)) void ReadGroup32(const volatile uint32_t* p, volatile uint32_t& sink,
                                                       std::index_sequence<K...>) {
  (Load32(p + K, sink), ...);
}
__attribute__((noinline)) void ReadInlinePasses32(const uint8_t* block, uint32_t bytes, uint32_t passes) {
  const volatile uint32_t* p = reinterpret_cast<const volatile uint32_t*>(block);
  volatile uint32_t sink = 0;
  const volatile uint32_t* end = p + bytes / 4 / 32 * 32;
  for (uint32_t pass = 0; pass < passes; ++pass)
    for (const volatile uint32_t* q = p; q < end; q += 32) ReadGroup32(q, sink, std::make_index_sequence<32>());
}

void BM_Read32_Ours(benchmark::State& state) {
  Buffers& b = SharedBuffers();
  const uint32_t size = uint32_t(state.range(0)), passes = PassesFor(size);
  for (auto _ : state) kr::ReadKernel32(b.src, size, passes);
  state.SetBytesProcessed(int64_t(state.iterations()) * size * passes);
}

void BM_Read32_Reference(benchmark::State& state) {
  Buffers& b = SharedBuffers();
  const uint32_t size = uint32_t(state.range(0)), passes = PassesFor(size);
  for (auto _ : state) ReadInlinePasses32(b.src, size, passes);
  state.SetBytesProcessed(int64_t(state.iterations()) * size * passes);
}

void BM_MemsetFast(benchmark::State& state) {
  Buffers b;
  for (auto _ : state) kr::FillKernel(b.dst, kBlock, 1);
  state.SetBytesProcessed(int64_t(state.iterations()) * kBlock);
}

void BM_PlainMemset(benchmark::State& state) {
  Buffers b;
  for (auto _ : state) {
    std::memset(b.dst, 0, kBlock);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kBlock);
}

// The memory section as a user starts it with every memory test switched on
// and the built-in default settings: on this host (no chip memory, no ROM)
// CPU Cache Read and the nine FAST tests run.
void BM_StandardMemorySection(benchmark::State& state) {
  kr::LinuxExec exec;
  kr::LinuxTimer timer;
  kr::FakeRequester requester;
  kr::StatusModel status;
  const std::string tmp = "/tmp";
  kr::LinuxDos dos(tmp, tmp);
  kr::Context ctx(exec, timer, dos, requester, status);
  kr::StandardSinks sinks(ctx);
  kr::SetBuiltinDefaults(ctx.settings);
  for (int p = 0; p < kr::kMemoryTests; ++p) ctx.settings.setMemEnabled(p, 1);
  ctx.run.noChipMemory = 1;
  kr::CountAllTests(ctx);
  for (auto _ : state) kr::RunMemorySection(ctx);
  state.counters["tests"] = ctx.countMemory;
  state.counters["total"] = ctx.results.score(kr::slot::kMemoryTotal).percent;
  for (int p = 0; p < kr::kMemoryTests; ++p) {
    kr::ScoreSlot s = ctx.results.score(kr::slot::kMemoryFirst + p);
    if (s.counts()) state.counters[kr::MemoryEntry(p).label] = s.percent;
  }
}

}  // namespace

BENCHMARK(BM_CopyFast2Fast)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PlainMemcpy)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Copy_Ours)->RangeMultiplier(8)->Range(128, kBlock)->MinTime(0.2);
BENCHMARK(BM_Copy_Reference)->RangeMultiplier(8)->Range(128, kBlock)->MinTime(0.2);
BENCHMARK(BM_Read32_Ours)->Arg(4096)->Arg(65536)->MinTime(0.2);
BENCHMARK(BM_Read32_Reference)->Arg(4096)->Arg(65536)->MinTime(0.2);
BENCHMARK(BM_MemsetFast)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PlainMemset)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_StandardMemorySection)->Unit(benchmark::kSecond)->Iterations(1);

BENCHMARK_MAIN();
