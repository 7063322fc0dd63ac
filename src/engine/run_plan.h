// What one run reads: its settings and its work scale.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>

#include "records/settings_record.h"

namespace kr {

struct RunPlan {
  // The settings the run reads: which tests, their switches and sizes, the
  // partition, the report (on or off, its file), and the rest of the
  // settings record. They are the saved settings with the run's own choices
  // applied (MakeRunPlan, shell/commands.h); none: the saved settings as the
  // run starts (RunBenchmark copies them in). A run never writes the saved
  // settings (Context::settings): every part of it reads these
  // (RunSettings, engine/context.h).
  std::optional<SettingsRecord> settings;

  // The divisor of the work the workloads do: their rounds, loop sizes,
  // transfer sizes and file counts, and the settling delays of the seek
  // test, are divided by it (each at least 1). 1 is
  // the work as defined; a run a user starts always has 1. Only the test
  // suite sets another, to run the end-to-end tests in seconds: in-process
  // tests through the plan they hand to RunBenchmark, the terminal program
  // from the environment variable KR_TEST_WORK_SCALE (kWorkScaleVariable),
  // which is documented as for the tests only. The settings file never
  // reaches it.
  uint32_t workScale = 1;
};

// The environment variable the terminal program reads its work scale from.
inline constexpr const char* kWorkScaleVariable = "KR_TEST_WORK_SCALE";

// The scale a variable's text gives: a whole number from 1 to 1000000; no
// text, or any other text, gives 1.
inline uint32_t ParseWorkScale(const char* text) {
  if (text == nullptr) return 1;
  const char* end = text + std::strlen(text);
  uint32_t v = 0;
  const auto [at, ec] = std::from_chars(text, end, v);
  if (ec != std::errc() || at != end || v < 1 || v > 1000000) return 1;
  return v;
}

// work / scale, but never below 1 (nor above work).
inline uint32_t ScaledWork(uint32_t work, uint32_t scale) {
  if (scale <= 1 || work == 0) return work;
  const uint32_t w = work / scale;
  return w ? w : 1;
}
inline uint64_t ScaledWork(uint64_t work, uint32_t scale) {
  if (scale <= 1 || work == 0) return work;
  const uint64_t w = work / scale;
  return w ? w : 1;
}

}  // namespace kr
