// MD5 as described in RFC 1321, written for speed: the 64 steps are unrolled
// and message words are read straight from the caller's buffer when a whole
// block is available.
#include "util/md5.h"

#include <bit>
#include <cstring>

namespace kr {
namespace {

inline uint32_t LoadLe32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

inline void StoreLe32(uint8_t* p, uint32_t v) {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}

// Round functions of RFC 1321, in forms that need the fewest operations:
// F(x,y,z) = (x & y) | (~x & z) selects bits (G(x,y,z) = (x & z) | (y & ~z)
// is written into its step below), H is parity, I(x,y,z) = y ^ (x | ~z).
#define KR_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define KR_MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define KR_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
// a = b + ((a + fn(b,c,d) + X[k] + T[i]) <<< s)
#define KR_MD5_STEP(fn, a, b, c, d, xk, t, s) \
  a += fn(b, c, d) + (xk) + (t);              \
  a = std::rotl(a, s) + (b)
// Round 2 in the additive form: the two halves of G have no bit in common, so
// G = (c & ~d) + (b & d). The half without b (the value the previous step
// just computed) is added first, leaving two operations on the critical path
// where the selecting form has four.
#define KR_MD5_STEP_G(a, b, c, d, xk, t, s) \
  a += ((c) & ~(d)) + (xk) + (t);           \
  a += (b) & (d);                           \
  a = std::rotl(a, s) + (b)

// Processes count consecutive 64-byte blocks.
void ProcessBlocks(uint32_t abcd[4], const uint8_t* p, size_t count) {
  uint32_t a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];
  for (; count > 0; --count, p += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(p + 4 * i);
    const uint32_t aa = a, bb = b, cc = c, dd = d;

    // Round 1. T[i] = floor(2^32 * |sin(i)|), i = 1..64.
    KR_MD5_STEP(KR_MD5_F, a, b, c, d, x[0], 0xd76aa478u, 7);
    KR_MD5_STEP(KR_MD5_F, d, a, b, c, x[1], 0xe8c7b756u, 12);
    KR_MD5_STEP(KR_MD5_F, c, d, a, b, x[2], 0x242070dbu, 17);
    KR_MD5_STEP(KR_MD5_F, b, c, d, a, x[3], 0xc1bdceeeu, 22);
    KR_MD5_STEP(KR_MD5_F, a, b, c, d, x[4], 0xf57c0fafu, 7);
    KR_MD5_STEP(KR_MD5_F, d, a, b, c, x[5], 0x4787c62au, 12);
    KR_MD5_STEP(KR_MD5_F, c, d, a, b, x[6], 0xa8304613u, 17);
    KR_MD5_STEP(KR_MD5_F, b, c, d, a, x[7], 0xfd469501u, 22);
    KR_MD5_STEP(KR_MD5_F, a, b, c, d, x[8], 0x698098d8u, 7);
    KR_MD5_STEP(KR_MD5_F, d, a, b, c, x[9], 0x8b44f7afu, 12);
    KR_MD5_STEP(KR_MD5_F, c, d, a, b, x[10], 0xffff5bb1u, 17);
    KR_MD5_STEP(KR_MD5_F, b, c, d, a, x[11], 0x895cd7beu, 22);
    KR_MD5_STEP(KR_MD5_F, a, b, c, d, x[12], 0x6b901122u, 7);
    KR_MD5_STEP(KR_MD5_F, d, a, b, c, x[13], 0xfd987193u, 12);
    KR_MD5_STEP(KR_MD5_F, c, d, a, b, x[14], 0xa679438eu, 17);
    KR_MD5_STEP(KR_MD5_F, b, c, d, a, x[15], 0x49b40821u, 22);

    // Round 2.
    KR_MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562u, 5);
    KR_MD5_STEP_G(d, a, b, c, x[6], 0xc040b340u, 9);
    KR_MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51u, 14);
    KR_MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aau, 20);
    KR_MD5_STEP_G(a, b, c, d, x[5], 0xd62f105du, 5);
    KR_MD5_STEP_G(d, a, b, c, x[10], 0x02441453u, 9);
    KR_MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681u, 14);
    KR_MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8u, 20);
    KR_MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6u, 5);
    KR_MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6u, 9);
    KR_MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87u, 14);
    KR_MD5_STEP_G(b, c, d, a, x[8], 0x455a14edu, 20);
    KR_MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905u, 5);
    KR_MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8u, 9);
    KR_MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9u, 14);
    KR_MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8au, 20);

    // Round 3.
    KR_MD5_STEP(KR_MD5_H, a, b, c, d, x[5], 0xfffa3942u, 4);
    KR_MD5_STEP(KR_MD5_H, d, a, b, c, x[8], 0x8771f681u, 11);
    KR_MD5_STEP(KR_MD5_H, c, d, a, b, x[11], 0x6d9d6122u, 16);
    KR_MD5_STEP(KR_MD5_H, b, c, d, a, x[14], 0xfde5380cu, 23);
    KR_MD5_STEP(KR_MD5_H, a, b, c, d, x[1], 0xa4beea44u, 4);
    KR_MD5_STEP(KR_MD5_H, d, a, b, c, x[4], 0x4bdecfa9u, 11);
    KR_MD5_STEP(KR_MD5_H, c, d, a, b, x[7], 0xf6bb4b60u, 16);
    KR_MD5_STEP(KR_MD5_H, b, c, d, a, x[10], 0xbebfbc70u, 23);
    KR_MD5_STEP(KR_MD5_H, a, b, c, d, x[13], 0x289b7ec6u, 4);
    KR_MD5_STEP(KR_MD5_H, d, a, b, c, x[0], 0xeaa127fau, 11);
    KR_MD5_STEP(KR_MD5_H, c, d, a, b, x[3], 0xd4ef3085u, 16);
    KR_MD5_STEP(KR_MD5_H, b, c, d, a, x[6], 0x04881d05u, 23);
    KR_MD5_STEP(KR_MD5_H, a, b, c, d, x[9], 0xd9d4d039u, 4);
    KR_MD5_STEP(KR_MD5_H, d, a, b, c, x[12], 0xe6db99e5u, 11);
    KR_MD5_STEP(KR_MD5_H, c, d, a, b, x[15], 0x1fa27cf8u, 16);
    KR_MD5_STEP(KR_MD5_H, b, c, d, a, x[2], 0xc4ac5665u, 23);

    // Round 4.
    KR_MD5_STEP(KR_MD5_I, a, b, c, d, x[0], 0xf4292244u, 6);
    KR_MD5_STEP(KR_MD5_I, d, a, b, c, x[7], 0x432aff97u, 10);
    KR_MD5_STEP(KR_MD5_I, c, d, a, b, x[14], 0xab9423a7u, 15);
    KR_MD5_STEP(KR_MD5_I, b, c, d, a, x[5], 0xfc93a039u, 21);
    KR_MD5_STEP(KR_MD5_I, a, b, c, d, x[12], 0x655b59c3u, 6);
    KR_MD5_STEP(KR_MD5_I, d, a, b, c, x[3], 0x8f0ccc92u, 10);
    KR_MD5_STEP(KR_MD5_I, c, d, a, b, x[10], 0xffeff47du, 15);
    KR_MD5_STEP(KR_MD5_I, b, c, d, a, x[1], 0x85845dd1u, 21);
    KR_MD5_STEP(KR_MD5_I, a, b, c, d, x[8], 0x6fa87e4fu, 6);
    KR_MD5_STEP(KR_MD5_I, d, a, b, c, x[15], 0xfe2ce6e0u, 10);
    KR_MD5_STEP(KR_MD5_I, c, d, a, b, x[6], 0xa3014314u, 15);
    KR_MD5_STEP(KR_MD5_I, b, c, d, a, x[13], 0x4e0811a1u, 21);
    KR_MD5_STEP(KR_MD5_I, a, b, c, d, x[4], 0xf7537e82u, 6);
    KR_MD5_STEP(KR_MD5_I, d, a, b, c, x[11], 0xbd3af235u, 10);
    KR_MD5_STEP(KR_MD5_I, c, d, a, b, x[2], 0x2ad7d2bbu, 15);
    KR_MD5_STEP(KR_MD5_I, b, c, d, a, x[9], 0xeb86d391u, 21);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  abcd[0] = a;
  abcd[1] = b;
  abcd[2] = c;
  abcd[3] = d;
}

