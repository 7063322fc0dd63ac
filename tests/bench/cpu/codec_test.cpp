// LibJPEG functions, MP3 2 CDDA and ZLib functions: their cards, figures,
// results-record slots and failure paths, with real libjpeg, zlib and
// libmpg123 under a fake clock (every timed span lasts exactly one second).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/cpu/jpeg_codec.h"
#include "bench/cpu/jpeg_functions.h"
#include "bench/cpu/mp3_cdda.h"
#include "bench/cpu/processor_tests.h"
#include "bench/cpu/card_report.h"
#include "records/catalogue.h"
#include "platform/fake/fake_mpega.h"
#include "util/numtext.h"

namespace kr {
namespace {

const std::string kEmpty = "|" + std::string(74, ' ') + "|";
const std::string kClosing = "!" + std::string(74, ' ') + "!";
const std::string kRule = "\xB7" + std::string(74, '-') + "\xB7";
const std::string kSeparator = "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7";
const std::string kDisabled = "|   KelvaRANKS : DISABLED                                                  |";

std::vector<std::string> Reasons(const Context& ctx) {
  std::vector<std::string> out;
  for (const ErrorEntry& e : ctx.errorLog.entries)
    out.push_back(std::string(e.location) + "/" + e.function + "/" + e.reason);
  return out;
}

// The lines after the card head (the first `headLines` lines).
std::vector<std::string> Body(const std::vector<std::string>& lines, size_t headLines) {
  return lines.size() > headLines ? std::vector<std::string>(lines.begin() + long(headLines), lines.end())
                                  : std::vector<std::string>{};
}

// ---------------------------------------------------------------- LibJPEG

// "|   [+] label" in 37 columns, then 1/t and 56/t for t = 1 s.
std::string JpegLine(char marker, const std::string& label, const char* mpix = "1.00", const char* mbits = "56.00") {
  std::string left = std::string("|   [") + marker + "] " + label;
  left.resize(37, ' ');
  return left + Format("   %11s         %11s    |", mpix, mbits);
}

TEST(LibJpeg, CodecRoundTripsEveryColourSpace) {
  test::TempDir dir;
  const int w = 64, h = 48;
  std::vector<uint8_t> image(size_t(w) * h * 4);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 7);
  const std::string path = dir.path() + "/x.jpg";
  struct Case {
    JpegColor color;
    int components;
  } cases[] = {{JpegColor::Rgb, 3}, {JpegColor::YCbCr, 3}, {JpegColor::Cmyk, 4}, {JpegColor::Ycck, 4},
               {JpegColor::Gray, 1}};
  for (const Case& c : cases) {
    ASSERT_EQ(JpegWriteFile(path.c_str(), image.data(), w, h, c.components, c.color), JpegStatus::Ok);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
    // Start of frame (baseline): the component count of the colour space.
    size_t sof = 2;
    while (sof + 9 < bytes.size() && !(bytes[sof] == 0xFF && bytes[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 9, bytes.size());
    EXPECT_EQ(bytes[sof + 9], c.components);
    EXPECT_EQ(JpegReadFile(path.c_str()), JpegStatus::Ok);
  }
}

TEST(LibJpeg, CodecFailuresReturnInsteadOfExiting) {
  test::TempDir dir;
  const std::string missing = dir.path() + "/none/x.jpg";
  uint8_t pixel[4] = {};
  EXPECT_EQ(JpegWriteFile(missing.c_str(), pixel, 1, 1, 3, JpegColor::Rgb), JpegStatus::CannotOpen);
  EXPECT_EQ(JpegReadFile(missing.c_str()), JpegStatus::CannotOpen);
  const std::string bad = dir.path() + "/bad.jpg";
  std::ofstream(bad) << "this is no JPEG file at all";
  EXPECT_EQ(JpegReadFile(bad.c_str()), JpegStatus::Failed);
  // A write that libjpeg refuses (zero width) ends through the error handler.
  EXPECT_EQ(JpegWriteFile((dir.path() + "/zero.jpg").c_str(), pixel, 0, 1, 3, JpegColor::Rgb), JpegStatus::Failed);
}

TEST(LibJpeg, FullRunCardFiguresAndScratchFile) {
  test::ReportContext t;
  RunLibJpeg(t.ctx, 1, 0);
  auto lines = t.Lines();
  const std::vector<std::string> head = {
      kRule,
      "|   LibJPEG - libjpeg [v6b]                                                |",
      kSeparator,
      "|   100 Percent at : 1000.0 MBits/sec                                       |",
      "|   Score weight   : 100.0%                                                |",
      "|   Imagedata      : 1600x1200x24                                          |",
      "|   Imagequality   : 100%                                                  |",
      "|   CPU Cache      : YES                                                   |",
      "|   Multitasking   : NO                                                    |",
      kEmpty,
      "|   Method                                     MPixel/s            MBits/s |",
      kSeparator,
  };
  const std::vector<std::string> body = {
      JpegLine('+', "Writing RGB"),  JpegLine('+', "Reading RGB"),  JpegLine('+', "Writing YUV"),
      JpegLine('+', "Reading YUV"),  JpegLine('+', "Writing CMYK"), JpegLine('+', "Reading CMYK"),
      JpegLine('+', "Writing YCCK"), JpegLine('+', "Reading YCCK"), JpegLine('+', "Writing GRAYSCALE"),
      JpegLine('+', "Reading GRAYSCALE"),
      kEmpty,
      "|   KelvaRANKS :   5.60 Percent                                            |",
      kClosing,
  };
  ASSERT_EQ(lines.size(), head.size() + body.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + long(head.size())), head);
  EXPECT_EQ(Body(lines, head.size()), body);
  test::ExpectCardColumns(lines, 1);

  for (size_t k = 0; k < 10; ++k) EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kJpegFirst + 8 * k), 56.0) << k;
  EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kJpegMean), 56.0);
  EXPECT_NEAR(t.ctx.results.score(slot::kJpeg).percent, 5.6, 1e-9);
  EXPECT_EQ(t.ctx.results.score(slot::kJpeg).valid, 1.0);
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::NowRunning), "\x1b" "bLibJPEG functions\x1b" "n [5/5]");
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::LastResult), "\x1b" "b56.00\x1b" "n MBits/sec");
  std::vector<DirEntry> left;
  ASSERT_TRUE(t.dos.ListDir("RAM:", left));
  EXPECT_TRUE(left.empty()) << "the scratch file is deleted";
  EXPECT_EQ(t.exec.liveBlocks, 0);
  EXPECT_EQ(t.exec.allocCount, 3) << "one buffer per group";
  EXPECT_EQ(std::count(t.exec.calls.begin(), t.exec.calls.end(), "Forbid"), 10) << "one timed span per method";
  EXPECT_TRUE(t.ctx.errorLog.entries.empty());
}

