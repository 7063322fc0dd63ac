// The text report: the file, its line primitives and the size text. Every
// primitive does nothing while the report is closed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/context.h"
#include "util/numtext.h"

namespace kr {

// Opens the report when reportEnabled is on. The report path of the settings
// (ctx.report.target) must be a regular file or missing: a symbolic link is
// not followed, a folder or device is refused. The lines go to a new file
// beside it under a name of its own (ctx.report.temp), which CloseReport
// forces to the disk and renames over the target: an older report stays
// whole until the new one is complete, and a report that fails is never
// put in place. A failed open logs ("GENERAL", "Make Text Report", "Cant open
// output file") and the run goes on without a report.
void OpenReport(Context& ctx);
// A failed write, sync, close or rename logs ("GENERAL", "Make Text Report",
// "Cant write output file") once and removes the temporary file. Either way
// ctx.report.failed afterwards is false exactly when the report is complete
// at ctx.report.path; else ctx.report.error names the call, that path and
// the reason.
void CloseReport(Context& ctx);

// Opens the report into text, whatever the settings say: every line is
// appended to it, no file is made and nothing can fail. CloseReport ends it.
void OpenReportInto(Context& ctx, std::string& text);

// Writes the text unchanged (it carries its own "\n").
void ReportLine(Context& ctx, std::string_view text);
// printf-style with the system's formats (s, ld, lu, lX with -, #, 0 and a
// width); pass unsigned long / long / const char* arguments.
void ReportFormat(Context& ctx, const char* fmt, ...) ;
// The value split into a truncated whole part and one or two truncated
// decimals, printed with a format holding "%lu.%0.1lu" or "%lu.%0.2lu"
// (widths on the whole part allowed).
void ReportFixed1(Context& ctx, const char* fmt, double value);
void ReportFixed2(Context& ctx, const char* fmt, double value);


}  // namespace kr
