#include "bench/cpu/processor_tests.h"

namespace kr {

// Entries are filled as the workloads are built; a null entry tells the
// section run that the test is not built yet.
const ProcessorTestFn kProcessorTestTable[11] = {
    nullptr,
    RunBogomips,  // 1 Bogomips
    RunDhrystones,  // 2 Dhrystones
    RunFibonacci,  // 3 40th Fibonacci
    RunFpuEmulation,  // 4 FPU Emulation
    RunLibJpeg,  // 5 LibJPEG functions
    RunMarsCipher,  // 6 Mars Cipher
    RunMd5Checksuming,  // 7 MD5 Checksuming
    RunMp3ToCdda,  // 8 MP3 2 CDDA
    RunSerpentCipher,  // 9 Serpent Cipher
    RunZLibFunctions,  // 10 ZLib functions
};

}  // namespace kr
