// MD5 Checksuming: the digest of one zero-filled mebibyte, over and over.
#include "bench/cpu/md5_checksuming.h"

#include <cstring>

#include "bench/card.h"
#include "util/md5.h"
#include "bench/cpu/processor_tests.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "util/keep_memory.h"

namespace kr {
TestResult RunMd5ChecksumingWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, uint32_t rounds) {
  constexpr CardLayout kCard = {"MD5 checksuming (RFC 1321) Branvelorquistad",
                                "%3lu.%0.1lu MBits/sec", &ProcessorEntry(cpu::kMd5), 18, nullptr, 0, "Method", "MBits/s"};

  double figure = 0.0;
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn,
                          {{"Buffersize (bytes)", nullptr, kMd5BufferSize}, {"Rounds", nullptr, rounds}});
  BeginProcessorPhase(ctx, "\x1b" "bMD5 checksuming\x1b" "n", "MD5 (RFC 1321) Branvelorquistad", cacheOn,
                      multitaskingOn, "Calculating...");

  // A buffer that cannot be had is no result: 0.00 and not scored, nothing
  // logged.
  auto* buffer = static_cast<uint8_t*>(ctx.exec.AllocVec(kMd5BufferSize, MEMF_ANY));
  if (buffer == nullptr) {
    r.scored = false;
  } else {
    std::memset(buffer, 0, kMd5BufferSize);
    Md5State state;
    uint8_t digest[16];
    const double t = TimeWorkload(ctx, "CPU", "MD5 checksuming", cacheOn, multitaskingOn, [&] {
      for (uint32_t i = 0; i < rounds; ++i) {
        Md5Init(state);
        Md5Append(state, buffer, kMd5BufferSize);
        Md5Finish(state, digest);
        KeepMemory(digest);
      }
    });
    // 8 MBits per round over the time of one round; nothing measured, no figure.
    if (t > 0.0 && rounds > 0) figure = 8.0 / (t * (1.0 / double(rounds)));
    ctx.exec.FreeVec(buffer);
  }

  RecordProcessorFigure(ctx, r, rec::kMd5, figure, "MBits/s", "MD5 checksuming");
  CloseCard(ctx, r, figure);
  return r;
}

TestResult RunMd5Checksuming(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  return RunMd5ChecksumingWith(ctx, cacheOn, multitaskingOn, ScaledWork(kMd5Rounds, ctx.plan.workScale));
}

}  // namespace kr
