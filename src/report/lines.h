// The report's line forms, in one place: every line is 76 Latin-1 columns
// and "\n"; the first and last column are its borders. A text wider than
// its columns pushes the right border out; nothing is cut.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kr {

constexpr size_t kReportWidth = 76;  // columns, without the "\n"

// Fixed line forms (each with its "\n").
std::string SectionRule();    // "·" 74 × "=" "·"
std::string BlockRule();      // "·" 74 × "-" "·"
std::string OpenRule();       // "·" 74 blanks "·"
std::string DottedRule();     // "·" 37 × "- " "·"
std::string OpeningLine();    // "¡" 74 blanks "¡"
std::string EmptyLine();      // "|" 74 blanks "|"
std::string ClosingLine();    // "!" 74 blanks "!"
std::string FrameLine();      // "¦" 74 blanks "¦"

// Pads s with blanks to `columns` (no change when it is already that long).
void PadTo(std::string& s, size_t columns);
// Ends a body line begun in s: blanks up to column 75, "|", "\n".
void EndBodyLine(std::string& s);
// "|   " + text, ended as a body line.
std::string BodyLine(std::string_view text);

}  // namespace kr
