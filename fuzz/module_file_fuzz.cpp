// Module files: read and validated as a slot or an import reads them, then
// everything that shows a loaded module (index entry, description, JSON).
#include "fuzz_context.h"
#include "modules/module_base.h"
#include "modules/module_description.h"
#include "modules/module_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kr;
  const fuzz::Home& home = fuzz::TheHome();
  fuzz::FuzzContext f(home);
  home.Put("in.dbe", data, size);
  ModuleRecord m;
  if (ReadModuleFile(f.ctx, "PROGDIR:in.dbe", m) == ModuleRead::Ok) {
    IndexEntry e = MakeIndexEntry(m);
    (void)e;
    (void)DescribeModule(m);
    (void)ModulesJson({m});
  }
  // The import path: unscramble, validate, add (file and index written in
  // Database/Local only), then remove again so the home does not grow.
  std::vector<ImportOutcome> out = ImportModules(f.ctx, {home.path() + "/in.dbe"});
  if (!out.empty() && out[0].kind == ImportOutcome::Imported) {
    f.requester.defaultAnswer = 0;
    RemoveModule(f.ctx, out[0].serial);
  }
  return 0;
}
