// The files of the program home the engine and the sections share: the
// install and crash markers, the data files and the benchmark folder of a
// drive path. The start-up checks (shell/startup_checks.h) make and repair
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/context.h"

namespace kr {

inline constexpr std::string_view kInstallMarkerFile = "PROGDIR:KelvaRANK.ins";
inline constexpr std::string_view kPidFile = "PROGDIR:KelvaRANK.pid";
inline constexpr std::string_view kMp3File = "PROGDIR:Data/mp3cdda.mp3";
inline constexpr std::string_view kLogoFile = "PROGDIR:Data/logo.pic";
inline constexpr std::string_view kDataDir = "PROGDIR:Data/";
// The marker's content: exactly these 19 bytes, no terminator, no newline.
inline constexpr std::string_view kInstallMarkerText = "<<< AmIgA ruLez >>>";
inline constexpr int64_t kMp3FileSize = 596940;
inline constexpr int kDataFileCount = 17;
// Seed base of the data files (the module scrambler uses the same one).
inline constexpr uint32_t kDataSeedBase = 5318;
// The longest drive path a crash marker may hold (the settings' partition
// field is 64 bytes with its terminator).
inline constexpr size_t kMaxDrivePath = 63;

// Data file k (0..16): 128 x 2^k bytes, named by its size as seven decimal
// digits plus ".bin" ("0000128.bin" .. "8388608.bin").
int64_t DataFileSize(int k);
std::string DataFileName(int k);
// Fills buf with the data-file bytes of a generator freshly seeded with
// `seed`: each byte is 32 + (r mod 94) for the next draw r.
void FillDataBytes(uint8_t* buf, size_t size, uint32_t seed);

// The benchmark folder of a drive path as the crash marker holds it: the
// path followed by "KelvaRANK_bench/" (with a ':' between them unless the
// path already ends in ':' or '/').
std::string BenchDirOfDrivePath(std::string_view drivePath);

// The crash marker of the hard-drive run: holds the settings' partition
// (its length, no terminator). The drive section writes it when it starts
// and deletes it when it ends.
bool WritePidFile(Context& ctx);
bool DeletePidFile(Context& ctx);

}  // namespace kr
