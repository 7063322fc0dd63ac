#include "cli/text.h"

#include <unistd.h>

#include <climits>
#include <iostream>

namespace kr::cli {
namespace {
void AppendEscape(std::string& out, unsigned c) {
  static const char kHex[] = "0123456789ABCDEF";
  if (c == '\t') out += "\\t";
  else if (c == 0x1B) out += "\\e";
  else out.append("\\x").append(1, kHex[(c >> 4) & 15]).append(1, kHex[c & 15]);
}

bool IsControl(unsigned c) { return (c < 0x20 && c != '\n') || (c >= 0x7F && c <= 0x9F); }
}  // namespace

std::string PlainText(std::string_view text, bool ansi) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == 0x1B && i + 1 < text.size()) {
      char code = text[++i];
      if (ansi && code == 'b') out += "\x1b[1m";
      if (ansi && code == 'n') out += "\x1b[0m";
      continue;
    }
    if (IsControl(c)) AppendEscape(out, c);
    else out += Latin1ToUtf8(text.substr(i, 1));
  }
  return out;
}

// The length of the well-formed UTF-8 sequence at text[i] (shortest form,
// no surrogates, at most U+10FFFF), or 0 when the byte there starts none.
static size_t SequenceLength(std::string_view text, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned c = at(i);
  if (c < 0x80) return 1;
  size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((at(i + k) & 0xC0) != 0x80) return 0;
  const unsigned c1 = at(i + 1);
  if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
    return 0;
  return n;
}

std::string TerminalText(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    const size_t n = SequenceLength(utf8, i);
    if (n == 0) {
      // A byte that is not part of a UTF-8 character (a raw 0x9B is an
      // 8-bit CSI to many terminals) is shown by its value.
      AppendEscape(out, c);
      ++i;
    } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      // C1 controls are U+0080..U+009F: 0xC2 0x80..0x9F in UTF-8.
      AppendEscape(out, static_cast<unsigned char>(utf8[i + 1]));
      i += 2;
    } else if (n == 1 && IsControl(c)) {
      AppendEscape(out, c);
      ++i;
    } else {
      out.append(utf8.substr(i, n));
      i += n;
    }
  }
  return out;
}

bool OptionValue(const std::vector<std::string>& w, size_t& i, std::string_view name, std::string& value) {
  const std::string& word = w[i];
  if (word.size() > name.size() && word.compare(0, name.size(), name) == 0 && word[name.size()] == '=') {
    value = word.substr(name.size() + 1);
    return true;
  }
  if (word == name && i + 1 < w.size()) {
    value = w[++i];
    return true;
  }
  return false;
}

std::string Shown(std::string_view latin1) { return TerminalText(Latin1ToUtf8(latin1)); }

void Fail(const std::string& message) { std::cerr << "kelvarank-cli: " << TerminalText(message) << "\n"; }

std::string AbsolutePath(const std::string& p) {
  if (!p.empty() && p.front() == '/') return p;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return p;
  return std::string(cwd) + "/" + p;
}

}  // namespace kr::cli
