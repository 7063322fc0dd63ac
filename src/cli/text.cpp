#include "cli/text.h"

namespace kr::cli {

std::string PlainText(std::string_view text, bool ansi) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x1b' && i + 1 < text.size()) {
      char code = text[++i];
      if (ansi && code == 'b') out += "\x1b[1m";
      if (ansi && code == 'n') out += "\x1b[0m";
      continue;
    }
    out += text[i];
  }
  return Latin1ToUtf8(out);
}

}  // namespace kr::cli
