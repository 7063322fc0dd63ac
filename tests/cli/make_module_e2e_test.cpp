// End to end: kelvarank-cli make-module as root on a loop-mounted ext4
// partition. Every section runs for real under the default settings; the
// module must land in the Local database with all totals valid, and the
// user's own settings must be back afterwards. Skips without root, loop
// devices or mkfs.ext4. The image is always unmounted and detached.
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "util/md5.h"
#include "cli/run_cli.h"
#include "engine/run_plan.h"
#include "modules/module_fixture.h"
#include "modules/module_record.h"
#include "support/loop_mount.h"

namespace kr::cli {
namespace {

using test::Shell;

class LoopHome : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = loop_.Attach(dir_.path(), 256ull << 20);
    if (!why.empty()) GTEST_SKIP() << why;
    mnt_ = loop_.mnt();
  }
  void TearDown() override { ::unsetenv(kWorkScaleVariable); }

  test::TempDir dir_, home_;
  test::LoopMount loop_;  // goes before the folder holding its image
  std::string mnt_;
};

std::string Line(const std::string& text, const std::string& start) {
  size_t at = text.find(start);
  return at == std::string::npos ? "" : text.substr(at, text.find('\n', at) - at);
}

void MakeModuleStoresAModuleWithEveryTotalValid(const std::string& home, const std::string& dir,
                                                const std::string& mnt) {
  const std::string h = "--home " + home + " --quiet ";
  // The user's own settings: one processor test off, which Make Module must
  // not keep off nor forget.
  Result set = RunCli(h + "--yes settings set general.username=tester general.realname=Tester "
                          "general.location=Here general.email=t@example.org general.smtpserver=localhost "
                          "general.homepage=http://example.org general.comment=hello drive.partition=" +
                      mnt + " general.reportfile=PROGDIR:Reports/module.txt processor.dhrystones.enabled=0");
  ASSERT_EQ(set.code, 0) << set.err;
  const std::vector<uint8_t> cfg = test::ReadHostFile(home + "/KelvaRANK.cfg");

  const std::string json = dir + "/module.json";
  Result made = RunCli(h + "--yes make-module --json " + json);
  ASSERT_EQ(made.code, 0) << made.out << made.err;
  for (const char* total : {"Processor total: ", "Memory total: ", "Hard Drive total: ", "System total: "}) {
    std::string line = Line(made.out, total);
    EXPECT_NE(line, "") << total << made.out;
    EXPECT_EQ(line.find("DISABLED"), std::string::npos) << line;
  }
  std::string added = Line(made.out, "Module 0x");
  ASSERT_EQ(added.size(), std::string("Module 0x").size() + 32 + std::string(" added to the Local database").size())
      << made.out;
  const std::string serial = added.substr(7, 34);

  // The module file: 9504 bytes that unscramble to a record whose serial is
  // the MD5 of the record with the serial field zeroed.
  std::vector<uint8_t> file = test::ReadHostFile(home + "/Database/Local/" + serial + ".dbe");
  ASSERT_EQ(file.size(), 9504u);
  std::vector<uint8_t> record = test::Unscrambled(file);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[0x2288]), 34), serial);
  std::fill(record.begin() + 0x2288, record.begin() + 0x2288 + 35, 0);
  uint8_t digest[16];
  Md5Digest(record.data(), record.size(), digest);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02X", digest[i]);
  EXPECT_EQ(serial, "0x" + std::string(hex, 32));

  EXPECT_NE(RunCli(h + "modules list").out.find(serial), std::string::npos);
  const std::vector<uint8_t> bytes = test::ReadHostFile(json);
  const std::string doc(bytes.begin(), bytes.end());
  EXPECT_NE(doc.find("\"serial\": \"" + serial + "\""), std::string::npos);
  // The user's settings file is as it was; nothing is left on the partition.
  EXPECT_EQ(test::ReadHostFile(home + "/KelvaRANK.cfg"), cfg);
  EXPECT_TRUE(Shell("test \"$(ls -A '" + mnt + "')\" = lost+found"));
}

// With 1/16 of the defined work (engine/run_plan.h): the cards, switches and
// scoring are as defined, so every total is valid all the same.
TEST_F(LoopHome, MakeModuleStoresAModuleWithEveryTotalValid) {
  ::setenv(kWorkScaleVariable, "16", 1);
  MakeModuleStoresAModuleWithEveryTotalValid(home_.path(), dir_.path(), mnt_);
}

TEST_F(LoopHome, FullSizeMakeModuleStoresAModuleWithEveryTotalValid) {
  MakeModuleStoresAModuleWithEveryTotalValid(home_.path(), dir_.path(), mnt_);
}

}  // namespace
}  // namespace kr::cli
