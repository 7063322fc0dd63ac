#include "net/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kr::test {
namespace {

std::string Encode(std::string_view bytes, std::string_view lineEnd = "\n") {
  std::string out;
  EncodeBase64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, lineEnd);
  return out;
}

TEST(Base64, ShortInputsAndPadding) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", ""},
      {"abc", "YWJj\n"},
      {"a", "YQ==\n"},
      {"ab", "YWI=\n"},
      {std::string("\xFF\xFE\xFD\x00", 4), "//79AA==\n"},
      {"foobar", "Zm9vYmFy\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Encode(c.in), c.out) << c.in;

  std::string group;
  EncodeBase64Group('a', 'b', 'c', 0, group);
  EncodeBase64Group('a', 'b', 'X', 1, group);  // the third byte is not used
  EncodeBase64Group('a', 'X', 'X', 2, group);
  EXPECT_EQ(group, "YWJjYWI=YQ==");
}

TEST(Base64, ModuleFileGivesFullLines) {
  std::string module(9504, '\0');
  for (size_t i = 0; i < module.size(); ++i) module[i] = char(i * 7 + 3);
  for (std::string_view end : {std::string_view("\n"), std::string_view("\r\n")}) {
    std::string text = Encode(module, end);
    // 9504 bytes are 3168 groups: 12672 characters in 176 lines of 72, no padding.
    ASSERT_EQ(text.size(), 176 * (72 + end.size()));
    for (size_t line = 0; line < 176; ++line) {
      std::string_view l = std::string_view(text).substr(line * (72 + end.size()), 72 + end.size());
      ASSERT_EQ(l.substr(72), end) << line;
      ASSERT_EQ(l.substr(0, 72).find_first_of("=\r\n"), std::string_view::npos) << line;
    }
    std::vector<uint8_t> back;
    ASSERT_TRUE(DecodeBase64(text, back));
    EXPECT_EQ(std::string(back.begin(), back.end()), module);
  }
  // One byte more: a 177th line of two characters and "==".
  std::string longer = Encode(module + "x");
  EXPECT_EQ(longer.substr(176 * 73), "eA==\n");
}

TEST(Base64, DecoderRefusesDamagedText) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(DecodeBase64("YW\r\nJj \tYQ==\r\n", out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "abca");
  for (std::string_view bad : {"YWJ", "YQ=", "YQ==YQ==", "Y===", "YW*j", "YQ==x", "=YWJ"}) {
    out.assign(3, 1);
    EXPECT_FALSE(DecodeBase64(bad, out)) << bad;
    EXPECT_TRUE(out.empty()) << bad;
  }
  EXPECT_TRUE(DecodeBase64("YWJjYWJj", out, 6));
  EXPECT_FALSE(DecodeBase64("YWJjYWJjYQ==", out, 6));
}

}  // namespace
}  // namespace kr::test
