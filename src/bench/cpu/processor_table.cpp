#include "bench/cpu/processor_tests.h"

namespace kr {

// The processor tests by their number (1..10); entry 0 is no test.
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
