#include "cli/terminal.h"

#include <unistd.h>

#include <atomic>
#include <iostream>
#include <vector>

#include "cli/text.h"
#include "engine/status_ops.h"

namespace kr::cli {
namespace {
using F = StatusField;

constexpr char kStopping[] = "Stopping after this test...";
// How the status display draws (0: no display, 1: live block, 2: plain
// lines) and whether a stop was noted; read by the signal handler.
std::atomic<int> gDisplayMode{0};
std::atomic<bool> gStopNoted{false};

std::string Bar(const std::string& gaugeText, int32_t gauge) {
  // k/N from the gauge text; the bar fills by k/N, or by the gauge value.
  long k = 0, n = 0;
  if (std::sscanf(gaugeText.c_str(), "%ld/%ld", &k, &n) != 2 || n <= 0) {
    k = gauge;
    n = 100;
  }
  const int width = 30;
  int filled = int(k * width / n);
  if (filled > width) filled = width;
  if (filled < 0) filled = 0;
  std::string bar(1, '[');
  bar.append(size_t(filled), '#').append(size_t(width - filled), '.').append("] ").append(gaugeText);
  return bar;
}
}  // namespace

TerminalStatus::TerminalStatus(bool live) : live_(live) {
  onChange = [this](Section s) { Render(s); };
  gDisplayMode.store(live ? 1 : 2);
  gStopNoted.store(false);
}

void NoteStopRequested() {
  if (gStopNoted.exchange(true)) return;
  const int mode = gDisplayMode.load();
  if (mode == 1) {
    // Below the live block, where the cursor waits; the next drawing takes
    // the line into the block.
    static const char text[] = "\x1b[2K  Stopping after this test...\r";
    (void)!write(2, text, sizeof text - 1);
  } else {
    static const char text[] = "Stopping after this test...\n";
    (void)!write(2, text, sizeof text - 1);
  }
}

TerminalStatus::~TerminalStatus() {
  Finish();
  gDisplayMode.store(0);
}

void TerminalStatus::Finish() {
  if (live_ && drawnLines_ > 0) std::cerr << std::flush;
  drawnLines_ = 0;
}

void TerminalStatus::Copy::SetText(std::string_view text) {
  text_ = PlainText(text, false);
  percent_ = -1;
  if (live_)
    Draw();
  else
    std::cerr << text_ << "\n";
}

void TerminalStatus::Copy::SetGauge(int32_t percent) {
  if (percent == percent_) return;
  percent_ = percent;
  if (live_) Draw();
}

void TerminalStatus::Copy::Draw() {
  std::cerr << "\r\x1b[2K" << text_;
  if (percent_ >= 0) std::cerr << " " << Bar("", percent_) << percent_ << "%";
  std::cerr << std::flush;
}

void TerminalStatus::Copy::Close() {
  if (live_ && !text_.empty()) std::cerr << "\r\x1b[2K" << std::flush;
  text_.clear();
}

void TerminalStatus::Render(Section s) {
  if (live_)
    RenderLive(s);
  else
    RenderPlain(s);
}

void TerminalStatus::RenderLive(Section s) {
  const StatusWindowModel& w = window(s);
  if (!w.open) {
    // The window closed: take its block off the screen.
    if (drawnLines_ > 0) {
      std::string out = "\x1b[" + std::to_string(drawnLines_) + "F";
      for (int i = 0; i < drawnLines_; ++i) out.append("\x1b[2K\n");
      out.append("\x1b[").append(std::to_string(drawnLines_)).append("F");
      std::cerr << out << std::flush;
    }
    drawnLines_ = 0;
    lastGauge_.clear();
    return;
  }
  auto now = std::chrono::steady_clock::now();
  // A new state is always drawn: it is often the last change before a wait
  // ("Delay...") that a skipped drawing would leave looking like a hang.
  const std::string& state = w.text[size_t(F::State)];
  bool important = w.gaugeText != lastGauge_ || state != lastState_;
  if (!important && now - lastDraw_ < std::chrono::milliseconds(40)) return;
  lastDraw_ = now;
  lastGauge_ = w.gaugeText;
  lastState_ = state;
  std::string out;
  auto up = [&out](int n) { out.append("\x1b[").append(std::to_string(n)).append("F"); };
  if (drawnLines_ > 0) up(drawnLines_);  // back to the block's first line
  int lines = 0;
  auto line = [&](const std::string& text) {
    out.append("\x1b[2K").append(text).append("\n");
    ++lines;
  };
  line(std::string("\x1b[1m").append(PlainText(StatusWindowTitle(s), false)).append("\x1b[0m"));
  for (const StatusRow& r : StatusRows(s)) {
    if (!w.shown[size_t(r.field)]) continue;
    std::string caption = w.caption[size_t(r.field)].empty() ? r.caption : PlainText(w.caption[size_t(r.field)], false);
    std::string value = r.kind == StatusRow::Kind::Number ? std::to_string(w.number[size_t(r.field)])
                                                          : PlainText(w.text[size_t(r.field)], true);
    char buf[32];
    std::snprintf(buf, sizeof buf, "  %-16s ", caption.c_str());
    line(std::string(buf).append(value));
  }
  line(std::string("  ").append(Bar(w.gaugeText, w.gauge)));
  if (gStopNoted.load()) line(std::string("  ").append(kStopping));
  // Clear what a taller earlier drawing left below.
  for (int i = lines; i < drawnLines_; ++i) out += "\x1b[2K\n";
  if (drawnLines_ > lines) up(drawnLines_ - lines);
  drawnLines_ = lines;
  std::cerr << out << std::flush;
}

void TerminalStatus::RenderPlain(Section s) {
  const StatusWindowModel& w = window(s);
  if (!w.open) {
    // The next run starts afresh: its first test is announced even when it
    // is the test the last run ended with.
    lastNow_.clear();
    lastState_.clear();
    lastResult_.clear();
    return;
  }
  const std::string& state = w.text[size_t(F::State)];
  const std::string& result = w.text[size_t(F::LastResult)];
  if (!w.gaugeText.empty()) lastGauge_ = w.gaugeText;
  // A test announces itself by setting its texts and then "Idling".
  std::string now = w.text[size_t(F::NowRunning)] + "\x1f" + w.text[size_t(F::Routine)];
  const std::string& nowRunning = w.text[size_t(F::NowRunning)];
  bool named = !nowRunning.empty() && nowRunning != " ";
  if (named && state == "Idling" && state != lastState_ && now != lastNow_) {
    std::cerr << "[" << lastGauge_ << "] " << PlainText(w.text[size_t(F::NowRunning)], false) << " - "
              << PlainText(w.text[size_t(F::Routine)], false) << "\n";
    lastNow_ = now;
  }
  if (state != lastState_ && state == "Done") std::cerr << "  Done\n";
  // The drive tests' waits say so, or 35 seconds of nothing look like a hang.
  if (state != lastState_ && (state == "Delay..." || state.starts_with("Waiting") || state.starts_with("Shuting")))
    std::cerr << "  " << state << "\n";
  lastState_ = state;
  if (result != lastResult_ && result != "NA" && result != " " && !result.empty()) {
    int32_t block = w.number[size_t(F::Blocksize)];
    std::cerr << "  Last Result: " << PlainText(result, false);
    // The file-system tests show a count of files in that row, not a size.
    const bool files = w.caption[size_t(F::Blocksize)] == "File:";
    if (s != Section::Processor && block > 0) std::cerr << (files ? " (files " : " (blocksize ") << block << ")";
    std::cerr << "\n";
  }
  lastResult_ = result;
}

int TerminalRequester::Request(std::string_view title, std::string_view text, std::string_view buttons) {
  std::vector<std::string> names;
  size_t start = 0;
  while (true) {
    size_t bar = buttons.find('|', start);
    names.emplace_back(buttons.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  if (quiet && names.size() == 1) return 0;
  bool ansi = isatty(2);
  std::cerr << PlainText(title, ansi) << ": " << PlainText(text, ansi) << "\n";
  if (names.size() == 1) {
    std::cerr << "  [" << PlainText(names[0], false) << "]\n";
    return 0;
  }
  if (policy_ == Policy::Yes) {
    std::cerr << "  -> " << PlainText(names.front(), false) << " (--yes)\n";
    return 0;
  }
  if (policy_ == Policy::No) {
    std::cerr << "  -> " << PlainText(names.back(), false) << " (--no)\n";
    return int(names.size()) - 1;
  }
  if (!isatty(0)) {
    std::cerr << "  This needs an answer: give --yes (" << PlainText(names.front(), false) << ") or --no ("
              << PlainText(names.back(), false) << ").\n";
    return -1;
  }
  for (;;) {
    std::cerr << "  Choose";
    for (size_t i = 0; i < names.size(); ++i) std::cerr << " " << i + 1 << ") " << PlainText(names[i], false);
    std::cerr << ": " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return -1;
    char* end = nullptr;
    long n = std::strtol(answer.c_str(), &end, 10);
    if (end != answer.c_str() && n >= 1 && size_t(n) <= names.size()) return int(n - 1);
  }
}

}  // namespace kr::cli
