// The commands of the main window that do not depend on a front end.
#pragma once

#include "engine/context.h"

namespace kr {

// The start buttons: recount the section's enabled tests; with none, show
// the "No ... Benchmark selected" request and return false; otherwise set
// the run mode (1 Processor, 2 Memory, 3 Hard Drive), run and return true.
bool RunSectionCommand(Context& ctx, int runMode);

// Sets the enable entry of every test of a page: scope '1' processor, '2'
// memory, '3' hard drive, '4' all three.
void SetAllTests(Context& ctx, char scope, bool on);

}  // namespace kr
