// The terminal's status display and requester.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/progress.h"
#include "engine/status_model.h"
#include "platform/requester.h"

namespace kr::cli {

// Renders the open status window on standard error: on a terminal as a
// block redrawn in place with a k/N progress bar, otherwise as plain lines
// when the running test, its state or a result changes.
class TerminalStatus : public StatusModel {
 public:
  explicit TerminalStatus(bool live);
  ~TerminalStatus() override;
  void Finish();  // leaves the last drawing on screen
  // The drive section's "Copy Benchmark files..." and "Delete Benchmark
  // files..." steps: a line with a bar on a terminal (redrawn in place),
  // otherwise the text once.
  StartupProgress* CopyProgress() override { return &copy_; }

 private:
  void Render(Section s);
  void RenderLive(Section s);
  void RenderPlain(Section s);

  class Copy : public StartupProgress {
   public:
    explicit Copy(bool live) : live_(live) {}
    void Open() override { percent_ = -1; }
    void SetText(std::string_view text) override;
    void SetGauge(int32_t percent) override;
    void Pause(int32_t) override {}
    void Close() override;

   private:
    void Draw();
    bool live_;
    std::string text_;
    int32_t percent_ = -1;
  };

  bool live_;
  Copy copy_{live_};
  int drawnLines_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
  std::string lastGauge_, lastNow_, lastState_, lastResult_;
};

// A stop was asked for (SIGINT or SIGTERM): says "Stopping after this
// test..." at once on standard error, where the status display draws.
// Async-signal-safe; the live status block keeps the line until the run ends.
void NoteStopRequested();

// Answers a request: --yes takes the first button, --no the last; one-button
// requests are shown and acknowledged; otherwise it asks on a terminal, and
// without one it says which option to give and answers -1.
class TerminalRequester : public Requester {
 public:
  enum class Policy { Ask, Yes, No };
  explicit TerminalRequester(Policy p) : policy_(p) {}
  int Request(std::string_view title, std::string_view text, std::string_view buttons) override;
  Policy policy() const { return policy_; }
  // While set, one-button requests (notes and warnings) are acknowledged
  // without being printed: the start-up's drive notes of a command that does
  // not use the drive.
  bool quiet = false;

 private:
  Policy policy_;
};

}  // namespace kr::cli
