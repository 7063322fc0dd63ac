// MP3 2 CDDA: decodes "PROGDIR:Data/mp3cdda.mp3" through mpega.library and
// interleaves every frame into a 16-bit stereo output buffer, as a CD audio
// converter would.
#include "bench/cpu/mp3_cdda.h"

#include "bench/card.h"
#include "bench/cpu/processor_tests.h"
#include "engine/errorlog.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "platform/mpega.h"

namespace kr {
namespace {

constexpr CardParam kParams[] = {{"Byteorder", "Intel", 0}, {"Filesize (bytes)", nullptr, 596940}};
// The MP3 card has no closing line.
constexpr CardLayout kCard = {"MP3 -> CDDA [mpega.library]", "%4lu.%0.1lu Frames/sec", &ProcessorEntry(cpu::kMp3), 16,
                            kParams, 2, "Method", "Result", nullptr, 48, false, true};

constexpr size_t kChannelBytes = 2 * kMpegaPcmSize;  // 2304
constexpr size_t kOutputBytes = 2 * kChannelBytes;   // 4608

}  // namespace

uint32_t Mp3ConvertStream(Mpega& lib, MpegaStream* stream, int16_t* left, int16_t* right, int16_t* out) {
  int16_t* const pcm[2] = {left, right};
  uint32_t frames = 0;
  for (;;) {
    int32_t n = lib.DecodeFrame(stream, pcm);
    if (n < 0) break;
    if (n > kMpegaPcmSize) n = kMpegaPcmSize;
    for (int32_t i = 0; i < n; ++i) {
      out[2 * i] = left[i];
      out[2 * i + 1] = right[i];
    }
    ++frames;
  }
  return frames;
}

namespace {

// The timed conversion; false (and an error-log entry) when the library,
// the buffers or the stream cannot be had.
bool Measure(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, double& figure) {
  Mpega* lib = ctx.mpega;
  if (!lib || !lib->OpenLibrary()) {
    LogError(ctx, "CPU", "MP32CDDA", "Could not mpega.library");
    return false;
  }
  auto* left = static_cast<int16_t*>(ctx.exec.AllocVec(kChannelBytes, MEMF_CLEAR));
  auto* right = static_cast<int16_t*>(ctx.exec.AllocVec(kChannelBytes, MEMF_CLEAR));
  auto* out = static_cast<int16_t*>(ctx.exec.AllocVec(kOutputBytes, MEMF_CLEAR));
  MpegaStream* stream = nullptr;
  if (!left || !right || !out) {
    LogError(ctx, "CPU", "MP32CDDA", "Could not get sample buffers");
  } else {
    stream = lib->OpenStream(ctx.dos.HostPath("PROGDIR:Data/mp3cdda.mp3"), EncodeMpegaControl(Mp3CddaControl()));
    if (!stream) LogError(ctx, "CPU", "MP32CDDA", "Could not open MP3 stream");
  }
  bool measured = false;
  if (stream) {
    const double durationMs = double(stream->durationMs);
    bool first = true;
    const double t = TimeWorkload(
        ctx, "CPU", "MP32CDDA", cacheOn, multitaskingOn,
        [&] {
          if (first) {
            first = false;
            return true;
          }
          // The stream was read to its end: open it afresh for the next attempt.
          lib->CloseStream(stream);
          stream = lib->OpenStream(ctx.dos.HostPath("PROGDIR:Data/mp3cdda.mp3"), EncodeMpegaControl(Mp3CddaControl()));
          return stream != nullptr;
        },
        [&] {
          uint32_t frames = Mp3ConvertStream(*lib, stream, left, right, out);
          asm volatile("" : : "r"(frames) : "memory");
        });
    figure = RatePerSecond(durationMs, t);
    if (stream) lib->CloseStream(stream);
    measured = true;
  }
  ctx.exec.FreeVec(out);
  ctx.exec.FreeVec(right);
  ctx.exec.FreeVec(left);
  lib->CloseLibrary();
  return measured;
}

}  // namespace

TestResult MeasureMp3ToCdda(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn);
  BeginProcessorPhase(ctx, "\x1b" "bMP3 2 CDDA\x1b" "n [Intel]", "mpega.library", cacheOn, multitaskingOn,
                      "Converting...");

  // Without a conversion there is no figure of this run: 0.00, not scored.
  double figure = 0.0;
  if (!Measure(ctx, cacheOn, multitaskingOn, figure)) r.scored = false;

  RecordProcessorFigure(ctx, r, rec::kMp3, figure, "Frames/s", "Frames/sec");
  CloseCard(ctx, r, figure);
  return r;
}

TestResult RunMp3ToCdda(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  return MeasureMp3ToCdda(ctx, cacheOn, multitaskingOn);
}

}  // namespace kr
