// dos.library: files and directories under the host's path forms, dates.
//
// Path forms: "PROGDIR:rest" is below the program home, "RAM:rest" below the
// RAM folder, "NAME:rest" is "NAME/rest" (a partition named by its absolute
// path), anything else is a host path. Handles are positive numbers; 0 means
// failure, as the system expects of dos Open.
//
// Every failing call keeps what failed: the call's name, the host path it
// worked on and the system's error number (LastError, LastErrorText), so a
// message can say which file and why.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

enum DosMode : int32_t { MODE_OLDFILE = 1005, MODE_NEWFILE = 1006, MODE_READWRITE = 1004 };
enum DosSeek : int32_t { OFFSET_BEGINNING = -1, OFFSET_CURRENT = 0, OFFSET_END = 1 };

// Days since 1978-01-01, minutes past midnight, ticks (1/50 s) past the minute.
struct DateStamp {
  int32_t days = 0;
  int32_t minute = 0;
  int32_t tick = 0;
};

struct DirEntry {
  std::string name;
  bool isDir = false;
  int64_t size = 0;
  bool isFile = false;    // a regular file (not a link, folder, device or pipe)
  int64_t modified = 0;   // the last change, seconds since 1970-01-01 UTC
};

// What names a file or folder on the host: two paths name the same object
// exactly when their identities are equal.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileId&) const = default;
};

struct VolumeInfo {
  uint64_t totalBlocks = 0;
  uint64_t usedBlocks = 0;
  uint32_t bytesPerBlock = 0;
};

// The last failing call: "open", "read", "write", "close", "rename", ...,
// the host path it worked on, and errno (0 when the failure is not the
// system's; `note` then says what was wrong).
struct DosError {
  std::string call;
  std::string path;
  int code = 0;
  std::string note;  // replaces the system's text for `code` when set
};

class Dos {
 public:
  virtual ~Dos() = default;

  // The last failure of any call on this object; a successful call does not
  // clear it. Text form: "write /home/u/x.txt: No space left on device".
  const DosError& LastError() const { return lastError_; }
  std::string LastErrorText() const;
  // Only the reason: "No space left on device".
  std::string LastErrorReason() const;
  void ClearError() { lastError_ = DosError{}; }
  // Puts back an earlier failure (after a clean-up whose own calls would
  // otherwise be the last).
  void SetLastError(const DosError& e) { lastError_ = e; }

  virtual std::string HostPath(std::string_view path) const = 0;

  virtual int64_t Open(std::string_view path, int32_t mode) = 0;
  // An output file (report, error log) a foreign path must not redirect: a
  // symbolic link in the last component is never followed and a path that
  // exists and is not a plain file (a folder, a device, a pipe) is refused,
  // so writing cannot reach another file. MODE_NEWFILE creates or empties
  // it, MODE_READWRITE creates it or keeps its bytes, MODE_OLDFILE needs it
  // to exist; the position is the start.
  virtual int64_t OpenNoFollow(std::string_view path, int32_t mode) = 0;
  // Creates a new file that must not exist yet (no link followed), readable
  // and writable by the owner only. 0 when it exists or cannot be made.
  virtual int64_t CreateNew(std::string_view path) = 0;
  // The rule every output file follows (report, error log, JSON, exported
  // modules, pictures, the home's own files): the path names a regular file
  // or nothing yet. A symbolic link, a folder, a device or a pipe there is
  // refused (false; the last error names it and says what it is), so
  // writing never reaches or replaces another object. Below the program
  // home no link in a folder of the path is followed either.
  virtual bool CheckOutputTarget(std::string_view path) = 0;
  // False also when the file's data could not be written back (the system
  // reports a delayed write failure at close).
  virtual bool Close(int64_t fh) = 0;
  // Forces the file's data to the disk.
  virtual bool Sync(int64_t fh) = 0;
  // Forces the folder's entries (a rename into it) to the disk.
  virtual bool SyncDir(std::string_view dir) = 0;
  // Gives an open file the permission bits of `like`, or, when `like` does
  // not exist, those a newly created file gets (0666 less the umask).
  virtual bool SetModeLike(int64_t fh, std::string_view like) = 0;
  // Bytes transferred, or -1 on error.
  virtual int64_t Read(int64_t fh, void* buf, int64_t len) = 0;
  virtual int64_t Write(int64_t fh, const void* buf, int64_t len) = 0;
  // Returns the previous position, or -1 on error.
  virtual int64_t Seek(int64_t fh, int64_t pos, int32_t mode) = 0;
  virtual bool SetFileSize(int64_t fh, int64_t size) = 0;

  virtual bool DeleteFile(std::string_view path) = 0;
  virtual bool Rename(std::string_view from, std::string_view to) = 0;
  virtual bool CreateDir(std::string_view path) = 0;
  // Size of a file, -1 when it does not exist or is not a plain file.
  virtual int64_t FileSize(std::string_view path) = 0;
  virtual bool IsDir(std::string_view path) = 0;
  // The identity of what `path` names now (links followed); false when it
  // does not exist. A question: the last error is left alone.
  virtual bool Identify(std::string_view path, FileId& out) = 0;
  virtual bool ListDir(std::string_view path, std::vector<DirEntry>& out) = 0;
  virtual bool SetComment(std::string_view path, std::string_view comment) = 0;
  virtual bool SetProtection(std::string_view path, uint32_t bits) = 0;
  virtual bool SetFileDate(std::string_view path, const DateStamp& ds) = 0;
  virtual bool Info(std::string_view path, VolumeInfo& out) = 0;

  virtual DateStamp Now() = 0;

  // Whole-file helpers. WriteFileAtomic checks the target (CheckOutputTarget),
  // writes a new file under a name of its own beside the target (so two
  // writers never share one), gives it the
  // target's permissions, forces it to the disk, renames it over the target
  // and forces the folder: a crash or a full disk never leaves a short file,
  // and a failed write leaves the old file and no temporary behind.
  bool ReadWholeFile(std::string_view path, std::vector<uint8_t>& out);
  bool WriteFileAtomic(std::string_view path, const void* data, size_t len);

  // True when `name` is a temporary a whole-file write or a report leaves
  // beside its target: "<target>.<16 hex digits>.new" or ".part".
  static bool IsTemporaryName(std::string_view name);

  // A new, empty scratch file in the RAM folder whose name no other process
  // uses: "RAM:" + stem + a unique part + ext. Empty when none could be made
  // (LastError says why). The caller deletes it.
  std::string ScratchFile(std::string_view stem, std::string_view ext);

 protected:
  // Records a failure and returns false.
  bool Fail(std::string_view call, std::string path, int code, std::string note = {});

 private:
  DosError lastError_;
};

// The folder part of a dos path: "PROGDIR:" for "PROGDIR:x.cfg",
// "PROGDIR:Data" for "PROGDIR:Data/a.bin", "." for a bare name.
std::string DosDirPart(std::string_view path);

// DateToStr with FORMAT_CDN: "dd-mm-yy" and "hh:mm:ss".
struct DateStrings {
  std::string date;
  std::string time;
};
DateStrings DateToStr(const DateStamp& ds);

}  // namespace kr
