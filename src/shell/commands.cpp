#include "shell/commands.h"

#include <string>

#include "engine/scoring.h"
#include "engine/sections.h"

namespace kr {

bool RunSectionCommand(Context& ctx, int runMode) {
  static const char* const kNames[] = {"", "Processor", "Memory", "Harddrive"};
  if (runMode < 1 || runMode > 3) return false;
  int32_t count = runMode == 1 ? (ctx.countProcessor = CountProcessorTests(ctx))
                : runMode == 2 ? (ctx.countMemory = CountMemoryTests(ctx))
                               : (ctx.countDrive = CountDriveTests(ctx));
  if (count == 0) {
    std::string text = std::string("No \x1b" "b") + kNames[runMode] + "\x1b" "n Benchmark selected";
    ctx.requester.Request("\x1b" "bERROR\x1b" "n", text, "Abort");
    return false;
  }
  ctx.run.runMode = runMode;
  RunBenchmark(ctx);
  return true;
}

void SetAllTests(Context& ctx, char scope, bool on) {
  int32_t v = on ? 1 : 0;
  if (scope == '1' || scope == '4')
    for (int k = 1; k <= kProcessorTests; ++k) ctx.settings.setProcEnabled(k, v);
  if (scope == '2' || scope == '4')
    for (int p = 0; p < kMemoryTests; ++p) ctx.settings.setMemEnabled(p, v);
  // Write to Device (4) and SpinUP Device (6) are never switched on in bulk:
  // each is only ever enabled on its own, after its warning.
  if (scope == '3' || scope == '4')
    for (int i = 0; i <= 6; ++i)
      if (!on || (i != 4 && i != 6)) ctx.settings.setDriveEnabled(i, v);
}

}  // namespace kr