TEST(LibJpeg, FailedGroupAllocationSkipsItsLinesButTheMeanStaysOverTen) {
  test::ReportContext t;
  t.exec.failAllocs = {2};  // (CMYK, YCCK)
  RunLibJpegSized(t.ctx, 1, 0, 160, 120);
  auto body = Body(t.Lines(), 12);
  const std::vector<std::string> want = {
      JpegLine('+', "Writing RGB"), JpegLine('+', "Reading RGB"), JpegLine('+', "Writing YUV"),
      JpegLine('+', "Reading YUV"), JpegLine('+', "Writing GRAYSCALE"), JpegLine('+', "Reading GRAYSCALE"),
      kEmpty,
      "|   KelvaRANKS :   3.36 Percent                                            |",
      kClosing,
  };
  EXPECT_EQ(body, want);
  EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kJpegMean), 6 * 56.0 / 10);
  EXPECT_EQ(t.ctx.results.figure(rec::kJpegFirst + 0x20), 0.0) << "skipped methods store nothing";
  EXPECT_TRUE(t.ctx.errorLog.entries.empty()) << "allocation failures skip silently";
  EXPECT_EQ(t.exec.liveBlocks, 0);
}

TEST(LibJpeg, UnwritableScratchFileIsLoggedAndNotScored) {
  test::ReportContext t;
  // No RAM folder: no scratch file can be made.
  ASSERT_EQ(rmdir(t.ram.path().c_str()), 0);
  RunLibJpegSized(t.ctx, 1, 0, 160, 120);
  auto body = Body(t.Lines(), 12);
  ASSERT_EQ(body.size(), 13u);
  EXPECT_EQ(body[0], JpegLine('-', "Writing RGB", "0.00", "0.00"));
  EXPECT_EQ(body[9], JpegLine('-', "Reading GRAYSCALE", "0.00", "0.00"));
  EXPECT_EQ(body[11], kDisabled);
  EXPECT_EQ(Reasons(t.ctx), (std::vector<std::string>{"CPU/LibJPEG/Could not write RAM:data.jpg",
                                                       "CPU/LibJPEG/Could not read RAM:data.jpg"}));
  EXPECT_EQ(t.ctx.results.figure(rec::kJpegMean), 0.0);
  EXPECT_EQ(t.ctx.results.score(slot::kJpeg).valid, 0.0);
}

