// "Make Module": the Make Module window's options and requests, and the run
// that makes a module (run mode 4) with the settings and the module base it
// needs. Front-end independent; requests go through ctx.requester.
#pragma once

#include <optional>

#include "engine/context.h"
#include "run/sections.h"

namespace kr {

// The Make Module window's check boxes.
struct MakeModuleOptions {
  bool chipRamTests = true;       // "CHIP-ram tests"
  bool writeDevice = false;       // "Write to DEVICE"
  bool spinUpDevice = false;      // "SpinUP DEVICE"
  bool multitaskingAtAll = false; // "Enable Multitasking at all [JIT]"
};

// The information requests of the "Write to DEVICE" and "SpinUP DEVICE"
// check boxes, shown when a box is switched on ("I understand").
void ShowWriteDeviceWarning(Context& ctx);
void ShowSpinUpDeviceWarning(Context& ctx);

// The run-mode-4 steps of the settings and the module base: every test page
// back to its defaults with every test switched on (Write to Device and
// SpinUP Device only by their options), read as the settings pages read
// them; FillModuleHeader and the "Creation completed!" request; LoadConfig
// (when the settings file cannot be read, the settings as they were before
// the module was made come back instead, so the forced ones are never kept).
class ModuleMaker : public ModuleMaking {
 public:
  explicit ModuleMaker(const MakeModuleOptions& options) : options_(options) {}
  bool PrepareSettings(Context& ctx) override;
  std::string StoreModule(Context& ctx) override;
  void RestoreSettings(Context& ctx) override;

 private:
  MakeModuleOptions options_;
  SettingsRecord before_;
  SettingsForm beforeForm_;
};

// "Bang hardware!": the are-you-sure request ("Continue" / "Abort"); on
// "Continue" the options are taken over (CHIP-ram tests, JIT), run mode 4 is
// set and the module is made. Returns nothing when the user chose "Abort" or
// could not be asked. The caller checks beforehand that the drive allows a
// module (ctx.drive.makeModuleEnabled), as the main window's button does.
std::optional<RunOutcome> MakeModuleCommand(Context& ctx, const MakeModuleOptions& options,
                                            const SectionRuns& runs = kSectionRuns, const RunPlan& plan = {});

}  // namespace kr
