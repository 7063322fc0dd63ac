// Base64 (RFC 2045 alphabet, "=" padding) for the module attachment: the
// encoder writes lines of 72 characters, the decoder reads a MIME body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

class Dos;

// Appends the encoding of up to three bytes: padding 0 uses b0..b2 and gives
// four characters; padding 1 uses b0, b1 and gives three characters and "=";
// padding 2 uses b0 and gives two characters and "==".
void EncodeBase64Group(uint8_t b0, uint8_t b1, uint8_t b2, int padding, std::string& out);

// Appends the encoding of `data`, ending every 72 characters (18 groups) and
// a last shorter line with `lineEnd`. A line feed alone is the stored form;
// the mail on the wire uses CR LF.
void EncodeBase64(const uint8_t* data, size_t len, std::string& out, std::string_view lineEnd = "\n");

// Reads the file at `path` and appends its encoding as EncodeBase64 does.
// False, with nothing appended, when the file cannot be read.
bool EncodeFileBase64(Dos& dos, std::string_view path, std::string& out, std::string_view lineEnd = "\n");

// Decodes a base64 body: line ends and other white space are skipped; any
// other byte outside the alphabet, data after the padding or a group cut
// short makes it fail (false, `out` cleared). Stops adding once `out` would
// exceed `limit` bytes and fails, so a huge body is never held whole.
bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out, size_t limit = SIZE_MAX);

}  // namespace kr