#undef KR_MD5_STEP
#undef KR_MD5_I
#undef KR_MD5_H
#undef KR_MD5_STEP_G
#undef KR_MD5_F

}  // namespace

void Md5Init(Md5State& s) {
  s.bitCount = 0;
  s.abcd[0] = 0x67452301u;
  s.abcd[1] = 0xefcdab89u;
  s.abcd[2] = 0x98badcfeu;
  s.abcd[3] = 0x10325476u;
}

void Md5Append(Md5State& s, const void* data, size_t length) {
  if (length == 0) return;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t used = size_t(s.bitCount >> 3) & 63;
  s.bitCount += uint64_t(length) << 3;

  if (used != 0) {
    size_t take = 64 - used;
    if (length < take) {
      std::memcpy(s.buffer + used, p, length);
      return;
    }
    std::memcpy(s.buffer + used, p, take);
    ProcessBlocks(s.abcd, s.buffer, 1);
    p += take;
    length -= take;
  }
  size_t blocks = length / 64;
  if (blocks != 0) {
    ProcessBlocks(s.abcd, p, blocks);
    p += blocks * 64;
    length -= blocks * 64;
  }
  if (length != 0) std::memcpy(s.buffer, p, length);
}

void Md5Finish(Md5State& s, uint8_t digest[16]) {
  const uint64_t bits = s.bitCount;
  size_t used = size_t(bits >> 3) & 63;
  // Padding: one 0x80 byte, zeros up to 56 modulo 64, then the bit count
  // (low byte first).
  s.buffer[used++] = 0x80;
  if (used > 56) {
    std::memset(s.buffer + used, 0, 64 - used);
    ProcessBlocks(s.abcd, s.buffer, 1);
    used = 0;
  }
  std::memset(s.buffer + used, 0, 56 - used);
  StoreLe32(s.buffer + 56, uint32_t(bits));
  StoreLe32(s.buffer + 60, uint32_t(bits >> 32));
  ProcessBlocks(s.abcd, s.buffer, 1);
  for (int i = 0; i < 4; ++i) StoreLe32(digest + 4 * i, s.abcd[i]);
}

void Md5Digest(const void* data, size_t length, uint8_t digest[16]) {
  Md5State s;
  Md5Init(s);
  Md5Append(s, data, length);
  Md5Finish(s, digest);
}

}  // namespace kr
