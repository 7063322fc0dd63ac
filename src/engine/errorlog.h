// The error log: entries of (location, function, reason), echoed to the
// optional error-log output and appended to the report as the errors box.
#pragma once

#include <string_view>

#include "engine/context.h"

namespace kr {

// Appends an entry (texts cut to 127 characters) and echoes it to the
// output when that is in use. Never fails its caller.
void LogError(Context& ctx, std::string_view location, std::string_view function, std::string_view reason);
void ClearErrorLog(Context& ctx);
// Puts the output named by the settings in use when errorLogEnabled is on.
// The console form "CON:..." echoes to the log sink of the context. Any
// other path is a file, opened (created, or emptied when it is a plain file)
// only when the first entry is echoed, so a session without errors leaves
// it untouched; a path that is a symbolic link or names anything but a plain
// file is refused: the entry "GENERAL", "Open LogFile", "Cant open output
// file" is logged in memory and the log stays memory-only.
void OpenErrorLogOutput(Context& ctx);
void CloseErrorLogOutput(Context& ctx);

// A diagnostic of a library or workload for the log sink (not an entry of
// the error log); nothing when the context has no sink.
void LogDiagnostic(Context& ctx, std::string_view text);

}  // namespace kr
