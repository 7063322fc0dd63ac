// Big-endian access to fixed-size byte images (records, files).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kr {

inline uint32_t GetU32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}
inline int32_t GetS32(const uint8_t* p) { return int32_t(GetU32(p)); }
inline void PutS32(uint8_t* p, int32_t v) { PutU32(p, uint32_t(v)); }
inline uint16_t GetU16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline void PutU16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
inline uint64_t GetU64(const uint8_t* p) { return (uint64_t(GetU32(p)) << 32) | GetU32(p + 4); }
inline void PutU64(uint8_t* p, uint64_t v) { PutU32(p, uint32_t(v >> 32)); PutU32(p + 4, uint32_t(v)); }
inline double GetF64(const uint8_t* p) { return std::bit_cast<double>(GetU64(p)); }
inline void PutF64(uint8_t* p, double v) { PutU64(p, std::bit_cast<uint64_t>(v)); }

// A NUL-terminated text inside a fixed field: the bytes up to the first NUL
// (or the whole field when it has none).
inline std::string_view GetText(const uint8_t* p, size_t width) {
  size_t n = 0;
  while (n < width && p[n] != 0) ++n;
  return std::string_view(reinterpret_cast<const char*>(p), n);
}
// Stores text and its terminator; cuts it to width - 1 bytes. Bytes after the
// terminator keep what the field held before.
inline void PutText(uint8_t* p, size_t width, std::string_view text) {
  if (width == 0) return;
  size_t n = text.size() < width - 1 ? text.size() : width - 1;
  std::memcpy(p, text.data(), n);
  p[n] = 0;
}

// A fixed-size byte image with big-endian accessors at byte offsets.
template <size_t N>
struct ByteImage {
  static constexpr size_t kSize = N;
  std::array<uint8_t, N> bytes{};

  uint8_t* data() { return bytes.data(); }
  const uint8_t* data() const { return bytes.data(); }
  void Clear() { bytes.fill(0); }

  int32_t s32(size_t off) const { return GetS32(bytes.data() + off); }
  void set_s32(size_t off, int32_t v) { PutS32(bytes.data() + off, v); }
  uint32_t u32(size_t off) const { return GetU32(bytes.data() + off); }
  void set_u32(size_t off, uint32_t v) { PutU32(bytes.data() + off, v); }
  uint16_t u16(size_t off) const { return GetU16(bytes.data() + off); }
  void set_u16(size_t off, uint16_t v) { PutU16(bytes.data() + off, v); }
  double f64(size_t off) const { return GetF64(bytes.data() + off); }
  void set_f64(size_t off, double v) { PutF64(bytes.data() + off, v); }
  std::string_view text(size_t off, size_t width) const { return GetText(bytes.data() + off, width); }
  void set_text(size_t off, size_t width, std::string_view t) { PutText(bytes.data() + off, width, t); }
};

}  // namespace kr
