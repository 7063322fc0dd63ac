#include "bench/cpu/jpeg_functions.h"

#include <cstdio>
#include <string>
#include <utility>

#include "bench/card.h"
#include "bench/cpu/jpeg_codec.h"
#include "bench/cpu/processor_tests.h"
#include "engine/errorlog.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "report/report.h"
#include "util/numtext.h"

namespace kr {
namespace {

constexpr CardParam kParams[] = {{"Imagedata", "1600x1200x24", 0}, {"Imagequality", "100%", 0}};
constexpr CardLayout kCard = {"LibJPEG - libjpeg [v6b]", "%3lu.%0.1lu MBits/sec", &ProcessorEntry(cpu::kJpeg), 14,
                            kParams, 2, "Method", "MBits/s", "MPixel/s", 48};

struct ColourSpace {
  JpegColor color;
  int components;
  const char* writeState;
  const char* readState;
  const char* writeLabel;
  const char* readLabel;
};
constexpr ColourSpace kSpaces[5] = {
    {JpegColor::Rgb, 3, "Writing RGB...", "Reading RGB...", "Writing RGB", "Reading RGB"},
    {JpegColor::YCbCr, 3, "Writing YUV...", "Reading YUV...", "Writing YUV", "Reading YUV"},
    {JpegColor::Cmyk, 4, "Writing CMYK...", "Reading CMYK...", "Writing CMYK", "Reading CMYK"},
    {JpegColor::Ycck, 4, "Writing YCCK...", "Reading YCCK...", "Writing YCCK", "Reading YCCK"},
    {JpegColor::Gray, 1, "Writing GRAY...", "Reading GRAY...", "Writing GRAYSCALE", "Reading GRAYSCALE"},
};
// Each group works in a freshly allocated buffer: (RGB, YUV), (CMYK, YCCK), (GRAY).
struct Group {
  int first, count;
};
constexpr Group kGroups[3] = {{0, 2}, {2, 2}, {4, 1}};

// 7680000 bytes count as 7 MB and 1920000 pixels as 1 MPixel.
constexpr double kMBits = 8.0 * double(7680000 / 1000000);
constexpr double kMPixels = double(1920000 / 1000000);

struct JpegRun {
  Context& ctx;
  int32_t cacheOn, multitaskingOn;
  TestResult& result;
  std::string path;  // the scratch file's host path
  double share = 1.0;  // the part of the 1600 x 1200 image's work a method does
  double sum = 0.0;
  bool writeLogged = false, readLogged = false;

  // One timed method: its MBits/s figure, with its MPixel/s beside it on
  // its line.
  void Method(size_t slot, const char* label, bool write, const uint8_t* image, int width, int height,
              const ColourSpace& cs) {
    JpegStatus st = JpegStatus::Ok;
    const double t = TimeWorkload(
        ctx, "CPU", label, cacheOn, multitaskingOn, [] {},
        [&] {
          st = write ? JpegWriteFile(path.c_str(), image, width, height, cs.components, cs.color)
                     : JpegReadFile(path.c_str());
        },
        [&] { return st == JpegStatus::Ok; });  // a failed method is not timed again
    double mbits = RatePerSecond(kMBits * share, t);
    double mpixels = RatePerSecond(kMPixels * share, t);
    if (st != JpegStatus::Ok) {
      // A method that did not complete measured nothing: its figures are 0
      // and the result no longer counts.
      if (st == JpegStatus::CannotOpen) LogDiagnostic(ctx, "can't open " + path + "\n");
      bool& logged = write ? writeLogged : readLogged;
      if (!logged) LogError(ctx, "CPU", "LibJPEG", write ? "Could not write RAM:data.jpg" : "Could not read RAM:data.jpg");
      logged = true;
      result.scored = false;
      mbits = mpixels = 0.0;
    }
    sum += mbits;
    TestFigure f;
    f.method = label;
    f.unit = "MBits/sec";
    f.slot = slot;
    f.value = mbits;
    f.middleValue = mpixels;
    f.leftWidth = 37;  // "|   [+] label" in 37 columns, MPixel/s in 14, MBits/s and the border in 25
    RecordFigure(ctx, result, std::move(f));
  }
};

std::string NowRunning(int k) { return Format("\x1b" "bLibJPEG functions\x1b" "n [%d/5]", k); }

}  // namespace

namespace {

// The test over an image of width x height pixels whose methods count as
// share of the 1600 x 1200 image's work.
TestResult RunLibJpegShare(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, int width, int height,
                           double share) {
  // The scratch file gets a name of its own in the RAM folder, so parallel
  // runs never write into each other's; none made: every method fails.
  const std::string scratch = ctx.dos.ScratchFile("data", ".jpg");
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn);
  JpegRun run{ctx, cacheOn, multitaskingOn, r, scratch.empty() ? std::string() : ctx.dos.HostPath(scratch)};
  run.share = share;
  BeginProcessorPhase(ctx, NowRunning(1), "libjpeg 6b", cacheOn, multitaskingOn, kSpaces[0].writeState);

  const size_t bytes = size_t(width) * size_t(height) * 4;
  for (const Group& g : kGroups) {
    auto* image = static_cast<uint8_t*>(ctx.exec.AllocVec(bytes, MEMF_CLEAR));
    if (!image) continue;  // the whole group is skipped
    for (int k = g.first; k < g.first + g.count; ++k) {
      const ColourSpace& cs = kSpaces[k];
      BeginProcessorPhase(ctx, NowRunning(k + 1), "libjpeg 6b", cacheOn, multitaskingOn, cs.writeState);
      run.Method(rec::kJpegFirst + 16 * size_t(k), cs.writeLabel, true, image, width, height, cs);
      SetPhaseState(ctx, Section::Processor, cs.readState);
      run.Method(rec::kJpegFirst + 16 * size_t(k) + 8, cs.readLabel, false, image, width, height, cs);
    }
    ctx.exec.FreeVec(image);
  }

  if (!scratch.empty()) ctx.dos.DeleteFile(scratch);
  double mean = run.sum * 0.1;
  RecordStoredFigure(ctx, r, rec::kJpegMean, mean);
  CloseCard(ctx, r, mean);
  return r;
}

}  // namespace

TestResult RunLibJpegSized(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, int width, int height) {
  return RunLibJpegShare(ctx, cacheOn, multitaskingOn, width, height, 1.0);
}

// A work scale takes rows off the image; the figures count the rows coded.
TestResult RunLibJpeg(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  const int rows = int(ScaledWork(uint32_t(1200), ctx.plan.workScale));
  return RunLibJpegShare(ctx, cacheOn, multitaskingOn, 1600, rows, double(rows) / 1200.0);
}

}  // namespace kr
