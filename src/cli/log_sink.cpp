#include "cli/log_sink.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "cli/text.h"

namespace kr::cli {

void StderrLogSink::Write(Kind kind, std::string_view text) {
  (void)kind;
  // Control characters (from paths or settings texts) are shown escaped.
  const std::string out = TerminalText(Latin1ToUtf8(text));
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::write(fd_, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += size_t(n);
  }
}

}  // namespace kr::cli