// ---------------------------------------------------------------- MP3 2 CDDA

const std::vector<std::string> kMp3Head = {
    kRule,
    "|   MP3 -> CDDA [mpega.library]                                            |",
    kSeparator,
    "|   100 Percent at   : 100000.0 Frames/sec                                   |",
    "|   Score weight     :  80.0%                                              |",
    "|   Byteorder        : Intel                                               |",
    "|   Filesize (bytes) : 596940                                              |",
    "|   CPU Cache        : YES                                                 |",
    "|   Multitasking     : NO                                                  |",
    kEmpty,
    "|   Method                                                         Result  |",
    kSeparator,
};

TEST(Mp3ToCdda, CardEndsWithTheScoreLine) {
  test::ReportContext t;
  FakeMpega mpega;
  mpega.frames = 7;
  mpega.durationMs = 2610;
  t.ctx.mpega = &mpega;
  RunMp3ToCdda(t.ctx, 1, 0);
  std::vector<std::string> want = kMp3Head;
  want.insert(want.end(), {
                              "|   [+] Frames/sec                                              2610.00    |",
                              kEmpty,
                              "|   KelvaRANKS :   2.08 Percent                                            |",
                          });
  auto lines = t.Lines();
  EXPECT_EQ(lines, want);
  test::ExpectCardColumns(lines, 2);
  EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kMp3), 2610.0);
  EXPECT_EQ(t.ctx.results.score(slot::kMp3).valid, 1.0);
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::NowRunning), "\x1b" "bMP3 2 CDDA\x1b" "n [Intel]");
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::Routine), "mpega.library");
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Done");
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::LastResult), "\x1b" "b2610.00\x1b" "n Frames/s");

  EXPECT_EQ(mpega.lastPath, t.home.path() + "/Data/mp3cdda.mp3");
  EXPECT_EQ(mpega.lastControl, EncodeMpegaControl(Mp3CddaControl()));
  EXPECT_EQ(mpega.decodeCalls, 8) << "seven frames and the end";
  EXPECT_EQ(mpega.libraryOpens, mpega.libraryCloses);
  EXPECT_EQ(mpega.streamOpens, mpega.streamCloses);
  EXPECT_EQ(t.exec.liveBlocks, 0);
  EXPECT_EQ(t.exec.calls, (std::vector<std::string>{"Forbid", "Permit"})) << "one timed span";
}

TEST(Mp3ToCdda, ConversionInterleavesEachFrame) {
  FakeMpega mpega;
  mpega.frames = 3;
  mpega.samplesPerFrame = 5;
  ASSERT_TRUE(mpega.OpenLibrary());
  MpegaStream* s = mpega.OpenStream("x", {});
  std::vector<int16_t> left(kMpegaPcmSize), right(kMpegaPcmSize), out(2 * kMpegaPcmSize, 77);
  EXPECT_EQ(Mp3ConvertStream(mpega, s, left.data(), right.data(), out.data()), 3u);
  // The last frame (2) is in the output: 2000, -2000, 2001, -2001, ...
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(out[2 * i], 2000 + i);
    EXPECT_EQ(out[2 * i + 1], -(2000 + i));
  }
  EXPECT_EQ(out[10], 77) << "nothing beyond the frame's samples";
  mpega.CloseStream(s);

  // A decoder claiming more than a frame's samples cannot overrun the output.
  FakeMpega wide;
  wide.frames = 1;
  wide.samplesPerFrame = 5000;
  s = wide.OpenStream("x", {});
  std::vector<int16_t> guarded(2 * kMpegaPcmSize + 8, 77);
  Mp3ConvertStream(wide, s, left.data(), right.data(), guarded.data());
  EXPECT_EQ(guarded[2 * kMpegaPcmSize], 77);
  wide.CloseStream(s);
}

