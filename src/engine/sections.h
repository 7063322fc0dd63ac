// Section runs, the overall run and the stamp.
#pragma once

#include <string>

#include "engine/context.h"

namespace kr {

// The overall run for ctx.run.runMode (1 Processor, 2 Memory, 3 Hard Drive).
void RunBenchmark(Context& ctx);
int RunProcessorSection(Context& ctx);
int RunMemorySection(Context& ctx);
int RunDriveSection(Context& ctx);

// Kind 'A': the current date and time ("dd.mm.yy", "hh.mm.ss") into the
// results record's date and time fields. Kind 'B': returns the default report
// file name "PROGDIR:Reports/KR_Report_" + date + "_" + time + ".txt".
std::string MakeStamp(Context& ctx, char kind);

}  // namespace kr
