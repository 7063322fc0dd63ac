// dos.library: files and directories under the host's path forms, dates.
//
// Path forms: "PROGDIR:rest" is below the program home, "RAM:rest" below the
// RAM folder, "NAME:rest" is "NAME/rest" (a partition named by its absolute
// path), anything else is a host path. Handles are positive numbers; 0 means
// failure, as the system expects of dos Open.
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
};

struct VolumeInfo {
  uint64_t totalBlocks = 0;
  uint64_t usedBlocks = 0;
  uint32_t bytesPerBlock = 0;
};

class Dos {
 public:
  virtual ~Dos() = default;

  virtual std::string HostPath(std::string_view path) const = 0;

  virtual int64_t Open(std::string_view path, int32_t mode) = 0;
  // Open for a file that a foreign path must not redirect: a symbolic link
  // is never followed and only a plain file is opened (MODE_NEWFILE creates
  // it or empties it); anything else gives 0 and leaves the target untouched.
  virtual int64_t OpenNoFollow(std::string_view path, int32_t mode) = 0;
  virtual bool Close(int64_t fh) = 0;
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
  virtual bool ListDir(std::string_view path, std::vector<DirEntry>& out) = 0;
  virtual bool SetComment(std::string_view path, std::string_view comment) = 0;
  virtual bool SetProtection(std::string_view path, uint32_t bits) = 0;
  virtual bool SetFileDate(std::string_view path, const DateStamp& ds) = 0;
  virtual bool Info(std::string_view path, VolumeInfo& out) = 0;

  virtual DateStamp Now() = 0;

  // Whole-file helpers. WriteFileAtomic writes a new file beside the target
  // and renames it over the old one: a crash never leaves a short file.
  bool ReadWholeFile(std::string_view path, std::vector<uint8_t>& out);
  bool WriteFileAtomic(std::string_view path, const void* data, size_t len);
};

// DateToStr with FORMAT_CDN: "dd-mm-yy" and "hh:mm:ss".
struct DateStrings {
  std::string date;
  std::string time;
};
DateStrings DateToStr(const DateStamp& ds);

}  // namespace kr
