#include "platform/fake/fake_dos.h"

#include <cerrno>

namespace kr {

int FakeDos::Injected(std::string_view call, const std::string& hostPath) {
  for (Fault& f : faults_) {
    if (f.call != call || f.times == 0) continue;
    if (!f.pathPart.empty() && hostPath.find(f.pathPart) == std::string::npos) continue;
    if (f.skip > 0) {
      --f.skip;
      continue;
    }
    if (f.times > 0) --f.times;
    ++injected;
    return f.code;
  }
  return 0;
}

std::string FakeDos::Where(int64_t fh) const {
  auto it = paths_.find(fh);
  return it == paths_.end() ? std::string() : it->second;
}

int64_t FakeDos::Open(std::string_view path, int32_t mode) {
  std::string p = HostPath(path);
  if (!unreadable.empty() && path == unreadable) return Fail("open", p, EACCES), 0;
  if (readOnly && mode != MODE_OLDFILE) return Fail("open", p, EROFS), 0;
  if (int e = Injected("open", p)) return Fail("open", p, e), 0;
  int64_t fh = LinuxDos::Open(path, mode);
  if (fh) paths_[fh] = p;
  return fh;
}

int64_t FakeDos::OpenNoFollow(std::string_view path, int32_t mode) {
  std::string p = HostPath(path);
  if (readOnly && mode != MODE_OLDFILE) return Fail("open", p, EROFS), 0;
  if (int e = Injected("open", p)) return Fail("open", p, e), 0;
  int64_t fh = LinuxDos::OpenNoFollow(path, mode);
  if (fh) paths_[fh] = p;
  return fh;
}

int64_t FakeDos::CreateNew(std::string_view path) {
  std::string p = HostPath(path);
  if (readOnly) return Fail("open", p, EROFS), 0;
  if (int e = Injected("open", p)) return Fail("open", p, e), 0;
  int64_t fh = LinuxDos::CreateNew(path);
  if (fh) paths_[fh] = p;
  return fh;
}

bool FakeDos::Close(int64_t fh) {
  std::string p = Where(fh);
  paths_.erase(fh);
  bool ok = LinuxDos::Close(fh);
  if (int e = Injected("close", p)) return Fail("close", p, e);
  return ok;
}

int64_t FakeDos::Read(int64_t fh, void* buf, int64_t len) {
  if (int e = Injected("read", Where(fh))) return Fail("read", Where(fh), e), -1;
  return LinuxDos::Read(fh, buf, len);
}

int64_t FakeDos::Write(int64_t fh, const void* buf, int64_t len) {
  std::string p = Where(fh);
  if (readOnly) return Fail("write", p, EROFS), -1;
  if (int e = Injected("write", p)) return Fail("write", p, e), -1;
  if (spaceLeft < 0 || len <= spaceLeft) {
    int64_t n = LinuxDos::Write(fh, buf, len);
    if (n > 0 && spaceLeft >= 0) spaceLeft -= n;
    return n;
  }
  int64_t fits = spaceLeft;
  if (fits > 0 && LinuxDos::Write(fh, buf, fits) == fits) spaceLeft = 0;
  return Fail("write", p, ENOSPC), -1;
}

bool FakeDos::Sync(int64_t fh) {
  if (int e = Injected("fsync", Where(fh))) return Fail("fsync", Where(fh), e);
  return LinuxDos::Sync(fh);
}

bool FakeDos::SetModeLike(int64_t fh, std::string_view like) {
  if (int e = Injected("fchmod", Where(fh))) return Fail("fchmod", Where(fh), e);
  return LinuxDos::SetModeLike(fh, like);
}

bool FakeDos::DeleteFile(std::string_view path) {
  std::string p = HostPath(path);
  if (readOnly) return Fail("unlink", p, EROFS);
  if (int e = Injected("unlink", p)) return Fail("unlink", p, e);
  return LinuxDos::DeleteFile(path);
}

bool FakeDos::Rename(std::string_view from, std::string_view to) {
  std::string f = HostPath(from), t = HostPath(to);
  if (readOnly) return Fail("rename", f + " to " + t, EROFS);
  if (int e = Injected("rename", f + " to " + t)) return Fail("rename", f + " to " + t, e);
  return LinuxDos::Rename(from, to);
}

bool FakeDos::CreateDir(std::string_view path) {
  std::string p = HostPath(path);
  if (readOnly) return Fail("mkdir", p, EROFS);
  if (int e = Injected("mkdir", p)) return Fail("mkdir", p, e);
  return LinuxDos::CreateDir(path);
}

int64_t FakeDos::FileSize(std::string_view path) {
  std::string p = HostPath(path);
  if (int e = Injected("stat", p)) return Fail("stat", p, e), -1;
  return LinuxDos::FileSize(path);
}

bool FakeDos::SetComment(std::string_view path, std::string_view comment) {
  if (readOnly) return Fail("setxattr", HostPath(path), EROFS);
  return LinuxDos::SetComment(path, comment);
}

bool FakeDos::SetProtection(std::string_view path, uint32_t bits) {
  if (readOnly) return Fail("chmod", HostPath(path), EROFS);
  return LinuxDos::SetProtection(path, bits);
}

bool FakeDos::SetFileDate(std::string_view path, const DateStamp& ds) {
  if (readOnly) return Fail("utimensat", HostPath(path), EROFS);
  return LinuxDos::SetFileDate(path, ds);
}

}  // namespace kr
