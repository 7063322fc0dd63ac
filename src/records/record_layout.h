// Where the results record keeps what: the score slot indexes and the byte
// offsets of the raw figures (the results record itself is in
// records/results.h, the tests' rows in records/catalogue.h).
#pragma once

#include <cstddef>

namespace kr {

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

namespace rec {
constexpr size_t kSize = 9504;
constexpr size_t kResultsAreaSize = 7232;

// Processor raw figures.
constexpr size_t kZLibDeflate = 0x000;  // + 0x10 * (k - 1), k = 1..9
constexpr size_t kZLibInflate = 0x008;  // + 0x10 * (k - 1)
constexpr size_t kZLibMean = 0x090;
constexpr size_t kJpegFirst = 0x098;    // write/read pairs for RGB, YUV, CMYK, YCCK, GRAY
constexpr size_t kJpegMean = 0x0E8;
constexpr size_t kFibonacci = 0x0F0;
constexpr size_t kBogomips = 0x0F8;
constexpr size_t kMd5 = 0x100;
constexpr size_t kFpuModule = 0x108;    // + 8 * (k - 1), k = 1..8
constexpr size_t kFpuMflops = 0x148;    // + 8 * (k - 1), k = 1..4
constexpr size_t kFpuMean = 0x168;
constexpr size_t kMp3 = 0x170;
constexpr size_t kDhrystones = 0x180;
constexpr size_t kMarsSetup = 0x188, kMarsEncrypt = 0x190, kMarsDecrypt = 0x198, kMarsMean = 0x1A0;
constexpr size_t kSerpentEncrypt = 0x1A8, kSerpentDecrypt = 0x1B0, kSerpentMean = 0x1B8;

// Memory raw figure blocks: base offset and slot count n per catalogue
// position; figure j at base + 8(j-1), then minimum, maximum, average.
struct MemoryBlock {
  size_t base;
  int slots;
};
constexpr MemoryBlock kMemoryBlocks[24] = {
    {0x300, 17}, {0x3A0, 17}, {0x440, 17}, {0x4E0, 17}, {0x718, 17}, {0x7B8, 17},
    {0x858, 17}, {0x580, 14}, {0x608, 14}, {0x690, 14}, {0x8F8, 14}, {0x980, 14},
    {0xA08, 14}, {0xA90, 17}, {0xB30, 14}, {0xBB8, 14}, {0xC40, 13}, {0xCC0, 17},
    {0xD60, 14}, {0xDE8, 17}, {0xE88, 14}, {0xF10, 13}, {0xF90, 13}, {0x1010, 13},
};
// Copy CHIP to CHIP has 13 slots: its block ends where Allocate FAST
// Memory's begins (0xC40 + 8 * (13 + 3) = 0xCC0).
constexpr size_t kMemoryAreaEnd = 0x1010 + 8 * (13 + 3);
constexpr bool MemoryBlocksDisjoint() {
  for (const MemoryBlock& a : kMemoryBlocks)
    for (const MemoryBlock& b : kMemoryBlocks)
      if (a.base < b.base && a.base + 8 * size_t(a.slots + 3) > b.base) return false;
  return true;
}
static_assert(MemoryBlocksDisjoint());

// Score slots: 57 contiguous 16-byte slots (percent, valid), see slot::.
constexpr size_t kScoreSlots = 0x1100;
constexpr size_t kScoreSlotsEnd = kScoreSlots + 16 * slot::kCount;
static_assert(kMemoryAreaEnd <= kScoreSlots);

// Drive raw figures (after the score slots).
constexpr size_t kDriveFigures = 0x1500;
constexpr size_t kDriveSweep = 20 * 8;  // 17 block sizes + minimum, maximum, average
constexpr size_t kReadFile = kDriveFigures;
constexpr size_t kWriteFile = kReadFile + kDriveSweep;
constexpr size_t kReadDevice = kWriteFile + kDriveSweep;
constexpr size_t kWriteDevice = kReadDevice + kDriveSweep;
constexpr size_t kFileSystemOps = kWriteDevice + kDriveSweep;  // 12 figures, module order
// Seek on Device: the seven patterns in test order, then the random,
// sequential and total averages (msecs). SpinUP Device: its time (secs).
constexpr size_t kSeekDevice = kFileSystemOps + 12 * 8;
constexpr size_t kSeekDeviceAverages = kSeekDevice + 7 * 8;  // random, sequential, total
constexpr size_t kSpinUpDevice = kSeekDevice + 10 * 8;
constexpr size_t kDriveFiguresEnd = kSpinUpDevice + 8;
static_assert(kScoreSlotsEnd <= kDriveFigures);
static_assert(kDriveFiguresEnd <= kResultsAreaSize);

// Fields of the module record's descriptive part that a run itself stamps.
constexpr size_t kModuleDate = 0x2248;  // "dd.mm.yy"
constexpr size_t kModuleTime = 0x2268;  // "hh.mm.ss"
constexpr size_t kStampWidth = 32;
static_assert(kModuleDate >= kResultsAreaSize && kModuleTime == kModuleDate + kStampWidth);
}  // namespace rec

}  // namespace kr
