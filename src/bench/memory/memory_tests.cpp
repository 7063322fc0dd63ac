#include "bench/memory/memory_tests.h"

#include <bit>
#include <string>

#include "bench/cpu/card.h"
#include "bench/memory/memory_kernels.h"
#include "engine/catalogue.h"
#include "engine/errorlog.h"
#include "engine/results.h"
#include "engine/sections.h"
#include "engine/status_ops.h"
#include "engine/timing.h"
#include "report/report.h"
#include "util/numtext.h"

namespace kr {
namespace {

enum class Kernel : uint8_t { EmptyStep, Read, Write, Copy, Alloc, Fill, ReadRom };

// One memory test. `width` is the access width of the read and write
// kernels (1, 2, 4), which also picks the calibration; 0 for the others.
struct MemoryTestDef {
  const char* title;     // card title
  const char* nowBold;   // "Now Running:" text, bold part
  const char* nowRest;   // "Now Running:" text after the bold part
  const char* routine;   // "Routine:" text
  const char* logName;   // error-log function name
  Kernel kernel;
  uint32_t width;
  uint32_t memType;      // the buffer (the source of a copy): MEMF_FAST or MEMF_CHIP
  uint32_t destType;     // the destination of a copy
  bool clear;            // buffers allocated with MEMF_CLEAR
  int32_t standardHigh;  // standard high step
  uint32_t standardMiB;  // standard loop size in MiB
};

constexpr const char* kInternal = "Internal";
constexpr const char* kCopyRoutine = "exec.lib - CopyMem()";
constexpr const char* kAllocRoutine = "exec.lib - AllocMem() FreeMem()";
constexpr uint32_t F = MEMF_FAST, C = MEMF_CHIP;

constexpr MemoryTestDef kTests[kMemoryTests] = {
    {"Read CPU-Cache", "Read from CPU Cache", "", kInternal, "Read CPU-Cache", Kernel::EmptyStep, 0, F, 0, true, 17, 256},
    {"Read FAST byte [8]", "Read from FAST", " byte [8]", kInternal, "Read FAST byte", Kernel::Read, 1, F, 0, true, 17, 64},
    {"Read FAST word [16]", "Read from FAST", " word [16]", kInternal, "Read FAST word", Kernel::Read, 2, F, 0, true, 17, 64},
    {"Read FAST long [32]", "Read from FAST", " long [32]", kInternal, "Read FAST long", Kernel::Read, 4, F, 0, true, 17, 64},
    {"Write FAST byte [8]", "Write to FAST", " byte [8]", kInternal, "Write FAST byte", Kernel::Write, 1, F, 0, true, 17, 64},
    {"Write FAST word [16]", "Write to FAST", " word [16]", kInternal, "Write FAST word", Kernel::Write, 2, F, 0, true, 17, 64},
    {"Write FAST long [32]", "Write to FAST", " long [32]", kInternal, "Write FAST long", Kernel::Write, 4, F, 0, true, 17, 64},
    {"Read CHIP byte [8]", "Read from CHIP", " byte [8]", kInternal, "Read CHIP byte", Kernel::Read, 1, C, 0, true, 14, 8},
    {"Read CHIP word [16]", "Read from CHIP", " word [16]", kInternal, "Read CHIP word", Kernel::Read, 2, C, 0, true, 14, 8},
    {"Read CHIP long [32]", "Read from CHIP", " long [32]", kInternal, "Read CHIP long", Kernel::Read, 4, C, 0, true, 14, 8},
    {"Write CHIP byte [8]", "Write to CHIP", " byte [8]", kInternal, "Write CHIP byte", Kernel::Write, 1, C, 0, true, 14, 8},
    {"Write CHIP word [16]", "Write to CHIP", " word [16]", kInternal, "Write CHIP word", Kernel::Write, 2, C, 0, true, 14, 8},
    {"Write CHIP long [32]", "Write to CHIP", " long [32]", kInternal, "Write CHIP long", Kernel::Write, 4, C, 0, true, 14, 8},
    {"Copy FAST 2 FAST", "Copy FAST 2 FAST", "", kCopyRoutine, "Copy FAST 2 FAST", Kernel::Copy, 0, F, F, true, 17, 64},
    {"Copy FAST 2 CHIP", "Copy FAST 2 CHIP", "", kCopyRoutine, "Copy FAST 2 CHIP", Kernel::Copy, 0, F, C, true, 14, 8},
    {"Copy CHIP 2 FAST", "Copy CHIP 2 FAST", "", kCopyRoutine, "Copy CHIP 2 FAST", Kernel::Copy, 0, C, F, true, 14, 8},
    {"Copy CHIP 2 CHIP", "Copy CHIP 2 CHIP", "", kCopyRoutine, "Copy CHIP 2 CHIP", Kernel::Copy, 0, C, C, true, 13, 8},
    {"Allocate Memory FAST", "Allocate Memory FAST & CLEAR", "", kAllocRoutine, "Allocate Memory FAST", Kernel::Alloc, 0, F, 0, true, 17, 64},
    {"Allocate Memory CHIP", "Allocate Memory CHIP & CLEAR", "", kAllocRoutine, "Allocate Memory CHIP", Kernel::Alloc, 0, C, 0, true, 14, 8},
    {"Initialize Memory FAST", "Initialize Memory FAST", "", kInternal, "Initialize Memory FAST", Kernel::Fill, 0, F, 0, false, 17, 64},
    {"Initialize Memory CHIP", "Initialize Memory CHIP", "", kInternal, "Initialize Memory CHIP", Kernel::Fill, 0, C, 0, false, 14, 8},
    {"Read from KickROM byte [8]", "Read from KickROM", " byte [8]", kInternal, "Read ROM byte", Kernel::ReadRom, 1, 0, 0, false, 13, 64},
    {"Read from KickROM word [16]", "Read from KickROM", " word [16]", kInternal, "Read ROM word", Kernel::ReadRom, 2, 0, 0, false, 13, 64},
    {"Read from KickROM long [32]", "Read from KickROM", " long [32]", kInternal, "Read ROM long", Kernel::ReadRom, 4, 0, 0, false, 13, 64},
};

constexpr const char* kNoDataBuffer = "Could not get data buffer";
constexpr const char* kNoSourceBuffer = "Could not get source buffer";
constexpr const char* kNoDestinationBuffer = "Could not get destination buffer";
constexpr const char* kNoRom = "No system ROM to read";
constexpr const char* kPastRom = "Blocksize exceeds the system ROM";

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
bool MeasureBlock(Context& ctx, const MemoryTestDef& d, uint32_t block, uint32_t passes, int32_t cacheOn, int32_t mt,
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
        if (d.kernel != Kernel::Fill) LogError(ctx, "MEMORY", d.logName, kNoDataBuffer);
        return false;
      }
      StartTiming(ctx, cacheOn, mt);
      if (d.kernel == Kernel::EmptyStep) {
        uint64_t steps = EmptyLoopNest(passes, block, 8);
        t = StopTiming(ctx, cacheOn, mt);
        asm volatile("" : : "r"(steps));
      } else {
        if (d.kernel == Kernel::Read) RunRead(d.width, buf, block, passes);
        else if (d.kernel == Kernel::Write) RunWrite(d.width, buf, block, passes);
        else FillKernel(buf, block, passes);
        t = StopTiming(ctx, cacheOn, mt);
      }
      ctx.exec.FreeVec(buf);
      return true;
    }
    case Kernel::Copy: {
      auto* src = static_cast<uint8_t*>(ctx.exec.AllocVec(block, d.memType | clear));
      if (src == nullptr) {
        LogError(ctx, "MEMORY", d.logName, kNoSourceBuffer);
        return false;
      }
      auto* dst = static_cast<uint8_t*>(ctx.exec.AllocVec(block, d.destType | clear));
      if (dst == nullptr) {
        ctx.exec.FreeVec(src);
        LogError(ctx, "MEMORY", d.logName, kNoDestinationBuffer);
        return false;
      }
      StartTiming(ctx, cacheOn, mt);
      CopyKernel(ctx.exec, src, dst, block, passes);
      t = StopTiming(ctx, cacheOn, mt);
      ctx.exec.FreeVec(dst);
      ctx.exec.FreeVec(src);
      return true;
    }
    case Kernel::Alloc: {
      StartTiming(ctx, cacheOn, mt);
      bool ok = AllocKernel(ctx.exec, block, d.memType | clear, passes);
      t = StopTiming(ctx, cacheOn, mt);
      if (!ok) LogError(ctx, "MEMORY", d.logName, kNoDataBuffer);
      return ok;
    }
    case Kernel::ReadRom: {
      // Never read past the end of the host's ROM image.
      const uint8_t* rom = ctx.exec.RomBase();
      if (rom == nullptr || ctx.exec.RomSize() == 0) {
        LogError(ctx, "MEMORY", d.logName, kNoRom);
        return false;
      }
      if (block > ctx.exec.RomSize()) {
        LogError(ctx, "MEMORY", d.logName, kPastRom);
        return false;
      }
      StartTiming(ctx, cacheOn, mt);
      RunRead(d.width, rom, block, passes);
      t = StopTiming(ctx, cacheOn, mt);
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

bool MemoryTestsBuilt() { return true; }

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

int32_t MemoryStandardHighStep(int p) { return (p >= 0 && p < kMemoryTests) ? kTests[p].standardHigh : 0; }
uint32_t MemoryStandardLoopMiB(int p) { return (p >= 0 && p < kMemoryTests) ? kTests[p].standardMiB : 0; }

bool MemoryScored(const Context& ctx, int p, uint32_t mega, uint32_t loopSize, int32_t cacheOn,
                  int32_t multitaskingOn, int32_t lowStep, int32_t highStep) {
  if (p < 0 || p >= kMemoryTests) return false;
  const MemoryTestDef& d = kTests[p];
  return cacheOn != 0 && ((multitaskingOn & 0xFFFF) == 0 || ctx.run.multitaskingAtAll != 0) && lowStep == 1 &&
         highStep == d.standardHigh && uint64_t(loopSize) == uint64_t(d.standardMiB) * mega;
}

int RunMemoryTest(Context& ctx, int p, uint32_t mega, uint32_t loopSize, uint32_t lowSize, uint32_t highSize,
                  int32_t cacheOn, int32_t multitaskingOn, int32_t lowStep, int32_t highStep) {
  if (p < 0 || p >= kMemoryTests) return 0;
  const MemoryTestDef& d = kTests[p];
  const CatalogueEntry& entry = MemoryEntry(p);
  const size_t base = rec::kMemoryBlocks[p].base;
  const int slots = MemoryFigureSlots(p);
  const int32_t mt = multitaskingOn;

  // Card head.
  const std::string loopText = Format("%-10lu", (unsigned long)loopSize);
  const CardParam params[] = {{"Loopsize (bytes)", loopText.c_str(), 0}};
  CardSpec card{};
  card.title = d.title;
  card.referenceFormat = "%4lu.%0.1lu MB/sec";
  card.reference = entry.reference;
  card.weight = entry.weight;
  card.slot = entry.slot;
  card.labelWidth = 16;
  card.params = params;
  card.paramCount = 1;
  card.columnFirst = "Blocksize";
  card.columnUnit = "MB/sec";
  card.closingLine = true;
  card.setsDone = false;
  WriteCardHead(ctx, card, cacheOn, mt);

  const std::string now = std::string("\x1b" "b") + d.nowBold + "\x1b" "n" + d.nowRest;
  ShowMemoryTest(ctx, now, d.routine, cacheOn, mt, int32_t(lowSize), int32_t(highSize), int32_t(loopSize));
  if (!Calibrated(d)) SetState(ctx, Section::Memory, "Benchmarking...");

  if (const char* bad = BadSettings(mega, loopSize, lowSize, highSize)) {
    LogError(ctx, "MEMORY", d.logName, bad);
    ZeroFigures(ctx, p);
    FinishCard(ctx, card, 0.0, false);
    SetState(ctx, Section::Memory, "Done");
    return 0;
  }

  double minimum = 1000000.0, maximum = 0.0, sum = 0.0;
  uint32_t count = 0;
  const double mb = double(loopSize / mega);
  bool stopped = false;  // a stop request ends the sweep early; the rest is not scored
  // 64 bits: doubling never wraps, whatever the high size.
  for (uint64_t block64 = lowSize; block64 <= highSize; block64 *= 2) {
    if (block64 > lowSize && (stopped = StopRequested(ctx))) break;
    const auto block = uint32_t(block64);
    const uint32_t passes = loopSize / block;
    ctx.status.SetNumber(Section::Memory, StatusField::Blocksize, int32_t(block));
    ctx.status.SetNumber(Section::Memory, StatusField::Passes, int32_t(passes));
    ++count;

    double t0 = 0.0;
    if (Calibrated(d)) t0 = Calibrate(ctx, d.width, block, passes, cacheOn, mt);

    // A block that could not be measured, ran no pass, or whose time (less
    // the empty loop) is not positive records 0.0.
    double t = 0.0;
    double figure = 0.0;
    if (MeasureBlock(ctx, d, block, passes, cacheOn, mt, t) && passes > 0) {
      const double net = t - t0;
      figure = net > 0.0 ? mb / net : 0.0;
    }

    if (figure < minimum) minimum = figure;
    if (figure > maximum) maximum = figure;
    sum += figure;
    const int index = std::countr_zero(block) - 6;  // block-size index: 128 bytes is 1
    if (index >= 1 && index <= slots) ctx.results.setFigure(base + 8 * size_t(index - 1), figure);
    ShowMemoryLast(ctx, figure);
    ShowMemoryMin(ctx, minimum);
    ShowMemoryMax(ctx, maximum);
    ShowMemoryAverage(ctx, sum / count);
    ReportFormat(ctx, "|  %8lu", (unsigned long)block);
    ReportFixed2(ctx, "                                                 %8lu.%0.2lu    |\n", figure);
  }

  const double average = sum / count;
  const size_t tail = base + 8 * size_t(slots);
  ctx.results.setFigure(tail, minimum);
  ctx.results.setFigure(tail + 8, maximum);
  ctx.results.setFigure(tail + 16, average);
  WriteEmptyLine(ctx);
  ReportFixed2(ctx, "|   Minimum : %8lu.%0.2lu MB/s                                             |\n", minimum);
  ReportFixed2(ctx, "|   Maximum : %8lu.%0.2lu MB/s                                             |\n", maximum);
  ReportFixed2(ctx, "|   Average : %8lu.%0.2lu MB/s                                             |\n", average);

  const bool scored = !stopped && MemoryScored(ctx, p, mega, loopSize, cacheOn, mt, lowStep, highStep);
  FinishCard(ctx, card, average, scored);
  SetState(ctx, Section::Memory, "Done");
  return 0;
}

}  // namespace kr
