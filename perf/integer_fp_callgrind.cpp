// A driver for counting the instructions of the integer workloads under
// callgrind (see docs/measurement.md):
//
//   valgrind --tool=callgrind --callgrind-out-file=cg.out
//       perf_integer_fp_callgrind 100000 25 10000000 1000 4096
//   callgrind_annotate --inclusive=yes cg.out
//
// Arguments: Dhrystone runs, Fibonacci argument, delay-loop count, and the
// passes and block size of one byte calibration nest. Each workload runs
// once; the printed results show the work was done.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bench/cpu/bogomips.h"
#include "bench/cpu/dhrystone.h"
#include "bench/cpu/fibonacci.h"
#include "engine/timing.h"

int main(int argc, char** argv) {
  auto arg = [&](int i, unsigned long d) { return argc > i ? std::strtoul(argv[i], nullptr, 10) : d; };
  const auto runs = int32_t(arg(1, 100000));
  const auto fibN = int32_t(arg(2, 25));
  const auto delay = uint32_t(arg(3, 10000000));
  const auto passes = uint32_t(arg(4, 1000));
  const auto block = uint32_t(arg(5, 4096));

  kr::dhry::Record r1{}, r2{};
  auto g = std::make_unique<kr::dhry::State>();
  kr::dhry::Init(*g, &r1, &r2);
  kr::dhry::Locals locals;
  kr::dhry::Run(*g, runs, locals);

  const int32_t fib = kr::Fibonacci(fibN);
  kr::DelayLoop(delay);
  const uint64_t steps = kr::EmptyLoopNest(passes, block, 8);

  std::printf("dhrystone runs %d: Arr_2_Glob[8][7] = %d\n", runs, g->Arr_2_Glob[8][7]);
  std::printf("fibonacci(%d) = %d, expected calls %lld\n", fibN, fib, 2LL * fib - 1);
  std::printf("delay loop count %u\n", delay);
  std::printf("calibration nest: %llu inner steps\n", (unsigned long long)steps);
  return 0;
}
