#include "util/numtext.h"

#include <gtest/gtest.h>

#include "engine/timing.h"
#include "util/bytes.h"

namespace kr {
namespace {

TEST(FixedText, TruncatesNeverRounds) {
  struct Case {
    double value;
    uint32_t scale;
    const char* text;
  } cases[] = {
      {12.3456, 100, "12.34"}, {0.999, 100, "0.99"}, {100.0, 100, "100.00"}, {0.005, 100, "0.00"},
      {7.0, 100, "7.00"},      {3.999, 100, "3.99"}, {1.05, 100, "1.05"},    {5000.0, 10, "5000.0"},
      {2.999, 10, "2.9"},      {0.0, 100, "0.00"},   {3000000000.5, 100, "3000000000.50"},
  };
  for (const Case& c : cases) EXPECT_EQ(FixedText(c.value, c.scale), c.text) << c.value;
}

TEST(ElapsedSeconds, MicrosecondArithmeticWraps) {
  EXPECT_DOUBLE_EQ(ElapsedSeconds({10, 999999}, {11, 1}), 0.000002);
  EXPECT_DOUBLE_EQ(ElapsedSeconds({5, 0}, {7, 500000}), 2.5);
  // 32-bit unsigned microseconds: a region longer than 2^32 us wraps.
  EXPECT_NEAR(ElapsedSeconds({0, 0}, {4295, 0}), (4295000000.0 - 4294967296.0) * 1e-6, 1e-9);
}

TEST(Lcg, FollowsTheRuntimeGenerator) {
  Lcg g(5318);
  uint32_t s = 5318u * 1103515245u + 12345u;
  EXPECT_EQ(g.Next(), s % 2147483647u);
  s = s * 1103515245u + 12345u;
  EXPECT_EQ(g.Next(), s % 2147483647u);
}

TEST(Bytes, BigEndianAndTexts) {
  ByteImage<16> img;
  img.set_u32(0, 0x01020304);
  EXPECT_EQ(img.bytes[0], 1);
  EXPECT_EQ(img.bytes[3], 4);
  img.set_f64(8, 1.0);
  EXPECT_EQ(img.bytes[8], 0x3F);
  EXPECT_EQ(img.bytes[9], 0xF0);
  EXPECT_EQ(img.f64(8), 1.0);
  img.set_text(0, 8, "abcdefghij");
  EXPECT_EQ(img.text(0, 8), "abcdefg");
}

}  // namespace
}  // namespace kr
