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

// What the terminal shows of a drive test: a wait's state, also when it
// comes within the redraw limit of the last drawing (the wait that follows
// changes nothing for seconds), and a file count as files.
TEST(TerminalStatus, DriveWaitsAreShownAndFileCountsAreFiles) {
  for (bool live : {true, false}) {
    SCOPED_TRACE(live ? "live" : "plain");
    std::ostringstream captured;
    std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
    {
      TerminalStatus status(live);
      const Section d = Section::Drive;
      status.OpenWindow(d);
      status.SetGaugeText(d, "1/2");
      status.SetText(d, StatusField::NowRunning, "Set Comment");
      status.SetText(d, StatusField::State, "Idling");
      status.SetCaption(d, StatusField::Blocksize, "File:");
      status.SetNumber(d, StatusField::Blocksize, 2000);
      status.SetText(d, StatusField::LastResult, "2000.00 OP/sec");
      status.SetText(d, StatusField::State, "Delay...");  // at once after the rest
      status.Finish();
    }
    std::cerr.rdbuf(old);
    const std::string out = captured.str();
    EXPECT_NE(out.find("Delay..."), std::string::npos) << out;
    if (!live) {
      EXPECT_NE(out.find("(files 2000)"), std::string::npos) << out;
    }
    EXPECT_EQ(out.find("blocksize 2000"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace kr::cli