TEST(Mp3ToCdda, FailuresAreLoggedAndNotScored) {
  struct Case {
    const char* what;
    bool noLibraryObject, libraryMissing, streamFails;
    int failAlloc;
    const char* reason;
  } cases[] = {
      {"no decoder", true, false, false, 0, "CPU/MP32CDDA/Could not mpega.library"},
      {"library missing", false, true, false, 0, "CPU/MP32CDDA/Could not mpega.library"},
      {"stream fails", false, false, true, 0, "CPU/MP32CDDA/Could not open MP3 stream"},
      {"buffer fails", false, false, false, 3, "CPU/MP32CDDA/Could not get sample buffers"},
  };
  for (const Case& c : cases) {
    test::ReportContext t;
    FakeMpega mpega;
    mpega.libraryMissing = c.libraryMissing;
    mpega.streamFails = c.streamFails;
    if (c.failAlloc) t.exec.failAllocs = {c.failAlloc};
    t.ctx.mpega = c.noLibraryObject ? nullptr : &mpega;
    t.ctx.results.setFigure(rec::kMp3, 1234.0);  // an earlier run's figure
    RunMp3ToCdda(t.ctx, 1, 0);
    auto body = Body(t.Lines(), kMp3Head.size());
    EXPECT_EQ(body, (std::vector<std::string>{
                        "|   [-] Frames/sec                                                 0.00    |", kEmpty,
                        kDisabled}))
        << c.what;
    EXPECT_EQ(Reasons(t.ctx), std::vector<std::string>{c.reason}) << c.what;
    EXPECT_EQ(t.ctx.results.figure(rec::kMp3), 0.0) << c.what;
    EXPECT_EQ(t.ctx.results.score(slot::kMp3).valid, 0.0) << c.what;
    EXPECT_EQ(t.exec.liveBlocks, 0) << c.what;
    EXPECT_EQ(mpega.libraryOpens, mpega.libraryCloses) << c.what;
    EXPECT_TRUE(t.exec.calls.empty()) << c.what << ": nothing was timed";
  }
}

