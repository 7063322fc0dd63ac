// MD5 and MARS: known-answer vectors, and the two processor tests' cards.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/cpu/mars.h"
#include "bench/cpu/mars_cipher.h"
#include "util/md5.h"
#include "bench/cpu/md5_checksuming.h"
#include "bench/cpu/processor_tests.h"
#include "bench/cpu/card_report.h"
#include "bench/cpu/crypto_support.h"
#include "records/results.h"
#include "engine/status_model.h"

namespace kr {
namespace {

using test::BytesHex;
using test::LeWords;

std::string Md5Hex(const void* p, size_t n) {
  uint8_t d[16];
  Md5Digest(p, n, d);
  return BytesHex(d, 16);
}

// ------------------------------------------------------------------- MD5

TEST(Md5Test, Rfc1321TestSuite) {
  // RFC 1321, appendix A.5.
  struct Case {
    const char* message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) EXPECT_EQ(Md5Hex(c.message, std::strlen(c.message)), c.digest) << '"' << c.message << '"';
}

TEST(Md5Test, MebibyteOfZerosAsTheChecksumTestHashesIt) {
  // MD5 of 1 048 576 zero bytes (the digest published for that file size).
  std::vector<uint8_t> zeros(1048576, 0);
  EXPECT_EQ(Md5Hex(zeros.data(), zeros.size()), "b6d81b360a5672d80c27430f39153e2c");
}

TEST(Md5Test, PiecewiseAppendEqualsOneAppend) {
  // Piece sizes that leave the block buffer empty, nearly full and split
  // across it, over lengths around the padding boundaries.
  std::mt19937 rng(7);
  std::vector<uint8_t> data(1000);
  for (auto& b : data) b = uint8_t(rng());
  const size_t pieces[] = {1, 3, 55, 56, 63, 64, 65, 127, 128, 129};
  for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
    const std::string whole = Md5Hex(data.data(), length);
    for (size_t piece : pieces) {
      Md5State s;
      Md5Init(s);
      for (size_t off = 0; off < length; off += piece) Md5Append(s, data.data() + off, std::min(piece, length - off));
      uint8_t d[16];
      Md5Finish(s, d);
      EXPECT_EQ(BytesHex(d, 16), whole) << "length " << length << " piece " << piece;
    }
  }
}

TEST(Md5Test, InitStartsAFreshMessage) {
  // A state reused after Finish gives the same digest again (the test hashes
  // its buffer 50 times with one state).
  Md5State s;
  uint8_t first[16], again[16];
  for (uint8_t* d : {first, again}) {
    Md5Init(s);
    Md5Append(s, "message digest", 14);
    Md5Finish(s, d);
  }
  EXPECT_EQ(BytesHex(first, 16), BytesHex(again, 16));
  EXPECT_EQ(BytesHex(first, 16), "f96b697d7cb7938d525a2f31aaf161d0");
}

// ------------------------------------------------------------------ MARS

struct MarsVector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Known answers of the MARS AES submission (IBM), as collected in the
// Crypto++ test-vector file TestVectors/mars.txt: 128-, 192- and 256-bit keys.
const MarsVector kMarsVectors[] = {
    {"80000000000000000000000000000000", "00000000000000000000000000000000", "B3E2AD5608AC1B6733A7CB4FDF8F9952"},
    {"00000000000000000000000000000000", "00000000000000000000000000000000", "DCC07B8DFB0738D6E30A22DFCF27E886"},
    {"00000000000000000000000000000000", "DCC07B8DFB0738D6E30A22DFCF27E886", "33CAFFBDDC7F1DDA0F9C15FA2F30E2FF"},
    {"CB14A1776ABBC1CDAFE7243DEF2CEA02", "F94512A9B42D034EC4792204D708A69B", "225DA2CB64B73F79069F21A5E3CB8522"},
    {"86EDF4DA31824CABEF6A4637C40B0BAB", "4DF955AD5B398D66408D620A2B27E1A9", "A4B737340AE6D2CAFD930BA97D86129F"},
    {"000000000000000000000000000000000000000000000000", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
     "97778747D60E425C2B4202599DB856FB"},
    {"D158860838874D9500000000000000000000000000000000", "93A953A82C10411DD158860838874D95",
     "4FA0E5F64893131712F01408D233E9F7"},
    {"791739A58B04581A93A953A82C10411DD158860838874D95", "6761C42D3E6142D2A84FBFADB383158F",
     "F706BC0FD97E28B6F1AF4E17D8755FFF"},
    {"0000000000000000000000000000000000000000000000000000000000000000", "62E45B4CF3477F1DD65063729D9ABA8F",
     "0F4B897EA014D21FBC20F1054A42F719"},
    {"FBA167983E7AEF22317CE28C02AAE1A3E8E5CC3CEDBEA82A99DBC39AD65E7227", "1344ABA4D3C44708A8A72116D4F49384",
     "458335D95EA42A9F4DCCD41AECC2390D"},
};

TEST(MarsTest, KnownAnswersEncryptAndDecrypt) {
  for (const MarsVector& v : kMarsVectors) {
    std::vector<uint32_t> key = LeWords(v.key), plain = LeWords(v.plain), cipher = LeWords(v.cipher);
    uint32_t k[kMarsExpandedWords], out[4], back[4];
    ASSERT_TRUE(MarsSetKey(key.data(), int(key.size()), k)) << v.key;
    MarsEncrypt(plain.data(), out, k);
    EXPECT_EQ(std::vector<uint32_t>(out, out + 4), cipher) << v.key;
    MarsDecrypt(cipher.data(), back, k);
    EXPECT_EQ(std::vector<uint32_t>(back, back + 4), plain) << v.key;
  }
}

TEST(MarsTest, InPlaceBlocksAndKeyLengths) {
  uint32_t key[14] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  uint32_t k[kMarsExpandedWords];
  for (int n : {3, 15}) EXPECT_FALSE(MarsSetKey(key, n, k)) << n;
  ASSERT_TRUE(MarsSetKey(key, 14, k));
  std::vector<uint32_t> v = LeWords("000102030405060708090A0B0C0D0E0F");
  uint32_t block[4] = {v[0], v[1], v[2], v[3]};
  MarsEncrypt(block, block, k);
  EXPECT_NE(std::vector<uint32_t>(block, block + 4), v);
  MarsDecrypt(block, block, k);
  EXPECT_EQ(std::vector<uint32_t>(block, block + 4), v);
}

// The fix-up mask by its definition, bit by bit.
uint32_t MaskByDefinition(uint32_t w) {
  auto bit = [&](int l) { return (w >> l) & 1u; };
  uint32_t m = 0;
  for (int l = 2; l <= 30; ++l) {
    if (bit(l - 1) != bit(l) || bit(l + 1) != bit(l)) continue;
    // Is bit l inside a run of ten or more equal bits?
    int lo = l, hi = l;
    while (lo > 0 && bit(lo - 1) == bit(l)) --lo;
    while (hi < 31 && bit(hi + 1) == bit(l)) ++hi;
    if (hi - lo + 1 >= 10) m |= 1u << l;
  }
  return m;
}

TEST(MarsTest, FixupMaskMatchesItsDefinition) {
  std::vector<uint32_t> words = {0x00000003u, 0xffffffffu, 0x000003ffu, 0x000007ffu, 0xfffffc03u, 0x7ffffc03u,
                                 0x800003ffu, 0x003ff003u, 0x001ff803u, 0xaaaaaaabu, 0x00fff003u, 0x3ff00003u};
  std::mt19937 rng(1);
  for (int i = 0; i < 20000; ++i) {
    uint32_t w = rng();
    // Plant a long run somewhere in most words.
    if (i % 4 != 0) {
      int len = 8 + int(rng() % 16), at = int(rng() % 32);
      uint64_t run = ((uint64_t(1) << len) - 1) << at;
      w = (i % 2) ? (w | uint32_t(run)) : (w & ~uint32_t(run));
    }
    words.push_back(w | 3u);
  }
  for (uint32_t w : words) ASSERT_EQ(MarsFixupMask(w), MaskByDefinition(w)) << std::hex << w;
}

TEST(MarsTest, MultiplicationKeysHaveNoLongRunsAndEndInOnes) {
  // What the fix-up is for: every multiplication key (K5, K7 ... K35) has its
  // two low bits set and no ten equal bits in a row.
  std::mt19937 rng(3);
  for (int i = 0; i < 2000; ++i) {
    uint32_t key[4] = {uint32_t(rng()), uint32_t(rng()), uint32_t(rng()), uint32_t(rng())};
    uint32_t k[kMarsExpandedWords];
    ASSERT_TRUE(MarsSetKey(key, 4, k));
    for (int j = 5; j <= 35; j += 2) {
      ASSERT_EQ(k[j] & 3u, 3u);
      uint32_t w = k[j];
      int run = 1, longest = 1;
      for (int b = 1; b < 32; ++b) {
        run = (((w >> b) & 1u) == ((w >> (b - 1)) & 1u)) ? run + 1 : 1;
        longest = std::max(longest, run);
      }
      EXPECT_LT(longest, 10) << std::hex << w;
    }
  }
}

// ------------------------------------------------------- processor tests

// The card: head of 10 + parameter lines, the methods, empty line, score
// line, closing line; every line 76 columns but the "100 Percent at" line,
// whose "%3lu.%0.1lu" field holds a six-column value (77).
void ExpectCardShape(const std::vector<std::string>& lines, size_t params, size_t methods) {
  ASSERT_EQ(lines.size(), 10 + params + methods + 3);
  test::ExpectCardColumns(lines, 1);
  EXPECT_EQ(lines.back(), "!" + std::string(74, ' ') + "!");
}

// "|   " + text, blanks up to column 75, "|".
using test::Body;
using test::Method;

TEST(MarsRunTest, CardFiguresAndScore) {
  struct Case {
    int32_t cache, mt, atAll;
    bool scored;
  };
  const Case cases[] = {{1, 0, 0, true}, {0, 0, 0, false}, {1, 1, 0, false}, {1, 1, 1, true}};
  for (const Case& c : cases) {
    test::ReportContext t;
    t.ctx.run.multitaskingAtAll = c.atAll;
    // Setup 0.5 s, encrypting 2 s, decrypting 4 s.
    t.timer.steps = {500000, 0, 2000000, 0, 4000000};
    RunMarsCipherWith(t.ctx, c.cache, c.mt, 1000, 2000);
    auto lines = t.Lines();
    ExpectCardShape(lines, 2, 3);
    EXPECT_EQ(lines[1], Body("Mars chiper"));
    EXPECT_EQ(lines[3], "|   100 Percent at        : 1000.0 MBits/sec                                |");
    EXPECT_EQ(lines[4], Body("Score weight          : 100.0%"));
    EXPECT_EQ(lines[5], Body("Setup Rounds          : 1000"));
    EXPECT_EQ(lines[6], Body("En-/Decrypting Rounds : 2000"));
    EXPECT_EQ(lines[7], Body(std::string("CPU Cache             : ") + (c.cache ? "YES" : "NO ")));
    EXPECT_EQ(lines[10], Body("Method" + std::string(57, ' ') + "MBits/s"));
    // 1000 keys of 128 bits in 0.5 s; 2000 blocks in 2 s and in 4 s.
    EXPECT_EQ(lines[12], Method(c.scored, "Setup", "0.25"));
    EXPECT_EQ(lines[13], Method(c.scored, "Encrypting", "0.12"));
    EXPECT_EQ(lines[14], Method(c.scored, "Decrypting", "0.06"));
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kMarsSetup), 0.256);
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kMarsEncrypt), 0.128);
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kMarsDecrypt), 0.064);
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kMarsMean), (0.256 + 0.128 + 0.064) / 3);
    ScoreSlot s = t.ctx.results.score(slot::kMars);
    EXPECT_NEAR(s.percent, c.scored ? 0.448 / 3 / 10 : 0.0, 1e-12);
    EXPECT_EQ(s.valid, c.scored ? 1.0 : 0.0);
    EXPECT_NE(lines[16].find(c.scored ? "KelvaRANKS :   0.01 Percent" : "KelvaRANKS : DISABLED"), std::string::npos)
        << lines[16];
    EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
    EXPECT_EQ(t.status.text(Section::Processor, StatusField::NowRunning), "\x1b" "bMars cipher\x1b" "n [3/3]");
    EXPECT_EQ(t.status.text(Section::Processor, StatusField::Routine), "IBM mars en/decrytion");
  }
}

