#include "platform/linux/linux_dos.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kr {
namespace {
constexpr int64_t kAmigaEpoch = 252460800;  // 1978-01-01 00:00:00 UTC

int FdOf(int64_t fh) { return fh > 0 ? int(fh - 1) : -1; }

std::string Join(const std::string& dir, std::string_view rest) {
  std::string out = dir;
  if (rest.empty()) return out;
  if (out.empty() || out.back() != '/') out += '/';
  out.append(rest.data(), rest.size());
  return out;
}
}  // namespace

std::string LinuxDos::HostPath(std::string_view path) const {
  if (!path.empty() && path.front() == '/') {
    // A partition name is an absolute path: "/mnt/disk:rest" is "/mnt/disk/rest".
    size_t colon = path.find(':');
    if (colon == std::string_view::npos) return std::string(path);
    return Join(std::string(path.substr(0, colon)), path.substr(colon + 1));
  }
  size_t colon = path.find(':');
  if (colon == std::string_view::npos) return std::string(path);
  std::string_view vol = path.substr(0, colon);
  std::string_view rest = path.substr(colon + 1);
  if (vol == "PROGDIR") return Join(home_, rest);
  if (vol == "RAM") return Join(ram_, rest);
  return Join(std::string(vol), rest);
}

int64_t LinuxDos::Open(std::string_view path, int32_t mode) {
  std::string p = HostPath(path);
  int flags = O_CLOEXEC;
  switch (mode) {
    case MODE_OLDFILE: flags |= O_RDWR; break;
    case MODE_NEWFILE: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case MODE_READWRITE: flags |= O_RDWR | O_CREAT; break;
    default: return 0;
  }
  int fd = ::open(p.c_str(), flags, 0644);
  if (fd < 0 && mode == MODE_OLDFILE && (errno == EACCES || errno == EROFS || errno == EISDIR))
    fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return 0;
  }
  return int64_t(fd) + 1;
}

int64_t LinuxDos::OpenNoFollow(std::string_view path, int32_t mode) {
  std::string p = HostPath(path);
  // Opened without truncation and non-blocking (a FIFO must not hang the
  // open), checked to be a plain file, only then emptied.
  int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  switch (mode) {
    case MODE_OLDFILE: flags |= O_RDWR; break;
    case MODE_NEWFILE:
    case MODE_READWRITE: flags |= O_RDWR | O_CREAT; break;
    default: return 0;
  }
  int fd = ::open(p.c_str(), flags, 0644);
  if (fd < 0) return 0;
  struct stat st;
  bool plain = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!plain || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
      (mode == MODE_NEWFILE && ftruncate(fd, 0) != 0)) {
    ::close(fd);
    return 0;
  }
  return int64_t(fd) + 1;
}

bool LinuxDos::Close(int64_t fh) { return FdOf(fh) >= 0 && ::close(FdOf(fh)) == 0; }

