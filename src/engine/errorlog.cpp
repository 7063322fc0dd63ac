#include "engine/errorlog.h"

#include <cstring>
#include <string>


namespace kr {
namespace {
void CopyCut(char (&dst)[128], std::string_view src) {
  size_t n = src.size() < 127 ? src.size() : 127;
  std::memcpy(dst, src.data(), n);
  dst[n] = 0;
}

// The file form's handle, opened on first use; 0 when it cannot be opened
// (then logged once, in memory only).
int64_t OutputFile(Context& ctx) {
  ErrorLog& log = ctx.errorLog;
  if (log.output != 0 || log.outputFailed) return log.output;
  log.output = ctx.dos.OpenNoFollow(log.outputPath, MODE_NEWFILE);
  if (log.output == 0) {
    log.outputFailed = true;
    LogError(ctx, "GENERAL", "Open LogFile", "Cant open output file");
  }
  return log.output;
}

void Echo(Context& ctx, const ErrorEntry& e) {
  const ErrorLog& log = ctx.errorLog;
  if (!log.outputOpen) return;
  const std::string text = std::string("LOCATION: ") + e.location + "\nFUNCTION: " + e.function +
                           "\nREASON  : " + e.reason + "\n\n";
  if (log.outputIsConsole) {
    if (ctx.log) ctx.log->Write(LogSink::Kind::ErrorLogEcho, text);
  } else if (int64_t fh = OutputFile(ctx)) {
    ctx.dos.Write(fh, text.data(), int64_t(text.size()));
  }
}
}  // namespace

void LogError(Context& ctx, std::string_view location, std::string_view function, std::string_view reason) {
  ErrorEntry e;
  CopyCut(e.location, location);
  CopyCut(e.function, function);
  CopyCut(e.reason, reason);
  ctx.errorLog.entries.push_back(e);
  Echo(ctx, e);
}

void LogDiagnostic(Context& ctx, std::string_view text) {
  if (ctx.log) ctx.log->Write(LogSink::Kind::Diagnostic, text);
}

void ClearErrorLog(Context& ctx) { ctx.errorLog.entries.clear(); }

void OpenErrorLogOutput(Context& ctx) {
  ErrorLog& log = ctx.errorLog;
  if (log.outputOpen || ctx.settings.errorLogEnabled() == 0) return;
  std::string_view path = ctx.settings.errorLogOutput();
  log.outputIsConsole = path.substr(0, 4) == "CON:";
  log.outputPath = log.outputIsConsole ? std::string() : std::string(path);
  log.output = 0;
  log.outputFailed = false;
  log.outputOpen = true;
}

void CloseErrorLogOutput(Context& ctx) {
  ErrorLog& log = ctx.errorLog;
  if (!log.outputOpen) return;
  if (log.output != 0) ctx.dos.Close(log.output);
  log.output = 0;
  log.outputOpen = false;
  log.outputIsConsole = false;
  log.outputPath.clear();
  log.outputFailed = false;
}

}  // namespace kr
