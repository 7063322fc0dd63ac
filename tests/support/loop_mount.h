// A real partition for the tests that need one: an ext4 image on a loop
// device, mounted under a folder. Needs root, mkfs.ext4 and a free loop
// device; Attach says why it could not, for the test to skip with. The
// partition is unmounted and the loop device detached on every way out.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace kr::test {

// Runs a shell command: true when it succeeded; out gets its first output
// line without the line end and trailing blanks.
inline bool Shell(const std::string& cmd, std::string* out = nullptr) {
  FILE* p = ::popen((cmd + " 2>/dev/null").c_str(), "r");
  if (!p) return false;
  char line[512] = {};
  const bool got = std::fgets(line, sizeof line, p) != nullptr;
  const int rc = ::pclose(p);
  if (out) {
    *out = got ? line : "";
    while (!out->empty() && (out->back() == '\n' || out->back() == ' ')) out->pop_back();
  }
  return rc == 0;
}

class LoopMount {
 public:
  LoopMount() = default;
  LoopMount(const LoopMount&) = delete;
  LoopMount& operator=(const LoopMount&) = delete;
  ~LoopMount() { Detach(); }

  // Makes dir/disk.img of `bytes`, formats it (mkfs.ext4 with `mkfsOptions`),
  // attaches it and mounts it on dir/mnt. Empty when it is mounted, else why
  // not (a failure to make the folder or the image also fails the test).
  std::string Attach(const std::string& dir, uint64_t bytes, const std::string& mkfsOptions = "") {
    if (::geteuid() != 0) return "needs root to attach and mount a loop device";
    image_ = dir + "/disk.img";
    mnt_ = dir + "/mnt";
    if (::mkdir(mnt_.c_str(), 0755) != 0) {
      ADD_FAILURE() << "mkdir " << mnt_;
      return "no mount point";
    }
    const int fd = ::open(image_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    const bool sized = fd >= 0 && ::ftruncate(fd, off_t(bytes)) == 0;
    if (fd >= 0) ::close(fd);
    if (!sized) {
      ADD_FAILURE() << "cannot make the image " << image_;
      return "no image";
    }
    if (!Shell("mkfs.ext4 -q -F " + mkfsOptions + " '" + image_ + "'")) return "mkfs.ext4 is not available";
    if (!Shell("losetup --find --show '" + image_ + "'", &node_) || node_.empty()) {
      node_.clear();
      return "no loop device could be attached";
    }
    if (::mount(node_.c_str(), mnt_.c_str(), "ext4", 0, nullptr) != 0) return "mount failed";
    mounted_ = true;
    return {};
  }

  void Unmount() {
    if (mounted_ && ::umount(mnt_.c_str()) != 0) ::umount2(mnt_.c_str(), MNT_DETACH);
    mounted_ = false;
  }
  // Takes the file system away under whatever uses it (umount -l).
  bool LazyUnmount() {
    if (!mounted_ || ::umount2(mnt_.c_str(), MNT_DETACH) != 0) return false;
    mounted_ = false;
    return true;
  }
  // Mounts it again after Unmount or LazyUnmount.
  bool Mount() {
    if (!mounted_ && !node_.empty()) mounted_ = ::mount(node_.c_str(), mnt_.c_str(), "ext4", 0, nullptr) == 0;
    return mounted_;
  }
  void Detach() {
    Unmount();
    if (!node_.empty()) Shell("losetup -d " + node_);
    node_.clear();
  }

  const std::string& image() const { return image_; }
  const std::string& mnt() const { return mnt_; }
  const std::string& node() const { return node_; }
  bool mounted() const { return mounted_; }

 private:
  std::string image_, mnt_, node_;
  bool mounted_ = false;
};

}  // namespace kr::test
