// The MARS block cipher (IBM's AES candidate, final revision): 128-bit
// blocks, keys of 4 to 14 32-bit words, an expanded key of 40 words.
// Words are the cipher's own: byte i of a key or block text is bits
// 8*(i%4)..8*(i%4)+7 of word i/4.
#pragma once

#include <cstdint>

namespace kr {

constexpr int kMarsExpandedWords = 40;

// The published key schedule, including the fix-up of the multiplication
// keys with the four-word table of S-box entries 265 to 268. Returns false
// (and leaves expanded untouched) when keyWords is not 4..14.
bool MarsSetKey(const uint32_t* key, int keyWords, uint32_t expanded[kMarsExpandedWords]);

// One block: 8 forward mixing rounds, 16 keyed core rounds, 8 backward
// mixing rounds. in and out may be the same block.
void MarsEncrypt(const uint32_t in[4], uint32_t out[4], const uint32_t expanded[kMarsExpandedWords]);
void MarsDecrypt(const uint32_t in[4], uint32_t out[4], const uint32_t expanded[kMarsExpandedWords]);

// The fix-up mask of a multiplication key word w (its two low bits already
// set): the bits that lie inside a run of at least ten equal bits, are not
// at either end of that run, and are bits 2..30.
uint32_t MarsFixupMask(uint32_t w);

// The 512-word S-box (S0 is entries 0..255, S1 entries 256..511).
extern const uint32_t kMarsSbox[512];

}  // namespace kr
