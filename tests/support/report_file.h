// Reading back what a run wrote into its report, and splitting it into lines.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/context.h"
#include "report/report.h"

namespace kr::test {

// Points the report at PROGDIR:Reports/<name> with the report switched on.
inline void UseReportFile(Context& ctx, const std::string& name) {
  ctx.settings.set_s32(cfg::kReportEnabled, 1);
  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:Reports/" + name);
}

// The bytes of the report file named by the settings ("" when it is missing).
inline std::string ReadReport(Context& ctx) {
  std::ifstream in(ctx.dos.HostPath(ctx.settings.reportFile()), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Lines without their "\n"; a last line without "\n" is kept as it is.
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

// Runs `write` with the report open on a fresh file and returns what it wrote.
template <typename F>
std::string CaptureReport(Context& ctx, const std::string& name, F&& write) {
  UseReportFile(ctx, name);
  OpenReport(ctx);
  write();
  CloseReport(ctx);
  return ReadReport(ctx);
}

}  // namespace kr::test
