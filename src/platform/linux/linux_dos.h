#pragma once

#include <fcntl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dos.h"

namespace kr {

// dos.library on Linux: PROGDIR: is the program home, RAM: the RAM folder.
class LinuxDos : public Dos {
 public:
  // The handle table holds the drive section's 3000 open scratch files
  // without growing inside a timed loop.
  LinuxDos(std::string home, std::string ram) : home_(std::move(home)), ram_(std::move(ram)), open_(4096) {}

  std::string HostPath(std::string_view path) const override;
  int64_t Open(std::string_view path, int32_t mode) override;
  int64_t OpenNoFollow(std::string_view path, int32_t mode) override;
  int64_t CreateNew(std::string_view path) override;
  bool CheckOutputTarget(std::string_view path) override;
  bool Close(int64_t fh) override;
  bool Sync(int64_t fh) override;
  bool SyncDir(std::string_view dir) override;
  bool SetModeLike(int64_t fh, std::string_view like) override;
  int64_t Read(int64_t fh, void* buf, int64_t len) override;
  int64_t Write(int64_t fh, const void* buf, int64_t len) override;
  int64_t Seek(int64_t fh, int64_t pos, int32_t mode) override;
  bool SetFileSize(int64_t fh, int64_t size) override;
  bool DeleteFile(std::string_view path) override;
  bool Rename(std::string_view from, std::string_view to) override;
  bool CreateDir(std::string_view path) override;
  int64_t FileSize(std::string_view path) override;
  bool IsDir(std::string_view path) override;
  bool Identify(std::string_view path, FileId& out) override;
  bool ListDir(std::string_view path, std::vector<DirEntry>& out) override;
  bool SetComment(std::string_view path, std::string_view comment) override;
  bool SetProtection(std::string_view path, uint32_t bits) override;
  bool SetFileDate(std::string_view path, const DateStamp& ds) override;
  bool Info(std::string_view path, VolumeInfo& out) override;
  DateStamp Now() override;

  const std::string& home() const { return home_; }
  const std::string& ram() const { return ram_; }

  // True when a host path lies below the home (not the home itself).
  bool InsideHome(std::string_view hostPath) const;
  // The home without trailing slashes.
  std::string_view HomeRoot() const;

 private:
  // Where a call that changes a file works: a folder descriptor and the last
  // component (AT_FDCWD and the whole path outside the home).
  struct At {
    int dir = AT_FDCWD;
    const char* name = "";  // the whole host path (it must outlive this), or `own`
    std::string own;
    std::string note;  // why the path was refused, when it was
    At() = default;
    At(const At&) = delete;
    At& operator=(const At&) = delete;
    ~At();
  };
  // Below the home the folders are opened one by one without following a
  // link (a link there fails with ELOOP and names it) and ".." is refused;
  // elsewhere nothing is opened. False with errno (and `note`) set.
  bool Resolve(const std::string& hostPath, At& at) const;
  // True (and the failure recorded) when the name exists and is not a
  // regular file: a link, a folder, a device or a pipe.
  bool UnsafeOutput(const At& at, const std::string& hostPath);
  int64_t Opened(int fd, std::string path);
  // The host path an open handle was opened with, for its errors.
  std::string PathOf(int64_t fh) const;

  std::string home_;
  std::string ram_;  // empty: no private RAM folder, "RAM:" paths fail
  std::vector<std::string> open_;  // the host path of each open descriptor; empty: none
};

// The default home: $XDG_DATA_HOME/kelvarank, else ~/.local/share/kelvarank.
std::string DefaultHome();

// The RAM folder: a folder only this user can reach, never a shared one.
// $XDG_RUNTIME_DIR/kelvarank (made with mode 0700; used only when it is a
// real folder, not a link, owned by this user and closed to others), else a
// new private folder made with mkdtemp under /dev/shm, else under $TMPDIR or
// /tmp. Chosen once per process; a folder made with mkdtemp is removed with
// its contents when the process exits. Empty when none could be had.
std::string DefaultRamDir();
// Removes the folder DefaultRamDir made (when it made one) with what it
// holds, by system calls alone: for a signal handler that ends the process
// at once, where the removal at exit would not run. Nothing else is touched.
void RemoveRamDirNow();
// The choice itself, for the given runtime folder (null: none) and the
// bases to try for a new private folder. `made` tells whether the result
// is a new folder the caller must remove.
std::string ChooseRamDir(const char* runtimeDir, const std::vector<std::string>& bases, bool& made);
// True when `path` is a folder (not a link) owned by this user with no
// permission for group or others.
bool IsPrivateDir(const std::string& path);

// Raises the process's limit of open files (the soft limit) to its hard
// limit, at most 65536 (and a hard limit below 4096 to 4096 when the
// process may): the file-system tests keep up to 3000 files open at once.
// Returns the soft limit in force afterwards.
uint64_t RaiseOpenFileLimit();

// mkdir -p; true when the directory exists afterwards.
bool MakeDirs(const std::string& path);

// An advisory lock on a program home (flock on "KelvaRANK.lock" in it, or
// on the folder itself when the home is read-only), held for a command's
// whole life: two processes on one home never interleave their changes.
// Released when the object ends or the process exits.
class HomeLock {
 public:
  enum Outcome { kTaken, kBusy, kFailed };
  HomeLock() = default;
  ~HomeLock() { Release(); }
  HomeLock(const HomeLock&) = delete;
  HomeLock& operator=(const HomeLock&) = delete;

  // Makes the home folder when missing and takes the lock. Without `wait`,
  // kBusy when another process holds it; with `wait`, blocks until it is
  // free. kFailed: error() says which call failed on which path and why.
  Outcome Take(const std::string& home, bool wait);
  void Release();
  bool held() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

}  // namespace kr
