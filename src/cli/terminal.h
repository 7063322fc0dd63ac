// The terminal's status display and requester.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

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

 private:
  void Render(Section s);
  void RenderLive(Section s);
  void RenderPlain(Section s);

  bool live_;
  int drawnLines_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
  std::string lastGauge_, lastNow_, lastState_, lastResult_;
};

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
