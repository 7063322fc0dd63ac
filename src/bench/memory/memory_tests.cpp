#include "bench/memory/memory_tests.h"

#include <bit>
#include <string>
#include <utility>

#include "bench/card.h"
#include "bench/memory/memory_kernels.h"
#include "records/catalogue.h"
#include "engine/errorlog.h"
#include "records/results.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "report/report.h"
#include "util/numtext.h"

namespace kr {
namespace {

enum class Kernel : uint8_t { EmptyStep, Read, Write, Copy, Alloc, Fill, ReadRom };

// How one memory test measures (its texts, defaults and constants are its
// catalogue row). `width` is the access width of the read and write kernels
// (1, 2, 4), which also picks the calibration; 0 for the others.
struct MemoryTestDef {
  Kernel kernel;
  uint32_t width;
  uint32_t memType;   // the buffer (the source of a copy): MEMF_FAST or MEMF_CHIP
  uint32_t destType;  // the destination of a copy
  bool clear;         // buffers allocated with MEMF_CLEAR
};

constexpr uint32_t F = MEMF_FAST, C = MEMF_CHIP;

constexpr MemoryTestDef kTests[kMemoryTests] = {
    {Kernel::EmptyStep, 0, F, 0, true},                                                      // CPU Cache Read
    {Kernel::Read, 1, F, 0, true},  {Kernel::Read, 2, F, 0, true},  {Kernel::Read, 4, F, 0, true},   // Read FAST
    {Kernel::Write, 1, F, 0, true}, {Kernel::Write, 2, F, 0, true}, {Kernel::Write, 4, F, 0, true},  // Write FAST
    {Kernel::Read, 1, C, 0, true},  {Kernel::Read, 2, C, 0, true},  {Kernel::Read, 4, C, 0, true},   // Read CHIP
    {Kernel::Write, 1, C, 0, true}, {Kernel::Write, 2, C, 0, true}, {Kernel::Write, 4, C, 0, true},  // Write CHIP
    {Kernel::Copy, 0, F, F, true},  {Kernel::Copy, 0, F, C, true},  {Kernel::Copy, 0, C, F, true},
    {Kernel::Copy, 0, C, C, true},                                                           // Copy
    {Kernel::Alloc, 0, F, 0, true}, {Kernel::Alloc, 0, C, 0, true},                          // Allocate
    {Kernel::Fill, 0, F, 0, false}, {Kernel::Fill, 0, C, 0, false},                          // Memset
    {Kernel::ReadRom, 1, 0, 0, false}, {Kernel::ReadRom, 2, 0, 0, false}, {Kernel::ReadRom, 4, 0, 0, false},
};

constexpr const char* kNoDataBuffer = "Could not get data buffer";
constexpr const char* kNoSourceBuffer = "Could not get source buffer";
constexpr const char* kNoDestinationBuffer = "Could not get destination buffer";
constexpr const char* kNoRom = "No system ROM to read";
constexpr const char* kPastRom = "Blocksize exceeds the system ROM";

// A calibrated block whose net time (measured less empty loop) is not
// positive, or under a tenth of the measured time, is measured again: the
// subtraction would decide its figure, not the memory. At most this many
// repeats of calibration and kernel.
constexpr int kMeasureAgain = 3;
bool Settled(double t, double t0) {
  const double net = t - t0;
  return net > 0.0 && net * 10.0 >= t;
}

bool Calibrated(const MemoryTestDef& d) { return d.kernel == Kernel::Read || d.kernel == Kernel::Write || d.kernel == Kernel::ReadRom; }

double Calibrate(Context& ctx, uint32_t width, uint32_t block, uint32_t passes, int32_t cacheOn, int32_t mt) {
  switch (width) {
    case 1: return CalibrateByteLoop(ctx, block, passes, cacheOn, mt);
    case 2: return CalibrateWordLoop(ctx, block, passes, cacheOn, mt);
    default: return CalibrateLongLoop(ctx, block, passes, cacheOn, mt);
  }
}

void RunRead(uint32_t width, const uint8_t* block, uint32_t bytes, uint32_t passes) {
  switch (width) {
    case 1: ReadKernel8(block, bytes, passes); break;
    case 2: ReadKernel16(block, bytes, passes); break;
    default: ReadKernel32(block, bytes, passes); break;
  }
}

void RunWrite(uint32_t width, uint8_t* block, uint32_t bytes, uint32_t passes) {
  switch (width) {
    case 1: WriteKernel8(block, bytes, passes); break;
    case 2: WriteKernel16(block, bytes, passes); break;
    default: WriteKernel32(block, bytes, passes); break;
  }
}

// One block size: buffers, the timed kernel run, release. Returns false (and
// has logged what the test logs) when the block could not be measured; t is
// the elapsed time of the timed region otherwise.
bool MeasureBlock(Context& ctx, const MemoryTestDef& d, const char* logName, uint32_t block, uint32_t passes, int32_t cacheOn, int32_t mt,
                  double& t) {
  const uint32_t clear = d.clear ? uint32_t(MEMF_CLEAR) : 0u;
  switch (d.kernel) {
    case Kernel::EmptyStep:
    case Kernel::Read:
    case Kernel::Write:
    case Kernel::Fill: {
      auto* buf = static_cast<uint8_t*>(ctx.exec.AllocVec(block, d.memType | clear));
      if (buf == nullptr) {
        // The fill tests skip a block they cannot get memory for silently.
        if (d.kernel != Kernel::Fill) LogError(ctx, "MEMORY", logName, kNoDataBuffer);
        return false;
      }
      if (d.kernel == Kernel::EmptyStep) {
        uint64_t steps = 0;
        t = TimeWorkload(ctx, "MEMORY", logName, cacheOn, mt, [&] { steps = EmptyLoopNest(passes, block, 8); });
        asm volatile("" : : "r"(steps));
      } else {
        t = TimeWorkload(ctx, "MEMORY", logName, cacheOn, mt, [&] {
          if (d.kernel == Kernel::Read) RunRead(d.width, buf, block, passes);
          else if (d.kernel == Kernel::Write) RunWrite(d.width, buf, block, passes);
          else FillKernel(buf, block, passes);
        });
      }
      ctx.exec.FreeVec(buf);
      return true;
    }
    case Kernel::Copy: {
      auto* src = static_cast<uint8_t*>(ctx.exec.AllocVec(block, d.memType | clear));
      if (src == nullptr) {
        LogError(ctx, "MEMORY", logName, kNoSourceBuffer);
        return false;
      }
      auto* dst = static_cast<uint8_t*>(ctx.exec.AllocVec(block, d.destType | clear));
      if (dst == nullptr) {
        ctx.exec.FreeVec(src);
        LogError(ctx, "MEMORY", logName, kNoDestinationBuffer);
        return false;
      }
      t = TimeWorkload(ctx, "MEMORY", logName, cacheOn, mt, [&] { CopyKernel(ctx.exec, src, dst, block, passes); });
      ctx.exec.FreeVec(dst);
      ctx.exec.FreeVec(src);
      return true;
    }
    case Kernel::Alloc: {
      bool ok = false;
      t = TimeWorkload(
          ctx, "MEMORY", logName, cacheOn, mt, [] {},
          [&] { ok = AllocKernel(ctx.exec, block, d.memType | clear, passes); },
          [&] { return ok; });  // a failed attempt is not timed again
      if (!ok) LogError(ctx, "MEMORY", logName, kNoDataBuffer);
      return ok;
    }
    case Kernel::ReadRom: {
      // Never read past the end of the host's ROM image.
      const uint8_t* rom = ctx.exec.RomBase();
      if (rom == nullptr || ctx.exec.RomSize() == 0) {
        LogError(ctx, "MEMORY", logName, kNoRom);
        return false;
      }
      if (block > ctx.exec.RomSize()) {
        LogError(ctx, "MEMORY", logName, kPastRom);
        return false;
      }
      t = TimeWorkload(ctx, "MEMORY", logName, cacheOn, mt, [&] { RunRead(d.width, rom, block, passes); });
      return true;
    }
  }
  return false;
}

// The reason settings cannot be measured, or nullptr when they can.
const char* BadSettings(uint32_t mega, uint32_t loopSize, uint32_t lowSize, uint32_t highSize) {
  constexpr uint32_t kLargest = 8 * 1048576;  // step 17
  if (lowSize < 128 || !std::has_single_bit(lowSize) || highSize < lowSize || highSize > kLargest)
    return "Bad blocksize range in the settings";
  if (loopSize == 0) return "Bad loopsize in the settings";
  if (mega == 0) return "Bad megabyte unit";
  return nullptr;
}

void ZeroFigures(Context& ctx, int p) {
  const size_t base = rec::kMemoryBlocks[p].base;
  for (int j = 0; j < MemoryFigureSlots(p) + 3; ++j) ctx.results.setFigure(base + 8 * size_t(j), 0.0);
}

}  // namespace

int MemoryFigureSlots(int p) {
  if (p < 0 || p >= kMemoryTests) return 0;
  const size_t base = rec::kMemoryBlocks[p].base;
  // The block ends where the next block in the record begins.
  size_t end = rec::kMemoryAreaEnd;
  for (const rec::MemoryBlock& other : rec::kMemoryBlocks)
    if (other.base > base && other.base < end) end = other.base;
  const int fits = int((end - base) / 8) - 3;
  return rec::kMemoryBlocks[p].slots < fits ? rec::kMemoryBlocks[p].slots : fits;
}

// A run is standard with the row's default settings.
int32_t MemoryStandardHighStep(int p) {
  return (p >= 0 && p < kMemoryTests) ? MemoryEntry(p).defaults.sweepStop : 0;
}
uint32_t MemoryStandardLoopMiB(int p) {
  return (p >= 0 && p < kMemoryTests) ? uint32_t(MemoryEntry(p).defaults.loopSize) : 0;
}

bool MemoryScored(const Context& ctx, int p, uint32_t mega, uint32_t loopSize, int32_t cacheOn,
                  int32_t multitaskingOn, int32_t lowStep, int32_t highStep) {
  if (p < 0 || p >= kMemoryTests) return false;
  return cacheOn != 0 && ((multitaskingOn & 0xFFFF) == 0 || ctx.run.multitaskingAtAll != 0) && lowStep == 1 &&
         highStep == MemoryStandardHighStep(p) && uint64_t(loopSize) == uint64_t(MemoryStandardLoopMiB(p)) * mega;
}

TestResult RunMemoryTest(Context& ctx, int p, uint32_t mega, uint32_t loopSize, uint32_t lowSize,
                         uint32_t highSize, int32_t cacheOn, int32_t multitaskingOn, int32_t lowStep,
                         int32_t highStep) {
  if (p < 0 || p >= kMemoryTests) return {};
  const MemoryTestDef& d = kTests[p];
  const CatalogueEntry& entry = MemoryEntry(p);
  const TestTexts& texts = entry.texts;
  const size_t base = rec::kMemoryBlocks[p].base;
  const int slots = MemoryFigureSlots(p);
  const int32_t mt = multitaskingOn;

  // Card head.
  const std::string loopText = Format("%-10lu", (unsigned long)loopSize);
  CardLayout card{};
  card.title = texts.card;
  card.referenceFormat = "%4lu.%0.1lu MB/sec";
  card.test = &entry;
  card.labelWidth = 16;
  card.columnFirst = "Blocksize";
  card.columnUnit = "MB/sec";
  card.closingLine = true;
  card.setsDone = true;
  // Whether the result counts is known at the end (the settings and the
  // whole sweep measured).
  TestResult r = OpenCard(ctx, card, cacheOn, mt, {{"Loopsize (bytes)", loopText.c_str(), 0}});

  const std::string now = std::string("\x1b" "b") + texts.nowRunning + "\x1b" "n" + texts.nowRunningRest;
  TestPhase sweep;
  sweep.section = Section::Memory;
  sweep.showsTest = true;
  sweep.nowRunning = now;
  sweep.routine = texts.routine;
  sweep.cacheOn = cacheOn;
  sweep.multitaskingOn = mt;
  sweep.blockSizeLow = int32_t(lowSize);
  sweep.blockSizeHigh = int32_t(highSize);
  sweep.loopSize = int32_t(loopSize);
  if (!Calibrated(d)) sweep.state = "Benchmarking...";
  BeginPhase(ctx, sweep);

  if (const char* bad = BadSettings(mega, loopSize, lowSize, highSize)) {
    LogError(ctx, "MEMORY", texts.logName, bad);
    ZeroFigures(ctx, p);
    r.scored = false;
    CloseCard(ctx, r, 0.0);
    return r;
  }

  double minimum = 1000000.0, maximum = 0.0, sum = 0.0;
  uint32_t count = 0;
  const double mb = double(loopSize / mega);
  bool stopped = false;  // a stop request ends the sweep early; the rest is not scored
  // 64 bits: doubling never wraps, whatever the high size.
  for (uint64_t block64 = lowSize; block64 <= highSize; block64 *= 2) {
    if (block64 > lowSize && (stopped = StopRequested(ctx))) break;
    const auto block = uint32_t(block64);
    // A work scale divides the passes; the figure counts the bytes passed.
    const uint32_t scale = ctx.plan.workScale;
    const uint32_t passes = scale > 1 ? ScaledWork(loopSize / block, scale) : loopSize / block;
    const double megabytes = scale > 1 ? double(passes) * double(block) / double(mega) : mb;
    TestPhase step;
    step.section = Section::Memory;
    step.block = int32_t(block);
    step.passes = int32_t(passes);
    BeginPhase(ctx, step);
    ++count;

    // A block that could not be measured, ran no pass, or whose time (less
    // the empty loop) is not positive records 0.0. A calibrated block that
    // does not settle within the repeats records 0.0 and is logged.
    double figure = 0.0;
    for (int attempt = 0;; ++attempt) {
      double t0 = 0.0, t = 0.0;
      if (Calibrated(d)) t0 = Calibrate(ctx, d.width, block, passes, cacheOn, mt);
      if (!MeasureBlock(ctx, d, texts.logName, block, passes, cacheOn, mt, t) || passes == 0) break;
      if (Calibrated(d) && !Settled(t, t0)) {
        if (attempt < kMeasureAgain) continue;
        LogError(ctx, "MEMORY", texts.logName, Format("Loop overhead swamped blocksize %lu", (unsigned long)block));
        break;
      }
      const double net = t - t0;
      figure = net > 0.0 ? megabytes / net : 0.0;
      break;
    }

    if (figure < minimum) minimum = figure;
    if (figure > maximum) maximum = figure;
    sum += figure;
    const int index = std::countr_zero(block) - 6;  // block-size index: 128 bytes is 1
    TestFigure point;
    point.sweepPoint = true;
    point.block = block;
    point.value = figure;
    if (index >= 1 && index <= slots) point.slot = base + 8 * size_t(index - 1);
    RecordFigure(ctx, r, std::move(point));
  }

  const double average = sum / count;
  const size_t tail = base + 8 * size_t(slots);
  RecordStoredFigure(ctx, r, tail, minimum);
  RecordStoredFigure(ctx, r, tail + 8, maximum);
  RecordStoredFigure(ctx, r, tail + 16, average);
  r.sweep = TestResult::Sweep{minimum, maximum, average};

  r.scored = !stopped && MemoryScored(ctx, p, mega, loopSize, cacheOn, mt, lowStep, highStep);
  CloseCard(ctx, r, average);
  return r;
}

}  // namespace kr
