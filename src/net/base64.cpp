#include "net/base64.h"

#include "platform/dos.h"

namespace kr {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineChars = 72;

int DecodeChar(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

void EncodeBase64Group(uint8_t b0, uint8_t b1, uint8_t b2, int padding, std::string& out) {
  if (padding == 1) b2 = 0;
  if (padding == 2) b1 = b2 = 0;
  uint32_t v = (uint32_t(b0) << 16) | (uint32_t(b1) << 8) | b2;
  out += kAlphabet[(v >> 18) & 63];
  out += kAlphabet[(v >> 12) & 63];
  out += padding == 2 ? '=' : kAlphabet[(v >> 6) & 63];
  out += padding >= 1 ? '=' : kAlphabet[v & 63];
}

void EncodeBase64(const uint8_t* data, size_t len, std::string& out, std::string_view lineEnd) {
  size_t line = 0;
  for (size_t i = 0; i < len; i += 3) {
    size_t left = len - i;
    if (left >= 3) EncodeBase64Group(data[i], data[i + 1], data[i + 2], 0, out);
    else if (left == 2) EncodeBase64Group(data[i], data[i + 1], 0, 1, out);
    else EncodeBase64Group(data[i], 0, 0, 2, out);
    line += 4;
    if (line == kLineChars) {
      out += lineEnd;
      line = 0;
    }
  }
  if (line != 0) out += lineEnd;
}

bool EncodeFileBase64(Dos& dos, std::string_view path, std::string& out, std::string_view lineEnd) {
  std::vector<uint8_t> bytes;
  if (!dos.ReadWholeFile(path, bytes)) return false;
  EncodeBase64(bytes.data(), bytes.size(), out, lineEnd);
  return true;
}

bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out, size_t limit) {
  out.clear();
  uint32_t acc = 0;
  int have = 0, pad = 0;
  for (unsigned char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '=') {
      // Padding completes a group of two or three characters.
      if (have < 2 || pad + have >= 4) return out.clear(), false;
      ++pad;
      if (have + pad == 4) {
        out.push_back(uint8_t(acc >> (have == 2 ? 4 : 10)));
        if (have == 3) out.push_back(uint8_t(acc >> 2));
        if (out.size() > limit) return out.clear(), false;
        have = 0;
        acc = 0;
      }
      continue;
    }
    int d = DecodeChar(c);
    if (d < 0 || pad > 0) return out.clear(), false;  // outside the alphabet, or data after padding
    acc = (acc << 6) | uint32_t(d);
    if (++have == 4) {
      out.push_back(uint8_t(acc >> 16));
      out.push_back(uint8_t(acc >> 8));
      out.push_back(uint8_t(acc));
      if (out.size() > limit) return out.clear(), false;
      have = 0;
      acc = 0;
    }
  }
  if (have != 0) return out.clear(), false;  // a group cut short
  return true;
}

}  // namespace kr
