#include "util/latin1.h"

namespace kr {

std::string Latin1ToUtf8(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  for (unsigned char c : in) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool Utf8ToLatin1(std::string_view in, std::string& out) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    if (c < 0x80) {
      out += char(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < in.size() &&
               (static_cast<unsigned char>(in[i + 1]) & 0xC0) == 0x80) {
      out += char(((c & 0x03) << 6) | (static_cast<unsigned char>(in[i + 1]) & 0x3F));
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace kr
