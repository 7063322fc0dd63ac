// The mpega layer: the control record's bytes and libmpg123 behind the
// stream calls, on a small MP3 of our own.
//
// tests/bench/cpu/data/sine1s.mp3: one second of 440 Hz (left) and 660 Hz (right)
// at 44.1 kHz, amplitude 8000, made with
//   python3 -c "import math,struct,sys; sys.stdout.buffer.write(b''.join(struct.pack('<hh',int(8000*math.sin(2*math.pi*440*i/44100)),int(8000*math.sin(2*math.pi*660*i/44100))) for i in range(44100)))" | lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m s -b 128 - sine1s.mp3
#include "platform/mpega.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_context.h"

namespace kr {
namespace {

const std::string kSine = std::string(KR_TEST_DATA) + "/bench/cpu/data/sine1s.mp3";

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void WriteAll(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

TEST(MpegaControl, RecordOfTheMp3TestIsBigEndianAtItsOffsets) {
  MpegaControlBytes b = EncodeMpegaControl(Mp3CddaControl());
  const std::vector<uint8_t> want = {
      0, 0, 0, 0,                                            // no hook
      0, 0, 0, 1, 0, 2, 0, 0, 0xAC, 0x44, 0, 1, 0, 2, 0, 0, 0xAC, 0x44,  // layers I and II
      0, 0, 0, 1, 0, 2, 0, 0, 0xAC, 0x44, 0, 1, 0, 2, 0, 0, 0xAC, 0x44,  // layer III
      0, 0,                                                  // no validity check
      0, 0, 0x7F, 0xAF,                                      // 32687
  };
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.end()), want);

