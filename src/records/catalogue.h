// The test catalogue: 52 tests in three sections, in catalogue order. One row
// per test holds everything fixed about it: label, unit, reference ("100
// Percent at"), score weight, direction, the score slot it owns in the
// results record, where its raw figures lie in that record, the memory it
// needs, its key word and settings-page label, the defaults and slider
// ranges of its settings, where its drive settings are kept, and the texts
// of the memory tests' cards and status window. The settings defaults and
// keys, the settings pages, the report cards, the charts, the module export
// and the tests read these rows; no other table repeats them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "records/record_layout.h"

namespace kr {

enum class Section : uint8_t { Processor, Memory, Drive };

// The score slot of a section's total.
constexpr int TotalSlotOf(Section s) {
  return s == Section::Processor ? slot::kProcessorTotal : s == Section::Memory ? slot::kMemoryTotal : slot::kDriveTotal;
}

// The memory a test touches besides FAST memory: CHIP tests run only on a
// host with chip memory and with the "CHIP-ram tests" option on, ROM tests
// only on a host with chip memory.
enum class TestMemory : uint8_t { Fast, Chip, Rom };

// An inclusive slider range; {0, 0} for a setting the test does not have.
struct Range {
  int32_t min, max;
};

// The built-in values of a test's settings. Loop sizes are in MiB for the
// memory tests and in the drive record's units for the drive sweep tests;
// sweeps are block-size steps; 0 where the test has no such setting.
struct TestDefaults {
  int32_t enabled = 0, cache = 1, multitasking = 0;
  int32_t loopSize = 0;
  int32_t sweepStart = 0, sweepStop = 0;
};

// The texts a memory test shows: card title, "Now Running:" (a bold part and
// the rest), "Routine:" and the function name of its error-log entries.
// Processor and drive tests keep theirs with their workloads (several phases
// each); their fields here are null.
struct TestTexts {
  const char* card = nullptr;
  const char* nowRunning = nullptr;
  const char* nowRunningRest = nullptr;
  const char* routine = nullptr;
  const char* logName = nullptr;
};

// Where a test's raw figures lie in the results record: `count` figures 8
// bytes apart from `base` (the chart's points, in order); a block-size sweep
// (one figure per step from step 1) is followed by its minimum, maximum and
// average. `score` is the figure the test's card scores from: a sweep's
// average, a multi-part test's mean, else its one figure.
struct FigureLayout {
  size_t base = 0;
  int count = 0;
  bool sweep = false;
  size_t score = 0;

