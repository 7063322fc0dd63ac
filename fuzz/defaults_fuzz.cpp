// KelvaRANK.def: the display record and pens, read as start-up reads them
// and saved again.
#include "fuzz_context.h"
#include "settings/config_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kr;
  const fuzz::Home& home = fuzz::TheHome();
  fuzz::FuzzContext f(home);
  home.Put("KelvaRANK.def", data, size);
  if (LoadDefaults(f.ctx)) {
    f.ctx.display.bytes[0] ^= 1;  // a change, so the save writes
    SaveDefaults(f.ctx);
  }
  return 0;
}
