// The commands of the main window that do not depend on a front end.
#pragma once

#include <optional>

#include "engine/context.h"

namespace kr {

// The start buttons: recount the section's enabled tests; with none, show
// the "No ... Benchmark selected" request and return nothing; otherwise set
// the run mode (Processor, Memory or Drive), run and return the outcome.
std::optional<RunOutcome> RunSectionCommand(Context& ctx, RunMode mode, const RunPlan& plan = {});

// The test pages whose tests SetAllTests switches.
enum class TestPages : uint8_t { Processor, Memory, Drive, All };
// Sets the enable entry of every test of the pages.
void SetAllTests(Context& ctx, TestPages pages, bool on);

}  // namespace kr
