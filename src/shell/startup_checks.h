// The start-up checks: before the main window opens the program verifies its
// home and repairs what it can. The files (below PROGDIR:, the program home):
//
//   KelvaRANK.ins        install marker; missing: first start, the data files
//                        are generated and the 19-byte marker is written
//   KelvaRANK.pid        crash marker of a hard-drive run, holds the drive
//                        path; present: the benchmark folder there is cleaned
//   Data/0000128.bin ... Data/8388608.bin
//                        the 17 data files, checked by size, regenerated
//   Data/server.txt      server description (settings/server_data.h)
//   Data/mp3cdda.mp3     MP3 sample, exactly 596 940 bytes
//   Data/logo.pic        logo picture, must exist
//   KelvaRANK.def/.cfg   defaults and configuration, made when missing,
//                        flagged outdated when their length is wrong
//
// Every check returns true to go on and false to stop the program; the
// failures the user must see go through ctx.requester with the system's own
// texts. Progress goes to a StartupProgress the front end implements.
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
// Memory the program needs in one block.
inline constexpr size_t kMinChipBlock = 1000000;
inline constexpr size_t kMinFastBlock = 18000000;

// The small start-up window: a status text and a gauge (0..100).
class StartupProgress {
 public:
  virtual ~StartupProgress() = default;
  virtual void Open() = 0;
  virtual void SetText(std::string_view text) = 0;
  virtual void SetGauge(int32_t percent) = 0;
  // Waits the given fiftieths of a second between two check steps, so the
  // user can read the window. Called only when quick start is off.
  virtual void Pause(int32_t ticks) = 0;
  virtual void Close() = 0;
};

// A start-up window that shows nothing and never waits.
class SilentProgress : public StartupProgress {
 public:
  void Open() override {}
  void SetText(std::string_view) override {}
  void SetGauge(int32_t) override {}
  void Pause(int32_t) override {}
  void Close() override {}
};

struct StartupOptions {
  // Quick start skips the pauses between the steps. The terminal front end
  // always starts quickly; the desktop program takes it from QUICKSTART=TRUE.
  bool quickStart = true;
};

// Data file k (0..16): 128 x 2^k bytes, named by its size as seven decimal
// digits plus ".bin" ("0000128.bin" .. "8388608.bin").
int64_t DataFileSize(int k);
std::string DataFileName(int k);
// Fills buf with the data-file bytes of a generator freshly seeded with
// `seed`: each byte is 32 + (r mod 94) for the next draw r.
void FillDataBytes(uint8_t* buf, size_t size, uint32_t seed);

// True only when the path is a plain file of exactly `size` bytes.
bool FileHasSize(Context& ctx, std::string_view path, int64_t size);

enum class DataFileMode { Generate, Repair };
// Writes the 17 data files into PROGDIR:Data/. True when all were written.
bool GenerateDataFiles(Context& ctx, StartupProgress& progress, DataFileMode mode);

bool CheckInstallMarker(Context& ctx, StartupProgress& progress);
bool CheckPidFile(Context& ctx, StartupProgress& progress);
bool CheckDataFiles(Context& ctx, StartupProgress& progress);
// Loads the server description (settings/server_data.h). A file that cannot
// be read stops start-up with a message, not only an error-log entry: the
// log has no output yet at this point, so the user would see nothing.
bool CheckServerData(Context& ctx);
bool CheckMp3File(Context& ctx);
bool CheckLogo(Context& ctx);
bool CheckMemory(Context& ctx);
// Opens and closes ctx.mpega's library; sets ctx.run.mpegaAvailable.
bool CheckLibraries(Context& ctx);
// Set ctx.run.defaultsOutdated / configOutdated from the files' lengths;
// the configuration check also shows the "too old" request. Return true
// when the file is current.
bool CheckDefaultsFile(Context& ctx);
bool CheckConfigFile(Context& ctx);

// All eight steps, then loading or making the defaults and the
// configuration and checking their lengths. False: the program quits.
bool RunStartupChecks(Context& ctx, StartupProgress& progress, const StartupOptions& options);

// The benchmark folder of a drive path as the crash marker holds it: the
// path followed by "KelvaRANK_bench/" (with a ':' between them unless the
// path already ends in ':' or '/').
std::string BenchDirOfDrivePath(std::string_view drivePath);

// The crash marker of the hard-drive run: holds the settings' partition
// (its length, no terminator). The drive section writes it when it starts
// and deletes it when it ends.
bool WritePidFile(Context& ctx);
bool DeletePidFile(Context& ctx);
bool DeleteDefaultsFile(Context& ctx);
bool DeleteConfigFile(Context& ctx);

}  // namespace kr
