// KelvaRANK.cfg: read as start-up reads it, shown in the settings pages,
// read back from the pages as "Use" does, and saved.
#include "fuzz_context.h"
#include "settings/config_files.h"
#include "settings/settings_form.h"
#include "settings/settings_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kr;
  const fuzz::Home& home = fuzz::TheHome();
  fuzz::FuzzContext f(home);
  home.Put("KelvaRANK.cfg", data, size);
  if (LoadConfig(f.ctx)) {
    (void)ListSettings(f.ctx);
    (void)UpdateSettingsEnabling(f.ctx.form);
    ReadSettingsFromWindow(f.ctx);
    SaveConfig(f.ctx);
  }
  return 0;
}
