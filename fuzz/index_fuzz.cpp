// .dbi index files: parsed from memory and read from a file entry by entry,
// as the Local and Server databases load them; a loaded list is saved again.
#include "fuzz_context.h"
#include "modules/module_base.h"
#include "net/download.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kr;
  const fuzz::Home& home = fuzz::TheHome();
  fuzz::FuzzContext f(home);
  IndexRead parsed = ParseIndex(data, size);
  (void)IsCompleteIndex(data, size);
  home.Put("Database/Server/database.dbi", data, size);
  home.Put("Database/Local/database.dbi", data, size);
  int skipped = 0;
  LoadIndex(f.ctx, Database::Server, &skipped);
  LoadIndex(f.ctx, Database::Local);
  if (f.ctx.modules.server.size() != parsed.entries.size()) __builtin_trap();  // one rule for both readers
  AssignDisplayPositions(f.ctx.modules.local);
  for (const IndexEntry& e : f.ctx.modules.local)
    if (LocalModulePath(e.serial()).empty()) __builtin_trap();  // no entry may name a file badly
  SaveLocalIndex(f.ctx);
  return 0;
}
