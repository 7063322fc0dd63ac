#include "report/lines.h"

namespace kr {
namespace {
std::string Border(char left, char fill, char right) {
  std::string s(kReportWidth, fill);
  s.front() = left;
  s.back() = right;
  return s + "\n";
}
}  // namespace

std::string SectionRule() { return Border('\xB7', '=', '\xB7'); }
std::string BlockRule() { return Border('\xB7', '-', '\xB7'); }
std::string OpenRule() { return Border('\xB7', ' ', '\xB7'); }
std::string OpeningLine() { return Border('\xA1', ' ', '\xA1'); }
std::string EmptyLine() { return Border('|', ' ', '|'); }
std::string ClosingLine() { return Border('!', ' ', '!'); }
std::string FrameLine() { return Border('\xA6', ' ', '\xA6'); }

std::string DottedRule() {
  std::string s = "\xB7";
  for (size_t i = 0; i < (kReportWidth - 2) / 2; ++i) s += "- ";
  return s + "\xB7\n";
}

void PadTo(std::string& s, size_t columns) {
  if (s.size() < columns) s.append(columns - s.size(), ' ');
}

void EndBodyLine(std::string& s) {
  PadTo(s, kReportWidth - 1);
  s += "|\n";
}

std::string BodyLine(std::string_view text) {
  std::string s = "|   ";
  s += text;
  EndBodyLine(s);
  return s;
}

}  // namespace kr
