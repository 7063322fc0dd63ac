// The Hard Drive section run: the benchmark directory, the enabled drive
// tests in their fixed order, the file-system group score, the drive total
// and the clean-up.
#pragma once

#include <optional>
#include <vector>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

class StartupProgress;

// What one run of the section did: its code, 0 when it ran to the end, 20
// when it was aborted before the first test (not enough space, the
// directory could not be made); the result of every test it ran, in the
// section's order; and the file-system group's foot when all twelve of its
// tests ran.
struct DriveSectionRun {
  int code = 0;
  std::vector<TestResult> results;
  std::optional<TestResult> fileSystemGroup;
};

// Runs the section for the settings' partition. `progress` is the small
// window that shows the copying and the deleting of the benchmark files.
// The benchmark directory exists only inside this call and the crash marker
// exactly as long as it may; both are gone on every way out.
DriveSectionRun RunHardDriveSection(Context& ctx, StartupProgress& progress);

}  // namespace kr
