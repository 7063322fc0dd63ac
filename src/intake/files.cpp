#include "intake/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kr {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

namespace {

// Waits for the exclusive lock on an open descriptor; on failure the
// descriptor is closed and -1 returned with the reason.
int LockExclusive(int fd, const std::string& what, std::string& error) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    error = SystemError("cannot lock " + what);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int TakeLock(const std::string& path, std::string& error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = SystemError("cannot open the lock file " + path);
    return -1;
  }
  return LockExclusive(fd, path, error);
}

int TakeFolderLock(const std::string& dir, std::string& error) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = SystemError("cannot open the folder " + dir);
    return -1;
  }
  return LockExclusive(fd, "the folder " + dir, error);
}

bool ReadNoFollow(const std::string& path, size_t limit, std::string& out, bool& tooLarge, bool& missing,
                  std::string& error) {
  out.clear();
  tooLarge = missing = false;
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    missing = errno == ENOENT;
    error = errno == ELOOP ? path + " is a symbolic link" : SystemError("cannot open " + path);
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    error = SystemError("cannot examine " + path);
    ::close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + " is not a regular file";
    ::close(fd);
    return false;
  }
  if (size_t(st.st_size) <= limit) out.reserve(size_t(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = SystemError("cannot read " + path);
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    if (out.size() + size_t(n) > limit) {
      tooLarge = true;
      break;
    }
    out.append(buf, size_t(n));
  }
  ::close(fd);
  return true;
}

namespace {

std::string RandomLetters() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char r[16];
  size_t got = 0;
  while (got < sizeof r) {
    ssize_t n = ::getrandom(r + got, sizeof r - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  std::string s;
  for (unsigned char c : r) s += kLetters[c % 62];
  return s;
}

}  // namespace

FileReplacement::FileReplacement(std::string dir, std::string name) : dir_(std::move(dir)), name_(std::move(name)) {}

FileReplacement::~FileReplacement() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(tmp_.c_str());
  }
}

bool FileReplacement::Open(std::string& error) {
  for (int tries = 0; fd_ < 0 && tries < 20; ++tries) {
    tmp_ = dir_ + "/" + std::string(kTempPrefix) + RandomLetters();
    fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error = SystemError("cannot create a temporary file in " + dir_);
    return false;
  }
  buffer_.reserve(1 << 20);
  return true;
}

bool FileReplacement::Flush(std::string& error) {
  const char* p = buffer_.data();
  size_t left = buffer_.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      error = SystemError("cannot write " + dir_ + "/" + name_);
      return false;
    }
    p += n;
    left -= size_t(n);
  }
  buffer_.clear();
  return true;
}

bool FileReplacement::Append(const void* data, size_t len, std::string& error) {
  buffer_.append(static_cast<const char*>(data), len);
  return buffer_.size() < (1 << 20) || Flush(error);
}

bool FileReplacement::Commit(std::string& error) {
  if (fd_ < 0) {
    error = "cannot write " + dir_ + "/" + name_ + ": not open";
    return false;
  }
  if (!Flush(error)) return false;
  if (::fsync(fd_) != 0) {
    error = SystemError("cannot flush " + dir_ + "/" + name_);
    return false;
  }
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    error = SystemError("cannot write " + dir_ + "/" + name_);
    ::unlink(tmp_.c_str());
    return false;
  }
  if (::rename(tmp_.c_str(), (dir_ + "/" + name_).c_str()) != 0) {
    error = SystemError("cannot replace " + dir_ + "/" + name_);
    ::unlink(tmp_.c_str());
    return false;
  }
  return true;
}

bool ReplaceFile(const std::string& dir, const std::string& name, const void* data, size_t len, std::string& error) {
  FileReplacement f(dir, name);
  return f.Open(error) && f.Append(data, len, error) && f.Commit(error);
}

bool SyncDir(const std::string& dir, std::string& error) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    error = SystemError("cannot flush the folder " + dir);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd);
  return true;
}

int RemoveStaleTemporaries(const std::string& dir) {
  int removed = 0;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  while (dirent* e = ::readdir(d)) {
    if (std::string_view(e->d_name).substr(0, kTempPrefix.size()) != kTempPrefix) continue;
    if (::unlinkat(::dirfd(d), e->d_name, 0) == 0) ++removed;
  }
  ::closedir(d);
  return removed;
}

}  // namespace kr
