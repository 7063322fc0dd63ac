// Mars Cipher: key setups, then one block encrypted and decrypted over and
// over, each timed on its own.
#include "bench/cpu/mars_cipher.h"

#include <string>

#include "bench/card.h"
#include "bench/cpu/mars.h"
#include "bench/cpu/processor_tests.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "util/keep_memory.h"

namespace kr {
namespace {

constexpr const char* kRoutine = "IBM mars en/decrytion";

// Millions of bits of rounds 128-bit keys or blocks.
double MegaBits(uint32_t rounds) { return double(rounds) * 128.0 / 1e6; }

}  // namespace

TestResult RunMarsCipherWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, uint32_t setupRounds,
                             uint32_t cryptRounds) {
  constexpr CardLayout kCard = {"Mars chiper", "%3lu.%0.1lu MBits/sec", &ProcessorEntry(cpu::kMars), 21, nullptr, 0,
                                "Method", "MBits/s"};
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn,
                          {{"Setup Rounds", nullptr, setupRounds}, {"En-/Decrypting Rounds", nullptr, cryptRounds}});

  // The test's key and block: fixed values (the figures do not depend on them).
  uint32_t key[4] = {0x01234567u, 0x89abcdefu, 0xfedcba98u, 0x76543210u};
  uint32_t expanded[kMarsExpandedWords];
  const uint32_t in[4] = {0x00000000u, 0x11111111u, 0x22222222u, 0x33333333u};
  uint32_t out[4] = {};
  double sum = 0.0;

  // Setup.
  BeginProcessorPhase(ctx, "\x1b" "bMars cipher\x1b" "n [1/3]", kRoutine, cacheOn, multitaskingOn, "Setup...");
  const uint32_t firstKey = key[0];
  double t = TimeWorkload(
      ctx, "CPU", "Mars setup", cacheOn, multitaskingOn, [&] { key[0] = firstKey; },  // every attempt runs the same keys
      [&] {
        for (uint32_t i = 0; i < setupRounds; ++i) {
          MarsSetKey(key, 4, expanded);
          KeepMemory(expanded);
          key[0] += 1;  // wraps at 2^32
        }
      });
  double figure = RatePerSecond(MegaBits(setupRounds), t);
  sum += figure;
  RecordProcessorFigure(ctx, r, rec::kMarsSetup, figure, "MBits/s", "Setup");

  // Encrypting.
  BeginProcessorPhase(ctx, "\x1b" "bMars cipher\x1b" "n [2/3]", kRoutine, cacheOn, multitaskingOn, "Encrypting...");
  MarsSetKey(key, 4, expanded);
  t = TimeWorkload(ctx, "CPU", "Mars encrypting", cacheOn, multitaskingOn, [&] {
    for (uint32_t i = 0; i < cryptRounds; ++i) {
      MarsEncrypt(in, out, expanded);
      KeepMemory(out);
    }
  });
  figure = RatePerSecond(MegaBits(cryptRounds), t);
  sum += figure;
  RecordProcessorFigure(ctx, r, rec::kMarsEncrypt, figure, "MBits/s", "Encrypting");

  // Decrypting.
  BeginProcessorPhase(ctx, "\x1b" "bMars cipher\x1b" "n [3/3]", kRoutine, cacheOn, multitaskingOn, "Decrypting...");
  t = TimeWorkload(ctx, "CPU", "Mars decrypting", cacheOn, multitaskingOn, [&] {
    for (uint32_t i = 0; i < cryptRounds; ++i) {
      MarsDecrypt(in, out, expanded);
      KeepMemory(out);
    }
  });
  figure = RatePerSecond(MegaBits(cryptRounds), t);
  sum += figure;
  RecordProcessorFigure(ctx, r, rec::kMarsDecrypt, figure, "MBits/s", "Decrypting");
  const double mean = sum * (1.0 / 3.0);
  RecordStoredFigure(ctx, r, rec::kMarsMean, mean);

  CloseCard(ctx, r, mean);
  return r;
}

TestResult RunMarsCipher(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  const uint32_t scale = ctx.plan.workScale;
  return RunMarsCipherWith(ctx, cacheOn, multitaskingOn, ScaledWork(kMarsSetupRounds, scale),
                           ScaledWork(kMarsCryptRounds, scale));
}

}  // namespace kr