  MpegaControl c;
  c.bsAccess = 0x01020304;
  c.layer12 = {1, {2, 0, 22050}, {4, 1, 11025}};
  c.layer3 = {0, {1, 2, 48000}, {2, 2, 32000}};
  c.checkMpeg = 1;
  c.streamBufferSize = 65536;
  MpegaControl back = DecodeMpegaControl(EncodeMpegaControl(c));
  EXPECT_EQ(EncodeMpegaControl(back), EncodeMpegaControl(c));
  EXPECT_EQ(back.layer12.stereo.freqMax, 11025);
  EXPECT_EQ(back.layer3.mono.freqMax, 48000);
}

struct Decoded {
  bool opened = false;
  uint32_t durationMs = 0, frequency = 0;
  int channels = 0, layer = 0;
  int frames = 0;
  long samples = 0;
  int maxLeft = 0, maxRight = 0;
  bool sameChannels = true;
  int leftCrossings = 0, rightCrossings = 0;  // rises from below -1000 to above 1000
};

Decoded Decode(const std::string& path, const MpegaControl& control) {
  Decoded d;
  auto lib = MakeHostMpega();
  if (!lib->OpenLibrary()) return d;
  MpegaStream* s = lib->OpenStream(path, EncodeMpegaControl(control));
  if (s) {
    d.opened = true;
    d.durationMs = s->durationMs;
    d.frequency = s->frequency;
    d.channels = s->channels;
    d.layer = s->layer;
    std::vector<int16_t> l(kMpegaPcmSize), r(kMpegaPcmSize);
    int16_t* const pcm[2] = {l.data(), r.data()};
    bool lowL = false, lowR = false;
    for (int32_t n; (n = lib->DecodeFrame(s, pcm)) >= 0;) {
      EXPECT_LE(n, kMpegaPcmSize);
      ++d.frames;
      d.samples += n;
      for (int i = 0; i < n; ++i) {
        d.maxLeft = std::max(d.maxLeft, int(l[i]));
        d.maxRight = std::max(d.maxRight, int(r[i]));
        d.sameChannels = d.sameChannels && l[i] == r[i];
        if (l[i] < -1000) lowL = true;
        if (r[i] < -1000) lowR = true;
        if (lowL && l[i] > 1000) lowL = false, ++d.leftCrossings;
        if (lowR && r[i] > 1000) lowR = false, ++d.rightCrossings;
      }
    }
    EXPECT_LT(lib->DecodeFrame(s, pcm), 0) << "the end stays the end";
    lib->CloseStream(s);
  }
  lib->CloseLibrary();
  return d;
}

TEST(MpegaHost, DecodesBothChannelsFrameByFrame) {
  Decoded d = Decode(kSine, Mp3CddaControl());
  ASSERT_TRUE(d.opened);
  EXPECT_EQ(d.layer, 3);
  EXPECT_EQ(d.channels, 2);
  EXPECT_EQ(d.frequency, 44100u);
  EXPECT_EQ(d.frames, 40);
  EXPECT_EQ(d.samples, 40L * 1152);
  EXPECT_EQ(d.durationMs, 40u * 1152 * 1000 / 44100);  // 1044
  // 440 Hz and 660 Hz over about one second, each channel in its own buffer.
  // (The stream also holds the encoder's silent delay and padding.)
  EXPECT_NEAR(d.leftCrossings, 440, 3);
  EXPECT_NEAR(d.rightCrossings, 660, 3);
  EXPECT_NEAR(d.maxLeft, 8000, 800);
  EXPECT_NEAR(d.maxRight, 8000, 800);
}

TEST(MpegaHost, ControlRecordChoosesRateAndChannels) {
  struct Case {
    const char* what;
    int16_t forceMono, stereoDiv, monoDiv;
    int32_t freqMax;
    uint32_t frequency;
    int channels;
  } cases[] = {
      {"divisor 2", 0, 2, 1, 44100, 22050, 2},
      {"divisor 4", 0, 4, 1, 44100, 11025, 2},
      {"maximum frequency below the rate", 0, 1, 1, 22050, 22050, 2},
      {"odd divisor counts as 1", 0, 3, 1, 44100, 44100, 2},
      {"forced mono uses the mono settings", 1, 1, 2, 44100, 22050, 1},
  };
  for (const Case& c : cases) {
    MpegaControl ctl = Mp3CddaControl();
    ctl.layer3.forceMono = c.forceMono;
    ctl.layer3.stereo.freqDiv = c.stereoDiv;
    ctl.layer3.stereo.freqMax = c.freqMax;
    ctl.layer3.mono.freqDiv = c.monoDiv;
    ctl.layer3.mono.freqMax = c.freqMax;
    Decoded d = Decode(kSine, ctl);
    ASSERT_TRUE(d.opened) << c.what;
    EXPECT_EQ(d.frequency, c.frequency) << c.what;
    EXPECT_EQ(d.channels, c.channels) << c.what;
    EXPECT_EQ(d.samples, 40L * 1152 * c.frequency / 44100) << c.what;
    EXPECT_EQ(d.durationMs, 1044u) << c.what << ": the duration is the stream's";
    EXPECT_EQ(d.sameChannels, c.channels == 1) << c.what;
  }
  // The layer I/II settings do not touch a layer III stream.
  MpegaControl ctl = Mp3CddaControl();
  ctl.layer12.stereo.freqDiv = 4;
  EXPECT_EQ(Decode(kSine, ctl).frequency, 44100u);
}

TEST(MpegaHost, StreamsThatCannotBeOpened) {
  test::TempDir dir;
  std::vector<char> mp3 = ReadAll(kSine);
  ASSERT_GT(mp3.size(), 10000u);
  std::vector<char> noise(20000);
  uint32_t x = 12345;
  for (char& ch : noise) ch = char((x = x * 1103515245u + 12345u) >> 24);
  WriteAll(dir.path() + "/noise.mp3", noise);
  WriteAll(dir.path() + "/empty.mp3", {});
  std::vector<char> junkFirst(300 + mp3.size(), 'x');
  std::copy(mp3.begin(), mp3.end(), junkFirst.begin() + 300);
  WriteAll(dir.path() + "/junk.mp3", junkFirst);

  MpegaControl hook = Mp3CddaControl();
  hook.bsAccess = 0x1000;
  MpegaControl check = Mp3CddaControl();
  check.checkMpeg = 1;

  EXPECT_FALSE(Decode(dir.path() + "/missing.mp3", Mp3CddaControl()).opened);
  EXPECT_FALSE(Decode(dir.path() + "/noise.mp3", Mp3CddaControl()).opened);
  EXPECT_FALSE(Decode(dir.path() + "/empty.mp3", Mp3CddaControl()).opened);
  EXPECT_FALSE(Decode(kSine, hook).opened);
  // Leading garbage: skipped without the validity check, refused with it.
  EXPECT_EQ(Decode(dir.path() + "/junk.mp3", Mp3CddaControl()).frames, 40);
  EXPECT_FALSE(Decode(dir.path() + "/junk.mp3", check).opened);
  EXPECT_TRUE(Decode(kSine, check).opened);

  // Without OpenLibrary no stream opens.
  auto lib = MakeHostMpega();
  EXPECT_EQ(lib->OpenStream(kSine, EncodeMpegaControl(Mp3CddaControl())), nullptr);
}

TEST(MpegaHost, TruncatedStreamEndsAtItsLastWholeFrame) {
  test::TempDir dir;
  std::vector<char> mp3 = ReadAll(kSine);
  mp3.resize(mp3.size() / 2 + 100);  // cut inside a frame
  WriteAll(dir.path() + "/cut.mp3", mp3);
  Decoded d = Decode(dir.path() + "/cut.mp3", Mp3CddaControl());
  ASSERT_TRUE(d.opened);
  EXPECT_GT(d.frames, 15);
  EXPECT_LT(d.frames, 25);
  EXPECT_EQ(d.samples, long(d.frames) * 1152);
  EXPECT_EQ(d.durationMs, uint32_t(uint64_t(d.frames) * 1152 * 1000 / 44100));
}

}  // namespace
}  // namespace kr
