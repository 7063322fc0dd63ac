// The benchmark directory of the drive section: "KelvaRANK_bench" on the
// selected partition, with copies of the 17 data files and the names of up
// to 3000 scratch files the file-system tests create, use and delete.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/context.h"
#include "engine/home_files.h"

namespace kr {

class StartupProgress;

inline constexpr int kScratchNameCount = 3000;
inline constexpr int kDataCopyCount = 17;

// What one section run keeps of the directory: its paths and the handles
// the operation tests leave open for each other (0: none).
struct BenchFiles {
  std::string partition;                               // as the settings name it
  std::string directory;                               // "<partition>:KelvaRANK_bench"
  std::vector<std::string> scratch;                    // "<...>/00000" .. "<...>/02999"
  std::array<std::string, kDataCopyCount> copies;      // "<...>/0000128.bin" .. "8388608.bin"
  std::string foobar;                                  // "<...>/foobar.bin"
  std::vector<int64_t> handles;                        // kScratchNameCount entries
  bool created = false;  // this run made the directory (only then is anything removed)
  FileId identity;       // of the directory this run made
  std::string createFailure;  // why the directory could not be made ("File exists")

  const std::string& CopyOfSize(uint32_t bytes) const;  // the copy of that size (128 .. 8388608)
};

// The crash marker "PROGDIR:KelvaRANK.pid": the partition name as the
// settings hold it, and, once the run has made its benchmark folder, a NUL
// and that folder's device and inode ("<dev> <ino>\n"). Readers that take
// the text up to the first NUL see the partition name alone. Written
// atomically (a crash never leaves a half marker).
struct CrashMarker {
  std::string drivePath;
  bool hasFolder = false;
  FileId folder;
};
bool WriteCrashMarker(Context& ctx, const FileId* folder);
// False when the bytes name no usable partition (empty, or longer than the
// settings field). A marker without the folder's identity reads as one.
bool ReadCrashMarker(std::string_view bytes, CrashMarker& out);
// The longest marker: the path, NUL, two 20-digit numbers, a blank and a line end.
inline constexpr size_t kCrashMarkerMax = kMaxDrivePath + 1 + 20 + 1 + 20 + 1;

// The partition, ":" (unless it already ends in ':' or '/'), the folder
// "KelvaRANK_bench/" and the name.
std::string BenchmarkPath(std::string_view partition, std::string_view name);

// Builds the names, creates the directory and copies the data files from
// PROGDIR:Data/ into it, advancing the gauge by 5 per file. Every failure is
// an error entry ("DRIVE", "MakeDriveEnviroment", reason); true when every
// step succeeded. A directory that already exists is refused: the section
// must never adopt (and later delete from) a folder it did not make.
bool MakeBenchmarkDirectory(Context& ctx, BenchFiles& files, StartupProgress& progress);

// True while the path of the directory this run made still names that
// directory: a partition unmounted (or a folder swapped in) under the run
// makes it false, and from then on no name below it is ours.
bool BenchmarkDirectoryIntact(Context& ctx, const BenchFiles& files);

// Closes every handle still open; when this run made the directory and it is
// still intact, deletes every name the section may have created (scratch
// files, data copies, "foobar.bin"), then the directory. Results are
// ignored: what is not there is not an error. Nothing else on the partition
// is touched. False when the run made a directory that could not be removed
// because its path no longer names it (it is left where the partition went).
bool RemoveBenchmarkDirectory(Context& ctx, BenchFiles& files);

}  // namespace kr
