// Conversions between the system's ISO 8859-1 texts and UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace kr {

std::string Latin1ToUtf8(std::string_view latin1);
// False when a character has no ISO 8859-1 form (out is then incomplete).
bool Utf8ToLatin1(std::string_view utf8, std::string& out);

}  // namespace kr
