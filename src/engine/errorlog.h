// The error log: entries of (location, function, reason), echoed to the
// optional error-log output and appended to the report as the errors box.
#pragma once

#include <string_view>

#include "engine/context.h"

namespace kr {

// Appends an entry (texts cut to 127 characters) and echoes it to the
// output when that is open. Never fails its caller.
void LogError(Context& ctx, std::string_view location, std::string_view function, std::string_view reason);
void ClearErrorLog(Context& ctx);
// Opens the output named by the settings when errorLogEnabled is on. The
// console form "CON:..." is the terminal's standard error on this host.
void OpenErrorLogOutput(Context& ctx);
void CloseErrorLogOutput(Context& ctx);
// The "E R R O R S" box, only while the report is open.
void AppendErrorLogToReport(Context& ctx);

}  // namespace kr
