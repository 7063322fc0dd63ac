// The real dos layer over real folders, with faults injected: chosen calls
// fail with a chosen errno, the disk can be given a fixed amount of free
// space, or the whole file system made read-only. Faults show the program's
// answer to a full disk, a failing device or a refused permission on any
// host and for any user, root included (whom permission bits do not bind).
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/linux/linux_dos.h"

namespace kr {

class FakeDos : public LinuxDos {
 public:
  using LinuxDos::LinuxDos;

  // A call that fails: `call` is the failing call's name as LastError gives
  // it ("open", "read", "write", "close", "fsync", "fchmod", "rename",
  // "unlink", "mkdir", "stat"); the host path must contain `pathPart`
  // (empty: any path). The first `skip` matching calls pass; then `times`
  // calls fail (-1: every one).
  struct Fault {
    std::string call;
    std::string pathPart;
    int code = 0;
    int skip = 0;
    int times = -1;
  };
  void AddFault(Fault f) { faults_.push_back(std::move(f)); }
  void ClearFaults() { faults_.clear(); }

  // Free space of the disk in bytes (-1: unlimited). A write beyond it
  // writes what fits and fails with ENOSPC, as a full disk does.
  int64_t spaceLeft = -1;
  // Every call that would change the file system fails with EROFS.
  bool readOnly = false;
  // A path (as given, e.g. "PROGDIR:x") that cannot be opened: EACCES.
  std::string unreadable;
  // How many calls failed by injection.
  int injected = 0;

  int64_t Open(std::string_view path, int32_t mode) override;
  int64_t OpenNoFollow(std::string_view path, int32_t mode) override;
  int64_t CreateNew(std::string_view path) override;
  bool Close(int64_t fh) override;
  int64_t Read(int64_t fh, void* buf, int64_t len) override;
  int64_t Write(int64_t fh, const void* buf, int64_t len) override;
  bool Sync(int64_t fh) override;
  bool SetModeLike(int64_t fh, std::string_view like) override;
  bool DeleteFile(std::string_view path) override;
  bool Rename(std::string_view from, std::string_view to) override;
  bool CreateDir(std::string_view path) override;
  int64_t FileSize(std::string_view path) override;
  bool SetComment(std::string_view path, std::string_view comment) override;
  bool SetProtection(std::string_view path, uint32_t bits) override;
  bool SetFileDate(std::string_view path, const DateStamp& ds) override;

 private:
  // The errno of an injected failure of `call` on `hostPath`, else 0.
  int Injected(std::string_view call, const std::string& hostPath);
  std::string Where(int64_t fh) const;

  std::vector<Fault> faults_;
  std::unordered_map<int64_t, std::string> paths_;
};

}  // namespace kr
