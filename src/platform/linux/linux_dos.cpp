#include "platform/linux/linux_dos.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kr {
namespace {
constexpr int64_t kAmigaEpoch = 252460800;  // 1978-01-01 00:00:00 UTC

int FdOf(int64_t fh) { return fh > 0 ? int(fh - 1) : -1; }

// One allocation: the file operations' timed loops build a path per call.
std::string Join(std::string_view dir, std::string_view rest) {
  std::string out;
  out.reserve(dir.size() + 1 + rest.size());
  out.append(dir);
  if (rest.empty()) return out;
  if (out.empty() || out.back() != '/') out += '/';
  out.append(rest);
  return out;
}
}  // namespace

std::string LinuxDos::HostPath(std::string_view path) const {
  if (!path.empty() && path.front() == '/') {
    // A partition name is an absolute path: "/mnt/disk:rest" is "/mnt/disk/rest".
    size_t colon = path.find(':');
    if (colon == std::string_view::npos) return std::string(path);
    return Join(path.substr(0, colon), path.substr(colon + 1));
  }
  size_t colon = path.find(':');
  if (colon == std::string_view::npos) return std::string(path);
  std::string_view vol = path.substr(0, colon);
  std::string_view rest = path.substr(colon + 1);
  if (vol == "PROGDIR") return Join(home_, rest);
  if (vol == "RAM") return ram_.empty() ? std::string() : Join(ram_, rest);
  return Join(vol, rest);
}

std::string_view LinuxDos::HomeRoot() const {
  std::string_view h = home_;
  while (h.size() > 1 && h.back() == '/') h.remove_suffix(1);
  return h;
}

bool LinuxDos::InsideHome(std::string_view hostPath) const {
  const std::string_view h = HomeRoot();
  return !h.empty() && h != "/" && hostPath.size() > h.size() + 1 && hostPath.compare(0, h.size(), h) == 0 &&
         hostPath[h.size()] == '/';
}

LinuxDos::At::~At() {
  if (dir >= 0) ::close(dir);
}