  constexpr size_t at(int i) const { return base + 8 * size_t(i); }
  constexpr size_t minimum() const { return at(count); }
  constexpr size_t maximum() const { return at(count + 1); }
  constexpr size_t average() const { return at(count + 2); }
};
constexpr FigureLayout SweepFigures(size_t base, int steps) {
  FigureLayout f{base, steps, true, 0};
  f.score = f.average();
  return f;
}
constexpr FigureLayout PartFigures(size_t base, int parts, size_t mean) { return {base, parts, false, mean}; }
constexpr FigureLayout OneFigure(size_t at) { return {at, 1, false, at}; }

// The drive page's `enabled` switches: the file-system group (the twelve
// file-system operation tests) and the six tests with a switch of their own.
namespace drive_switch {
enum : int { kFileSystem = 0, kReadFile, kWriteFile, kReadDevice, kWriteDevice, kSeekDevice, kSpinUp, kCount };
}

struct CatalogueEntry {
  Section section;
  int position;       // 1..10 processor, 0..23 memory, 1..18 drive
  const char* label;  // as shown to users and in reports
  const char* unit;
  double reference;   // "100 Percent at"
  double weight;      // "Score weight", percent
  bool higherBetter;
  int slot;           // score slot index
  TestMemory memory = TestMemory::Fast;
  TestDefaults defaults{};
  Range loopRange{};   // "Loopsize" slider
  Range sweepRange{};  // "Start" and "Stop" sliders
  // Drive tests: the drive `enabled` switch that runs the test (0 the
  // file-system group) and its `cpuCache` index; for the four sweep tests
  // the index of its `sweepStart`/`sweepStop` entries (its loop size is
  // `count` entry driveSweep + 1). -1 where the test has none.
  int driveSwitch = -1, driveCache = -1, driveSweep = -1;
  TestTexts texts{};
  FigureLayout figures{};
  // The key word of the settings keys ("memory.readfastbyte.loopsize",
  // "drive.cache.spinup") and the label of the test's switch on its settings
  // page.
  const char* key = "";
  const char* pageLabel = "";
};

constexpr int kProcessorTests = 10;
constexpr int kMemoryTests = 24;
constexpr int kDriveTests = 18;
constexpr int kCatalogueSize = kProcessorTests + kMemoryTests + kDriveTests;
static_assert(kCatalogueSize == 52);

// Processor catalogue positions.
namespace cpu {
constexpr int kBogomips = 1, kDhrystones = 2, kFibonacci = 3, kFpu = 4, kJpeg = 5, kMars = 6, kMd5 = 7,
              kMp3 = 8, kSerpent = 9, kZLib = 10;
}
// Memory catalogue positions.
namespace mem {
constexpr int kCacheRead = 0, kReadFastByte = 1, kReadFastWord = 2, kReadFastLong = 3;
constexpr int kWriteFastByte = 4, kWriteFastWord = 5, kWriteFastLong = 6;
constexpr int kReadChipByte = 7, kReadChipWord = 8, kReadChipLong = 9;
constexpr int kWriteChipByte = 10, kWriteChipWord = 11, kWriteChipLong = 12;
constexpr int kCopyFastFast = 13, kCopyFastChip = 14, kCopyChipFast = 15, kCopyChipChip = 16;
constexpr int kAllocFast = 17, kAllocChip = 18, kMemsetFast = 19, kMemsetChip = 20;
constexpr int kReadRomByte = 21, kReadRomWord = 22, kReadRomLong = 23;
}  // namespace mem

namespace catalogue_rows {
constexpr Section P = Section::Processor, M = Section::Memory, D = Section::Drive;
constexpr TestMemory kFast = TestMemory::Fast, kChip = TestMemory::Chip, kRom = TestMemory::Rom;

constexpr CatalogueEntry Processor(int k, const char* label, const char* key, const char* page, const char* unit,
                                   double ref, double weight, int slot, FigureLayout figures) {
  CatalogueEntry e{P, k, label, unit, ref, weight, true, slot};
  e.figures = figures;
  e.key = key;
  e.pageLabel = page;
  return e;
}

// A memory test: every one has the loop size and sweep sliders; the sweep
// starts at step 1 and its default stop is also the highest step.
// Its figures are the record's memory block of its position.
constexpr CatalogueEntry Memory(int p, const char* label, const char* key, double ref, double weight,
                                TestMemory memory, int32_t loopMiB, int32_t loopMax, int32_t stop, TestTexts texts) {
  CatalogueEntry e{M, p, label, "MB/sec", ref, weight, true, slot::kMemoryFirst + p, memory};
  e.figures = SweepFigures(rec::kMemoryBlocks[p].base, rec::kMemoryBlocks[p].slots);
  e.key = key;
  e.pageLabel = label;
  e.defaults.loopSize = loopMiB;
  e.defaults.sweepStart = 1;
  e.defaults.sweepStop = stop;
  e.loopRange = {8, loopMax};
  e.sweepRange = {1, stop};
  e.texts = texts;
  return e;
}
constexpr CatalogueEntry FastMemory(int p, const char* label, const char* key, TestTexts texts) {
  return Memory(p, label, key, 5000.0, 100.0, kFast, 64, 256, 17, texts);
}
constexpr CatalogueEntry ChipMemory(int p, const char* label, const char* key, int32_t stop, TestTexts texts) {
  return Memory(p, label, key, 5000.0, 100.0, kChip, 8, 256, stop, texts);
}
constexpr CatalogueEntry RomMemory(int p, const char* label, const char* key, TestTexts texts) {
  return Memory(p, label, key, 5000.0, 100.0, kRom, 64, 256, 13, texts);
}
// A row whose settings-page label differs from its label.
constexpr CatalogueEntry OnPage(CatalogueEntry e, const char* page) {
  e.pageLabel = page;
  return e;
}

// A drive test with its switch and cache index; `module` is its index in the
// module order of the drive slots. A file-system operation test (switch
// kFileSystem) keeps its one figure in the record's file-system block, in
// module order after the two file sweeps; the others name theirs.
constexpr CatalogueEntry Drive(int d, const char* label, const char* key, const char* unit, double ref,
                               double weight, int module, int driveSwitch, int driveCache,
                               FigureLayout figures = {}, const char* page = nullptr, bool higherBetter = true) {
  CatalogueEntry e{D, d, label, unit, ref, weight, higherBetter, slot::kDriveFirst + module};
  e.driveSwitch = driveSwitch;
  e.driveCache = driveCache;
  e.figures = driveSwitch == drive_switch::kFileSystem ? OneFigure(rec::kFileSystemOps + 8 * size_t(module - 2))
                                                       : figures;
  e.key = key;
  e.pageLabel = page ? page : label;
  return e;
}
// A file-system operation test: switched by the file-system group.
constexpr CatalogueEntry FileOp(int d, const char* label, const char* key, const char* page, double ref,
                                double weight, int module, int driveCache) {
  return Drive(d, label, key, "OP/sec", ref, weight, module, drive_switch::kFileSystem, driveCache, {}, page);
}
// A drive sweep test: loop size entry 16 (8..256), sweep from `start` to 17.
constexpr CatalogueEntry DriveSweep(int d, const char* label, const char* key, const char* page,
                                    const char* unit, int module, int driveSwitch, int driveCache, int sweep,
                                    int32_t start, size_t figures) {
  CatalogueEntry e =
      Drive(d, label, key, unit, 500.0, 110.0, module, driveSwitch, driveCache, SweepFigures(figures, 17), page);
  e.driveSweep = sweep;
  e.defaults.loopSize = 16;
  e.defaults.sweepStart = start;
  e.defaults.sweepStop = 17;
  e.loopRange = {8, 256};
  e.sweepRange = {start, 17};
  return e;
}

constexpr const char* kCopyMem = "exec.lib - CopyMem()";
constexpr const char* kAllocMem = "exec.lib - AllocMem() FreeMem()";
}  // namespace catalogue_rows

inline constexpr CatalogueEntry kCatalogue[kCatalogueSize] = {
    catalogue_rows::Processor(1, "Bogomips", "bogomips", "Bogomips", "BogoMIPS", 5000.0, 80.0,
                              slot::kBogomips, OneFigure(rec::kBogomips)),
    catalogue_rows::Processor(2, "Dhrystones", "dhrystones", "Dhrystones", "Dhrystones/sec", 10000000.0, 100.0,
                              slot::kDhrystones, OneFigure(rec::kDhrystones)),
    catalogue_rows::Processor(3, "40th Fibonacci", "40thfibonacci", "40th Fibonacci number", "FiboMHZ", 1000.0, 110.0,
                              slot::kFibonacci, OneFigure(rec::kFibonacci)),
    catalogue_rows::Processor(4, "FPU Emulation", "fpuemulation", "FPU emulation", "MFlops", 1000.0, 120.0,
                              slot::kFpu, PartFigures(rec::kFpuModule, 12, rec::kFpuMean)),
    catalogue_rows::Processor(5, "LibJPEG functions", "libjpegfunctions", "JPEG Lib functions", "MBits/sec", 1000.0,
                              100.0, slot::kJpeg, PartFigures(rec::kJpegFirst, 10, rec::kJpegMean)),
    catalogue_rows::Processor(6, "Mars Cipher", "marscipher", "Mars en-/decrytion", "MBits/sec", 1000.0, 100.0,
                              slot::kMars, PartFigures(rec::kMarsSetup, 3, rec::kMarsMean)),
    catalogue_rows::Processor(7, "MD5 Checksuming", "md5checksuming", "MD5 checksuming", "MBits/sec", 5000.0, 110.0,
                              slot::kMd5, OneFigure(rec::kMd5)),
    catalogue_rows::Processor(8, "MP3 2 CDDA", "mp32cdda", "MP3 -> CDDA", "Frames/sec", 100000.0, 80.0,
                              slot::kMp3, OneFigure(rec::kMp3)),
    catalogue_rows::Processor(9, "Serpent Cipher", "serpentcipher", "Serpant en-/decrytion", "MBits/sec", 1000.0, 100.0,
                              slot::kSerpent, PartFigures(rec::kSerpentEncrypt, 2, rec::kSerpentMean)),
    catalogue_rows::Processor(10, "ZLib functions", "zlibfunctions", "Z Lib functions", "MB/s", 100.0, 100.0,
                              slot::kZLib, PartFigures(rec::kZLibDeflate, 18, rec::kZLibMean)),

    catalogue_rows::Memory(0, "CPU Cache Read", "cpucacheread", 10000.0, 80.0, TestMemory::Fast, 256, 1024, 17,
                           {"Read CPU-Cache", "Read from CPU Cache", "", "Internal", "Read CPU-Cache"}),
    catalogue_rows::FastMemory(1, "Read FAST byte", "readfastbyte",
                               {"Read FAST byte [8]", "Read from FAST", " byte [8]", "Internal", "Read FAST byte"}),
    catalogue_rows::FastMemory(2, "Read FAST word", "readfastword",
                               {"Read FAST word [16]", "Read from FAST", " word [16]", "Internal", "Read FAST word"}),
    catalogue_rows::FastMemory(3, "Read FAST long", "readfastlong",
                               {"Read FAST long [32]", "Read from FAST", " long [32]", "Internal", "Read FAST long"}),
    catalogue_rows::FastMemory(4, "Write FAST byte", "writefastbyte",
                               {"Write FAST byte [8]", "Write to FAST", " byte [8]", "Internal", "Write FAST byte"}),
    catalogue_rows::FastMemory(5, "Write FAST word", "writefastword",
                               {"Write FAST word [16]", "Write to FAST", " word [16]", "Internal", "Write FAST word"}),
    catalogue_rows::FastMemory(6, "Write FAST long", "writefastlong",
                               {"Write FAST long [32]", "Write to FAST", " long [32]", "Internal", "Write FAST long"}),
    catalogue_rows::ChipMemory(7, "Read CHIP byte", "readchipbyte", 14,
                               {"Read CHIP byte [8]", "Read from CHIP", " byte [8]", "Internal", "Read CHIP byte"}),
    catalogue_rows::ChipMemory(8, "Read CHIP word", "readchipword", 14,
                               {"Read CHIP word [16]", "Read from CHIP", " word [16]", "Internal", "Read CHIP word"}),
    catalogue_rows::ChipMemory(9, "Read CHIP long", "readchiplong", 14,
                               {"Read CHIP long [32]", "Read from CHIP", " long [32]", "Internal", "Read CHIP long"}),
    catalogue_rows::ChipMemory(10, "Write CHIP byte", "writechipbyte", 14,
                               {"Write CHIP byte [8]", "Write to CHIP", " byte [8]", "Internal", "Write CHIP byte"}),
    catalogue_rows::ChipMemory(11, "Write CHIP word", "writechipword", 14,
                               {"Write CHIP word [16]", "Write to CHIP", " word [16]", "Internal", "Write CHIP word"}),
    catalogue_rows::ChipMemory(12, "Write CHIP long", "writechiplong", 14,
                               {"Write CHIP long [32]", "Write to CHIP", " long [32]", "Internal", "Write CHIP long"}),
    catalogue_rows::OnPage(catalogue_rows::FastMemory(13, "Copy FAST to FAST", "copyfasttofast",
                               {"Copy FAST 2 FAST", "Copy FAST 2 FAST", "", catalogue_rows::kCopyMem,
                                "Copy FAST 2 FAST"}),
                           "Copy FAST 2 FAST"),
    catalogue_rows::OnPage(catalogue_rows::ChipMemory(14, "Copy FAST to CHIP", "copyfasttochip", 14,
                               {"Copy FAST 2 CHIP", "Copy FAST 2 CHIP", "", catalogue_rows::kCopyMem,
                                "Copy FAST 2 CHIP"}),
                           "Copy FAST 2 CHIP"),
    catalogue_rows::OnPage(catalogue_rows::ChipMemory(15, "Copy CHIP to FAST", "copychiptofast", 14,
                               {"Copy CHIP 2 FAST", "Copy CHIP 2 FAST", "", catalogue_rows::kCopyMem,
                                "Copy CHIP 2 FAST"}),
                           "Copy CHIP 2 FAST"),
    catalogue_rows::OnPage(catalogue_rows::ChipMemory(16, "Copy CHIP to CHIP", "copychiptochip", 13,
                               {"Copy CHIP 2 CHIP", "Copy CHIP 2 CHIP", "", catalogue_rows::kCopyMem,
                                "Copy CHIP 2 CHIP"}),
                           "Copy CHIP 2 CHIP"),
    catalogue_rows::OnPage(catalogue_rows::FastMemory(17, "Allocate FAST Memory", "allocatefastmemory",
                               {"Allocate Memory FAST", "Allocate Memory FAST & CLEAR", "", catalogue_rows::kAllocMem,
                                "Allocate Memory FAST"}),
                           "Allocate FAST"),
    catalogue_rows::OnPage(catalogue_rows::ChipMemory(18, "Allocate CHIP Memory", "allocatechipmemory", 14,
                               {"Allocate Memory CHIP", "Allocate Memory CHIP & CLEAR", "", catalogue_rows::kAllocMem,
                                "Allocate Memory CHIP"}),
                           "Allocate CHIP"),
    catalogue_rows::OnPage(catalogue_rows::FastMemory(19, "Memset FAST", "memsetfast",
                               {"Initialize Memory FAST", "Initialize Memory FAST", "", "Internal",
                                "Initialize Memory FAST"}),
                           "Initialize FAST"),
    catalogue_rows::OnPage(catalogue_rows::ChipMemory(20, "Memset CHIP", "memsetchip", 14,
                               {"Initialize Memory CHIP", "Initialize Memory CHIP", "", "Internal",
                                "Initialize Memory CHIP"}),
                           "Initialize CHIP"),
    catalogue_rows::RomMemory(21, "Read ROM byte", "readrombyte",
                              {"Read from KickROM byte [8]", "Read from KickROM", " byte [8]", "Internal",
                               "Read ROM byte"}),
    catalogue_rows::RomMemory(22, "Read ROM word", "readromword",
                              {"Read from KickROM word [16]", "Read from KickROM", " word [16]", "Internal",
                               "Read ROM word"}),
    catalogue_rows::RomMemory(23, "Read ROM long", "readromlong",
                              {"Read from KickROM long [32]", "Read from KickROM", " long [32]", "Internal",
                               "Read ROM long"}),

    // Drive slots follow the module order: Read from File, Write to File,
    // Create Files, Set Filesize, Close from Write, Open Files, Close from Read,
    // Set Protection, Delete Files, Seek in File, Rename Files, Set Comment,
    // Set Date, Directory Scan, Read from Device, Write to Device, Seek on
    // Device, SpinUP Device. The cache index follows the drive run order.
    catalogue_rows::DriveSweep(1, "Read from File", "readfile", "Read", "MB/sec", 0, drive_switch::kReadFile, 0, 0, 1,
                               rec::kReadFile),
    catalogue_rows::DriveSweep(2, "Write to File", "writefile", "Write", "MB/sec", 1, drive_switch::kWriteFile, 1, 1, 1,
                               rec::kWriteFile),
    catalogue_rows::FileOp(3, "Create Files", "createfiles", "Create", 10000.0, 120.0, 2, 4),
    catalogue_rows::FileOp(4, "Open Files", "openfiles", "Open", 10000.0, 120.0, 5, 3),
    catalogue_rows::FileOp(5, "Close from Read", "closeread", "Close R", 50000.0, 80.0, 6, 7),
    catalogue_rows::FileOp(6, "Close from Write", "closewrite", "Close W", 50000.0, 80.0, 4, 8),
    catalogue_rows::FileOp(7, "Set Protection", "setprotection", "Protect", 50000.0, 90.0, 7, 10),
    catalogue_rows::FileOp(8, "Set Comment", "setcomment", "Comment", 50000.0, 90.0, 11, 9),
    catalogue_rows::FileOp(9, "Set Filesize", "setfilesize", "Set File Size", 50000.0, 90.0, 3, 12),
    catalogue_rows::FileOp(10, "Set Date", "setdate", "Date", 50000.0, 90.0, 12, 13),
    catalogue_rows::FileOp(11, "Delete Files", "deletefiles", "Delete", 50000.0, 120.0, 8, 5),
    catalogue_rows::FileOp(12, "Rename Files", "renamefiles", "Rename", 50000.0, 120.0, 10, 6),
    catalogue_rows::FileOp(13, "Seek in File", "seekfile", "Seek", 200000.0, 100.0, 9, 2),
    catalogue_rows::FileOp(14, "Directory Scan", "dirscan", "Dir Scan", 50000.0, 90.0, 13, 11),
    catalogue_rows::DriveSweep(15, "Read from Device", "readdevice", "Read", "MB/s", 14, drive_switch::kReadDevice,
                               14, 2, 3, rec::kReadDevice),
    catalogue_rows::DriveSweep(16, "Write to Device", "writedevice", "Write", "MB/s", 15, drive_switch::kWriteDevice,
                               15, 3, 3, rec::kWriteDevice),
    // Seek on Device: the seven patterns, scored from the total average.
    catalogue_rows::Drive(17, "Seek on Device", "seekdevice", "msecs", 0.0, 150.0, 16, drive_switch::kSeekDevice, 16,
                          PartFigures(rec::kSeekDevice, 7, rec::kSeekDeviceAverages + 16), "Seek",
                          false),
    catalogue_rows::Drive(18, "SpinUP Device", "spinup", "secs", 0.0, 50.0, 17, drive_switch::kSpinUp, 17,
                          OneFigure(rec::kSpinUpDevice), "SpinUP", false),
};

// Processor test k (1..10), memory test p (0..23), drive test d (1..18).
constexpr const CatalogueEntry& ProcessorEntry(int k) { return kCatalogue[k - 1]; }
constexpr const CatalogueEntry& MemoryEntry(int p) { return kCatalogue[kProcessorTests + p]; }
constexpr const CatalogueEntry& DriveEntry(int d) { return kCatalogue[kProcessorTests + kMemoryTests + d - 1]; }

namespace mem {
constexpr bool IsChipTest(int p) { return p >= 0 && p < kMemoryTests && MemoryEntry(p).memory == TestMemory::Chip; }
constexpr bool IsRomTest(int p) { return p >= 0 && p < kMemoryTests && MemoryEntry(p).memory == TestMemory::Rom; }
}  // namespace mem

// Every row's key word is its label reduced to lower-case letters and
// digits, but the drive tests': theirs are the drive page's short words.
constexpr bool KeyIsReducedLabel(const char* key, const char* label) {
  for (; *label; ++label) {
    char c = *label;
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    else if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) continue;
    if (*key++ != c) return false;
  }
  return *key == 0;
}
constexpr bool KeysAreReducedLabels() {
  for (const CatalogueEntry& e : kCatalogue)
    if (e.section != Section::Drive && !KeyIsReducedLabel(e.key, e.label)) return false;
  return true;
}
static_assert(KeysAreReducedLabels());

