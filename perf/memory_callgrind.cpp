// A driver for counting the instructions and data accesses of the memory
// kernels under callgrind (see docs/memory-tests.md):
//
//   valgrind --tool=callgrind --cache-sim=yes --callgrind-out-file=cg.out
//       perf_memory_callgrind 4096 100
//   callgrind_annotate cg.out | grep -E 'ReadKernel8|EmptyLoopNest'
//
// It runs the byte-read kernel and the byte calibration nest once each over
// one block of the given size (bytes) for the given passes.
#include <cstdio>
#include <cstdlib>

#include "bench/memory/memory_kernels.h"
#include "engine/timing.h"
#include "platform/linux/linux_exec.h"

int main(int argc, char** argv) {
  const uint32_t bytes = argc > 1 ? uint32_t(std::strtoul(argv[1], nullptr, 10)) : 4096;
  const uint32_t passes = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 100;
  kr::LinuxExec exec;
  auto* block = static_cast<uint8_t*>(exec.AllocVec(bytes, kr::MEMF_FAST | kr::MEMF_CLEAR));
  if (!block) return 1;
  kr::ReadKernel8(block, bytes, passes);
  const uint64_t steps = kr::EmptyLoopNest(passes, bytes, 8);
  exec.FreeVec(block);
  std::printf("bytes %u passes %u: %llu loads expected, %llu calibration steps\n", bytes, passes,
              (unsigned long long)bytes * passes, (unsigned long long)steps);
  return 0;
}