int64_t LinuxDos::Read(int64_t fh, void* buf, int64_t len) {
  int fd = FdOf(fh);
  if (fd < 0 || len < 0) return -1;
  int64_t done = 0;
  auto* p = static_cast<char*>(buf);
  while (done < len) {
    ssize_t n = ::read(fd, p + done, size_t(len - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t LinuxDos::Write(int64_t fh, const void* buf, int64_t len) {
  int fd = FdOf(fh);
  if (fd < 0 || len < 0) return -1;
  int64_t done = 0;
  auto* p = static_cast<const char*>(buf);
  while (done < len) {
    ssize_t n = ::write(fd, p + done, size_t(len - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += n;
  }
  return done;
}

int64_t LinuxDos::Seek(int64_t fh, int64_t pos, int32_t mode) {
  int fd = FdOf(fh);
  if (fd < 0) return -1;
  off_t old = lseek(fd, 0, SEEK_CUR);
  if (old < 0) return -1;
  int whence = mode == OFFSET_BEGINNING ? SEEK_SET : mode == OFFSET_END ? SEEK_END : SEEK_CUR;
  if (lseek(fd, off_t(pos), whence) < 0) return -1;
  return int64_t(old);
}

bool LinuxDos::SetFileSize(int64_t fh, int64_t size) {
  int fd = FdOf(fh);
  return fd >= 0 && size >= 0 && ftruncate(fd, off_t(size)) == 0;
}

bool LinuxDos::DeleteFile(std::string_view path) {
  std::string p = HostPath(path);
  if (::unlink(p.c_str()) == 0) return true;
  return errno == EISDIR || errno == EPERM ? ::rmdir(p.c_str()) == 0 : false;
}

bool LinuxDos::Rename(std::string_view from, std::string_view to) {
  return ::rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

bool LinuxDos::CreateDir(std::string_view path) { return ::mkdir(HostPath(path).c_str(), 0755) == 0; }

int64_t LinuxDos::FileSize(std::string_view path) {
  struct stat st;
  if (::stat(HostPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return int64_t(st.st_size);
}

bool LinuxDos::IsDir(std::string_view path) {
  struct stat st;
  return ::stat(HostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool LinuxDos::ListDir(std::string_view path, std::vector<DirEntry>& out) {
  out.clear();
  std::string p = HostPath(path);
  DIR* d = ::opendir(p.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    DirEntry de;
    de.name = e->d_name;
    struct stat st;
    if (::fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      de.isDir = S_ISDIR(st.st_mode);
      de.size = int64_t(st.st_size);
    }
    out.push_back(std::move(de));
  }
  ::closedir(d);
  return true;
}

bool LinuxDos::SetComment(std::string_view path, std::string_view comment) {
  std::string p = HostPath(path);
  return ::setxattr(p.c_str(), "user.comment", comment.data(), comment.size(), 0) == 0;
}

bool LinuxDos::SetProtection(std::string_view path, uint32_t bits) {
  // The host's protection bits: RWED for the owner are active when clear
  // (bit 3 read, 2 write, 1 execute, 0 delete); group bits 15..12, other 11..8
  // are active when set.
  mode_t m = 0;
  if (!(bits & 8)) m |= S_IRUSR;
  if (!(bits & 4)) m |= S_IWUSR;
  if (!(bits & 2)) m |= S_IXUSR;
  if (bits & (1u << 15)) m |= S_IRGRP;
  if (bits & (1u << 14)) m |= S_IWGRP;
  if (bits & (1u << 13)) m |= S_IXGRP;
  if (bits & (1u << 11)) m |= S_IROTH;
  if (bits & (1u << 10)) m |= S_IWOTH;
  if (bits & (1u << 9)) m |= S_IXOTH;
  return ::chmod(HostPath(path).c_str(), m) == 0;
}

bool LinuxDos::SetFileDate(std::string_view path, const DateStamp& ds) {
  int64_t secs = kAmigaEpoch + int64_t(ds.days) * 86400 + int64_t(ds.minute) * 60 + ds.tick / 50;
  // Local time: shift by the zone offset the date falls in.
  time_t t = time_t(secs);
  struct tm lt;
  localtime_r(&t, &lt);
  secs -= lt.tm_gmtoff;
  timespec ts[2];
  ts[0].tv_sec = ts[1].tv_sec = time_t(secs);
  ts[0].tv_nsec = ts[1].tv_nsec = long(ds.tick % 50) * 20000000L;
  return ::utimensat(AT_FDCWD, HostPath(path).c_str(), ts, 0) == 0;
}

bool LinuxDos::Info(std::string_view path, VolumeInfo& out) {
  struct statvfs sv;
  if (::statvfs(HostPath(path).c_str(), &sv) != 0) return false;
  out.bytesPerBlock = uint32_t(sv.f_frsize ? sv.f_frsize : sv.f_bsize);
  out.totalBlocks = sv.f_blocks;
  out.usedBlocks = sv.f_blocks - sv.f_bfree;
  return true;
}

DateStamp LinuxDos::Now() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm lt;
  time_t t = ts.tv_sec;
  localtime_r(&t, &lt);
  int64_t local = int64_t(ts.tv_sec) + lt.tm_gmtoff - kAmigaEpoch;
  if (local < 0) local = 0;
  DateStamp ds;
  ds.days = int32_t(local / 86400);
  int64_t inDay = local % 86400;
  ds.minute = int32_t(inDay / 60);
  ds.tick = int32_t((inDay % 60) * 50 + ts.tv_nsec / 20000000L);
  return ds;
}

bool MakeDirs(const std::string& path) {
  if (path.empty()) return false;
  std::string cur;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    cur = path.substr(0, j);
    if (!cur.empty()) ::mkdir(cur.c_str(), 0755);
    i = j + 1;
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DefaultHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/kelvarank";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/kelvarank";
}

std::string DefaultRamDir() {
  const char* rt = std::getenv("XDG_RUNTIME_DIR");
  if (rt && *rt == '/') {
    std::string p = std::string(rt) + "/kelvarank";
    ::mkdir(p.c_str(), 0700);
    if (access(p.c_str(), W_OK) == 0) return p;
  }
  std::string user = std::to_string(getuid());
  for (const char* base : {"/dev/shm", "/tmp"}) {
    std::string p = std::string(base) + "/kelvarank-" + user;
    ::mkdir(p.c_str(), 0700);
    struct stat st;
    if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
        access(p.c_str(), W_OK) == 0)
      return p;
  }
  return "/tmp";
}

}  // namespace kr
