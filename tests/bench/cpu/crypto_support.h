// Helpers of the cipher and hash tests: hexadecimal texts to bytes and words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kr::test {

inline std::vector<uint8_t> HexBytes(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

inline std::string BytesHex(const uint8_t* p, size_t n) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += d[p[i] >> 4];
    s += d[p[i] & 15];
  }
  return s;
}

// A byte string as little-endian 32-bit words (byte 0 is the low byte of
// word 0), the order of MARS test vectors and of NESSIE's Serpent vectors.
inline std::vector<uint32_t> LeWords(const std::string& hex) {
  std::vector<uint8_t> b = HexBytes(hex);
  std::vector<uint32_t> w(b.size() / 4);
  for (size_t i = 0; i < w.size(); ++i)
    w[i] = uint32_t(b[4 * i]) | uint32_t(b[4 * i + 1]) << 8 | uint32_t(b[4 * i + 2]) << 16 |
           uint32_t(b[4 * i + 3]) << 24;
  return w;
}

}  // namespace kr::test