TEST(Mp3ToCdda, ProgramSampleDecodesWhole) {
  const std::string sample = std::string(KR_SOURCE_DIR) + "/data/mp3cdda.mp3";
  std::ifstream in(sample, std::ios::binary);
  if (!in) GTEST_SKIP() << "no " << sample;
  const std::vector<char> mp3{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(mp3.size(), 596940u) << "the length the start-up check expects";
  test::ReportContext t;
  std::ofstream(t.home.path() + "/Data/mp3cdda.mp3", std::ios::binary).write(mp3.data(), std::streamsize(mp3.size()));
  auto mpega = MakeHostMpega();
  t.ctx.mpega = mpega.get();
  RunMp3ToCdda(t.ctx, 1, 0);
  // One second per span: the figure is the stream's duration in ms.
  EXPECT_GT(t.ctx.results.figure(rec::kMp3), 10000.0);
  EXPECT_EQ(t.ctx.results.score(slot::kMp3).valid, 1.0);
  EXPECT_TRUE(t.ctx.errorLog.entries.empty());
}

TEST(Mp3ToCdda, RealDecoderOnSampleFiles) {
  const std::string sine = std::string(KR_TEST_DATA) + "/bench/cpu/data/sine1s.mp3";
  std::ifstream in(sine, std::ios::binary);
  const std::vector<char> mp3{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GT(mp3.size(), 10000u);
  std::vector<char> noise(mp3.size());
  uint32_t x = 99;
  for (char& ch : noise) ch = char((x = x * 1103515245u + 12345u) >> 24);

  struct Case {
    const char* what;
    std::vector<char> bytes;
    bool present;
    double figure;  // -1: anything above zero
    const char* reason;
  } cases[] = {
      {"whole file", mp3, true, 1044.0, nullptr},
      {"truncated", std::vector<char>(mp3.begin(), mp3.begin() + long(mp3.size() / 2)), true, -1, nullptr},
      {"corrupt", noise, true, 0.0, "CPU/MP32CDDA/Could not open MP3 stream"},
      {"missing", {}, false, 0.0, "CPU/MP32CDDA/Could not open MP3 stream"},
  };
  for (const Case& c : cases) {
    test::ReportContext t;
    auto mpega = MakeHostMpega();
    t.ctx.mpega = mpega.get();
    if (c.present)
      std::ofstream(t.home.path() + "/Data/mp3cdda.mp3", std::ios::binary)
          .write(c.bytes.data(), std::streamsize(c.bytes.size()));
    RunMp3ToCdda(t.ctx, 1, 0);
    double f = t.ctx.results.figure(rec::kMp3);
    if (c.figure < 0) {
      EXPECT_GT(f, 400.0) << c.what;
      EXPECT_LT(f, 1044.0) << c.what;
    } else {
      EXPECT_EQ(f, c.figure) << c.what;
    }
    EXPECT_EQ(t.ctx.results.score(slot::kMp3).valid, c.reason ? 0.0 : 1.0) << c.what;
    EXPECT_EQ(Reasons(t.ctx), c.reason ? std::vector<std::string>{c.reason} : std::vector<std::string>{}) << c.what;
    EXPECT_EQ(t.exec.liveBlocks, 0) << c.what;
  }
}

// ---------------------------------------------------------------- ZLib

const char* const kDataFile = "/Data/2097152.bin";
constexpr size_t kDataSize = 2097152;

// The start-up data file's kind of content: printable bytes from the
// runtime's generator.
std::vector<char> PrintableData(size_t size) {
  std::vector<char> d(size);
  Lcg g(7);
  for (char& ch : d) ch = char(32 + g.Next() % 94);
  return d;
}

void WriteData(const test::TestContext& t, const std::vector<char>& d) {
  std::ofstream(t.home.path() + kDataFile, std::ios::binary).write(d.data(), std::streamsize(d.size()));
}

const char* const kCombos[9] = {
    "[DEFAULT COMPRESSION - DEFAULT STRATEGY]", "[BEST SPEED          - DEFAULT STRATEGY]",
    "[BEST COMPRESSION    - DEFAULT STRATEGY]", "[DEFAULT COMPRESSION - FILTERED]",
    "[BEST SPEED          - FILTERED]",         "[BEST COMPRESSION    - FILTERED]",
    "[DEFAULT COMPRESSION - HUFFMAN ONLY]",     "[BEST SPEED          - HUFFMAN ONLY]",
    "[BEST COMPRESSION    - HUFFMAN ONLY]",
};

std::string ZLine(char marker, const std::string& text) {
  std::string left = std::string("|   [") + marker + "] " + text;
  left.resize(57, ' ');
  return left + "          2.00    |";
}

const std::vector<std::string> kZLibHead = {
    kRule,
    "|   ZLib functions [v1.1.4]                                                |",
    kSeparator,
    "|   100 Percent at   : 100.0 MB/s                                           |",
    "|   Score weight     : 100.0%                                              |",
    "|   Filesize (bytes) : 2097152                                             |",
    "|   CPU Cache        : YES                                                 |",
    "|   Multitasking     : NO                                                  |",
    kEmpty,
    "|   Methode                                                        MB/s    |",
    kSeparator,
};

TEST(ZLibFunctions, NineCombinationsInOrder) {
  test::ReportContext t;
  WriteData(t, PrintableData(kDataSize));
  RunZLibFunctions(t.ctx, 1, 0);
  auto lines = t.Lines();
  std::vector<std::string> want = kZLibHead;
  for (const char* combo : kCombos) {
    want.push_back(ZLine('+', std::string("Defating ") + combo));
    want.push_back(ZLine('+', std::string("Infating ") + combo));
  }
  want.insert(want.end(), {kEmpty, "|   KelvaRANKS :   2.00 Percent                                            |", kClosing});
  EXPECT_EQ(lines, want);
  test::ExpectCardColumns(lines, 1);
  for (size_t k = 0; k < 9; ++k) {
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kZLibDeflate + 0x10 * k), 2.0) << k;
    EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kZLibInflate + 0x10 * k), 2.0) << k;
  }
  EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kZLibMean), 2.0);
  EXPECT_EQ(t.ctx.results.score(slot::kZLib).valid, 1.0);
  EXPECT_EQ(std::count(t.exec.calls.begin(), t.exec.calls.end(), "Forbid"), 18) << "one timed span per method";
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::State), "Inflating...") << "no Done";
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::NowRunning), "\x1b" "bZLib functions\x1b" "n [9/9]");
  EXPECT_EQ(t.status.text(Section::Processor, StatusField::Routine), "Lev: BEST COMPRESSION - Strat: HUFFMAN ONLY");
  EXPECT_EQ(t.exec.liveBlocks, 0);
  EXPECT_TRUE(t.ctx.errorLog.entries.empty());
}

