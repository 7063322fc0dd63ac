#include "net/http.h"

#include <algorithm>
#include <cstdlib>

#include "engine/context.h"

namespace kr {

namespace {

constexpr size_t kBlock = 1000;           // bytes per receive
constexpr size_t kLineKept = 79;          // characters kept of a header line
constexpr size_t kMaxStatusLine = 1000;   // a longer status line is not HTTP
constexpr size_t kMaxHeader = 64 * 1024;  // a longer header is not taken

bool PlainByte(unsigned char c) { return c > 32 && c < 127; }

bool AllPlain(std::string_view s) {
  for (unsigned char c : s)
    if (!PlainByte(c)) return false;
  return true;
}

// Value of a "Content-Length:" line (name in any case), -1 for another
// line, -2 for a value that is not a plain decimal number.
int64_t ContentLength(std::string_view line) {
  static constexpr std::string_view kName = "content-length:";
  if (line.size() < kName.size()) return -1;
  for (size_t i = 0; i < kName.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != kName[i]) return -1;
  }
  std::string_view v = line.substr(kName.size());
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  if (v.empty() || v.size() > 15) return -2;
  int64_t n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return -2;
    n = n * 10 + (c - '0');
  }
  return n;
}

// The decimal number at byte 9 of the status line (atoi: optional blanks and
// sign, then digits); 0 when there is none.
long StatusCode(std::string_view statusLine) {
  if (statusLine.size() <= 9) return 0;
  std::string rest(statusLine.substr(9, 12));
  return std::strtol(rest.c_str(), nullptr, 10);
}

}  // namespace

std::string BuildUrl(std::string_view server, std::string_view dir, std::string_view file) {
  std::string url(server.substr(0, 7) == "http://" ? server.substr(7) : server);
  for (std::string_view part : {dir, file}) {
    if (part.empty()) continue;
    if (url.empty() || url.back() != '/') url += '/';
    url += part;
  }
  return url;
}

bool SplitUrl(std::string_view url, HttpTarget& out) {
  out = HttpTarget{};
  size_t slash = url.find('/');
  std::string_view hostPart = url.substr(0, slash);
  std::string_view path = slash == std::string_view::npos ? std::string_view() : url.substr(slash + 1);
  std::string_view host = hostPart, port;
  if (!hostPart.empty() && hostPart.front() == '[') {
    size_t close = hostPart.find(']');
    if (close == std::string_view::npos) return false;
    host = hostPart.substr(1, close - 1);
    std::string_view after = hostPart.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return false;
      port = after.substr(1);
      if (port.empty()) return false;
    }
  } else if (size_t colon = hostPart.find(':'); colon != std::string_view::npos) {
    host = hostPart.substr(0, colon);
    port = hostPart.substr(colon + 1);
    if (port.empty()) return false;
  }
  if (host.empty() || !AllPlain(host) || !AllPlain(path)) return false;
  if (!port.empty()) {
    if (port.size() > 5) return false;
    unsigned value = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + unsigned(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    out.port = uint16_t(value);
  }
  out.host = std::string(host);
  out.path = std::string(path);
  return true;
}

std::string HttpRequestText(const HttpTarget& target, std::string_view mailbox) {
  std::string r;
  r += "GET /" + target.path + " HTTP/1.0\r\n";
  r += "Host: " + target.host + "\r\n";
  r += "From: \"" + std::string(net::kProgramName) + "\" <" + std::string(mailbox) + ">\r\n";
  r += "User-Agent: " + std::string(net::kProgramName) + std::string(net::kProgramVersion) + "\r\n";
  r += "\r\n";
  return r;
}

bool HttpGet(Context& ctx, Network& net, std::string_view server, std::string_view dir, std::string_view file,
             size_t maxBody, std::vector<uint8_t>& body, std::string_view tooLarge) {
  body.clear();
  HttpTarget target;
  if (!SplitUrl(BuildUrl(server, dir, file), target)) {
    net.state.ShowState(net::kBadAddress);
    return false;
  }
  int s = NetConnect(net, target.host, target.port);
  if (s < 0) return false;

  auto fail = [&](std::string_view text) {
    if (!text.empty()) net.state.ShowState(text);
    else ShowNetError(net);
    net.sockets.Close(s);
    body.clear();
    return false;
  };

  net.state.ShowState(net::kReceivingModule);
  std::string request = HttpRequestText(target, CollectionMailbox(ctx));
  if (!net.sockets.Send(s, request.data(), request.size())) return fail(net::kCantSendRequest);

  // The response as one stream of bytes across receive blocks: the status
  // line, header lines up to the empty one, then the body.
  enum class Phase { Status, Header, Body } phase = Phase::Status;
  std::string statusLine, line;
  size_t headerBytes = 0;
  int64_t contentLength = -1;
  uint8_t block[kBlock];
  for (;;) {
    int64_t got = net.sockets.Receive(s, block, sizeof block);
    if (got < 0) return fail({});  // error, timeout or cancellation: the socket's text
    if (got == 0) break;
    size_t i = 0;
    while (i < size_t(got) && phase != Phase::Body) {
      uint8_t c = block[i++];
      if (phase == Phase::Status) {
        if (c == '\n') {
          if (StatusCode(statusLine) != 200) return fail(net::kNotFound);
          net.state.ShowState(net::kReceivingData);
          phase = Phase::Header;
        } else if (c != '\r') {
          if (statusLine.size() >= kMaxStatusLine) return fail(net::kNotFound);
          statusLine += char(c);
        }
        continue;
      }
      if (++headerBytes > kMaxHeader) return fail(net::kBadResponse);
      if (c == '\r') continue;
      if (c != '\n') {
        if (line.size() < kLineKept) line += char(c);
        continue;
      }
      if (line.empty()) {
        phase = Phase::Body;
        if (contentLength > int64_t(maxBody)) return fail(tooLarge);
        break;
      }
      if (int64_t n = ContentLength(line); n != -1) {
        if (n == -2 || (contentLength >= 0 && contentLength != n)) return fail(net::kBadResponse);
        contentLength = n;
      }
      line.clear();
    }
    if (phase != Phase::Body) continue;
    size_t take = size_t(got) - i;
    if (contentLength >= 0) take = std::min<size_t>(take, size_t(contentLength) - body.size());
    if (body.size() + take > maxBody) return fail(tooLarge);
    body.insert(body.end(), block + i, block + i + take);
    if (contentLength >= 0 && body.size() == size_t(contentLength)) break;
  }
  if (phase == Phase::Status) return fail(net::kNotFound);
  if (phase == Phase::Header) return fail(net::kIncomplete);
  if (contentLength >= 0 && body.size() != size_t(contentLength)) return fail(net::kIncomplete);
  net.sockets.Close(s);
  return true;
}

}  // namespace kr
