#include "shell/make_module.h"

#include <algorithm>
#include <string>

#include "records/catalogue.h"

#include "engine/errorlog.h"
#include "modules/module_base.h"
#include "settings/settings_form.h"

namespace kr {

namespace {

constexpr std::string_view kInformationTitle = "\x1b" "bINFORMATION\x1b" "n";

}  // namespace

std::string WriteDeviceSpan(const Context& ctx, WriteDeviceFor run) {
  // The span the sweep's largest step rewrites: block 123 and on. A module
  // is made with every test page at its defaults.
  const uint32_t geometrySector = ctx.driveInfo.field(drive_field::kSectorSize);
  const uint32_t sector = geometrySector != 0 ? geometrySector : 512;
  const int32_t stop = run == WriteDeviceFor::MakeModule ? DriveEntryOfSweep(3)->defaults.sweepStop
                                                         : ctx.settings.driveSweepStop(3);
  const int32_t high = std::clamp(stop, 1, 17);
  const uint64_t first = 123ull * sector, last = first + BlockSizeOfStep(high) - 1;
  const std::string device = ctx.driveInfo.deviceName[0] ? std::string(ctx.driveInfo.deviceName) : "the partition's disk";
  return "* It rewrites bytes " + std::to_string(first) + " to " + std::to_string(last) + " of \x1b" "b" + device +
         "\x1b" "n, and runs only when no file system of that disk is mounted.\n";
}

void ShowWriteDeviceWarning(Context& ctx, WriteDeviceFor run) {
  ctx.requester.Request(
      kInformationTitle,
      "* This test reads data located at block '123' and stores it to a buffer.\n"
      "  Then this data would be writen back raw, not via the filesystem.\n\n"
      "* This Test could be dangerous if the system crashes or freezes while this action!\n"
      "* If so, the filesystem could be damaged.\n"
      "* Use only if you want to know the device WRITE-speed and the KelvaRANKS.\n" +
          WriteDeviceSpan(ctx, run) +
          "\n\n"
          "Test is now \x1b" "bENABLED\x1b" "n !",
      "I understand");
}

void ShowSpinUpDeviceWarning(Context& ctx) {
  ctx.requester.Request(kInformationTitle,
                        "* This test measures the time between stoping and re-starting the harddrive.\n"
                        "* Use if you want to know the time the device needs to spin-up and the KelvaRANKS.\n\n"
                        "* Don't be angry enabling this test on a real amiga/pegasos.\n"
                        "* But better avoid it on AmigaXL/Amithlon...",
                        "I understand");
}

bool ModuleMaker::PrepareSettings(Context& ctx, SettingsRecord& settings) {
  SettingsForm f = ctx.form;
  ResetForm(f, ResetScope::TestPages, ctx.run.amithlon != 0 || ctx.run.noChipMemory != 0);
  f.procEnabled.fill(true);
  f.procEnabled[0] = false;  // index 0 is not a test
  f.memEnabled.fill(true);
  // Write to Device and SpinUP Device only by their options, below.
  for (size_t i = 0; i < f.driveEnabled.size(); ++i)
    f.driveEnabled[i] = int(i) != drive_switch::kWriteDevice && int(i) != drive_switch::kSpinUp;
  // The report is the one the run writes.
  f.reportEnabled = settings.reportEnabled() != 0;
  f.reportFile = std::string(settings.reportFile());
  SettingsError err;
  if (!ValidateSettingsForm(f, err)) {
    ctx.requester.Request(err.title, err.text, err.button);
    return false;
  }
  CopyFormToSettings(f, settings);
  if (options_.writeDevice) settings.setDriveEnabled(drive_switch::kWriteDevice, 1);
  if (options_.spinUpDevice) settings.setDriveEnabled(drive_switch::kSpinUp, 1);
  return true;
}

std::string ModuleMaker::StoreModule(Context& ctx) {
  FillResult r = FillModuleHeader(ctx);
  if (r.add != AddResult::Added) {
    // Invalid and duplicate modules have had their request; a module file
    // that could not be written has not.
    if (r.add == AddResult::WriteFailed)
      LogError(ctx, "GENERAL", "FillModuleHeader", "Can't write module to 'Local' database!");
    return {};
  }
  if (!r.indexSaved) LogError(ctx, "GENERAL", "FillModuleHeader", "Can't save 'Local' database index!");
  ctx.requester.Request(kInformationTitle,
                        "Creation completed!\n\nYour new module was added to the 'Local' database.\n\n\nPress "
                        "\x1b" "b'Upload'\x1b" "n to make it public!",
                        "Nice");
  return std::string(ModuleSerial(ctx.results));
}

std::optional<RunOutcome> MakeModuleCommand(Context& ctx, const MakeModuleOptions& options, const SectionRuns& runs,
                                            const RunPlan& plan) {
  int answer = ctx.requester.Request("\x1b" "bREQUEST\x1b" "n",
                                     "Are you sure? - You \x1b" "bcan't\x1b" "n (yet) abort this action",
                                     "Continue|Abort");
  if (answer != 0) return std::nullopt;
  ctx.run.chipRamTests = options.chipRamTests ? 1 : 0;
  ctx.run.multitaskingAtAll = options.multitaskingAtAll ? 1 : 0;
  ctx.run.runMode = int32_t(RunMode::MakeModule);
  ModuleMaker maker(options);
  return RunBenchmark(ctx, plan, &maker, runs);
}

}  // namespace kr