// Every row's figures, and the minimum, maximum and average after a sweep,
// lie in the raw-figure part of the results area, clear of the score slots.
constexpr bool InRawFigures(size_t from, size_t to) {
  return (to <= rec::kScoreSlots || from >= rec::kScoreSlotsEnd) && to <= rec::kResultsAreaSize;
}
constexpr bool FiguresInResultsArea() {
  for (const CatalogueEntry& e : kCatalogue) {
    const FigureLayout& f = e.figures;
    if (f.count < 1 || !InRawFigures(f.base, f.at(f.count + (f.sweep ? 3 : 0)))) return false;
    if (!InRawFigures(f.score, f.score + 8)) return false;
  }
  return true;
}
static_assert(FiguresInResultsArea());

// A label reduced to the key word form: lower-case letters and digits only
// ("Read FAST byte" -> "readfastbyte"). Names typed on the terminal are
// reduced the same way before they are matched.
std::string TestKeyName(std::string_view label);

// The drive test with a switch of its own (not kFileSystem), with cache
// index i (0..17), or with sweep index i (0..3); null for none.
const CatalogueEntry* DriveEntryOfSwitch(int driveSwitch);
const CatalogueEntry* DriveEntryOfCache(int i);
const CatalogueEntry* DriveEntryOfSweep(int i);

static_assert(rec::kDriveSweep == 8 * (17 + 3), "a drive sweep: 17 steps, minimum, maximum, average");

// Block-size step n (1..17) is 128 * 2^(n-1) bytes; any other step is 0.
uint32_t BlockSizeOfStep(int32_t step);

}  // namespace kr
