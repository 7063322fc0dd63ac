#include "engine/catalogue.h"

namespace kr {
namespace {
constexpr Section P = Section::Processor, M = Section::Memory, D = Section::Drive;
}

const CatalogueEntry kCatalogue[kCatalogueSize] = {
    {P, 1, "Bogomips", "BogoMIPS", 5000.0, 80.0, true, slot::kBogomips},
    {P, 2, "Dhrystones", "Dhrystones/sec", 10000000.0, 100.0, true, slot::kDhrystones},
    {P, 3, "40th Fibonacci", "FiboMHZ", 1000.0, 110.0, true, slot::kFibonacci},
    {P, 4, "FPU Emulation", "MFlops", 1000.0, 120.0, true, slot::kFpu},
    {P, 5, "LibJPEG functions", "MBits/sec", 1000.0, 100.0, true, slot::kJpeg},
    {P, 6, "Mars Cipher", "MBits/sec", 1000.0, 100.0, true, slot::kMars},
    {P, 7, "MD5 Checksuming", "MBits/sec", 5000.0, 110.0, true, slot::kMd5},
    {P, 8, "MP3 2 CDDA", "Frames/sec", 100000.0, 80.0, true, slot::kMp3},
    {P, 9, "Serpent Cipher", "MBits/sec", 1000.0, 100.0, true, slot::kSerpent},
    {P, 10, "ZLib functions", "MB/s", 100.0, 100.0, true, slot::kZLib},

    {M, 0, "CPU Cache Read", "MB/sec", 10000.0, 80.0, true, slot::kMemoryFirst + 0},
    {M, 1, "Read FAST byte", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 1},
    {M, 2, "Read FAST word", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 2},
    {M, 3, "Read FAST long", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 3},
    {M, 4, "Write FAST byte", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 4},
    {M, 5, "Write FAST word", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 5},
    {M, 6, "Write FAST long", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 6},
    {M, 7, "Read CHIP byte", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 7},
    {M, 8, "Read CHIP word", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 8},
    {M, 9, "Read CHIP long", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 9},
    {M, 10, "Write CHIP byte", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 10},
    {M, 11, "Write CHIP word", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 11},
    {M, 12, "Write CHIP long", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 12},
    {M, 13, "Copy FAST to FAST", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 13},
    {M, 14, "Copy FAST to CHIP", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 14},
    {M, 15, "Copy CHIP to FAST", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 15},
    {M, 16, "Copy CHIP to CHIP", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 16},
    {M, 17, "Allocate FAST Memory", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 17},
    {M, 18, "Allocate CHIP Memory", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 18},
    {M, 19, "Memset FAST", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 19},
    {M, 20, "Memset CHIP", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 20},
    {M, 21, "Read ROM byte", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 21},
    {M, 22, "Read ROM word", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 22},
    {M, 23, "Read ROM long", "MB/sec", 5000.0, 100.0, true, slot::kMemoryFirst + 23},

    // Drive slots follow the module order: Read from File, Write to File,
    // Create Files, Set Filesize, Close from Write, Open Files, Close from Read,
    // Set Protection, Delete Files, Seek in File, Rename Files, Set Comment,
    // Set Date, Directory Scan, Read from Device, Write to Device, Seek on
    // Device, SpinUP Device.
    {D, 1, "Read from File", "MB/sec", 500.0, 110.0, true, slot::kDriveFirst + 0},
    {D, 2, "Write to File", "MB/sec", 500.0, 110.0, true, slot::kDriveFirst + 1},
    {D, 3, "Create Files", "OP/sec", 10000.0, 120.0, true, slot::kDriveFirst + 2},
    {D, 4, "Open Files", "OP/sec", 10000.0, 120.0, true, slot::kDriveFirst + 5},
    {D, 5, "Close from Read", "OP/sec", 50000.0, 80.0, true, slot::kDriveFirst + 6},
    {D, 6, "Close from Write", "OP/sec", 50000.0, 80.0, true, slot::kDriveFirst + 4},
    {D, 7, "Set Protection", "OP/sec", 50000.0, 90.0, true, slot::kDriveFirst + 7},
    {D, 8, "Set Comment", "OP/sec", 50000.0, 90.0, true, slot::kDriveFirst + 11},
    {D, 9, "Set Filesize", "OP/sec", 50000.0, 90.0, true, slot::kDriveFirst + 3},
    {D, 10, "Set Date", "OP/sec", 50000.0, 90.0, true, slot::kDriveFirst + 12},
    {D, 11, "Delete Files", "OP/sec", 50000.0, 120.0, true, slot::kDriveFirst + 8},
    {D, 12, "Rename Files", "OP/sec", 50000.0, 120.0, true, slot::kDriveFirst + 10},
    {D, 13, "Seek in File", "OP/sec", 200000.0, 100.0, true, slot::kDriveFirst + 9},
    {D, 14, "Directory Scan", "OP/sec", 50000.0, 90.0, true, slot::kDriveFirst + 13},
    {D, 15, "Read from Device", "MB/s", 500.0, 110.0, true, slot::kDriveFirst + 14},
    {D, 16, "Write to Device", "MB/s", 500.0, 110.0, true, slot::kDriveFirst + 15},
    {D, 17, "Seek on Device", "msecs", 0.0, 150.0, false, slot::kDriveFirst + 16},
    {D, 18, "SpinUP Device", "secs", 0.0, 50.0, false, slot::kDriveFirst + 17},
};

const CatalogueEntry& ProcessorEntry(int k) { return kCatalogue[k - 1]; }
const CatalogueEntry& MemoryEntry(int p) { return kCatalogue[kProcessorTests + p]; }
const CatalogueEntry& DriveEntry(int d) { return kCatalogue[kProcessorTests + kMemoryTests + d - 1]; }

namespace mem {
bool IsChipTest(int p) {
  return (p >= 7 && p <= 12) || p == 14 || p == 15 || p == 16 || p == 18 || p == 20;
}
bool IsRomTest(int p) { return p >= 21 && p <= 23; }
}  // namespace mem

uint32_t BlockSizeOfStep(int32_t step) {
  if (step < 1 || step > 17) return 0;
  return 128u << (step - 1);
}

}  // namespace kr
