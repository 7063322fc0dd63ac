// Serpent in its bitslice form (Anderson, Biham, Knudsen: the AES
// submission): 32 rounds of key mixing, one of eight 4-bit S-boxes applied
// across the four words, and the linear transformation; the key schedule
// with the golden-ratio recurrence. The S-boxes are boolean circuits from
// serpent_sboxes.h.
#include "bench/cpu/serpent.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <utility>

#include "bench/cpu/serpent_sboxes.h"

namespace kr {
namespace {

// The round helpers work on the caller's four words by reference; they must
// be inlined so that the words stay in registers.
#define KR_INLINE [[gnu::always_inline]] inline

constexpr uint32_t kPhi = 0x9e3779b9u;

KR_INLINE void Lt(uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3) {
  x0 = std::rotl(x0, 13);
  x2 = std::rotl(x2, 3);
  x1 ^= x0 ^ x2;
  x3 ^= x2 ^ (x0 << 3);
  x1 = std::rotl(x1, 1);
  x3 = std::rotl(x3, 7);
  x0 ^= x1 ^ x3;
  x2 ^= x3 ^ (x1 << 7);
  x0 = std::rotl(x0, 5);
  x2 = std::rotl(x2, 22);
}

KR_INLINE void LtInverse(uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3) {
  x2 = std::rotr(x2, 22);
  x0 = std::rotr(x0, 5);
  x2 ^= x3 ^ (x1 << 7);
  x0 ^= x1 ^ x3;
  x3 = std::rotr(x3, 7);
  x1 = std::rotr(x1, 1);
  x3 ^= x2 ^ (x0 << 3);
  x1 ^= x0 ^ x2;
  x2 = std::rotr(x2, 3);
  x0 = std::rotr(x0, 13);
}

KR_INLINE void Mix(const uint32_t* k, uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3) {
  x0 ^= k[0];
  x1 ^= k[1];
  x2 ^= k[2];
  x3 ^= k[3];
}

// One encryption round r: key mixing, S-box r mod 8, linear transformation.
template <int R>
KR_INLINE void Round(const uint32_t (*k)[4], uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3) {
  Mix(k[R], x0, x1, x2, x3);
  serpent_sbox::Forward<R % 8>(x0, x1, x2, x3);
  Lt(x0, x1, x2, x3);
}

// Inverse of round r.
template <int R>
KR_INLINE void RoundInverse(const uint32_t (*k)[4], uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3) {
  LtInverse(x0, x1, x2, x3);
  serpent_sbox::Inverse<R % 8>(x0, x1, x2, x3);
  Mix(k[R], x0, x1, x2, x3);
}

template <int... R>
KR_INLINE void Rounds(const uint32_t (*k)[4], uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3,
                   std::integer_sequence<int, R...>) {
  (Round<R>(k, x0, x1, x2, x3), ...);
}

template <int... R>
KR_INLINE void RoundsInverse(const uint32_t (*k)[4], uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3,
                          std::integer_sequence<int, R...>) {
  (RoundInverse<30 - R>(k, x0, x1, x2, x3), ...);
}

// Subkey i passes its four prekey words through S-box (3 - i) mod 8.
template <int... I>
inline void MakeSubkeys(const uint32_t* w, uint32_t (*k)[4], std::integer_sequence<int, I...>) {
  (
      [&] {
        uint32_t a = w[4 * I], b = w[4 * I + 1], c = w[4 * I + 2], d = w[4 * I + 3];
        serpent_sbox::Forward<((3 - I) % 8 + 8) % 8>(a, b, c, d);
        k[I][0] = a;
        k[I][1] = b;
        k[I][2] = c;
        k[I][3] = d;
      }(),
      ...);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads words words of eight digits each from text, word 0 from the last
// eight digits. False when a digit is missing or not hexadecimal.
bool TextToWords(const char* text, int words, uint32_t* out) {
  if (strnlen(text, size_t(8 * words)) < size_t(8 * words)) return false;
  for (int i = 0; i < words; ++i) {
    const char* p = text + 8 * (words - 1 - i);
    uint32_t v = 0;
    for (int j = 0; j < 8; ++j) {
      int d = HexDigit(p[j]);
      if (d < 0) return false;
      v = (v << 4) | uint32_t(d);
    }
    out[i] = v;
  }
  return true;
}

#undef KR_INLINE

}  // namespace

void SerpentExpandKey(const uint32_t key[8], uint32_t subkeys[33][4]) {
  // w[0..7] are the key words (w_-8 .. w_-1), then 132 prekeys.
  uint32_t w[140];
  for (int i = 0; i < 8; ++i) w[i] = key[i];
  for (int i = 8; i < 140; ++i)
    w[i] = std::rotl(w[i - 8] ^ w[i - 5] ^ w[i - 3] ^ w[i - 1] ^ kPhi ^ uint32_t(i - 8), 11);
  MakeSubkeys(w + 8, subkeys, std::make_integer_sequence<int, 33>());
}

void SerpentEncryptBlock(const uint32_t subkeys[33][4], const uint32_t in[4], uint32_t out[4]) {
  uint32_t x0 = in[0], x1 = in[1], x2 = in[2], x3 = in[3];
  Rounds(subkeys, x0, x1, x2, x3, std::make_integer_sequence<int, 31>());
  Mix(subkeys[31], x0, x1, x2, x3);
  serpent_sbox::Forward<7>(x0, x1, x2, x3);
  Mix(subkeys[32], x0, x1, x2, x3);
  out[0] = x0;
  out[1] = x1;
  out[2] = x2;
  out[3] = x3;
}

void SerpentDecryptBlock(const uint32_t subkeys[33][4], const uint32_t in[4], uint32_t out[4]) {
  uint32_t x0 = in[0], x1 = in[1], x2 = in[2], x3 = in[3];
  Mix(subkeys[32], x0, x1, x2, x3);
  serpent_sbox::Inverse<7>(x0, x1, x2, x3);
  Mix(subkeys[31], x0, x1, x2, x3);
  RoundsInverse(subkeys, x0, x1, x2, x3, std::make_integer_sequence<int, 31>());
  out[0] = x0;
  out[1] = x1;
  out[2] = x2;
  out[3] = x3;
}

int cipherInit(SerpentCipherInstance* cipher, uint8_t mode, const char* iv) {
  if (cipher == nullptr) return SERPENT_BAD_CIPHER_STATE;
  cipher->valid = false;
  if (mode != SERPENT_MODE_ECB && mode != SERPENT_MODE_CBC) return SERPENT_BAD_CIPHER_MODE;
  cipher->mode = mode;
  std::memset(cipher->iv, 0, sizeof cipher->iv);
  if (mode == SERPENT_MODE_CBC) {
    if (iv == nullptr || !TextToWords(iv, 4, cipher->iv)) return SERPENT_BAD_CIPHER_STATE;
  }
  cipher->valid = true;
  return SERPENT_TRUE;
}

int makeKey(SerpentKeyInstance* key, uint8_t direction, int keyLen, const char* keyMaterial) {
  if (key == nullptr) return SERPENT_BAD_KEY_INSTANCE;
  key->valid = false;
  if (direction > SERPENT_DIR_DECRYPT) return SERPENT_BAD_KEY_DIR;
  if (keyLen < 32 || keyLen > 256 || keyLen % 32 != 0) return SERPENT_BAD_KEY_INSTANCE;
  if (keyMaterial == nullptr) return SERPENT_BAD_KEY_MAT;
  const int words = keyLen / 32;
  uint32_t k[8] = {};
  if (!TextToWords(keyMaterial, words, k)) return SERPENT_BAD_KEY_MAT;

  key->direction = direction;
  key->keyLen = keyLen;
  std::memset(key->keyMaterial, 0, sizeof key->keyMaterial);
  std::memcpy(key->keyMaterial, keyMaterial, size_t(keyLen / 4));
  std::memcpy(key->key, k, sizeof k);
  // A short key is padded with a one bit above its most significant bit.
  if (keyLen < 256) k[words] = 1;
  SerpentExpandKey(k, key->subkeys);
  key->valid = true;
  return SERPENT_TRUE;
}

int blockEncrypt(SerpentCipherInstance* cipher, const SerpentKeyInstance* key, const uint32_t* input, int inputLen,
                 uint32_t* output) {
  if (cipher == nullptr || !cipher->valid || key == nullptr || !key->valid) return SERPENT_BAD_CIPHER_STATE;
  if (input == nullptr || output == nullptr || inputLen < 0) return SERPENT_BAD_INPUT;
  const int blocks = inputLen / 128;
  for (int b = 0; b < blocks; ++b) {
    const uint32_t* in = input + 4 * b;
    uint32_t* out = output + 4 * b;
    if (cipher->mode == SERPENT_MODE_CBC) {
      uint32_t x[4] = {in[0] ^ cipher->iv[0], in[1] ^ cipher->iv[1], in[2] ^ cipher->iv[2], in[3] ^ cipher->iv[3]};
      SerpentEncryptBlock(key->subkeys, x, out);
      std::memcpy(cipher->iv, out, sizeof cipher->iv);
    } else {
      SerpentEncryptBlock(key->subkeys, in, out);
    }
  }
  return 128 * blocks;
}

int blockDecrypt(SerpentCipherInstance* cipher, const SerpentKeyInstance* key, const uint32_t* input, int inputLen,
                 uint32_t* output) {
  if (cipher == nullptr || !cipher->valid || key == nullptr || !key->valid) return SERPENT_BAD_CIPHER_STATE;
  if (input == nullptr || output == nullptr || inputLen < 0) return SERPENT_BAD_INPUT;
  const int blocks = inputLen / 128;
  for (int b = 0; b < blocks; ++b) {
    const uint32_t* in = input + 4 * b;
    uint32_t* out = output + 4 * b;
    if (cipher->mode == SERPENT_MODE_CBC) {
      uint32_t c[4];
      std::memcpy(c, in, sizeof c);  // in and out may be the same block
      SerpentDecryptBlock(key->subkeys, c, out);
      for (int i = 0; i < 4; ++i) out[i] ^= cipher->iv[i];
      std::memcpy(cipher->iv, c, sizeof c);
    } else {
      SerpentDecryptBlock(key->subkeys, in, out);
    }
  }
  return 128 * blocks;
}

bool SerpentWordsToText(const uint32_t* words, int keyLen, bool upperCase, char* text) {
  if (words == nullptr || text == nullptr || keyLen < 32 || keyLen > 256 || keyLen % 32 != 0) return false;
  const int n = keyLen / 32;
  // Most significant word first: each group's terminator is overwritten by
  // the next group, the last one ends the text.
  for (int i = n - 1; i >= 0; --i)
    std::snprintf(text + 8 * (n - 1 - i), 9, upperCase ? "%08lX" : "%08lx", static_cast<unsigned long>(words[i]));
  return true;
}

}  // namespace kr
