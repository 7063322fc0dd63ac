#include "settings/server_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

#include "settings_test_util.h"
#include "support/named_cases.h"

namespace kr::test {
namespace {

// The server file's first line is the host, its second the path.
struct ServerFile {
  const char* name;
  std::string file, host, path;
};
void PrintTo(const ServerFile& c, std::ostream* os) { *os << c.name; }

const ServerFile kServerFiles[] = {
    {"address with port and prefix", "http://example.org:8080/base\ndb", "http://example.org:8080/base", "db"},
    {"second line shorter than the first", "a-rather-long-host.example.org\nab\n", "a-rather-long-host.example.org", "ab"},
    {"CR LF line ends keep the CR", "host.example\r\nmodules\r\n", "host.example\r", "modules\r"},
    {"one line only", "host.example", "host.example", ""},
    {"lines after the second are ignored", "h\np\nthird\nfourth", "h", "p"},
    {"empty file", "", "", ""},
    {"empty first line", "\npath", "", "path"},
    {"long lines are cut to 127 bytes", std::string(300, 'h') + "\n" + std::string(128, 'p'), std::string(127, 'h'),
     std::string(127, 'p')},
    {"other bytes belong to their line", std::string("h\x01\xFF\t\n p ", 8), std::string("h\x01\xFF\t", 4), " p "},
};

class ServerDataFile : public ::testing::TestWithParam<ServerFile> {};

TEST_P(ServerDataFile, LinesBecomeHostAndPath) {
  const ServerFile& c = GetParam();
  TestContext t;
  std::memset(t.ctx.run.serverHost, 'X', sizeof t.ctx.run.serverHost);
  std::memset(t.ctx.run.serverPath, 'X', sizeof t.ctx.run.serverPath);
  WriteHostFile(t.home.path() + "/Data/server.txt", c.file);
  ASSERT_TRUE(LoadServerData(t.ctx));
  EXPECT_EQ(std::string(t.ctx.run.serverHost), c.host);
  EXPECT_EQ(std::string(t.ctx.run.serverPath), c.path);
  // Both fields are zero-filled behind their text.
  for (size_t i = c.host.size(); i < 128; ++i) ASSERT_EQ(t.ctx.run.serverHost[i], 0);
  for (size_t i = c.path.size(); i < 128; ++i) ASSERT_EQ(t.ctx.run.serverPath[i], 0);
  EXPECT_TRUE(t.ctx.errorLog.entries.empty());
}

INSTANTIATE_TEST_SUITE_P(ServerData, ServerDataFile, ::testing::ValuesIn(kServerFiles), ByCaseName());

TEST(ServerData, MissingFileIsLogged) {
  TestContext t;
  EXPECT_FALSE(LoadServerData(t.ctx));
  ASSERT_EQ(t.ctx.errorLog.entries.size(), 1u);
  const ErrorEntry& e = t.ctx.errorLog.entries[0];
  EXPECT_STREQ(e.location, "SERVER");
  EXPECT_STREQ(e.function, "LoadServerData");
  EXPECT_STREQ(e.reason, "Error open file!");
  EXPECT_EQ(t.ctx.run.serverHost[0], 0);
  EXPECT_EQ(t.ctx.run.serverPath[0], 0);
}

TEST(ServerData, WriterMakesAFileThatReadsBack) {
  TestContext t;
  ASSERT_TRUE(WriteServerData(t.ctx, "http://localhost:8080", "kelvarank"));
  EXPECT_EQ(ReadHostFile(t.home.path() + "/Data/server.txt"),
            std::vector<uint8_t>({'h', 't', 't', 'p', ':', '/', '/', 'l', 'o', 'c', 'a', 'l', 'h', 'o', 's', 't', ':',
                                  '8', '0', '8', '0', '\n', 'k', 'e', 'l', 'v', 'a', 'r', 'a', 'n', 'k'}));
  ASSERT_TRUE(LoadServerData(t.ctx));
  EXPECT_STREQ(t.ctx.run.serverHost, "http://localhost:8080");
  EXPECT_STREQ(t.ctx.run.serverPath, "kelvarank");

  // What would not read back as given is refused, and the file stays.
  for (auto [host, path] : {std::pair<std::string, std::string>{"a\nb", "p"}, {"h", std::string(128, 'p')},
                            {std::string("h\0x", 3), "p"}}) {
    EXPECT_FALSE(WriteServerData(t.ctx, host, path));
  }
  ASSERT_TRUE(LoadServerData(t.ctx));
  EXPECT_STREQ(t.ctx.run.serverHost, "http://localhost:8080");
}

TEST(ServerData, ThirdLineIsTheMailbox) {
  TestContext t;
  WriteHostFile(t.home.path() + "/Data/server.txt", "h\np\ncollect@example.org\r\nfourth");
  ASSERT_TRUE(LoadServerData(t.ctx));
  EXPECT_STREQ(t.ctx.run.serverHost, "h");
  EXPECT_STREQ(t.ctx.run.serverPath, "p");
  EXPECT_STREQ(t.ctx.run.serverMailbox, "collect@example.org\r");
  // A two-line file leaves no mailbox behind from an earlier read.
  WriteHostFile(t.home.path() + "/Data/server.txt", "h\np\n");
  ASSERT_TRUE(LoadServerData(t.ctx));
  EXPECT_EQ(t.ctx.run.serverMailbox[0], 0);
}

}  // namespace
}  // namespace kr::test
