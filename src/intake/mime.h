// Just enough MIME (RFC 2045/2046) to find a mail's attachments: header
// fields with folded lines, Content-Type and Content-Disposition parameters,
// multipart bodies split at their boundary (nested up to a few levels).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kr {

struct MimePart {
  std::string contentType;       // lower case, without parameters ("application/octet-stream")
  std::string fileName;          // Content-Disposition filename, else Content-Type name
  std::string transferEncoding;  // lower case ("base64"), empty when not given
  std::string_view body;         // the part's body as it stands in the mail
};

// The leaf parts of a mail (a mail that is not multipart is one part).
// False when the mail has no header end, or a multipart body has no
// boundary, no first boundary line or nests too deep.
bool MimeLeafParts(std::string_view mail, std::vector<MimePart>& parts);

// The value of a header field (name in any case), unfolded; empty when absent.
std::string HeaderField(std::string_view header, std::string_view name);
// A parameter of a structured field value ("boundary", "filename"), quoted
// or not; empty when absent.
std::string HeaderParameter(std::string_view value, std::string_view name);

}  // namespace kr