TEST(CryptoRunTest, RegisteredInTheProcessorTable) {
  EXPECT_EQ(kProcessorTestTable[cpu::kMars], &RunMarsCipher);
  EXPECT_EQ(kProcessorTestTable[cpu::kMd5], &RunMd5Checksuming);
  EXPECT_EQ(kProcessorTestTable[cpu::kSerpent], &RunSerpentCipher);
}

TEST(Md5RunTest, CardFigureAndScore) {
  test::ReportContext t;
  t.timer.steps = {2000000};  // 4 rounds in 2 s: 16 MBits per second
  RunMd5ChecksumingWith(t.ctx, 1, 0, 4);
  auto lines = t.Lines();
  ExpectCardShape(lines, 2, 1);
  EXPECT_EQ(lines[1], Body("MD5 checksuming (RFC 1321) Branvelorquistad"));
  EXPECT_EQ(lines[3], "|   100 Percent at     : 5000.0 MBits/sec                                   |");
  EXPECT_EQ(lines[4], Body("Score weight       : 110.0%"));
  EXPECT_EQ(lines[5], Body("Buffersize (bytes) : 1048576"));
  EXPECT_EQ(lines[6], Body("Rounds             : 4"));
  EXPECT_EQ(lines[12], Method(true, "MD5 checksuming", "16.00"));
  EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kMd5), 16.0);
  EXPECT_NEAR(t.ctx.results.score(slot::kMd5).percent, 16.0 * 100 / 5000 * 1.1, 1e-12);
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
  EXPECT_EQ(t.exec.liveBlocks, 0);
}

TEST(Md5RunTest, FullRoundsFigureIsFourHundredOverTime) {
  test::ReportContext t;
  t.timer.steps = {4000000};
  RunMd5Checksuming(t.ctx, 1, 0);
  auto lines = t.Lines();
  EXPECT_EQ(lines[6], Body("Rounds             : 50"));
  EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kMd5), 100.0);
}

TEST(Md5RunTest, NoBufferGivesZeroDisabledAndNothingLogged) {
  test::ReportContext t;
  t.exec.failAllocs = {1};
  t.ctx.results.setFigure(rec::kMd5, 123.0);
  RunMd5ChecksumingWith(t.ctx, 1, 0, 4);
  auto lines = t.Lines();
  ExpectCardShape(lines, 2, 1);
  EXPECT_EQ(lines[12], Method(false, "MD5 checksuming", "0.00"));
  EXPECT_NE(lines[14].find("KelvaRANKS : DISABLED"), std::string::npos);
  EXPECT_EQ(t.ctx.results.figure(rec::kMd5), 0.0);
  EXPECT_EQ(t.ctx.results.score(slot::kMd5).valid, 0.0);
  EXPECT_TRUE(t.ctx.errorLog.entries.empty());
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
}

}  // namespace
}  // namespace kr
