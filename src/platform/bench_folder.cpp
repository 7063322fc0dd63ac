#include "platform/bench_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kr {
namespace {

BenchFolderRemoval Kept(std::string reason) {
  BenchFolderRemoval r;
  r.reason = std::move(reason);
  return r;
}

std::string Reason(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

}  // namespace

BenchFolderRemoval RemoveBenchFolder(const std::string& parent, const std::string& name,
                                     const std::vector<std::string>& entries, const FileId* expected,
                                     const std::function<void(size_t)>& progress) {
  // The partition folder is the user's choice: links on the way to it are
  // theirs. The benchmark folder below it is never reached through one.
  const int pfd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (pfd < 0) return Kept(Reason("its partition folder cannot be opened", errno));
  struct stat ps {};
  if (::fstat(pfd, &ps) != 0) {
    const int e = errno;
    ::close(pfd);
    return Kept(Reason("its partition folder cannot be examined", e));
  }
  const int fd = ::openat(pfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    ::close(pfd);
    if (e == ENOENT) {
      // Missing where the run made it on another device: the partition is
      // not mounted now, and the folder is still on it.
      if (expected && uint64_t(ps.st_dev) != expected->device)
        return Kept("the partition is not mounted (its folder is on another device now)");
      return BenchFolderRemoval{BenchFolderRemoval::Outcome::Absent, {}};
    }
    if (e == ELOOP || e == ENOTDIR) return Kept("it is a symbolic link or not a folder; it is left alone");
    return Kept(Reason("it cannot be opened", e));
  }
  struct stat fs {};
  if (::fstat(fd, &fs) != 0 ||
      (expected && (uint64_t(fs.st_dev) != expected->device || uint64_t(fs.st_ino) != expected->inode))) {
    ::close(fd);
    ::close(pfd);
    return Kept("it is not the folder the interrupted run made; it is left alone");
  }
  size_t done = 0;
  for (const std::string& entry : entries) {
    ::unlinkat(fd, entry.c_str(), 0);  // what is not there is no error
    if (progress) progress(++done);
  }
  ::close(fd);
  // The name may have been swapped since it was opened: only the folder
  // that was emptied is removed.
  struct stat now {};
  int err = 0;
  if (::fstatat(pfd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0)
    err = errno;
  else if (now.st_dev != fs.st_dev || now.st_ino != fs.st_ino)
    err = EXDEV;
  else if (::unlinkat(pfd, name.c_str(), AT_REMOVEDIR) != 0)
    err = errno;
  if (err == 0 && ::fstatat(pfd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0) err = EEXIST;
  ::close(pfd);
  if (err == 0 || (err == ENOENT && done == entries.size())) return {BenchFolderRemoval::Outcome::Removed, {}};
  if (err == ENOTEMPTY || err == EEXIST) return Kept("it holds files the benchmark did not make; they are left alone");
  if (err == EXDEV) return Kept("it was replaced while it was emptied; it is left alone");
  return Kept(Reason("it cannot be removed", err));
}

}  // namespace kr
