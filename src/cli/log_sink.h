// The terminal's log sink: error-log echoes and diagnostics to standard error.
#pragma once

#include "engine/run_events.h"

namespace kr::cli {

class StderrLogSink : public LogSink {
 public:
  explicit StderrLogSink(int fd = 2) : fd_(fd) {}
  // Writes the text (Latin-1 converted to UTF-8, control characters but the
  // line break escaped), whole.
  void Write(Kind kind, std::string_view text) override;

 private:
  int fd_;
};

}  // namespace kr::cli
