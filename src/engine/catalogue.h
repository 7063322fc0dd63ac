// The test catalogue: 52 tests in three sections, in catalogue order, with
// their unit, reference ("100 Percent at"), score weight, direction and the
// score slot each one owns in the results record.
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

struct CatalogueEntry {
  Section section;
  int position;       // 1..10 processor, 0..23 memory, 1..18 drive
  const char* label;  // as shown to users and in reports
  const char* unit;
  double reference;   // "100 Percent at"
  double weight;      // "Score weight", percent
  bool higherBetter;
  int slot;           // score slot index
};

constexpr int kProcessorTests = 10;
constexpr int kMemoryTests = 24;
constexpr int kDriveTests = 18;
constexpr int kCatalogueSize = kProcessorTests + kMemoryTests + kDriveTests;
static_assert(kCatalogueSize == 52);

extern const CatalogueEntry kCatalogue[kCatalogueSize];

// Processor test k (1..10), memory test p (0..23), drive test d (1..18).
const CatalogueEntry& ProcessorEntry(int k);
const CatalogueEntry& MemoryEntry(int p);
const CatalogueEntry& DriveEntry(int d);

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
bool IsChipTest(int p);
bool IsRomTest(int p);
}  // namespace mem

// Block-size step n (1..17) is 128 * 2^(n-1) bytes; any other step is 0.
uint32_t BlockSizeOfStep(int32_t step);

}  // namespace kr
