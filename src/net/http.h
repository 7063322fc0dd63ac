// HTTP/1.0 download from the collection server: the URL from the server
// description, the request, the response's status and header, the body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/net.h"

namespace kr {

// The URL: `server` without a leading "http://", then "/" + dir when dir is
// given and "/" + file when file is given (no "/" added after a URL that
// already ends in one).
std::string BuildUrl(std::string_view server, std::string_view dir, std::string_view file);

struct HttpTarget {
  std::string host;
  uint16_t port = 80;
  std::string path;  // without the leading "/"
};
// Splits the URL at its first "/" into host part and path; a ":" in the host
// part starts a decimal port (80 without one). An IPv6 literal is written in
// brackets ("[::1]:8080"). False when the host is empty, the port is not a
// number from 1 to 65535, or host or path holds a blank, a control byte or
// a byte above 126 (they would break the request's lines).
bool SplitUrl(std::string_view url, HttpTarget& out);

// The request: "GET /<path> HTTP/1.0", "Host:", "From:" with the collection
// mailbox and "User-Agent:" (program name and version without a blank),
// each line ended by CR LF, and an empty line.
std::string HttpRequestText(const HttpTarget& target, std::string_view mailbox);

// Fetches server/dir/file into `body` with the state texts of a transfer.
// The status must be 200; the header is skipped across receive blocks
// (lines of any length; a line feed alone ends it); the body must be
// complete: as long as Content-Length when the header gives one, otherwise
// whatever came before the server closed. A body larger than `maxBody`
// fails with the state text `tooLarge`. On failure the state line holds the reason, `body` is empty and
// false is returned; nothing is written anywhere.
bool HttpGet(Context& ctx, Network& net, std::string_view server, std::string_view dir, std::string_view file,
             size_t maxBody, std::vector<uint8_t>& body, std::string_view tooLarge = net::kBadResponse);

}  // namespace kr
