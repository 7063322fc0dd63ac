// Texts of the system (Latin-1 with the toolkit's escape codes) for a UTF-8 terminal.
#pragma once

#include <string>
#include <string_view>

namespace kr::cli {

std::string Latin1ToUtf8(std::string_view latin1);
// UTF-8 input (a terminal argument) to Latin-1; false when a character has no Latin-1 form.
bool Utf8ToLatin1(std::string_view utf8, std::string& out);
// Drops the escape codes (ESC and the letter after it) or, with ansi, turns
// bold on/off into the terminal's bold.
std::string PlainText(std::string_view text, bool ansi);

}  // namespace kr::cli
