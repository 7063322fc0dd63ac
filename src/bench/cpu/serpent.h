// The Serpent block cipher (AES candidate: 128-bit blocks, keys up to 256
// bits) behind the programming interface of the AES-candidate submissions:
// a cipher instance (mode, initialisation vector), a key instance made from
// a hexadecimal key text, and block encryption and decryption.
//
// Conventions of that interface: a key text of keyLen/4 hexadecimal digits
// is one big number written most significant digit first; it is read eight
// digits at a time ("%08lx") into 32-bit key words, word 0 taken from the
// last eight digits. A block is four 32-bit words, word 0 holding bits 0..31
// of the cipher's 128-bit block. (Byte-string test vectors such as NESSIE's
// list the bytes of word 0 first, each word low byte first: the reverse of
// the big-number text.)
#pragma once

#include <cstdint>

namespace kr {

// Modes and directions.
constexpr uint8_t SERPENT_MODE_ECB = 1;
constexpr uint8_t SERPENT_MODE_CBC = 2;
constexpr uint8_t SERPENT_DIR_ENCRYPT = 0;
constexpr uint8_t SERPENT_DIR_DECRYPT = 1;

// Results of the interface calls (positive means success).
constexpr int SERPENT_TRUE = 1;
constexpr int SERPENT_BAD_KEY_DIR = -1;       // direction above 1
constexpr int SERPENT_BAD_KEY_MAT = -2;       // key text that does not convert
constexpr int SERPENT_BAD_KEY_INSTANCE = -3;  // key length not 32..256 in steps of 32
constexpr int SERPENT_BAD_CIPHER_MODE = -4;   // mode other than ECB or CBC
constexpr int SERPENT_BAD_CIPHER_STATE = -5;  // instance not initialised, bad IV text
constexpr int SERPENT_BAD_INPUT = -6;         // null buffers or negative length

constexpr int kSerpentMaxKeyText = 64;  // hexadecimal digits of a 256-bit key

struct SerpentKeyInstance {
  uint8_t direction = 0;
  int keyLen = 0;                            // bits
  char keyMaterial[kSerpentMaxKeyText + 1] = {};  // the key text as given
  uint32_t key[8] = {};                      // key words from the text
  uint32_t subkeys[33][4] = {};              // the expanded key
  bool valid = false;
};

struct SerpentCipherInstance {
  uint8_t mode = 0;
  uint32_t iv[4] = {};
  bool valid = false;
};

// Initialises a cipher instance. mode ECB or CBC; iv is a text of 32
// hexadecimal digits (CBC), ignored for ECB (may be null or empty).
int cipherInit(SerpentCipherInstance* cipher, uint8_t mode, const char* iv);

// Makes a key instance from keyLen bits of hexadecimal key text.
// SERPENT_TRUE on success, SERPENT_BAD_KEY_DIR for a direction above 1,
// SERPENT_BAD_KEY_MAT for a text that is shorter than keyLen/4 digits or has
// a character that is not a hexadecimal digit, SERPENT_BAD_KEY_INSTANCE for
// an unsupported length.
int makeKey(SerpentKeyInstance* key, uint8_t direction, int keyLen, const char* keyMaterial);

// Encrypts or decrypts inputLen / 128 whole blocks of four words (input and
// output may be the same buffer). Returns the number of bits processed, or a
// negative error.
int blockEncrypt(SerpentCipherInstance* cipher, const SerpentKeyInstance* key, const uint32_t* input, int inputLen,
                 uint32_t* output);
int blockDecrypt(SerpentCipherInstance* cipher, const SerpentKeyInstance* key, const uint32_t* input, int inputLen,
                 uint32_t* output);

// Key words back to text: keyLen/4 digits, most significant first, "%08lx"
// or with upperCase "%08lX". text must hold keyLen/4 + 1 characters.
// Returns false for an unsupported length.
bool SerpentWordsToText(const uint32_t* words, int keyLen, bool upperCase, char* text);

// The raw cipher on one block with an expanded key (no interface checks).
void SerpentEncryptBlock(const uint32_t subkeys[33][4], const uint32_t in[4], uint32_t out[4]);
void SerpentDecryptBlock(const uint32_t subkeys[33][4], const uint32_t in[4], uint32_t out[4]);
// Expands a 256-bit key (shorter keys already padded) into 33 subkeys.
void SerpentExpandKey(const uint32_t key[8], uint32_t subkeys[33][4]);

}  // namespace kr
