// The terminal's live status window: its rows are the engine's rows.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/terminal.h"
#include "engine/status.h"

namespace kr::cli {
namespace {

// The captions of the last drawing of a window (lines "  Caption  value"
// between the title and the gauge), with the escape sequences removed.
std::vector<std::string> DrawnCaptions(const std::string& out) {
  std::vector<std::string> lines, captions;
  std::string clean;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\x1b') {
      while (i < out.size() && !std::isalpha(static_cast<unsigned char>(out[i]))) ++i;
      continue;
    }
    clean += out[i];
  }
  std::istringstream in(clean);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  // The last block: from the last title line on, without the gauge line.
  size_t title = 0;
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind("KelvaRANK", 0) == 0) title = i;
  for (size_t i = title + 1; i + 1 < lines.size(); ++i) {
    std::istringstream words(lines[i]);
    std::string caption, word;
    while (words >> word) {
      caption += caption.empty() ? word : " " + word;
      if (word.back() == ':') break;
    }
    captions.push_back(caption);
  }
  return captions;
}

TEST(TerminalStatus, LiveWindowShowsTheEngineRowsAndTheirCaptions) {
  for (Section s : {Section::Processor, Section::Memory, Section::Drive}) {
    SCOPED_TRACE(int(s));
    std::ostringstream captured;
    std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
    {
      TerminalStatus status(true);
      status.OpenWindow(s);
      status.SetGaugeText(s, "1/1");  // a new gauge text always draws
      status.Finish();
    }
    std::cerr.rdbuf(old);
    std::vector<std::string> want;
    for (const StatusRow& r : StatusRows(s)) want.push_back(r.caption);
    EXPECT_EQ(DrawnCaptions(captured.str()), want);
  }
}

}  // namespace
}  // namespace kr::cli
