// Request windows: a title word, a text with MUI escape codes (ESC b, ESC n,
// ESC c, ESC i) and one or more buttons separated by '|'.
#pragma once

#include <string_view>

namespace kr {

// The title word of every error request (bold "ERROR").
inline constexpr std::string_view kErrorTitle = "\x1b" "bERROR\x1b" "n";

// Threading contract: Request is called on the thread that runs the
// command, which may be a run's worker thread (the drive section asks before
// it writes to a device), never inside a timed region. It blocks that thread
// until the user answers; a desktop shows the window on its own thread and
// hands the answer back. The texts are valid only during the call.
class Requester {
 public:
  virtual ~Requester() = default;
  // Returns the index of the chosen button, 0 for the first (leftmost).
  // A requester that cannot ask returns -1.
  virtual int Request(std::string_view title, std::string_view text, std::string_view buttons) = 0;
};

}  // namespace kr
