// ZLib functions: the 2 MiB data file deflated and inflated with zlib at
// nine level and strategy combinations, eighteen timed methods.
#include <zlib.h>

#include <cstring>
#include <string>

#include "bench/card.h"
#include "bench/cpu/processor_tests.h"
#include "engine/errorlog.h"
#include "engine/scoring.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "util/numtext.h"

namespace kr {
namespace {

constexpr uint32_t kFileSize = 2097152;
constexpr double kMegabytes = 2.0;  // 2 MiB counted as 2 MB

constexpr CardParam kParams[] = {{"Filesize (bytes)", nullptr, kFileSize}};
// ZLib functions leaves its last activity text instead of "Done".
constexpr CardLayout kCard = {"ZLib functions [v1.1.4]", "%2lu.%0.1lu MB/s", &ProcessorEntry(cpu::kZLib), 16,
                            kParams, 1, "Methode", "MB/s", nullptr, 48, true, false};

struct Combination {
  int level;
  int strategy;
  const char* routine;
  const char* deflateText;
  const char* inflateText;
};
constexpr Combination kCombinations[9] = {
    {Z_DEFAULT_COMPRESSION, Z_DEFAULT_STRATEGY, "Lev: DEFAULT - Strat: DEFAULT",
     "Defating [DEFAULT COMPRESSION - DEFAULT STRATEGY]", "Infating [DEFAULT COMPRESSION - DEFAULT STRATEGY]"},
    {Z_BEST_SPEED, Z_DEFAULT_STRATEGY, "Lev: BEST SPEED - Strat: DEFAULT",
     "Defating [BEST SPEED          - DEFAULT STRATEGY]", "Infating [BEST SPEED          - DEFAULT STRATEGY]"},
    {Z_BEST_COMPRESSION, Z_DEFAULT_STRATEGY, "Lev: BEST COMPRESSION - Strat: DEFAULT",
     "Defating [BEST COMPRESSION    - DEFAULT STRATEGY]", "Infating [BEST COMPRESSION    - DEFAULT STRATEGY]"},
    {Z_DEFAULT_COMPRESSION, Z_FILTERED, "Lev: DEFAULT - Strat: FILTERED",
     "Defating [DEFAULT COMPRESSION - FILTERED]", "Infating [DEFAULT COMPRESSION - FILTERED]"},
    {Z_BEST_SPEED, Z_FILTERED, "Lev: BEST SPEED - Strat: FILTERED",
     "Defating [BEST SPEED          - FILTERED]", "Infating [BEST SPEED          - FILTERED]"},
    {Z_BEST_COMPRESSION, Z_FILTERED, "Lev: BEST COMPRESSION - Strat: FILTERED",
     "Defating [BEST COMPRESSION    - FILTERED]", "Infating [BEST COMPRESSION    - FILTERED]"},
    {Z_DEFAULT_COMPRESSION, Z_HUFFMAN_ONLY, "Lev: DEFAULT - Strat: HUFFMAN ONLY",
     "Defating [DEFAULT COMPRESSION - HUFFMAN ONLY]", "Infating [DEFAULT COMPRESSION - HUFFMAN ONLY]"},
    {Z_BEST_SPEED, Z_HUFFMAN_ONLY, "Lev: BEST SPEED - Strat: HUFFMAN ONLY",
     "Defating [BEST SPEED          - HUFFMAN ONLY]", "Infating [BEST SPEED          - HUFFMAN ONLY]"},
    {Z_BEST_COMPRESSION, Z_HUFFMAN_ONLY, "Lev: BEST COMPRESSION - Strat: HUFFMAN ONLY",
     "Defating [BEST COMPRESSION    - HUFFMAN ONLY]", "Infating [BEST COMPRESSION    - HUFFMAN ONLY]"},
};

// Reads the data file into the source buffer; false when it cannot be
// opened (logged) or does not hold exactly kFileSize bytes.
bool ReadDataFile(Context& ctx, uint8_t* source) {
  int64_t fh = ctx.dos.Open("PROGDIR:Data/2097152.bin", MODE_OLDFILE);
  if (fh == 0) {
    LogError(ctx, "CPU", "ZLib", "Could not open benchmark-file. re-install kelvarank");
    return false;
  }
  int64_t got = ctx.dos.Read(fh, source, kFileSize);
  ctx.dos.Close(fh);
  return got == int64_t(kFileSize);
}

}  // namespace

TestResult MeasureZLibFunctions(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn);
  BeginProcessorPhase(ctx, "\x1b" "bZLib functions\x1b" "n [1/9]", kCombinations[0].routine, cacheOn, multitaskingOn,
                      "Deflating...");

