#include "intake/mime.h"

namespace kr {

namespace {

constexpr int kMaxDepth = 4;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Splits at the first empty line (LF LF or CR LF CR LF).
bool SplitHeader(std::string_view text, std::string_view& header, std::string_view& body) {
  // A part may start with the empty line itself: no header fields.
  if (text.substr(0, 1) == "\n" || text.substr(0, 2) == "\r\n") {
    header = {};
    body = text.substr(text[0] == '\n' ? 1 : 2);
    return true;
  }
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '\n') continue;
    size_t j = i + 1;
    if (j < text.size() && text[j] == '\r') ++j;
    if (j < text.size() && text[j] == '\n') {
      header = text.substr(0, i + 1);
      body = text.substr(j + 1);
      return true;
    }
  }
  return false;
}

bool Collect(std::string_view text, int depth, std::vector<MimePart>& parts) {
  std::string_view header, body;
  if (!SplitHeader(text, header, body)) {
    // A part may end right after its header: the line break before the
    // boundary belongs to the boundary. A whole mail needs its empty line.
    if (depth == 0) return false;
    header = text;
    body = {};
  }
  std::string type = HeaderField(header, "Content-Type");
  std::string mediaType = Lower(Trim(std::string_view(type).substr(0, type.find(';'))));
  if (mediaType.rfind("multipart/", 0) != 0) {
    MimePart p;
    p.contentType = mediaType;
    p.fileName = HeaderParameter(HeaderField(header, "Content-Disposition"), "filename");
    if (p.fileName.empty()) p.fileName = HeaderParameter(type, "name");
    p.transferEncoding = Lower(Trim(HeaderField(header, "Content-Transfer-Encoding")));
    p.body = body;
    parts.push_back(p);
    return true;
  }
  if (depth >= kMaxDepth) return false;
  std::string boundary = HeaderParameter(type, "boundary");
  if (boundary.empty()) return false;
  const std::string dash = "--" + boundary;
  // Walk the body line by line; a part is what lies between two boundary lines.
  size_t pos = 0, partStart = std::string_view::npos;
  bool sawFirst = false;
  while (pos < body.size()) {
    size_t lf = body.find('\n', pos);
    size_t end = lf == std::string_view::npos ? body.size() : lf;
    std::string_view line = Trim(body.substr(pos, end - pos));
    size_t next = lf == std::string_view::npos ? body.size() : lf + 1;
    if (line.substr(0, dash.size()) == dash) {
      std::string_view rest = line.substr(dash.size());
      bool closing = rest.substr(0, 2) == "--";
      if (rest.empty() || closing) {
        if (partStart != std::string_view::npos) {
          // The line break before the boundary line belongs to the boundary.
          size_t partEnd = pos;
          if (partEnd > partStart && body[partEnd - 1] == '\n') --partEnd;
          if (partEnd > partStart && body[partEnd - 1] == '\r') --partEnd;
          if (!Collect(body.substr(partStart, partEnd - partStart), depth + 1, parts)) return false;
        }
        sawFirst = true;
        if (closing) return true;
        partStart = next;
      }
    }
    pos = next;
  }
  // No closing line: the last part runs to the end of the mail.
  if (!sawFirst) return false;
  if (partStart != std::string_view::npos && partStart < body.size())
    return Collect(body.substr(partStart), depth + 1, parts);
  return true;
}

}  // namespace

std::string HeaderField(std::string_view header, std::string_view name) {
  const std::string want = Lower(name) + ":";
  std::string value;
  bool in = false;
  size_t pos = 0;
  while (pos < header.size()) {
    size_t lf = header.find('\n', pos);
    size_t end = lf == std::string_view::npos ? header.size() : lf;
    std::string_view line = header.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      if (in) {
        value += ' ';
        value += Trim(line);
      }
      continue;
    }
    if (in) break;
    if (Lower(line.substr(0, want.size())) == want) {
      in = true;
      value = std::string(Trim(line.substr(want.size())));
    }
  }
  return value;
}

std::string HeaderParameter(std::string_view value, std::string_view name) {
  const std::string want = Lower(name);
  size_t pos = value.find(';');
  while (pos != std::string_view::npos) {
    std::string_view rest = value.substr(pos + 1);
    size_t eq = rest.find('=');
    if (eq == std::string_view::npos) return {};
    std::string key = Lower(Trim(rest.substr(0, eq)));
    std::string_view v = rest.substr(eq + 1);
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    std::string out;
    size_t after;
    if (!v.empty() && v.front() == '"') {
      size_t close = v.find('"', 1);
      if (close == std::string_view::npos) close = v.size();
      out = std::string(v.substr(1, close - 1));
      after = v.find(';', close);
    } else {
      after = v.find(';');
      out = std::string(Trim(v.substr(0, after)));
    }
    if (key == want) return out;
    if (after == std::string_view::npos) return {};
    pos = size_t(v.data() - value.data()) + after;
  }
  return {};
}

bool MimeLeafParts(std::string_view mail, std::vector<MimePart>& parts) {
  parts.clear();
  return Collect(mail, 0, parts);
}

}  // namespace kr
