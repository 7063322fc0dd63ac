// The Hard Drive section run: the benchmark directory, the enabled drive
// tests in their fixed order, the file-system group score, the drive total
// and the clean-up.
#pragma once

#include "engine/context.h"

namespace kr {

class StartupProgress;

// Runs the section for the settings' partition. `progress` is the small
// window that shows the copying and the deleting of the benchmark files.
// Returns 0 when it ran to the end, 20 when it was aborted before the first
// test (not enough space, the directory could not be made). The benchmark
// directory exists only inside this call and the crash marker exactly as
// long as it may; both are gone on every way out.
int RunHardDriveSection(Context& ctx, StartupProgress& progress);

}  // namespace kr
