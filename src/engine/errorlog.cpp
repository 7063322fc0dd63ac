#include "engine/errorlog.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "report/report.h"

namespace kr {
namespace {
void CopyCut(char (&dst)[128], std::string_view src) {
  size_t n = src.size() < 127 ? src.size() : 127;
  std::memcpy(dst, src.data(), n);
  dst[n] = 0;
}

void Echo(Context& ctx, const ErrorEntry& e) {
  if (!ctx.errorLog.outputOpen) return;
  std::string text = std::string("LOCATION: ") + e.location + "\nFUNCTION: " + e.function +
                     "\nREASON  : " + e.reason + "\n\n";
  if (ctx.errorLog.outputIsStderr) {
    ssize_t ignored = ::write(2, text.data(), text.size());
    (void)ignored;
  } else {
    ctx.dos.Write(ctx.errorLog.output, text.data(), int64_t(text.size()));
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

void ClearErrorLog(Context& ctx) { ctx.errorLog.entries.clear(); }

void OpenErrorLogOutput(Context& ctx) {
  ErrorLog& log = ctx.errorLog;
  if (log.outputOpen || ctx.settings.errorLogEnabled() == 0) return;
  std::string_view path = ctx.settings.errorLogOutput();
  if (path.substr(0, 4) == "CON:") {
    log.outputIsStderr = true;
    log.outputOpen = true;
    return;
  }
  int64_t fh = ctx.dos.Open(path, MODE_NEWFILE);
  if (fh == 0) {
    log.outputOpen = false;
    LogError(ctx, "GENERAL", "Open LogFile", "Cant open output file");
    return;
  }
  log.output = fh;
  log.outputIsStderr = false;
  log.outputOpen = true;
}

void CloseErrorLogOutput(Context& ctx) {
  ErrorLog& log = ctx.errorLog;
  if (!log.outputOpen) return;
  if (!log.outputIsStderr) ctx.dos.Close(log.output);
  log.output = 0;
  log.outputOpen = false;
  log.outputIsStderr = false;
}

void AppendErrorLogToReport(Context& ctx) {
  if (!ctx.report.open) return;
  const std::string rule = "\xB7" + std::string(74, '=') + "\xB7\n";
  const std::string empty = "|" + std::string(74, ' ') + "|\n";
  ReportLine(ctx, rule);
  ReportLine(ctx, "\xA1" + std::string(74, ' ') + "\xA1\n");
  ReportLine(ctx, "|                              E R R O R S                                 |\n");
  ReportLine(ctx, empty);
  if (ctx.errorLog.entries.empty()) {
    ReportLine(ctx, "| No Errors...                                                             |\n");
  } else {
    long n = 0;
    for (const ErrorEntry& e : ctx.errorLog.entries) {
      ReportFormat(ctx, "| ERROR NO: %ld\n", ++n);
      ReportFormat(ctx, "| LOCATION: %s\n", e.location);
      ReportFormat(ctx, "| FUNCTION: %s\n", e.function);
      ReportFormat(ctx, "| REASON  : %s\n", e.reason);
      ReportLine(ctx, empty);
    }
  }
  ReportLine(ctx, "!" + std::string(74, ' ') + "!\n");
  ReportLine(ctx, rule);
}

}  // namespace kr