TEST(ZLibFunctions, DeflateOutputThatDoesNotFitDisablesFromThatLineOn) {
  // 16 KiB of uniformly random bytes, repeated: the matching levels shrink
  // it, Huffman-only coding cannot, so its output exceeds 2 MiB from k = 7.
  std::vector<char> block(16384);
  uint32_t x = 5;
  for (char& ch : block) ch = char((x = x * 1103515245u + 12345u) >> 24);
  std::vector<char> data;
  while (data.size() < kDataSize) data.insert(data.end(), block.begin(), block.end());
  test::ReportContext t;
  WriteData(t, data);
  RunZLibFunctions(t.ctx, 1, 0);
  auto body = Body(t.Lines(), kZLibHead.size());
  ASSERT_EQ(body.size(), 21u);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(body[size_t(i)][5], i < 12 ? '+' : '-') << body[size_t(i)];
  EXPECT_EQ(body[19], kDisabled);
  EXPECT_EQ(body[20], kClosing);
  EXPECT_EQ(t.ctx.results.score(slot::kZLib).valid, 0.0);
  EXPECT_DOUBLE_EQ(t.ctx.results.figure(rec::kZLibMean), 2.0) << "the figures are still taken";
}

TEST(ZLibFunctions, DataFileProblemsSkipEveryCombination) {
  struct Case {
    const char* what;
    long size;  // -1: no file
    size_t entries;
  } cases[] = {{"short file", long(kDataSize) - 1, 0}, {"missing file", -1, 9}};
  for (const Case& c : cases) {
    test::ReportContext t;
    if (c.size >= 0) WriteData(t, PrintableData(size_t(c.size)));
    RunZLibFunctions(t.ctx, 1, 0);
    auto body = Body(t.Lines(), kZLibHead.size());
    EXPECT_EQ(body, (std::vector<std::string>{
                        kEmpty, "|   KelvaRANKS :   0.00 Percent                                            |", kClosing}))
        << c.what;
    EXPECT_EQ(t.ctx.results.figure(rec::kZLibMean), 0.0) << c.what;
    ASSERT_EQ(t.ctx.errorLog.entries.size(), c.entries) << c.what;
    for (const auto& r : Reasons(t.ctx))
      EXPECT_EQ(r, "CPU/ZLib/Could not open benchmark-file. re-install kelvarank") << c.what;
    EXPECT_TRUE(t.exec.calls.empty()) << c.what << ": nothing was timed";
  }
}

TEST(ZLibFunctions, BufferFailuresCloseTheCardUnscored) {
  struct Case {
    int failAlloc;
    const char* reason;
  } cases[] = {{1, "CPU/ZLib/Could not get source-buffer"}, {2, "CPU/ZLib/Could not get destination-buffer"}};
  for (const Case& c : cases) {
    test::ReportContext t;
    WriteData(t, PrintableData(kDataSize));
    t.exec.failAllocs = {c.failAlloc};
    t.ctx.results.setScore(slot::kZLib, {55.0, 1.0});  // an earlier run's score
    RunZLibFunctions(t.ctx, 1, 0);
    EXPECT_EQ(Body(t.Lines(), kZLibHead.size()), (std::vector<std::string>{kEmpty, kDisabled, kClosing}));
    EXPECT_EQ(Reasons(t.ctx), std::vector<std::string>{c.reason});
    EXPECT_EQ(t.ctx.results.score(slot::kZLib).valid, 0.0);
    EXPECT_EQ(t.exec.liveBlocks, 0);
  }
}

}  // namespace
}  // namespace kr
