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
#include "engine/home_files.h"
#include "engine/progress.h"

namespace kr {

// Memory the program needs in one block.
inline constexpr size_t kMinChipBlock = 1000000;
inline constexpr size_t kMinFastBlock = 18000000;

struct StartupOptions {
  // Quick start skips the pauses between the steps. The terminal front end
  // always starts quickly; the desktop program takes it from QUICKSTART=TRUE.
  bool quickStart = true;
};

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

bool DeleteDefaultsFile(Context& ctx);
bool DeleteConfigFile(Context& ctx);

}  // namespace kr
