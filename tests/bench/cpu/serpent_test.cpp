// Serpent: the S-box circuits, known-answer vectors through the raw block
// functions and through the AES-candidate interface, the interface's
// results, and the Serpent Cipher processor test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/cpu/serpent.h"
#include "bench/cpu/serpent_sboxes.h"
#include "bench/cpu/serpent_cipher.h"
#include "bench/cpu/card_report.h"
#include "bench/cpu/crypto_support.h"
#include "records/results.h"
#include "engine/status_model.h"

namespace kr {
namespace {

using test::LeWords;

// The S-boxes of the Serpent submission as tables.
constexpr uint8_t kS[8][16] = {
    {3, 8, 15, 1, 10, 6, 5, 11, 14, 13, 4, 2, 7, 0, 9, 12}, {15, 12, 2, 7, 9, 0, 5, 10, 1, 11, 14, 8, 6, 13, 3, 4},
    {8, 6, 7, 9, 3, 12, 10, 15, 13, 1, 14, 4, 0, 11, 5, 2}, {0, 15, 11, 8, 12, 9, 6, 3, 13, 1, 2, 4, 10, 7, 5, 14},
    {1, 15, 8, 3, 12, 0, 11, 6, 2, 5, 4, 10, 9, 14, 7, 13}, {15, 5, 2, 11, 4, 10, 9, 12, 0, 3, 14, 8, 13, 6, 7, 1},
    {7, 2, 12, 5, 8, 4, 6, 11, 14, 9, 1, 15, 13, 3, 10, 0}, {1, 13, 15, 0, 14, 8, 2, 11, 7, 4, 12, 10, 9, 3, 5, 6},
};

using SboxFn = void (*)(uint32_t&, uint32_t&, uint32_t&, uint32_t&);
const SboxFn kForward[8] = {serpent_sbox::Forward<0>, serpent_sbox::Forward<1>, serpent_sbox::Forward<2>,
                            serpent_sbox::Forward<3>, serpent_sbox::Forward<4>, serpent_sbox::Forward<5>,
                            serpent_sbox::Forward<6>, serpent_sbox::Forward<7>};
const SboxFn kInverse[8] = {serpent_sbox::Inverse<0>, serpent_sbox::Inverse<1>, serpent_sbox::Inverse<2>,
                            serpent_sbox::Inverse<3>, serpent_sbox::Inverse<4>, serpent_sbox::Inverse<5>,
                            serpent_sbox::Inverse<6>, serpent_sbox::Inverse<7>};

TEST(SerpentSboxTest, CircuitsMatchTheTables) {
  // All sixteen nibbles at once: bit n of the words holds nibble n.
  uint32_t in[4] = {};
  for (uint32_t n = 0; n < 16; ++n)
    for (int k = 0; k < 4; ++k) in[k] |= ((n >> k) & 1u) << n;
  for (int s = 0; s < 8; ++s) {
    uint32_t f[4] = {in[0], in[1], in[2], in[3]};
    kForward[s](f[0], f[1], f[2], f[3]);
    uint32_t g[4] = {in[0], in[1], in[2], in[3]};
    kInverse[s](g[0], g[1], g[2], g[3]);
    for (uint32_t n = 0; n < 16; ++n) {
      uint32_t y = 0, z = 0;
      for (int k = 0; k < 4; ++k) {
        y |= ((f[k] >> n) & 1u) << k;
        z |= ((g[k] >> n) & 1u) << k;
      }
      EXPECT_EQ(y, kS[s][n]) << "S" << s << " nibble " << n;
      EXPECT_EQ(kS[s][z], n) << "inverse S" << s << " nibble " << n;
    }
  }
}

// NESSIE's Serpent vectors (Serpent-256-128 and Serpent-128-128, "verified
// test vectors", Set 1 vector 0 and 1, Set 3 vector 0, Set 4 vector 0) list
// bytes: word 0 first, each word low byte first.
struct ByteVector {
  const char* key;
  const char* plain;
  const char* cipher;
};
const ByteVector kNessie[] = {
    {"8000000000000000000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
     "A223AA1288463C0E2BE38EBD825616C0"},
    {"4000000000000000000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
     "EAE1D405570174DF7DF2F9966D509159"},
    {"0000000000000000000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
     "49672BA898D98DF95019180445491089"},
    {"80000000000000000000000000000000", "00000000000000000000000000000000", "264E5481EFF42A4606ABDA06C0BFDA3D"},
    {"000102030405060708090A0B0C0D0E0F", "00112233445566778899AABBCCDDEEFF", "563E2CF8740A27C164804560391E9B27"},
};

TEST(SerpentTest, NessieVectorsThroughTheBlockFunctions) {
  for (const ByteVector& v : kNessie) {
    std::vector<uint32_t> key = LeWords(v.key), plain = LeWords(v.plain), cipher = LeWords(v.cipher);
    uint32_t k[8] = {};
    for (size_t i = 0; i < key.size(); ++i) k[i] = key[i];
    if (key.size() < 8) k[key.size()] = 1;  // short keys: a one bit above the key
    uint32_t sub[33][4], out[4], back[4];
    SerpentExpandKey(k, sub);
    SerpentEncryptBlock(sub, plain.data(), out);
    EXPECT_EQ(std::vector<uint32_t>(out, out + 4), cipher) << v.key;
    SerpentDecryptBlock(sub, cipher.data(), back);
    EXPECT_EQ(std::vector<uint32_t>(back, back + 4), plain) << v.key;
  }
}

// The big-number text of a byte string (NESSIE order): its bytes reversed.
std::string ReversedHex(const std::string& hex) {
  std::string out;
  for (size_t i = hex.size(); i >= 2; i -= 2) out += hex.substr(i - 2, 2);
  return out;
}

// A block text of the submission's files as four words, word 0 from the
// last eight digits.
std::vector<uint32_t> TextWords(const std::string& text) {
  std::vector<uint32_t> w(4);
  for (int i = 0; i < 4; ++i) w[size_t(i)] = uint32_t(std::stoul(text.substr(size_t(8 * (3 - i)), 8), nullptr, 16));
  return w;
}

struct TextVector {
  int keyLen;
  std::string key;
  std::string plain;
  std::string cipher;
};

TEST(SerpentTest, KnownAnswersThroughTheSubmissionInterface) {
  std::vector<TextVector> cases = {
      // The AES submission's own files (floppy 4: ecb_tbl, ecb_vt), in their
      // big-number text form.
      {256, std::string(64, '0'), std::string(32, '0'), "8910494504181950F98DD998A82B6749"},
      {128, std::string(32, '0'), "80000000000000000000000000000000", "10B5FFB720B8CB9002A1142B0BA2E94A"},
      {128, std::string(32, '0'), "00000000008000000000000000000000", "4F057A42D8D5BD9746E434680DDCD5E5"},
  };
  // NESSIE's byte strings, turned into the interface's texts.
  for (const ByteVector& v : kNessie)
    cases.push_back({int(std::strlen(v.key) * 4), ReversedHex(v.key), ReversedHex(v.plain), ReversedHex(v.cipher)});

  for (const TextVector& v : cases) {
    SerpentCipherInstance cipher;
    SerpentKeyInstance key;
    ASSERT_EQ(cipherInit(&cipher, SERPENT_MODE_ECB, ""), SERPENT_TRUE);
    ASSERT_EQ(makeKey(&key, SERPENT_DIR_ENCRYPT, v.keyLen, v.key.c_str()), SERPENT_TRUE) << v.key;
    std::vector<uint32_t> block = TextWords(v.plain);
    EXPECT_EQ(blockEncrypt(&cipher, &key, block.data(), 128, block.data()), 128);
    EXPECT_EQ(block, TextWords(v.cipher)) << v.key << " " << v.plain;
    EXPECT_EQ(blockDecrypt(&cipher, &key, block.data(), 128, block.data()), 128);
    EXPECT_EQ(block, TextWords(v.plain)) << v.key << " " << v.plain;
  }
}

TEST(SerpentTest, InterfaceResults) {
  const std::string key256(64, 'a');
  struct Case {
    uint8_t direction;
    int keyLen;
    const char* text;
    int result;
  };
  const Case cases[] = {
      {0, 256, key256.c_str(), SERPENT_TRUE},
      {1, 256, key256.c_str(), SERPENT_TRUE},
      {2, 256, key256.c_str(), SERPENT_BAD_KEY_DIR},
      {255, 256, key256.c_str(), SERPENT_BAD_KEY_DIR},
      {0, 256, "0123456789abcdef0123456789abcdeg0123456789abcdef0123456789abcdef", SERPENT_BAD_KEY_MAT},
      {0, 256, "0x23456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", SERPENT_BAD_KEY_MAT},
      {0, 256, " 123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", SERPENT_BAD_KEY_MAT},
      {0, 256, "0123456789abcdef", SERPENT_BAD_KEY_MAT},  // too short for 256 bits
      {0, 256, "", SERPENT_BAD_KEY_MAT},
      {0, 256, nullptr, SERPENT_BAD_KEY_MAT},
      {0, 128, "0123456789ABCDEF0123456789abcdef", SERPENT_TRUE},
      {0, 100, key256.c_str(), SERPENT_BAD_KEY_INSTANCE},
      {0, 0, key256.c_str(), SERPENT_BAD_KEY_INSTANCE},
      {0, 288, key256.c_str(), SERPENT_BAD_KEY_INSTANCE},
  };
  for (const Case& c : cases) {
    SerpentKeyInstance key;
    EXPECT_EQ(makeKey(&key, c.direction, c.keyLen, c.text), c.result)
        << int(c.direction) << " " << c.keyLen << " " << (c.text ? c.text : "(null)");
  }

  SerpentCipherInstance cipher;
  EXPECT_EQ(cipherInit(&cipher, 3, ""), SERPENT_BAD_CIPHER_MODE);
  EXPECT_EQ(cipherInit(&cipher, SERPENT_MODE_CBC, "12"), SERPENT_BAD_CIPHER_STATE);
  EXPECT_EQ(cipherInit(&cipher, SERPENT_MODE_ECB, nullptr), SERPENT_TRUE);

  // A block call with a key instance whose making failed fails too.
  SerpentKeyInstance bad;
  EXPECT_EQ(makeKey(&bad, 2, 256, key256.c_str()), SERPENT_BAD_KEY_DIR);
  uint32_t block[4] = {0, 1, 2, 3};
  EXPECT_LE(blockEncrypt(&cipher, &bad, block, 128, block), 0);
  EXPECT_LE(blockDecrypt(&cipher, &bad, block, 128, block), 0);
  EXPECT_EQ(std::vector<uint32_t>(block, block + 4), (std::vector<uint32_t>{0, 1, 2, 3}));

  // Lengths: whole blocks only.
  SerpentKeyInstance good;
  ASSERT_EQ(makeKey(&good, 0, 256, key256.c_str()), SERPENT_TRUE);
  uint32_t two[8] = {};
  EXPECT_EQ(blockEncrypt(&cipher, &good, two, 256 + 100, two), 256);
  EXPECT_EQ(blockEncrypt(&cipher, &good, two, 0, two), 0);
}

TEST(SerpentTest, KeyTextConversionBothWays) {
  const char* text = "00112233445566778899AABBCCDDEEFF0123456789abcdefFEDCBA9876543210";
  SerpentKeyInstance key;
  ASSERT_EQ(makeKey(&key, 0, 256, text), SERPENT_TRUE);
  EXPECT_EQ(key.key[0], 0x76543210u);  // the last eight digits
  EXPECT_EQ(key.key[7], 0x00112233u);
  EXPECT_STREQ(key.keyMaterial, text);
  char lower[65], upper[65];
  ASSERT_TRUE(SerpentWordsToText(key.key, 256, false, lower));
  ASSERT_TRUE(SerpentWordsToText(key.key, 256, true, upper));
  EXPECT_STREQ(lower, "00112233445566778899aabbccddeeff0123456789abcdeffedcba9876543210");
  EXPECT_STREQ(upper, "00112233445566778899AABBCCDDEEFF0123456789ABCDEFFEDCBA9876543210");
}

TEST(SerpentTest, CbcChainsBlocks) {
  SerpentKeyInstance key;
  ASSERT_EQ(makeKey(&key, 0, 128, "000102030405060708090a0b0c0d0e0f"), SERPENT_TRUE);
  const char* iv = "0f0e0d0c0b0a09080706050403020100";
  SerpentCipherInstance enc, dec, ecb;
  ASSERT_EQ(cipherInit(&enc, SERPENT_MODE_CBC, iv), SERPENT_TRUE);
  ASSERT_EQ(cipherInit(&dec, SERPENT_MODE_CBC, iv), SERPENT_TRUE);
  ASSERT_EQ(cipherInit(&ecb, SERPENT_MODE_ECB, ""), SERPENT_TRUE);
  uint32_t plain[8] = {1, 2, 3, 4, 1, 2, 3, 4};
  uint32_t data[8];
  std::memcpy(data, plain, sizeof data);
  ASSERT_EQ(blockEncrypt(&enc, &key, data, 256, data), 256);
  // The second block is the first ciphertext block chained in.
  uint32_t second[4] = {plain[4] ^ data[0], plain[5] ^ data[1], plain[6] ^ data[2], plain[7] ^ data[3]};
  ASSERT_EQ(blockEncrypt(&ecb, &key, second, 128, second), 128);
  EXPECT_EQ(std::vector<uint32_t>(second, second + 4), std::vector<uint32_t>(data + 4, data + 8));
  ASSERT_EQ(blockDecrypt(&dec, &key, data, 256, data), 256);
  EXPECT_EQ(std::vector<uint32_t>(data, data + 8), std::vector<uint32_t>(plain, plain + 8));
}

// ------------------------------------------------------- processor test

using test::Body;
using test::Method;

TEST(SerpentRunTest, CardFiguresAndScore) {
  struct Case {
    int32_t cache, mt;
    uint8_t direction;
    bool scored;
  };
  // A key made with direction 2 fails with -1: the run is not scored, but
  // both loops still run and are timed.
  const Case cases[] = {{1, 0, 0, true}, {0, 0, 0, false}, {1, 0, 2, false}};
  for (const Case& c : cases) {
    test::ReportContext t;
    t.timer.steps = {2000000, 0, 4000000};  // encrypting 2 s, decrypting 4 s
    SerpentRun run;
    run.rounds = 5000;
    run.direction = c.direction;
    RunSerpentCipherWith(t.ctx, c.cache, c.mt, run);
    auto lines = t.Lines();
    ASSERT_EQ(lines.size(), 10u + 1 + 2 + 3);
    EXPECT_EQ(lines[1], Body("Serpent chiper"));
    EXPECT_EQ(lines[3], "|   100 Percent at        : 1000.0 MBits/sec                                |");
    EXPECT_EQ(lines[5], Body("En-/Decrypting Rounds : 5000"));
    EXPECT_EQ(lines[6], Body(std::string("CPU Cache             : ") + (c.cache ? "YES" : "NO ")));
    EXPECT_EQ(lines[9], Body("Method" + std::string(57, ' ') + "MBits/s"));
    // 5000 blocks of 128 bits: 0.64 MBits in 2 s and in 4 s.
    EXPECT_EQ(lines[11], Method(c.scored, "Encrypting", "0.32"));
    EXPECT_EQ(lines[12], Method(c.scored, "Decrypting", "0.16"));
    EXPECT_EQ(lines[13], Body(""));
    EXPECT_EQ(lines[14], Body(c.scored ? "KelvaRANKS :   0.02 Percent" : "KelvaRANKS : DISABLED"));
    EXPECT_EQ(lines[15], "!" + std::string(74, ' ') + "!");
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kSerpentEncrypt), 0.32);
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kSerpentDecrypt), 0.16);
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kSerpentMean), 0.24);
    ScoreSlot s = t.ctx.results.score(slot::kSerpent);
    EXPECT_NEAR(s.percent, c.scored ? 0.024 : 0.0, 1e-12);
    EXPECT_EQ(s.valid, c.scored ? 1.0 : 0.0);
    EXPECT_TRUE(t.ctx.errorLog.entries.empty());
    EXPECT_EQ(t.timer.calls, 4);  // both spans were timed
    EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
    EXPECT_EQ(t.status.text(Section::Processor, StatusField::NowRunning), "\x1b" "bSerpent cipher\x1b" "n [2/2]");
    EXPECT_EQ(t.status.text(Section::Processor, StatusField::Routine), "Serpent en/decrytion");
  }
}

TEST(SerpentRunTest, BadKeyTextIsNotScored) {
  test::ReportContext t;
  SerpentRun run;
  run.rounds = 10;
  run.keyText = "not a key";
  RunSerpentCipherWith(t.ctx, 1, 0, run);
  auto lines = t.Lines();
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[14], Body("KelvaRANKS : DISABLED"));
  EXPECT_EQ(t.ctx.results.score(slot::kSerpent).valid, 0.0);
}

}  // namespace
}  // namespace kr
