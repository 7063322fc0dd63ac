// File handling of the collection side: locks, reading without following
// symbolic links, and files replaced through temporaries with unpredictable
// names. Every failure comes back with the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kr {

// The prefix of every temporary the intake makes in a folder it writes.
inline constexpr std::string_view kTempPrefix = ".intake-";

// "what: reason" with the reason of errno.
std::string SystemError(const std::string& what);

// Opens (creating it, mode 0600) the lock file `path` without following a
// symbolic link and takes an exclusive lock on it, waiting for a holder to
// let go. The descriptor (keep it open to hold the lock), or -1.
int TakeLock(const std::string& path, std::string& error);
// The same on a folder itself (no lock file in it).
int TakeFolderLock(const std::string& dir, std::string& error);

// Reads a whole file that is a regular file and not a symbolic link; at
// most `limit` bytes (`tooLarge` set when there were more). `missing` tells
// a file that does not exist from one that cannot be read.
bool ReadNoFollow(const std::string& path, size_t limit, std::string& out, bool& tooLarge, bool& missing,
                  std::string& error);

// Replaces dir/name with `data`: a temporary named kTempPrefix + random
// letters, created with O_EXCL|O_NOFOLLOW, written, flushed and renamed over
// the target. The folder itself is not flushed (SyncDir does that, once for
// many files). On failure the target is untouched and no temporary is left.
bool ReplaceFile(const std::string& dir, const std::string& name, const void* data, size_t len, std::string& error);

// The same for a file written piece by piece: Append buffers, Commit
// flushes and renames; a writer not committed removes its temporary.
class FileReplacement {
 public:
  FileReplacement(std::string dir, std::string name);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  bool Open(std::string& error);
  bool Append(const void* data, size_t len, std::string& error);
  bool Commit(std::string& error);

 private:
  bool Flush(std::string& error);
  std::string dir_, name_, tmp_, buffer_;
  int fd_ = -1;
};

// Flushes a folder's entries to disk.
bool SyncDir(const std::string& dir, std::string& error);

// Removes the temporaries a killed run left in `dir`; how many.
int RemoveStaleTemporaries(const std::string& dir);

}  // namespace kr
