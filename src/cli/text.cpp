#include "cli/text.h"

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

std::string TerminalText(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    // C1 controls are U+0080..U+009F: 0xC2 0x80..0x9F in UTF-8.
    if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F &&
        static_cast<unsigned char>(utf8[i + 1]) >= 0x80) {
      AppendEscape(out, static_cast<unsigned char>(utf8[++i]));
      continue;
    }
    if (c < 0x20 && c != '\n') AppendEscape(out, c);
    else if (c == 0x7F) AppendEscape(out, c);
    else out += char(c);
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

}  // namespace kr::cli
