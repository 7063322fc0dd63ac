// The test catalogue: 52 tests in three sections, in catalogue order. One row
// per test holds everything fixed about it: label, unit, reference ("100
// Percent at"), score weight, direction, the score slot it owns in the
// results record, the memory it needs, the defaults and slider ranges of its
// settings, where its drive settings are kept, and the texts of the memory
// tests' cards and status window. The settings defaults, the settings pages,
// the report cards and the tests read these rows.
#pragma once

#include <cstdint>

namespace kr {

enum class Section : uint8_t { Processor, Memory, Drive };

// Score slot indexes in the results record (contiguous 16-byte slots).
namespace slot {
// Processor slots in module order (not catalogue order).
constexpr int kZLib = 0, kJpeg = 1, kFibonacci = 2, kBogomips = 3, kMd5 = 4, kFpu = 5, kMp3 = 6,
              kDhrystones = 7, kMars = 8, kSerpent = 9;
constexpr int kProcessorTotal = 10;
constexpr int kMemoryFirst = 11;  // + catalogue position 0..23
constexpr int kMemoryTotal = 35;
constexpr int kFileSystemGroup = 36;
constexpr int kDriveFirst = 37;  // + module-order index 0..17
constexpr int kDriveTotal = 55;
constexpr int kSystemTotal = 56;
constexpr int kCount = 57;
}  // namespace slot

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

constexpr CatalogueEntry Processor(int k, const char* label, const char* unit, double ref, double weight, int slot) {
  return {P, k, label, unit, ref, weight, true, slot};
}

// A memory test: every one has the loop size and sweep sliders; the sweep
// starts at step 1 and its default stop is also the highest step.
constexpr CatalogueEntry Memory(int p, const char* label, double ref, double weight, TestMemory memory,
                                int32_t loopMiB, int32_t loopMax, int32_t stop, TestTexts texts) {
  CatalogueEntry e{M, p, label, "MB/sec", ref, weight, true, slot::kMemoryFirst + p, memory};
  e.defaults.loopSize = loopMiB;
  e.defaults.sweepStart = 1;
  e.defaults.sweepStop = stop;
  e.loopRange = {8, loopMax};
  e.sweepRange = {1, stop};
  e.texts = texts;
  return e;
}
constexpr CatalogueEntry FastMemory(int p, const char* label, TestTexts texts) {
  return Memory(p, label, 5000.0, 100.0, kFast, 64, 256, 17, texts);
}
constexpr CatalogueEntry ChipMemory(int p, const char* label, int32_t stop, TestTexts texts) {
  return Memory(p, label, 5000.0, 100.0, kChip, 8, 256, stop, texts);
}
constexpr CatalogueEntry RomMemory(int p, const char* label, TestTexts texts) {
  return Memory(p, label, 5000.0, 100.0, kRom, 64, 256, 13, texts);
}

// A drive test with its switch and cache index; `module` is its index in the
// module order of the drive slots.
constexpr CatalogueEntry Drive(int d, const char* label, const char* unit, double ref, double weight, int module,
                               int driveSwitch, int driveCache, bool higherBetter = true) {
  CatalogueEntry e{D, d, label, unit, ref, weight, higherBetter, slot::kDriveFirst + module};
  e.driveSwitch = driveSwitch;
  e.driveCache = driveCache;
  return e;
}
// A drive sweep test: loop size entry 16 (8..256), sweep from `start` to 17.
constexpr CatalogueEntry DriveSweep(int d, const char* label, const char* unit, int module, int driveSwitch,
                                    int driveCache, int sweep, int32_t start) {
  CatalogueEntry e = Drive(d, label, unit, 500.0, 110.0, module, driveSwitch, driveCache);
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
    catalogue_rows::Processor(1, "Bogomips", "BogoMIPS", 5000.0, 80.0, slot::kBogomips),
    catalogue_rows::Processor(2, "Dhrystones", "Dhrystones/sec", 10000000.0, 100.0, slot::kDhrystones),
    catalogue_rows::Processor(3, "40th Fibonacci", "FiboMHZ", 1000.0, 110.0, slot::kFibonacci),
    catalogue_rows::Processor(4, "FPU Emulation", "MFlops", 1000.0, 120.0, slot::kFpu),
    catalogue_rows::Processor(5, "LibJPEG functions", "MBits/sec", 1000.0, 100.0, slot::kJpeg),
    catalogue_rows::Processor(6, "Mars Cipher", "MBits/sec", 1000.0, 100.0, slot::kMars),
    catalogue_rows::Processor(7, "MD5 Checksuming", "MBits/sec", 5000.0, 110.0, slot::kMd5),
    catalogue_rows::Processor(8, "MP3 2 CDDA", "Frames/sec", 100000.0, 80.0, slot::kMp3),
    catalogue_rows::Processor(9, "Serpent Cipher", "MBits/sec", 1000.0, 100.0, slot::kSerpent),
    catalogue_rows::Processor(10, "ZLib functions", "MB/s", 100.0, 100.0, slot::kZLib),

    catalogue_rows::Memory(0, "CPU Cache Read", 10000.0, 80.0, TestMemory::Fast, 256, 1024, 17,
                           {"Read CPU-Cache", "Read from CPU Cache", "", "Internal", "Read CPU-Cache"}),
    catalogue_rows::FastMemory(1, "Read FAST byte",
                               {"Read FAST byte [8]", "Read from FAST", " byte [8]", "Internal", "Read FAST byte"}),
    catalogue_rows::FastMemory(2, "Read FAST word",
                               {"Read FAST word [16]", "Read from FAST", " word [16]", "Internal", "Read FAST word"}),
    catalogue_rows::FastMemory(3, "Read FAST long",
                               {"Read FAST long [32]", "Read from FAST", " long [32]", "Internal", "Read FAST long"}),
    catalogue_rows::FastMemory(4, "Write FAST byte",
                               {"Write FAST byte [8]", "Write to FAST", " byte [8]", "Internal", "Write FAST byte"}),
    catalogue_rows::FastMemory(5, "Write FAST word",
                               {"Write FAST word [16]", "Write to FAST", " word [16]", "Internal", "Write FAST word"}),
    catalogue_rows::FastMemory(6, "Write FAST long",
                               {"Write FAST long [32]", "Write to FAST", " long [32]", "Internal", "Write FAST long"}),
    catalogue_rows::ChipMemory(7, "Read CHIP byte", 14,
                               {"Read CHIP byte [8]", "Read from CHIP", " byte [8]", "Internal", "Read CHIP byte"}),
    catalogue_rows::ChipMemory(8, "Read CHIP word", 14,
                               {"Read CHIP word [16]", "Read from CHIP", " word [16]", "Internal", "Read CHIP word"}),
    catalogue_rows::ChipMemory(9, "Read CHIP long", 14,
                               {"Read CHIP long [32]", "Read from CHIP", " long [32]", "Internal", "Read CHIP long"}),
    catalogue_rows::ChipMemory(10, "Write CHIP byte", 14,
                               {"Write CHIP byte [8]", "Write to CHIP", " byte [8]", "Internal", "Write CHIP byte"}),
    catalogue_rows::ChipMemory(11, "Write CHIP word", 14,
                               {"Write CHIP word [16]", "Write to CHIP", " word [16]", "Internal", "Write CHIP word"}),
    catalogue_rows::ChipMemory(12, "Write CHIP long", 14,
                               {"Write CHIP long [32]", "Write to CHIP", " long [32]", "Internal", "Write CHIP long"}),
    catalogue_rows::FastMemory(13, "Copy FAST to FAST",
                               {"Copy FAST 2 FAST", "Copy FAST 2 FAST", "", catalogue_rows::kCopyMem, "Copy FAST 2 FAST"}),
    catalogue_rows::ChipMemory(14, "Copy FAST to CHIP", 14,
                               {"Copy FAST 2 CHIP", "Copy FAST 2 CHIP", "", catalogue_rows::kCopyMem, "Copy FAST 2 CHIP"}),
    catalogue_rows::ChipMemory(15, "Copy CHIP to FAST", 14,
                               {"Copy CHIP 2 FAST", "Copy CHIP 2 FAST", "", catalogue_rows::kCopyMem, "Copy CHIP 2 FAST"}),
    catalogue_rows::ChipMemory(16, "Copy CHIP to CHIP", 13,
                               {"Copy CHIP 2 CHIP", "Copy CHIP 2 CHIP", "", catalogue_rows::kCopyMem, "Copy CHIP 2 CHIP"}),
    catalogue_rows::FastMemory(17, "Allocate FAST Memory",
                               {"Allocate Memory FAST", "Allocate Memory FAST & CLEAR", "", catalogue_rows::kAllocMem,
                                "Allocate Memory FAST"}),
    catalogue_rows::ChipMemory(18, "Allocate CHIP Memory", 14,
                               {"Allocate Memory CHIP", "Allocate Memory CHIP & CLEAR", "", catalogue_rows::kAllocMem,
                                "Allocate Memory CHIP"}),
    catalogue_rows::FastMemory(19, "Memset FAST",
                               {"Initialize Memory FAST", "Initialize Memory FAST", "", "Internal",
                                "Initialize Memory FAST"}),
    catalogue_rows::ChipMemory(20, "Memset CHIP", 14,
                               {"Initialize Memory CHIP", "Initialize Memory CHIP", "", "Internal",
                                "Initialize Memory CHIP"}),
    catalogue_rows::RomMemory(21, "Read ROM byte", {"Read from KickROM byte [8]", "Read from KickROM", " byte [8]",
                                                    "Internal", "Read ROM byte"}),
    catalogue_rows::RomMemory(22, "Read ROM word", {"Read from KickROM word [16]", "Read from KickROM", " word [16]",
                                                    "Internal", "Read ROM word"}),
    catalogue_rows::RomMemory(23, "Read ROM long", {"Read from KickROM long [32]", "Read from KickROM", " long [32]",
                                                    "Internal", "Read ROM long"}),

    // Drive slots follow the module order: Read from File, Write to File,
    // Create Files, Set Filesize, Close from Write, Open Files, Close from Read,
    // Set Protection, Delete Files, Seek in File, Rename Files, Set Comment,
    // Set Date, Directory Scan, Read from Device, Write to Device, Seek on
    // Device, SpinUP Device. The cache index follows the drive run order.
    catalogue_rows::DriveSweep(1, "Read from File", "MB/sec", 0, 1, 0, 0, 1),
    catalogue_rows::DriveSweep(2, "Write to File", "MB/sec", 1, 2, 1, 1, 1),
    catalogue_rows::Drive(3, "Create Files", "OP/sec", 10000.0, 120.0, 2, 0, 4),
    catalogue_rows::Drive(4, "Open Files", "OP/sec", 10000.0, 120.0, 5, 0, 3),
    catalogue_rows::Drive(5, "Close from Read", "OP/sec", 50000.0, 80.0, 6, 0, 7),
    catalogue_rows::Drive(6, "Close from Write", "OP/sec", 50000.0, 80.0, 4, 0, 8),
    catalogue_rows::Drive(7, "Set Protection", "OP/sec", 50000.0, 90.0, 7, 0, 10),
    catalogue_rows::Drive(8, "Set Comment", "OP/sec", 50000.0, 90.0, 11, 0, 9),
    catalogue_rows::Drive(9, "Set Filesize", "OP/sec", 50000.0, 90.0, 3, 0, 12),
    catalogue_rows::Drive(10, "Set Date", "OP/sec", 50000.0, 90.0, 12, 0, 13),
    catalogue_rows::Drive(11, "Delete Files", "OP/sec", 50000.0, 120.0, 8, 0, 5),
    catalogue_rows::Drive(12, "Rename Files", "OP/sec", 50000.0, 120.0, 10, 0, 6),
    catalogue_rows::Drive(13, "Seek in File", "OP/sec", 200000.0, 100.0, 9, 0, 2),
    catalogue_rows::Drive(14, "Directory Scan", "OP/sec", 50000.0, 90.0, 13, 0, 11),
    catalogue_rows::DriveSweep(15, "Read from Device", "MB/s", 14, 3, 14, 2, 3),
    catalogue_rows::DriveSweep(16, "Write to Device", "MB/s", 15, 4, 15, 3, 3),
    catalogue_rows::Drive(17, "Seek on Device", "msecs", 0.0, 150.0, 16, 5, 16, false),
    catalogue_rows::Drive(18, "SpinUP Device", "secs", 0.0, 50.0, 17, 6, 17, false),
};

// Processor test k (1..10), memory test p (0..23), drive test d (1..18).
constexpr const CatalogueEntry& ProcessorEntry(int k) { return kCatalogue[k - 1]; }
constexpr const CatalogueEntry& MemoryEntry(int p) { return kCatalogue[kProcessorTests + p]; }
constexpr const CatalogueEntry& DriveEntry(int d) { return kCatalogue[kProcessorTests + kMemoryTests + d - 1]; }

namespace mem {
constexpr bool IsChipTest(int p) { return p >= 0 && p < kMemoryTests && MemoryEntry(p).memory == TestMemory::Chip; }
constexpr bool IsRomTest(int p) { return p >= 0 && p < kMemoryTests && MemoryEntry(p).memory == TestMemory::Rom; }
}  // namespace mem

// Block-size step n (1..17) is 128 * 2^(n-1) bytes; any other step is 0.
uint32_t BlockSizeOfStep(int32_t step);

}  // namespace kr
