// Texts of the system (Latin-1 with the toolkit's escape codes) for a UTF-8 terminal.
#pragma once

#include <string>
#include <string_view>

#include "util/latin1.h"

namespace kr::cli {

using kr::Latin1ToUtf8;
using kr::Utf8ToLatin1;
// Drops the escape codes (ESC and the letter after it) or, with ansi, turns
// bold on/off into the terminal's bold.
std::string PlainText(std::string_view text, bool ansi);

}  // namespace kr::cli
