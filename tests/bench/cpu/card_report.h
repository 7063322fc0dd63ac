// A test context whose report goes to a file in the temporary home, and the
// lines written to it.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report/report.h"
#include "records/settings_record.h"
#include "support/test_context.h"

namespace kr::test {

struct ReportContext : TestContext {
  ReportContext() {
    ctx.settings.set_s32(cfg::kReportEnabled, 1);
    ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:Reports/card.txt");
    OpenReport(ctx);
  }
  // Closes the report and returns its lines without their newlines.
  std::vector<std::string> Lines() {
    CloseReport(ctx);
    std::ifstream in(home.path() + "/Reports/card.txt", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string all = ss.str();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1)
      lines.push_back(all.substr(start, nl - start));
    if (start < all.size()) lines.push_back(all.substr(start));  // an unterminated tail shows up
    return lines;
  }
};

// Every card line is 76 columns, except the "100 Percent at" line: its
// template's blanks are fixed, so a reference value wider than the template's
// fields moves its right border by `referenceExtra` columns.
inline void ExpectCardColumns(const std::vector<std::string>& lines, size_t referenceExtra) {
  for (const auto& l : lines) {
    const bool reference = l.rfind("|   100 Percent at", 0) == 0;
    EXPECT_EQ(l.size(), reference ? 76 + referenceExtra : 76u) << l;
  }
}

// A body line: the text from column 5, the line closed at column 76.
inline std::string Body(const std::string& text) {
  std::string l = "|   " + text;
  l.resize(75, ' ');
  return l + "|";
}

// A method line: its marker and text, and the figure right-aligned in its
// column.
inline std::string Method(bool scored, const std::string& text, const std::string& figure) {
  std::string left = std::string("|   [") + (scored ? "+" : "-") + "] " + text;
  left.resize(57, ' ');
  return left + "   " + std::string(11 - figure.size(), ' ') + figure + "    |";
}

}  // namespace kr::test
