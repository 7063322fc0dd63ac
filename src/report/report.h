// The text report: the file, its line primitives and the size text. Every
// primitive does nothing while the report is closed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/context.h"

namespace kr {

// Opens the report path of the settings with MODE_NEWFILE when reportEnabled
// is on; on failure logs ("GENERAL", "Make Text Report", "Cant open output
// file") and the run goes on without a report.
void OpenReport(Context& ctx);
void CloseReport(Context& ctx);

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

// The size text of a byte count (short form): seven groups of three digits
// with unit letters, as the report's drive block and the free-space request
// show it.
std::string SizeText(uint64_t bytes);

}  // namespace kr
