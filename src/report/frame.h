// The report's own blocks: everything that is not a test card. Every frame
// line is 76 Latin-1 columns plus "\n" (a value wider than its template
// column pushes the right border out; nothing is cut). All writers are silent
// while the report is closed, like the primitives they use.
#pragma once

#include <string_view>

#include <cstdint>
#include <string>

#include "records/catalogue.h"
#include "engine/context.h"
#include "sysinfo/hardware_tables.h"  // the DOS-type texts of the drive block
#include "records/results.h"
#include "report/lines.h"

namespace kr {

// The 22-line banner that opens every report.
void WriteBanner(Context& ctx);

// Section rule, opening line, the section's title line, empty body line.
void WriteSectionHeader(Context& ctx, Section s);

// Open rule, opening line, empty line, the total line (scored form with two
// truncated decimals when total.valid is non-zero, else "DISABLED"),
// closing line, section rule.
void WriteSectionTotal(Context& ctx, Section s, ScoreSlot total);
// The same six lines for the system total of a Make Module run.
void WriteSystemTotal(Context& ctx, ScoreSlot total);

// The note of a run the user stopped, between the results and the system
// information: "This run was stopped by the user after <test>." (or "before
// its first test ended." when `afterTest` is empty), framed by empty lines.
void WriteStoppedNote(Context& ctx, std::string_view afterTest);

// The system-information part: its heading, then the GENERAL, CPU/MEMORY and
// HARD DRIVE blocks.
void WriteSystemInformation(Context& ctx);
void WriteGeneralBlock(Context& ctx);
void WriteCpuMemoryBlock(Context& ctx);
void WriteDriveBlock(Context& ctx);

// The six-line footer that closes every report.
void WriteFooter(Context& ctx);

// SCSI texts of the drive block: keyed tables ending in a default row.
const char* ScsiDeviceTypeText(uint32_t type);
const char* ScsiAnsiText(uint32_t version);
const char* ScsiResponseFormatText(uint32_t format);

// The "E R R O R S" box: the error log's entries, only while the report is
// open.
void AppendErrorLogToReport(Context& ctx);

}  // namespace kr
