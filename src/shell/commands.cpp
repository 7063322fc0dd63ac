#include "shell/commands.h"

#include <string>

#include "engine/scoring.h"
#include "run/sections.h"

namespace kr {

std::optional<RunOutcome> RunSectionCommand(Context& ctx, RunMode mode, const RunPlan& plan) {
  static const char* const kNames[] = {"", "Processor", "Memory", "Harddrive"};
  if (mode != RunMode::Processor && mode != RunMode::Memory && mode != RunMode::Drive) return std::nullopt;
  const int runMode = int(mode);
  int32_t count = mode == RunMode::Processor ? (ctx.countProcessor = CountProcessorTests(ctx))
                : mode == RunMode::Memory  ? (ctx.countMemory = CountMemoryTests(ctx))
                               : (ctx.countDrive = CountDriveTests(ctx));
  if (count == 0) {
    std::string text = std::string("No \x1b" "b") + kNames[runMode] + "\x1b" "n Benchmark selected";
    ctx.requester.Request("\x1b" "bERROR\x1b" "n", text, "Abort");
    return std::nullopt;
  }
  ctx.run.runMode = int32_t(mode);
  return RunBenchmark(ctx, plan);
}

void SetAllTests(Context& ctx, TestPages pages, bool on) {
  int32_t v = on ? 1 : 0;
  const bool all = pages == TestPages::All;
  if (all || pages == TestPages::Processor)
    for (int k = 1; k <= kProcessorTests; ++k) ctx.settings.setProcEnabled(k, v);
  if (all || pages == TestPages::Memory)
    for (int p = 0; p < kMemoryTests; ++p) ctx.settings.setMemEnabled(p, v);
  // Write to Device (4) and SpinUP Device (6) are never switched on in bulk:
  // each is only ever enabled on its own, after its warning.
  if (all || pages == TestPages::Drive)
    for (int i = 0; i <= 6; ++i)
      if (!on || (i != 4 && i != 6)) ctx.settings.setDriveEnabled(i, v);
}

}  // namespace kr
