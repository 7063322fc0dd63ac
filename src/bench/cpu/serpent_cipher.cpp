// Serpent Cipher: one block encrypted in place over and over, then
// decrypted in place, through the AES-candidate interface.
#include "bench/cpu/serpent_cipher.h"

#include <cstring>

#include "bench/card.h"
#include "bench/cpu/processor_tests.h"
#include "bench/cpu/serpent.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "util/keep_memory.h"

namespace kr {
namespace {

constexpr const char* kRoutine = "Serpent en/decrytion";
// The test's key (the figures do not depend on it).
constexpr const char* kKeyText = "0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff";

}  // namespace

TestResult RunSerpentCipherWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, const SerpentRun& run) {
  constexpr CardLayout kCard = {"Serpent chiper", "%3lu.%0.1lu MBits/sec", &ProcessorEntry(cpu::kSerpent), 21,
                                nullptr, 0, "Method", "MBits/s"};
  const double megaBits = double(run.rounds) * 128.0 / 1e6;

  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn, {{"En-/Decrypting Rounds", nullptr, run.rounds}});
  double sum = 0.0;

  SerpentCipherInstance cipher;
  SerpentKeyInstance key;
  uint32_t block[4] = {0, 1, 2, 3};
  if (cipherInit(&cipher, SERPENT_MODE_ECB, "") <= 0) r.scored = false;
  if (makeKey(&key, run.direction, run.keyLen, run.keyText ? run.keyText : kKeyText) <= 0) r.scored = false;

  // Encrypting.
  BeginProcessorPhase(ctx, "\x1b" "bSerpent cipher\x1b" "n [1/2]", kRoutine, cacheOn, multitaskingOn, "Encrypting...");
  bool failed = false;
  // Every attempt starts from the same block.
  uint32_t first[4];
  std::memcpy(first, block, sizeof block);
  auto restart = [&] { std::memcpy(block, first, sizeof block); };
  double t = TimeWorkload(ctx, "CPU", "Serpent encrypting", cacheOn, multitaskingOn, restart, [&] {
    for (uint32_t i = 0; i < run.rounds; ++i) {
      if (blockEncrypt(&cipher, &key, block, 128, block) <= 0) failed = true;
      KeepMemory(block);
    }
  });
  if (failed) r.scored = false;
  double figure = RatePerSecond(megaBits, t);
  sum += figure;
  RecordProcessorFigure(ctx, r, rec::kSerpentEncrypt, figure, "MBits/s", "Encrypting");

  // Decrypting, with the same key instance.
  BeginProcessorPhase(ctx, "\x1b" "bSerpent cipher\x1b" "n [2/2]", kRoutine, cacheOn, multitaskingOn, "Decrypting...");
  failed = false;
  std::memcpy(first, block, sizeof block);
  t = TimeWorkload(ctx, "CPU", "Serpent decrypting", cacheOn, multitaskingOn, restart, [&] {
    for (uint32_t i = 0; i < run.rounds; ++i) {
      if (blockDecrypt(&cipher, &key, block, 128, block) <= 0) failed = true;
      KeepMemory(block);
    }
  });
  if (failed) r.scored = false;
  figure = RatePerSecond(megaBits, t);
  sum += figure;
  RecordProcessorFigure(ctx, r, rec::kSerpentDecrypt, figure, "MBits/s", "Decrypting");
  const double mean = sum * 0.5;
  RecordStoredFigure(ctx, r, rec::kSerpentMean, mean);

  CloseCard(ctx, r, mean);
  return r;
}

TestResult RunSerpentCipher(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  SerpentRun run;
  run.rounds = ScaledWork(kSerpentRounds, ctx.plan.workScale);
  return RunSerpentCipherWith(ctx, cacheOn, multitaskingOn, run);
}

}  // namespace kr