bool LinuxDos::Resolve(const std::string& p, At& at) const {
  at.dir = AT_FDCWD;
  at.name = p.c_str();
  at.note.clear();
  if (!InsideHome(p)) return true;  // a path outside the home: its folders as the system resolves them
  // Inside the home every folder below it is opened without following a
  // link, so a link there cannot send a write elsewhere.
  const std::string_view home = HomeRoot();
  std::string_view rest = std::string_view(p).substr(home.size() + 1);
  while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  const size_t cut = rest.rfind('/');
  const std::string_view folders = cut == std::string_view::npos ? std::string_view() : rest.substr(0, cut);
  at.own = std::string(cut == std::string_view::npos ? rest : rest.substr(cut + 1));
  at.name = at.own.c_str();
  int fd = ::open(std::string(home).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  at.dir = fd;
  size_t i = 0;
  while (i <= folders.size() && !folders.empty()) {
    size_t j = folders.find('/', i);
    if (j == std::string_view::npos) j = folders.size();
    const std::string part(folders.substr(i, j - i));
    i = j + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      at.note = "a path that leaves the home";
      errno = EXDEV;
      return false;
    }
    const int next = ::openat(at.dir, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      const int e = errno;
      struct stat st;
      if (e == ENOTDIR && ::fstatat(at.dir, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        at.note = "'" + part + "' is a symbolic link, not followed";
        errno = ELOOP;
      } else {
        errno = e;
      }
      return false;
    }
    ::close(at.dir);
    at.dir = next;
  }
  if (at.own.empty() || at.own == "." || at.own == "..") {
    at.note = "not a file name";
    errno = EINVAL;
    return false;
  }
  return true;
}

bool LinuxDos::UnsafeOutput(const At& at, const std::string& p) {
  struct stat st;
  if (::fstatat(at.dir, at.name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;  // a new name
  if (S_ISLNK(st.st_mode)) return !Fail("open", p, ELOOP, "a symbolic link, not followed");
  if (S_ISDIR(st.st_mode)) return !Fail("open", p, EISDIR, "a folder, not a file");
  if (!S_ISREG(st.st_mode))
    return !Fail("open", p, 0, "not a regular file");  // a device or a pipe
  return false;
}

bool LinuxDos::CheckOutputTarget(std::string_view path) {
  std::string p = HostPath(path);
  At at;
  if (!Resolve(p, at)) return Fail("open", p, errno, at.note);
  return !UnsafeOutput(at, p);
}

int64_t LinuxDos::Opened(int fd, std::string path) {
  int64_t fh = int64_t(fd) + 1;
  // A slot per descriptor: the table grows (doubling) only past the largest
  // descriptor seen, and a slot keeps its memory for the next file.
  const size_t slot = size_t(fd);
  if (slot >= open_.size()) open_.resize(std::max(slot + 1, open_.size() * 2));
  open_[slot] = std::move(path);
  return fh;
}

std::string LinuxDos::PathOf(int64_t fh) const {
  const int fd = FdOf(fh);
  if (fd < 0 || size_t(fd) >= open_.size() || open_[size_t(fd)].empty()) return "(handle " + std::to_string(fh) + ")";
  return open_[size_t(fd)];
}

int64_t LinuxDos::Open(std::string_view path, int32_t mode) {
  std::string p = HostPath(path);
  int flags = O_CLOEXEC;
  switch (mode) {
    // A file that is made or emptied is never reached through a link.
    case MODE_OLDFILE: flags |= O_RDWR; break;
    case MODE_NEWFILE: flags |= O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW; break;
    case MODE_READWRITE: flags |= O_RDWR | O_CREAT | O_NOFOLLOW; break;
    default: return Fail("open", p, EINVAL), 0;
  }
  At at;
  if (!Resolve(p, at)) return Fail("open", p, errno, at.note), 0;
  if (at.dir != AT_FDCWD) flags |= O_NOFOLLOW;  // inside the home no link is followed
  int fd = ::openat(at.dir, at.name, flags, 0644);
  if (fd >= 0) return Opened(fd, std::move(p));  // a folder is never opened for writing (EISDIR)
  if (mode == MODE_OLDFILE && (errno == EACCES || errno == EROFS || errno == EISDIR))
    fd = ::openat(at.dir, at.name, O_RDONLY | O_CLOEXEC | (flags & O_NOFOLLOW));
  if (fd < 0) return Fail("open", p, errno, errno == ELOOP ? "a symbolic link, not followed" : ""), 0;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Fail("open", p, EISDIR), 0;
  }
  return Opened(fd, std::move(p));
}

int64_t LinuxDos::OpenNoFollow(std::string_view path, int32_t mode) {
  std::string p = HostPath(path);
  int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  switch (mode) {
    case MODE_OLDFILE: break;
    case MODE_NEWFILE:
    case MODE_READWRITE: flags |= O_CREAT; break;
    default: return Fail("open", p, EINVAL), 0;
  }
  At at;
  if (!Resolve(p, at)) return Fail("open", p, errno, at.note), 0;
  // Looked at before opening, so no device or pipe is ever opened; the
  // type is checked again on the open file against a swap in between.
  // Emptied only once it is known to be a plain file.
  if (UnsafeOutput(at, p)) return 0;
  int fd = ::openat(at.dir, at.name, flags, 0644);
  if (fd < 0) return Fail("open", p, errno, errno == ELOOP ? "a symbolic link, not followed" : ""), 0;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Fail("open", p, 0, "not a regular file"), 0;
  }
  int fl = fcntl(fd, F_GETFL);
  if (fl >= 0) (void)fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  if (mode == MODE_NEWFILE && ftruncate(fd, 0) != 0) {
    int e = errno;
    ::close(fd);
    return Fail("ftruncate", p, e), 0;
  }
  return Opened(fd, std::move(p));
}

int64_t LinuxDos::CreateNew(std::string_view path) {
  std::string p = HostPath(path);
  At at;
  if (!Resolve(p, at)) return Fail("open", p, errno, at.note), 0;
  int fd = ::openat(at.dir, at.name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return Fail("open", p, errno), 0;
  return Opened(fd, std::move(p));
}

bool LinuxDos::Close(int64_t fh) {
  int fd = FdOf(fh);
  if (fd < 0) return Fail("close", PathOf(fh), EBADF);
  // The descriptor is gone whatever close returns; EINTR is not retried.
  const bool ok = ::close(fd) == 0;
  if (!ok) {
    const int e = errno;
    Fail("close", PathOf(fh), e);
  }
  if (size_t(fd) < open_.size()) open_[size_t(fd)].clear();
  return ok;
}

bool LinuxDos::Sync(int64_t fh) {
  int fd = FdOf(fh);
  if (fd < 0) return Fail("fsync", PathOf(fh), EBADF);
  // EINVAL: a file that cannot be synced (a pipe, a special file system).
  if (::fsync(fd) != 0 && errno != EINVAL) return Fail("fsync", PathOf(fh), errno);
  return true;
}

bool LinuxDos::SyncDir(std::string_view dir) {
  std::string p = HostPath(dir);
  int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail("open", p, errno);
  int rc = ::fsync(fd), e = errno;
  ::close(fd);
  if (rc != 0 && e != EINVAL) return Fail("fsync", p, e);
  return true;
}

namespace {
// The process's umask, read without changing it.
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    mode_t m = 022;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
      char line[256];
      while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "Umask:", 6) == 0) m = mode_t(std::strtoul(line + 6, nullptr, 8));
      std::fclose(f);
    }
    return m;
  }();
  return mask;
}
}  // namespace

