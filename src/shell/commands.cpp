#include "shell/commands.h"

#include <string>

#include "engine/scoring.h"
#include "records/catalogue.h"
#include "records/form_values.h"
#include "records/settings_record.h"
#include "run/sections.h"

namespace kr {

std::optional<RunOutcome> RunSectionCommand(Context& ctx, RunMode mode, const RunPlan& plan) {
  static const char* const kNames[] = {"", "Processor", "Memory", "Harddrive"};
  if (mode != RunMode::Processor && mode != RunMode::Memory && mode != RunMode::Drive) return std::nullopt;
  const int runMode = int(mode);
  const SettingsRecord& st = plan.settings ? *plan.settings : ctx.settings;
  int32_t count = mode == RunMode::Processor ? (ctx.countProcessor = CountProcessorTests(ctx, st))
                : mode == RunMode::Memory  ? (ctx.countMemory = CountMemoryTests(ctx, st))
                               : (ctx.countDrive = CountDriveTests(ctx, st));
  if (count == 0) {
    std::string text = std::string("No \x1b" "b") + kNames[runMode] + "\x1b" "n Benchmark selected";
    ctx.requester.Request(kErrorTitle, text, "Abort");
    return std::nullopt;
  }
  ctx.run.runMode = int32_t(mode);
  return RunBenchmark(ctx, plan);
}

void SetAllTests(Context& ctx, TestPages pages, bool on) { SetAllTests(ctx.settings, pages, on); }

void SetAllTests(SettingsRecord& settings, TestPages pages, bool on) {
  int32_t v = on ? 1 : 0;
  const bool all = pages == TestPages::All;
  if (all || pages == TestPages::Processor)
    for (int k = 1; k <= kProcessorTests; ++k) settings.setProcEnabled(k, v);
  if (all || pages == TestPages::Memory)
    for (int p = 0; p < kMemoryTests; ++p) settings.setMemEnabled(p, v);
  if (all || pages == TestPages::Drive)
    for (int i = 0; i < drive_switch::kCount; ++i)
      if (!on || BulkEnableDriveTest(i)) settings.setDriveEnabled(i, v);
}

RunPlan MakeRunPlan(const SettingsRecord& settings, const RunOverrides& o) {
  RunPlan plan;
  plan.workScale = o.workScale;
  SettingsRecord& s = plan.settings.emplace(settings);
  if (o.allTests) SetAllTests(s, *o.allTests, true);
  // The folder as the file system names it; only the report shows it in
  // Latin-1.
  if (!o.partition.empty()) s.set_text(cfg::kPartition, cfg::kPartitionWidth, o.partition);
  if (o.writeDevice) s.setDriveEnabled(drive_switch::kWriteDevice, 1);
  if (o.spinUpDevice) s.setDriveEnabled(drive_switch::kSpinUp, 1);
  if (!o.reportFile.empty()) {
    s.set_s32(cfg::kReportEnabled, 1);
    s.set_text(cfg::kReportFile, cfg::kPathWidth, o.reportFile);
  } else if (!o.defaultReportName.empty() && s.reportEnabled() != 0 && s.reportFile() == kDefaultReportFile) {
    s.set_text(cfg::kReportFile, cfg::kPathWidth, o.defaultReportName);
  }
  return plan;
}

RuleOutcome BulkEnableDriveTest(int index) {
  if (index == drive_switch::kWriteDevice)
    return RuleOutcome::Refuse("Write to Device is switched on only by itself, after its warning");
  if (index == drive_switch::kSpinUp)
    return RuleOutcome::Refuse("SpinUP Device is switched on only by itself, after its warning");
  return RuleOutcome::Allow();
}

FileNameCheck CheckChosenFileName(std::string_view name) {
  // The ':' first: a name with one cannot be used whatever its length.
  if (name.find(':') != std::string_view::npos) return {FileNameFault::Colon, RuleOutcome::Refuse("holds a ':'")};
  if (name.size() > limit::kPath)
    return {FileNameFault::TooLong, RuleOutcome::Refuse("is longer than 255 characters")};
  return {};
}

}  // namespace kr