  auto* source = static_cast<uint8_t*>(ctx.exec.AllocVec(kFileSize, MEMF_CLEAR));
  uint8_t* dest = nullptr;
  if (source) dest = static_cast<uint8_t*>(ctx.exec.AllocVec(kFileSize, MEMF_CLEAR));
  if (!source || !dest) {
    LogError(ctx, "CPU", "ZLib", source ? "Could not get destination-buffer" : "Could not get source-buffer");
    ctx.exec.FreeVec(source);
    // Nothing was measured: the card is closed with a result that does not count.
    r.scored = false;
    CloseCard(ctx, r, 0.0);
    return r;
  }

  // A work scale codes the first part of the file only.
  const uInt work = ScaledWork(kFileSize, ctx.plan.workScale);
  const double megabytes = kMegabytes * (double(work) / double(kFileSize));
  double sum = 0.0;
  for (int k = 1; k <= 9; ++k) {
    const Combination& c = kCombinations[k - 1];
    BeginProcessorPhase(ctx, Format("\x1b" "bZLib functions\x1b" "n [%d/9]", k), c.routine, cacheOn, multitaskingOn,
                        "");
    std::memset(source, 0, kFileSize);
    std::memset(dest, 0, kFileSize);
    if (!ReadDataFile(ctx, source)) continue;

    // Deflate: set up outside the timed span, deflateEnd inside it.
    SetPhaseState(ctx, Section::Processor, "Deflating...");
    z_stream zs;
    bool ok = false;
    int rcRun = 0, rcFinish = 0, rcEnd = 0;
    double t = TimeWorkload(
        ctx, "CPU", c.deflateText, cacheOn, multitaskingOn,
        [&] {
          std::memset(&zs, 0, sizeof zs);
          ok = deflateInit(&zs, Z_DEFAULT_COMPRESSION) == Z_OK && deflateParams(&zs, c.level, c.strategy) == Z_OK;
          zs.next_in = source;
          zs.avail_in = work;
          zs.next_out = dest;
          zs.avail_out = kFileSize;
        },
        [&] {
          rcRun = deflate(&zs, Z_NO_FLUSH);
          rcFinish = deflate(&zs, Z_FINISH);
          rcEnd = deflateEnd(&zs);
        });
    if (!ok || rcRun != Z_OK || rcFinish != Z_STREAM_END || rcEnd != Z_OK) r.scored = false;
    const uInt compressed = kFileSize - zs.avail_out;
    double f = RatePerSecond(megabytes, t);
    sum += f;
    RecordProcessorFigure(ctx, r, rec::kZLibDeflate + 0x10 * size_t(k - 1), f, "MB/s", c.deflateText);

    // Inflate the compressed bytes back into the source buffer.
    SetPhaseState(ctx, Section::Processor, "Inflating...");
    t = TimeWorkload(
        ctx, "CPU", c.inflateText, cacheOn, multitaskingOn,
        [&] {
          std::memset(&zs, 0, sizeof zs);
          ok = inflateInit(&zs) == Z_OK;
          zs.next_in = dest;
          zs.avail_in = compressed;
          zs.next_out = source;
          zs.avail_out = kFileSize;
        },
        [&] {
          rcRun = inflate(&zs, Z_NO_FLUSH);
          rcEnd = inflateEnd(&zs);
        });
    if (!ok || rcRun != Z_STREAM_END || rcEnd != Z_OK) r.scored = false;
    f = RatePerSecond(megabytes, t);
    sum += f;
    RecordProcessorFigure(ctx, r, rec::kZLibInflate + 0x10 * size_t(k - 1), f, "MB/s", c.inflateText);
  }

  double mean = sum * (1.0 / 18.0);
  RecordStoredFigure(ctx, r, rec::kZLibMean, mean);
  CloseCard(ctx, r, mean);
  ctx.exec.FreeVec(dest);
  ctx.exec.FreeVec(source);
  return r;
}

TestResult RunZLibFunctions(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  return MeasureZLibFunctions(ctx, cacheOn, multitaskingOn);
}

}  // namespace kr