bool LinuxDos::SetModeLike(int64_t fh, std::string_view like) {
  int fd = FdOf(fh);
  if (fd < 0) return Fail("fchmod", PathOf(fh), EBADF);
  struct stat st;
  mode_t m = ::stat(HostPath(like).c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (::fchmod(fd, m) != 0) return Fail("fchmod", PathOf(fh), errno);
  return true;
}

int64_t LinuxDos::Read(int64_t fh, void* buf, int64_t len) {
  int fd = FdOf(fh);
  if (fd < 0 || len < 0) return Fail("read", PathOf(fh), EBADF), -1;
  int64_t done = 0;
  auto* p = static_cast<char*>(buf);
  while (done < len) {
    ssize_t n = ::read(fd, p + done, size_t(len - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail("read", PathOf(fh), errno), -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t LinuxDos::Write(int64_t fh, const void* buf, int64_t len) {
  int fd = FdOf(fh);
  if (fd < 0 || len < 0) return Fail("write", PathOf(fh), EBADF), -1;
  int64_t done = 0;
  auto* p = static_cast<const char*>(buf);
  while (done < len) {
    ssize_t n = ::write(fd, p + done, size_t(len - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail("write", PathOf(fh), errno), -1;
    }
    done += n;
  }
  return done;
}

int64_t LinuxDos::Seek(int64_t fh, int64_t pos, int32_t mode) {
  int fd = FdOf(fh);
  if (fd < 0) return Fail("lseek", PathOf(fh), EBADF), -1;
  off_t old = lseek(fd, 0, SEEK_CUR);
  if (old < 0) return Fail("lseek", PathOf(fh), errno), -1;
  int whence = mode == OFFSET_BEGINNING ? SEEK_SET : mode == OFFSET_END ? SEEK_END : SEEK_CUR;
  if (lseek(fd, off_t(pos), whence) < 0) return Fail("lseek", PathOf(fh), errno), -1;
  return int64_t(old);
}

bool LinuxDos::SetFileSize(int64_t fh, int64_t size) {
  int fd = FdOf(fh);
  if (fd < 0 || size < 0) return Fail("ftruncate", PathOf(fh), fd < 0 ? EBADF : EINVAL);
  if (ftruncate(fd, off_t(size)) != 0) return Fail("ftruncate", PathOf(fh), errno);
  return true;
}

bool LinuxDos::DeleteFile(std::string_view path) {
  std::string p = HostPath(path);
  At at;
  if (!Resolve(p, at)) return Fail("unlink", p, errno, at.note);
  if (::unlinkat(at.dir, at.name, 0) == 0) return true;
  if (errno != EISDIR && errno != EPERM) return Fail("unlink", p, errno);
  if (::unlinkat(at.dir, at.name, AT_REMOVEDIR) == 0) return true;
  return Fail("rmdir", p, errno);
}

bool LinuxDos::Rename(std::string_view from, std::string_view to) {
  std::string f = HostPath(from), t = HostPath(to);
  At a, b;
  if (!Resolve(f, a)) return Fail("rename", f + " to " + t, errno, a.note);
  if (!Resolve(t, b)) return Fail("rename", f + " to " + t, errno, b.note);
  if (::renameat(a.dir, a.name, b.dir, b.name) == 0) return true;
  return Fail("rename", f + " to " + t, errno);
}

bool LinuxDos::CreateDir(std::string_view path) {
  std::string p = HostPath(path);
  At at;
  if (!Resolve(p, at)) return Fail("mkdir", p, errno, at.note);
  if (::mkdirat(at.dir, at.name, 0755) == 0) return true;
  return Fail("mkdir", p, errno);
}

int64_t LinuxDos::FileSize(std::string_view path) {
  std::string p = HostPath(path);
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return Fail("stat", p, errno), -1;
  if (!S_ISREG(st.st_mode)) return Fail("stat", p, 0, "not a regular file"), -1;
  return int64_t(st.st_size);
}

bool LinuxDos::IsDir(std::string_view path) {
  // A question, not a failing call: "no" leaves the last error alone.
  struct stat st;
  return ::stat(HostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool LinuxDos::Identify(std::string_view path, FileId& out) {
  struct stat st;
  if (::stat(HostPath(path).c_str(), &st) != 0) return false;
  out.device = uint64_t(st.st_dev);
  out.inode = uint64_t(st.st_ino);
  return true;
}

bool LinuxDos::ListDir(std::string_view path, std::vector<DirEntry>& out) {
  out.clear();
  std::string p = HostPath(path);
  DIR* d = ::opendir(p.c_str());
  if (!d) return Fail("opendir", p, errno);
  while (dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    DirEntry de;
    de.name = e->d_name;
    struct stat st;
    if (::fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      de.isDir = S_ISDIR(st.st_mode);
      de.isFile = S_ISREG(st.st_mode);
      de.size = int64_t(st.st_size);
      de.modified = int64_t(st.st_mtim.tv_sec);
    }
    out.push_back(std::move(de));
  }
  ::closedir(d);
  return true;
}

bool LinuxDos::SetComment(std::string_view path, std::string_view comment) {
  std::string p = HostPath(path);
  if (::setxattr(p.c_str(), "user.comment", comment.data(), comment.size(), 0) == 0) return true;
  return Fail("setxattr", p, errno);
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
  std::string p = HostPath(path);
  if (::chmod(p.c_str(), m) == 0) return true;
  return Fail("chmod", p, errno);
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
  std::string p = HostPath(path);
  if (::utimensat(AT_FDCWD, p.c_str(), ts, 0) == 0) return true;
  return Fail("utimensat", p, errno);
}

bool LinuxDos::Info(std::string_view path, VolumeInfo& out) {
  struct statvfs sv;
  std::string p = HostPath(path);
  if (::statvfs(p.c_str(), &sv) != 0) return Fail("statvfs", p, errno);
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

bool IsPrivateDir(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

std::string ChooseRamDir(const char* runtimeDir, const std::vector<std::string>& bases, bool& made) {
  made = false;
  if (runtimeDir && *runtimeDir == '/') {
    std::string p = std::string(runtimeDir) + "/kelvarank";
    ::mkdir(p.c_str(), 0700);
    struct stat st;
    // Our own folder left open by an older version is closed again; a link,
    // a file or a folder of someone else is not used.
    if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077))
      ::chmod(p.c_str(), 0700);
    if (IsPrivateDir(p) && ::access(p.c_str(), W_OK | X_OK) == 0) return p;
  }
  for (const std::string& base : bases) {
    if (base.empty() || base.front() != '/') continue;
    std::string tmpl = base + "/kelvarank-XXXXXX";
    if (!::mkdtemp(tmpl.data())) continue;
    if (IsPrivateDir(tmpl)) {
      made = true;
      return tmpl;
    }
    ::rmdir(tmpl.c_str());
  }
  return {};
}

namespace {
// The folder DefaultRamDir made, removed at exit by the process that made
// it (a forked child leaves it alone).
char gMadeRamDir[4096];
pid_t gMadeRamDirBy = 0;

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
  if (type == FTW_DP)
    ::rmdir(path);
  else
    ::unlink(path);
  return 0;
}

void RemoveMadeRamDir() {
  if (gMadeRamDir[0] && ::getpid() == gMadeRamDirBy)
    ::nftw(gMadeRamDir, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Removes `name` in the folder `parent` with its contents, `depth` folder
// levels down at most, by system calls alone (no memory is allocated):
// usable in a signal handler. No link is followed.
void RemoveTreeAt(int parent, const char* name, int depth) {
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    alignas(8) char buf[4096];
    // Read again from the start until a pass finds nothing left to remove.
    for (int pass = 0; pass < 64; ++pass) {
      bool removed = false;
      ::lseek(fd, 0, SEEK_SET);
      for (;;) {
        const ssize_t n = ::getdents64(fd, buf, sizeof buf);
        if (n <= 0) break;
        for (ssize_t off = 0; off < n;) {
          const auto* d = reinterpret_cast<const struct dirent64*>(buf + off);
          off += d->d_reclen;
          const char* e = d->d_name;
          if (e[0] == '.' && (e[1] == 0 || (e[1] == '.' && e[2] == 0))) continue;
          if (::unlinkat(fd, e, 0) == 0) {
            removed = true;
          } else if (errno == EISDIR && depth > 0) {
            RemoveTreeAt(fd, e, depth - 1);
            removed = true;
          }
        }
      }
      if (!removed) break;
    }
    ::close(fd);
  }
  ::unlinkat(parent, name, AT_REMOVEDIR);
}
}  // namespace

void RemoveRamDirNow() {
  if (gMadeRamDir[0] && ::getpid() == gMadeRamDirBy) RemoveTreeAt(AT_FDCWD, gMadeRamDir, 8);
}

std::string DefaultRamDir() {
  static const std::string dir = [] {
    std::vector<std::string> bases = {"/dev/shm"};
    const char* tmp = std::getenv("TMPDIR");
    if (tmp && *tmp == '/' && std::string(tmp) != "/tmp") bases.emplace_back(tmp);
    bases.emplace_back("/tmp");
    bool made = false;
    std::string d = ChooseRamDir(std::getenv("XDG_RUNTIME_DIR"), bases, made);
    if (made && d.size() < sizeof gMadeRamDir) {
      std::memcpy(gMadeRamDir, d.c_str(), d.size() + 1);
      gMadeRamDirBy = ::getpid();
      std::atexit(RemoveMadeRamDir);
    }
    return d;
  }();
  return dir;
}

HomeLock::Outcome HomeLock::Take(const std::string& home, bool wait) {
  Release();
  error_.clear();
  if (!MakeDirs(home)) {
    error_ = "mkdir " + home + ": " + std::strerror(errno);
    return kFailed;
  }
  std::string lockPath = home + "/KelvaRANK.lock";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    // A home this user may only read: the folder itself carries the lock.
    lockPath = home;
    fd = ::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) {
    error_ = "open " + lockPath + ": " + std::strerror(errno);
    return kFailed;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    int e = errno;
    ::close(fd);
    if (e == EWOULDBLOCK) return kBusy;
    error_ = "flock " + lockPath + ": " + std::strerror(e);
    return kFailed;
  }
  fd_ = fd;
  return kTaken;
}

void HomeLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

uint64_t RaiseOpenFileLimit() {
  struct rlimit lim;
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return 0;
  constexpr rlim_t kEnough = 65536;  // far beyond what the drive section keeps open
  const rlim_t want = lim.rlim_max == RLIM_INFINITY ? kEnough : std::min<rlim_t>(lim.rlim_max, kEnough);
  constexpr rlim_t kNeeded = 4096;  // 3000 scratch files and what the program holds besides
  if (lim.rlim_max != RLIM_INFINITY && lim.rlim_max < kNeeded) {
    // A hard limit below it: only a privileged process may raise that.
    struct rlimit raised = {kNeeded, kNeeded};
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) return uint64_t(kNeeded);
  }
  if (lim.rlim_cur != RLIM_INFINITY && lim.rlim_cur < want) {
    lim.rlim_cur = want;
    ::setrlimit(RLIMIT_NOFILE, &lim);
    ::getrlimit(RLIMIT_NOFILE, &lim);
  }
  return lim.rlim_cur == RLIM_INFINITY ? UINT64_MAX : uint64_t(lim.rlim_cur);
}

}  // namespace kr
