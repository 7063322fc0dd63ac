// Texts of the system (Latin-1 with the toolkit's escape codes) for a UTF-8 terminal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "util/latin1.h"

namespace kr::cli {

using kr::Latin1ToUtf8;
using kr::Utf8ToLatin1;
// Texts reach the terminal without control characters: everything but the
// line break is shown as "\t", "\e" (ESC) or "\xHH" (other C0 controls,
// DEL and the C1 controls 0x80..0x9F), so a text can never move the cursor,
// change colours or retitle the window.

// A Latin-1 system text: drops the toolkit's escape codes (ESC and the letter
// after it) or, with ansi, turns bold on/off into the terminal's bold; other
// control characters escaped; UTF-8 out.
std::string PlainText(std::string_view text, bool ansi);
// A UTF-8 text (a message, an argument) with its control characters escaped;
// a byte that is not part of a well-formed UTF-8 character is shown as
// "\xHH" too (a host file name need not be UTF-8).
std::string TerminalText(std::string_view utf8);

// The value of option name at w[i]: "NAME=VALUE" in one word, or "NAME" with
// the value in the next word (i then moves past it). False when w[i] is
// neither or the value is missing.
bool OptionValue(const std::vector<std::string>& w, size_t& i, std::string_view name, std::string& value);

// A Latin-1 system text (a path) for the terminal.
std::string Shown(std::string_view latin1);

// An error of the program on its error output, after the program's name.
void Fail(const std::string& message);

// A file named on the command line, from the working folder.
std::string AbsolutePath(const std::string& p);

}  // namespace kr::cli
