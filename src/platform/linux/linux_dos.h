#pragma once

#include <string>

#include "platform/dos.h"

namespace kr {

// dos.library on Linux: PROGDIR: is the program home, RAM: the RAM folder.
class LinuxDos : public Dos {
 public:
  LinuxDos(std::string home, std::string ram) : home_(std::move(home)), ram_(std::move(ram)) {}

  std::string HostPath(std::string_view path) const override;
  int64_t Open(std::string_view path, int32_t mode) override;
  int64_t OpenNoFollow(std::string_view path, int32_t mode) override;
  bool Close(int64_t fh) override;
  int64_t Read(int64_t fh, void* buf, int64_t len) override;
  int64_t Write(int64_t fh, const void* buf, int64_t len) override;
  int64_t Seek(int64_t fh, int64_t pos, int32_t mode) override;
  bool SetFileSize(int64_t fh, int64_t size) override;
  bool DeleteFile(std::string_view path) override;
  bool Rename(std::string_view from, std::string_view to) override;
  bool CreateDir(std::string_view path) override;
  int64_t FileSize(std::string_view path) override;
  bool IsDir(std::string_view path) override;
  bool ListDir(std::string_view path, std::vector<DirEntry>& out) override;
  bool SetComment(std::string_view path, std::string_view comment) override;
  bool SetProtection(std::string_view path, uint32_t bits) override;
  bool SetFileDate(std::string_view path, const DateStamp& ds) override;
  bool Info(std::string_view path, VolumeInfo& out) override;
  DateStamp Now() override;

  const std::string& home() const { return home_; }
  const std::string& ram() const { return ram_; }

 private:
  std::string home_;
  std::string ram_;
};

// The default home: $XDG_DATA_HOME/kelvarank, else ~/.local/share/kelvarank.
std::string DefaultHome();
// The RAM folder: $XDG_RUNTIME_DIR/kelvarank, else a private folder under
// /dev/shm, else under /tmp. Created (mode 0700) when missing.
std::string DefaultRamDir();
// mkdir -p; true when the directory exists afterwards.
bool MakeDirs(const std::string& path);

}  // namespace kr
