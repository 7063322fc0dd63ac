#include "report/report.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <random>

#include "engine/errorlog.h"
#include "util/numtext.h"

namespace kr {
namespace {
// Lines are gathered and written in blocks; nothing is written inside a
// timed region because no test calls a primitive there.
constexpr size_t kFlushAt = 16 * 1024;

// The last failing dos call, told under the report's own name (the name
// written to is a temporary one): "write /home/u/r.txt: No space left on device".
std::string FailureText(Context& ctx, const char* call) {
  const DosError& e = ctx.dos.LastError();
  std::string why = !e.note.empty() ? e.note : e.code != 0 ? std::strerror(e.code) : "failed";
  return (e.call.empty() ? std::string(call) : e.call) + " " + ctx.report.path + ": " + why;
}

// A failure of the open report: kept with its reason and logged once;
// nothing more is written and the report is not put in place at close.
void Failed(Context& ctx, const char* call) {
  ReportState& r = ctx.report;
  if (r.failed) return;
  r.failed = true;
  r.error = FailureText(ctx, call);
  LogError(ctx, "GENERAL", "Make Text Report", "Cant write output file");
}

void Flush(Context& ctx) {
  ReportState& r = ctx.report;
  if (!r.open || r.buffer.empty()) return;
  if (r.sink) {
    r.sink->append(r.buffer);
    r.buffer.clear();
    return;
  }
  if (!r.failed && ctx.dos.Write(r.file, r.buffer.data(), int64_t(r.buffer.size())) != int64_t(r.buffer.size()))
    Failed(ctx, "write");
  r.buffer.clear();
}

void Append(Context& ctx, std::string_view text) {
  ctx.report.buffer.append(text.data(), text.size());
  if (ctx.report.buffer.size() >= kFlushAt) Flush(ctx);
}

// A name beside the target no other writer uses: target + ".<16 hex>.part".
std::string TempName(const std::string& target) {
  static std::atomic<uint64_t> counter{0};
  static const uint64_t seed = [] {
    std::random_device rd;
    return (uint64_t(rd()) << 32) ^ rd();
  }();
  uint64_t x = seed + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  char part[24];
  std::snprintf(part, sizeof part, ".%016llx", static_cast<unsigned long long>(x));
  return target + part + ".part";
}

void OpenFailed(Context& ctx) {
  ctx.report.failed = true;
  ctx.report.error = FailureText(ctx, "open");
  LogError(ctx, "GENERAL", "Make Text Report", "Cant open output file");
}
}  // namespace

void OpenReport(Context& ctx) {
  ReportState& r = ctx.report;
  if (r.open || RunSettings(ctx).reportEnabled() == 0) return;
  r.failed = false;
  r.error.clear();
  r.buffer.clear();
  r.target = std::string(RunSettings(ctx).reportFile());
  r.path = ctx.dos.HostPath(r.target);
  r.temp.clear();
  // The target must be a regular file or missing (a link is not followed,
  // a device or folder refused): opening it without emptying it checks that
  // without touching what it holds. A file made by the check goes again,
  // so a run that never finishes leaves nothing behind.
  const bool existed = ctx.dos.FileSize(r.target) >= 0;
  int64_t probe = ctx.dos.OpenNoFollow(r.target, MODE_READWRITE);
  if (probe == 0) return OpenFailed(ctx);
  ctx.dos.Close(probe);
  if (!existed) ctx.dos.DeleteFile(r.target);
  // The report is written beside the target and renamed over it at close:
  // an older report stays whole until the new one is complete.
  int64_t fh = 0;
  for (int i = 0; i < 16 && fh == 0; ++i) {
    r.temp = TempName(r.target);
    fh = ctx.dos.CreateNew(r.temp);
  }
  if (fh == 0 || !ctx.dos.SetModeLike(fh, r.target)) {
    if (fh != 0) {
      ctx.dos.Close(fh);
      ctx.dos.DeleteFile(r.temp);
    }
    return OpenFailed(ctx);
  }
  r.file = fh;
  r.open = true;
}

void OpenReportInto(Context& ctx, std::string& text) {
  ReportState& r = ctx.report;
  if (r.open) return;
  r.failed = false;
  r.error.clear();
  r.buffer.clear();
  r.target.clear();
  r.path.clear();
  r.temp.clear();
  r.sink = &text;
  r.open = true;
}

void CloseReport(Context& ctx) {
  ReportState& r = ctx.report;
  if (!r.open) return;
  Flush(ctx);
  if (r.sink) {
    r.sink = nullptr;
    r.open = false;
    return;
  }
  if (!r.failed && !ctx.dos.Sync(r.file)) Failed(ctx, "fsync");
  // A delayed write failure shows at close.
  if (!ctx.dos.Close(r.file)) Failed(ctx, "close");
  r.file = 0;
  r.open = false;
  if (r.temp.empty()) return;  // a file handed in directly (tests): written in place
  if (!r.failed && !ctx.dos.Rename(r.temp, r.target)) Failed(ctx, "rename");
  if (!r.failed)
    (void)ctx.dos.SyncDir(DosDirPart(r.target));  // a rename not yet on disk is not a failed report
  else
    ctx.dos.DeleteFile(r.temp);
  r.temp.clear();
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
