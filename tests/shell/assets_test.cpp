// The built-in assets: identical to the files in data/, and usable.
#include "shell/assets.h"

#include <gtest/gtest.h>
#include <mpg123.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "shell/shell_fixture.h"

namespace kr::test {
namespace {

uint32_t BigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

TEST(Assets, BuiltInCopiesMatchTheSourceFiles) {
  const char* sources[] = {"/data/mp3cdda.mp3", "/data/logo.pic", "/data/KelvaRANK_english.guide"};
  auto assets = BuiltinAssets();
  ASSERT_EQ(assets.size(), 3u);
  for (size_t i = 0; i < assets.size(); ++i) {
    std::vector<uint8_t> file = ReadHostFile(std::string(KR_SOURCE_DIR) + sources[i]);
    ASSERT_FALSE(file.empty()) << sources[i];
    EXPECT_TRUE(std::equal(file.begin(), file.end(), assets[i].bytes.begin(), assets[i].bytes.end())) << assets[i].path;
  }
}

TEST(Assets, InstalledMp3SampleDecodesToTheEnd) {
  ShellWorld w;
  std::string failed;
  ASSERT_TRUE(MakeHomeFolders(w.ctx, failed)) << failed;
  ASSERT_TRUE(InstallMissingAssets(w.ctx, failed)) << failed;
  const std::string path = w.HomeFile("Data/mp3cdda.mp3");
  ASSERT_EQ(HostFileSize(path), 596940);

  ASSERT_EQ(mpg123_init(), MPG123_OK);
  int err = 0;
  mpg123_handle* h = mpg123_new(nullptr, &err);
  ASSERT_NE(h, nullptr);
  // No silent recovery: a damaged frame must show as an error.
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_NO_RESYNC | MPG123_QUIET, 0);
  ASSERT_EQ(mpg123_open(h, path.c_str()), MPG123_OK);
  long rate = 0;
  int channels = 0, encoding = 0;
  ASSERT_EQ(mpg123_getformat(h, &rate, &channels, &encoding), MPG123_OK);
  EXPECT_EQ(rate, 44100);
  EXPECT_EQ(channels, 2);
  EXPECT_EQ(encoding, MPG123_ENC_SIGNED_16);

  std::vector<unsigned char> buf(65536);
  size_t bytes = 0, done = 0;
  int rc;
  while ((rc = mpg123_read(h, buf.data(), buf.size(), &done)) == MPG123_OK) bytes += done;
  bytes += done;
  EXPECT_EQ(rc, MPG123_DONE) << mpg123_plain_strerror(rc);
  // About 36 seconds of 16-bit stereo.
  const double seconds = double(bytes) / (44100.0 * 4);
  EXPECT_GT(seconds, 35.5);
  EXPECT_LT(seconds, 36.5);
  mpg123_close(h);
  mpg123_delete(h);
}

TEST(Assets, LogoIsAWholePngPicture) {
  const auto logo = BuiltinAssets()[1].bytes;
  ASSERT_GT(logo.size(), 33u);
  ASSERT_EQ(std::memcmp(logo.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  ASSERT_EQ(std::memcmp(logo.data() + 12, "IHDR", 4), 0);
  const uint32_t width = BigEndian32(logo.data() + 16), height = BigEndian32(logo.data() + 20);
  EXPECT_EQ(logo[24], 8);  // bit depth
  EXPECT_EQ(logo[25], 2);  // RGB

  // Walk the chunks, check their CRCs, inflate the image data.
  std::vector<uint8_t> idat;
  size_t pos = 8;
  bool ended = false;
  while (pos + 12 <= logo.size() && !ended) {
    const uint32_t len = BigEndian32(logo.data() + pos);
    ASSERT_LE(pos + 12 + len, logo.size());
    const uint8_t* type = logo.data() + pos + 4;
    EXPECT_EQ(crc32(0, type, 4 + len), BigEndian32(type + 4 + len));
    if (std::memcmp(type, "IDAT", 4) == 0) idat.insert(idat.end(), type + 4, type + 4 + len);
    ended = std::memcmp(type, "IEND", 4) == 0;
    pos += 12 + len;
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ(pos, logo.size());
  std::vector<uint8_t> raw(size_t(height) * (1 + width * 3) + 1);
  uLongf rawLen = uLongf(raw.size());
  ASSERT_EQ(uncompress(raw.data(), &rawLen, idat.data(), uLong(idat.size())), Z_OK);
  EXPECT_EQ(rawLen, uLongf(height) * (1 + width * 3));
}

TEST(Assets, PresentFilesAreNotOverwritten) {
  ShellWorld w;
  std::string failed;
  ASSERT_TRUE(MakeHomeFolders(w.ctx, failed));
  WriteHostFile(w.HomeFile("Docs/KelvaRANK_english.guide"), "my notes");
  ASSERT_TRUE(InstallMissingAssets(w.ctx, failed));
  EXPECT_EQ(ReadHostFile(w.HomeFile("Docs/KelvaRANK_english.guide")),
            std::vector<uint8_t>({'m', 'y', ' ', 'n', 'o', 't', 'e', 's'}));
  EXPECT_EQ(HostFileSize(w.HomeFile("Data/logo.pic")), int64_t(BuiltinAssets()[1].bytes.size()));
  // No temporary file is left beside an installed asset.
  EXPECT_FALSE(HostExists(w.HomeFile("Data/logo.pic.new")));
}

}  // namespace
}  // namespace kr::test
