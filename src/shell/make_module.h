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
// check boxes, shown when a box is switched on ("I understand"). The Write
// to Device warning names the bytes the run will rewrite: those of the
// settings' device sweep, or with `WriteDeviceFor::MakeModule` those of the
// default sweep a module is made with.
enum class WriteDeviceFor : uint8_t { Settings, MakeModule };
void ShowWriteDeviceWarning(Context& ctx, WriteDeviceFor run = WriteDeviceFor::Settings);
void ShowSpinUpDeviceWarning(Context& ctx);

// The run-mode-4 steps of the settings and the module base. The module's
// settings: a copy of the settings pages with every test page back to its
// defaults and every test switched on (Write to Device and SpinUP Device
// only by their options) and the report the run writes, checked and read as
// the pages read them into the run's own settings; the pages and the saved
// settings are left as they are. Then FillModuleHeader and the "Creation
// completed!" request.
class ModuleMaker : public ModuleMaking {
 public:
  explicit ModuleMaker(const MakeModuleOptions& options) : options_(options) {}
  bool PrepareSettings(Context& ctx, SettingsRecord& settings) override;
  std::string StoreModule(Context& ctx) override;

 private:
  MakeModuleOptions options_;
};

// "Bang hardware!": the are-you-sure request ("Continue" / "Abort"); on
// "Continue" the options are taken over (CHIP-ram tests, JIT), run mode 4 is
// set and the module is made. Returns nothing when the user chose "Abort" or
// could not be asked. The caller checks beforehand that the drive allows a
// module (ctx.drive.makeModuleEnabled), as the main window's button does.
// The plan (MakeRunPlan, shell/commands.h) names the report and the work
// scale; the module's settings replace the rest once the run has started.
std::optional<RunOutcome> MakeModuleCommand(Context& ctx, const MakeModuleOptions& options,
                                            const SectionRuns& runs = kSectionRuns, const RunPlan& plan = {});

}  // namespace kr
