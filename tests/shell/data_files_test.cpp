// The 17 benchmark data files: names, sizes, bytes, generation and repair.
#include <gtest/gtest.h>

#include <cstdlib>

#include "shell/shell_fixture.h"

namespace kr::test {
namespace {

// The generator written out the long way: 64-bit arithmetic and a real
// modulo, independent of the subtraction trick the program uses.
std::vector<uint8_t> ReferenceBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> out(size);
  uint64_t s = seed;
  for (size_t i = 0; i < size; ++i) {
    s = (s * 1103515245ull + 12345ull) % 4294967296ull;
    out[i] = uint8_t(32 + (s % 2147483647ull) % 94);
  }
  return out;
}

TEST(DataFiles, NamesAndSizesFollowTheBlockSizeSteps) {
  struct Case {
    int k;
    const char* name;
    int64_t size;
  };
  const Case cases[] = {{0, "0000128.bin", 128},
                        {1, "0000256.bin", 256},
                        {9, "0065536.bin", 65536},
                        {13, "1048576.bin", 1048576},
                        {16, "8388608.bin", 8388608}};
  for (const Case& c : cases) {
    EXPECT_EQ(DataFileName(c.k), c.name);
    EXPECT_EQ(DataFileSize(c.k), c.size);
  }
  int64_t total = 0;
  for (int k = 0; k < kDataFileCount; ++k) total += DataFileSize(k);
  EXPECT_EQ(total, 16777088);
}

TEST(DataFiles, BytesComeFromTheFreshlySeededGenerator) {
  // First draws of seed 5318 and 5334, worked out by hand.
  std::vector<uint8_t> buf(16);
  FillDataBytes(buf.data(), buf.size(), 5318);
  EXPECT_EQ(std::string(buf.begin(), buf.end()), "_08P Wk-\"zT,Is]P");
  FillDataBytes(buf.data(), 8, 5318 + 16);
  EXPECT_EQ(std::string(buf.begin(), buf.begin() + 8), "!R$&>:![");

  // The largest file, every byte, against the long-hand generator: the
  // state passes 2^31 - 1 many times, so both reductions are exercised.
  const size_t size = size_t(DataFileSize(16));
  std::vector<uint8_t> big(size);
  FillDataBytes(big.data(), size, kDataSeedBase + 16);
  EXPECT_EQ(big, ReferenceBytes(size, kDataSeedBase + 16));
  for (uint8_t b : big) ASSERT_TRUE(b >= 32 && b <= 125);
}

TEST(DataFiles, GenerationWritesTheSetIdenticallyEveryTime) {
  TestContext t;
  SilentProgress progress;
  ASSERT_TRUE(GenerateDataFiles(t.ctx, progress, DataFileMode::Generate));
  int64_t total = 0;
  for (int k = 0; k < kDataFileCount; ++k) {
    const std::string path = t.home.path() + "/Data/" + DataFileName(k);
    ASSERT_EQ(HostFileSize(path), DataFileSize(k)) << path;
    total += HostFileSize(path);
  }
  EXPECT_EQ(total, 16777088);
  EXPECT_EQ(ReadHostFile(t.home.path() + "/Data/0000128.bin"), ReferenceBytes(128, 5318));
  const uint64_t first = DataFilesDigest(t.home.path());

  ASSERT_TRUE(GenerateDataFiles(t.ctx, progress, DataFileMode::Repair));
  EXPECT_EQ(DataFilesDigest(t.home.path()), first);
  EXPECT_EQ(t.exec.liveBlocks, 0);
}

TEST(DataFiles, GenerationShowsItsModeAndGauge) {
  TestContext t;
  RecordingProgress progress;
  ASSERT_TRUE(GenerateDataFiles(t.ctx, progress, DataFileMode::Repair));
  ASSERT_EQ(progress.texts, std::vector<std::string>{"Repairing Datafiles..."});
  std::vector<int32_t> gauges{0};
  for (int k = 0; k < kDataFileCount; ++k) gauges.push_back(4 * k);
  gauges.push_back(100);
  EXPECT_EQ(progress.gauges, gauges);
}

TEST(DataFiles, GenerationFailuresStopWithTheirMessage) {
  {
    // The fifth buffer cannot be had: four files are written, then the
    // memory message; nothing is leaked.
    TestContext t;
    SilentProgress progress;
    t.exec.failAllocs = {5};
    EXPECT_FALSE(GenerateDataFiles(t.ctx, progress, DataFileMode::Generate));
    ASSERT_EQ(t.requester.asked.size(), 1u);
    EXPECT_EQ(t.requester.asked[0].text, "Could not get enough memory to create the datafiles.");
    EXPECT_EQ(HostFileSize(t.home.path() + "/Data/0001024.bin"), 1024);
    EXPECT_EQ(HostFileSize(t.home.path() + "/Data/0002048.bin"), -1);
    EXPECT_EQ(t.exec.liveBlocks, 0);
  }
  {
    // No Data folder: the open fails with the reinstall message.
    TestContext t;
    SilentProgress progress;
    ASSERT_EQ(std::system(("rm -rf '" + t.home.path() + "/Data'").c_str()), 0);
    EXPECT_FALSE(GenerateDataFiles(t.ctx, progress, DataFileMode::Generate));
    ASSERT_EQ(t.requester.asked.size(), 1u);
    EXPECT_NE(t.requester.asked[0].text.find("Could not open a datafile for write."), std::string::npos);
    EXPECT_EQ(t.exec.liveBlocks, 0);
  }
}

TEST(DataFiles, AWrongSizeAnywhereRepairsTheWholeSet) {
  TestContext t;
  SilentProgress progress;
  ASSERT_TRUE(GenerateDataFiles(t.ctx, progress, DataFileMode::Generate));
  const uint64_t good = DataFilesDigest(t.home.path());
  ASSERT_TRUE(CheckDataFiles(t.ctx, progress));
  EXPECT_TRUE(t.requester.asked.empty());

  // Same size, other bytes: contents are never compared, the file stays.
  const std::string data = t.home.path() + "/Data/";
  WriteHostFile(data + "0000256.bin", std::string(256, 'x'));
  ASSERT_TRUE(CheckDataFiles(t.ctx, progress));
  EXPECT_TRUE(t.requester.asked.empty());
  EXPECT_EQ(ReadHostFile(data + "0000256.bin"), std::vector<uint8_t>(256, 'x'));

  // One byte short in the first file: reported, and all 17 are rewritten,
  // the changed one included.
  WriteHostFile(data + "0000128.bin", std::string(127, 'y'));
  ASSERT_TRUE(CheckDataFiles(t.ctx, progress));
  ASSERT_EQ(t.requester.asked.size(), 1u);
  EXPECT_EQ(t.requester.asked[0].title, "\033bINFORMATION\033n");
  EXPECT_EQ(t.requester.asked[0].buttons, "Try repair");
  EXPECT_EQ(DataFilesDigest(t.home.path()), good);

  // A set that cannot be repaired still lets start-up go on.
  t.requester.asked.clear();
  ASSERT_EQ(std::system(("rm -rf '" + data + "'").c_str()), 0);
  EXPECT_TRUE(CheckDataFiles(t.ctx, progress));
  EXPECT_EQ(t.requester.asked.size(), 2u);  // corrupt, then cannot open
}

}  // namespace
}  // namespace kr::test
