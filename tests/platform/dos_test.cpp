#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/fake/fake_dos.h"
#include "platform/linux/linux_dos.h"
#include "support/test_context.h"

namespace kr::test {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

struct DosFiles : ::testing::Test {
  TempDir home, ram;
  FakeDos dos{home.path(), ram.path()};
  std::string Home(const std::string& rest) const { return home.path() + "/" + rest; }
};

// The real system's failures come back with the call, the path and errno.
TEST_F(DosFiles, FailuresNameTheCallThePathAndTheReason) {
  EXPECT_EQ(dos.LastErrorText(), "");
  EXPECT_EQ(dos.Open("PROGDIR:missing.txt", MODE_OLDFILE), 0);
  EXPECT_EQ(dos.LastError().call, "open");
  EXPECT_EQ(dos.LastError().path, Home("missing.txt"));
  EXPECT_EQ(dos.LastError().code, ENOENT);
  EXPECT_EQ(dos.LastErrorText(), "open " + Home("missing.txt") + ": No such file or directory");

  // A write the device refuses: /dev/full is always full.
  int64_t fh = dos.Open("/dev/full", MODE_OLDFILE);
  ASSERT_NE(fh, 0);
  char block[4096] = {};
  EXPECT_EQ(dos.Write(fh, block, sizeof block), -1);
  EXPECT_EQ(dos.LastErrorText(), "write /dev/full: No space left on device");
  EXPECT_TRUE(dos.Close(fh));

  // A write-back failure is reported by Close, with the file's name.
  dos.AddFault({"close", "out.txt", EIO, 0, 1});
  fh = dos.Open("PROGDIR:out.txt", MODE_NEWFILE);
  ASSERT_NE(fh, 0);
  EXPECT_EQ(dos.Write(fh, "abc", 3), 3);
  EXPECT_FALSE(dos.Close(fh));
  EXPECT_EQ(dos.LastErrorText(), "close " + Home("out.txt") + ": Input/output error");
  // The handle is gone all the same.
  EXPECT_FALSE(dos.Close(fh));
  EXPECT_EQ(dos.LastError().code, EBADF);

  EXPECT_FALSE(dos.Rename("PROGDIR:none", "PROGDIR:other"));
  EXPECT_EQ(dos.LastErrorText(), "rename " + Home("none") + " to " + Home("other") + ": No such file or directory");
}

// A folder is never opened as a file, in any mode.
TEST_F(DosFiles, AFolderIsNotAFile) {
  ASSERT_EQ(::mkdir(Home("dir").c_str(), 0755), 0);
  for (int32_t mode : {MODE_OLDFILE, MODE_NEWFILE, MODE_READWRITE}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(dos.Open("PROGDIR:dir", mode), 0);
    EXPECT_EQ(dos.LastError().code, EISDIR);
  }
}

// The drive section's file tests keep 3000 files open at once: a soft limit
// below that is raised at start, so every open succeeds.
TEST(OpenFileLimit, ALowSoftLimitIsRaisedForThreeThousandOpenFiles) {
  TempDir dir;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    struct rlimit lim;
    ::getrlimit(RLIMIT_NOFILE, &lim);
    if (lim.rlim_max != RLIM_INFINITY && lim.rlim_max < 4096) ::_exit(3);  // cannot be shown here
    lim.rlim_cur = 256;
    if (::setrlimit(RLIMIT_NOFILE, &lim) != 0) ::_exit(4);
    if (RaiseOpenFileLimit() < 4096) ::_exit(5);
    LinuxDos dos(dir.path(), dir.path());
    std::vector<int64_t> handles;
    for (int i = 0; i < 3000; ++i) {
      const int64_t fh = dos.Open("PROGDIR:" + std::to_string(i), MODE_NEWFILE);
      if (fh == 0) ::_exit(6);
      handles.push_back(fh);
    }
    for (int64_t fh : handles)
      if (!dos.Close(fh)) ::_exit(7);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "the hard limit of open files is below 4096";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// An output file never follows a link and is never anything but a plain
// file: a link planted where a report goes cannot make it overwrite another
// file, and a device or pipe is not written to.
TEST_F(DosFiles, OutputFilesRefuseLinksAndSpecialFiles) {
  WriteText(Home("victim.txt"), "precious");
  ASSERT_EQ(::symlink(Home("victim.txt").c_str(), Home("report.txt").c_str()), 0);
  ASSERT_EQ(::mkfifo(Home("pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(Home("folder").c_str(), 0700), 0);
  const struct {
    const char* name;
    const char* why;
  } refused[] = {
      {"report.txt", "a symbolic link, not followed"},
      {"pipe", "not a regular file"},
      {"folder", "a folder, not a file"},
  };
  for (const auto& c : refused) {
    for (int32_t mode : {MODE_NEWFILE, MODE_READWRITE, MODE_OLDFILE}) {
      EXPECT_EQ(dos.OpenNoFollow(std::string("PROGDIR:") + c.name, mode), 0) << c.name;
      EXPECT_EQ(dos.LastErrorText(), "open " + Home(c.name) + ": " + c.why);
    }
  }
  EXPECT_EQ(ReadText(Home("victim.txt")), "precious");
  EXPECT_EQ(dos.OpenNoFollow("/dev/null", MODE_NEWFILE), 0);

  // A plain file is made, emptied, or kept.
  for (int32_t mode : {MODE_NEWFILE, MODE_NEWFILE, MODE_READWRITE}) {
    int64_t fh = dos.OpenNoFollow("PROGDIR:log.txt", mode);
    ASSERT_NE(fh, 0) << dos.LastErrorText();
    if (mode == MODE_READWRITE) {
      EXPECT_EQ(dos.Seek(fh, 0, OFFSET_END), 0);
    }
    EXPECT_EQ(dos.Write(fh, "line\n", 5), 5);
    EXPECT_TRUE(dos.Close(fh));
  }
  EXPECT_EQ(ReadText(Home("log.txt")), "line\nline\n");
  EXPECT_EQ(dos.OpenNoFollow("PROGDIR:absent.txt", MODE_OLDFILE), 0);
  EXPECT_EQ(dos.LastError().code, ENOENT);
}

// Every whole-file output (JSON, exported modules, pictures, the home's
// files) follows the rule of the report: a regular file or a new name. A
// link, a dangling one too, a pipe, a folder or a device is refused and left
// exactly as it was.
TEST_F(DosFiles, WholeFileOutputsFollowTheReportsRule) {
  WriteText(Home("victim.txt"), "precious");
  ASSERT_EQ(::symlink(Home("victim.txt").c_str(), Home("link").c_str()), 0);
  ASSERT_EQ(::symlink(Home("made-by-link").c_str(), Home("dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(Home("pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(Home("folder").c_str(), 0700), 0);
  const bool device = ::mknod(Home("device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;  // as /dev/null
  struct Case {
    const char* name;
    const char* why;
    mode_t type;
  } cases[] = {
      {"link", "a symbolic link, not followed", S_IFLNK},
      {"dangling", "a symbolic link, not followed", S_IFLNK},
      {"pipe", "not a regular file", S_IFIFO},
      {"folder", "a folder, not a file", S_IFDIR},
      {"device", "not a regular file", S_IFCHR},
  };
  for (const Case& c : cases) {
    if (std::string(c.name) == "device" && !device) continue;  // mknod needs privilege
    for (const std::string& path : {std::string("PROGDIR:") + c.name, Home(c.name)}) {
      EXPECT_FALSE(dos.CheckOutputTarget(path)) << path;
      EXPECT_EQ(dos.LastErrorText(), "open " + Home(c.name) + ": " + c.why);
      EXPECT_FALSE(dos.WriteFileAtomic(path, "new", 3)) << path;
      EXPECT_EQ(dos.LastErrorText(), "open " + Home(c.name) + ": " + c.why);
      struct stat st;
      ASSERT_EQ(::lstat(Home(c.name).c_str(), &st), 0) << path;
      EXPECT_EQ(st.st_mode & S_IFMT, c.type) << path;
    }
  }
  EXPECT_EQ(ReadText(Home("victim.txt")), "precious");
  struct stat st;
  EXPECT_NE(::lstat(Home("made-by-link").c_str(), &st), 0);
  EXPECT_FALSE(dos.WriteFileAtomic("/dev/null", "x", 1));
  // A regular file and a new name are written.
  EXPECT_TRUE(dos.WriteFileAtomic("PROGDIR:victim.txt", "new", 3));
  EXPECT_TRUE(dos.WriteFileAtomic("PROGDIR:fresh.txt", "new", 3));
  EXPECT_EQ(ReadText(Home("victim.txt")), "new");
  EXPECT_EQ(ReadText(Home("fresh.txt")), "new");
}

// Below the home no link is followed, in a folder of the path or at its
// end, whatever writes there; outside it the folders of a path the user
// chose may be links, its last part may not.
TEST_F(DosFiles, LinksInTheHomeAreNeverFollowedForWrites) {
  TempDir elsewhere;
  const std::string victim = elsewhere.path() + "/r.txt";
  WriteText(victim, "precious");
  ASSERT_EQ(::symlink(elsewhere.path().c_str(), Home("Reports").c_str()), 0);
  ASSERT_EQ(::mkdir(Home("Data").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(victim.c_str(), Home("Data/0000128.bin").c_str()), 0);
  ASSERT_EQ(::symlink(Home("Data/made.ins").c_str(), Home("KelvaRANK.ins").c_str()), 0);

  const std::string viaFolder = "open " + Home("Reports/r.txt") + ": 'Reports' is a symbolic link, not followed";
  EXPECT_EQ(dos.OpenNoFollow("PROGDIR:Reports/r.txt", MODE_NEWFILE), 0);
  EXPECT_EQ(dos.LastErrorText(), viaFolder);
  EXPECT_EQ(dos.OpenNoFollow(Home("Reports/r.txt"), MODE_NEWFILE), 0);  // the home by its host path
  EXPECT_EQ(dos.LastErrorText(), viaFolder);
  EXPECT_EQ(dos.Open("PROGDIR:Reports/r.txt", MODE_NEWFILE), 0);
  EXPECT_EQ(dos.CreateNew("PROGDIR:Reports/new.txt"), 0);
  EXPECT_FALSE(dos.WriteFileAtomic("PROGDIR:Reports/r.txt", "x", 1));
  EXPECT_FALSE(dos.DeleteFile("PROGDIR:Reports/r.txt"));
  EXPECT_FALSE(dos.Rename("PROGDIR:Data/0000128.bin", "PROGDIR:Reports/r.txt"));
  EXPECT_FALSE(dos.CreateDir("PROGDIR:Reports/sub"));
  EXPECT_EQ(dos.Open("PROGDIR:Data/0000128.bin", MODE_NEWFILE), 0);
  EXPECT_EQ(dos.Open("PROGDIR:Data/0000128.bin", MODE_READWRITE), 0);
  EXPECT_EQ(dos.CreateNew("PROGDIR:KelvaRANK.ins"), 0);
  EXPECT_EQ(dos.Open("PROGDIR:Data/../Reports/r.txt", MODE_NEWFILE), 0);
  EXPECT_EQ(dos.LastErrorText(), "open " + Home("Data/../Reports/r.txt") + ": a path that leaves the home");
  EXPECT_EQ(ReadText(victim), "precious");
  std::vector<DirEntry> entries;
  ASSERT_TRUE(dos.ListDir(elsewhere.path(), entries));
  EXPECT_EQ(entries.size(), 1u);
  struct stat st;
  EXPECT_NE(::lstat(Home("Data/made.ins").c_str(), &st), 0);

  // Outside the home: a linked folder is the user's choice, a linked file is not.
  TempDir outside;
  ASSERT_EQ(::symlink(elsewhere.path().c_str(), (outside.path() + "/dir").c_str()), 0);
  ASSERT_EQ(::symlink(victim.c_str(), (outside.path() + "/file").c_str()), 0);
  EXPECT_TRUE(dos.WriteFileAtomic(outside.path() + "/dir/out.json", "{}", 2)) << dos.LastErrorText();
  EXPECT_EQ(ReadText(elsewhere.path() + "/out.json"), "{}");
  EXPECT_EQ(dos.Open(outside.path() + "/file", MODE_NEWFILE), 0);
  EXPECT_EQ(dos.LastError().code, ELOOP);
  EXPECT_EQ(ReadText(victim), "precious");
}

// Temporaries of whole-file writes and reports are told by their names.
TEST(DosNames, TemporariesOfTheProgramsOwnPattern) {
  struct Case {
    const char* name;
    bool temporary;
  } cases[] = {
      {"KelvaRANK.cfg.0123456789abcdef.new", true},
      {"KR_Report_01.01.26_10.00.00.txt.fedcba9876543210.part", true},
      {"database.dbi.0123456789abcdef.new", true},
      {"x.0123456789ABCDEF.new", false},  // upper case is not the program's
      {"x.0123456789abcde.new", false},
      {"x0123456789abcdef.new", false},
      {"notes.new", false},
      {"x.0123456789abcdef.txt", false},
      {".0123456789abcdef.part", false},  // no target name
  };
  for (const Case& c : cases) EXPECT_EQ(Dos::IsTemporaryName(c.name), c.temporary) << c.name;
}

// The RAM folder a process made goes with it also when a signal ends it
// at once (the removal at exit does not run then).
TEST(RamFolder, ASignalThatEndsTheProcessRemovesIt) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string dir = DefaultRamDir();
    WriteText(dir + "/kr_maillog.txt", "log");
    ::mkdir((dir + "/sub").c_str(), 0700);
    WriteText(dir + "/sub/x", "x");
    (void)!::write(fds[1], dir.c_str(), dir.size());
    ::close(fds[1]);
    struct sigaction sa {};
    sa.sa_handler = [](int sig) {
      RemoveRamDirNow();
      ::signal(sig, SIG_DFL);
      ::raise(sig);
    };
    ::sigaction(SIGTERM, &sa, nullptr);
    ::raise(SIGTERM);
    ::_exit(3);
  }
  ::close(fds[1]);
  char buf[4096] = {};
  const ssize_t n = ::read(fds[0], buf, sizeof buf - 1);
  ::close(fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  ASSERT_GT(n, 0);
  const std::string dir(buf, size_t(n));
  EXPECT_NE(dir.find("/kelvarank-"), std::string::npos) << dir;
  struct stat st;
  EXPECT_NE(::lstat(dir.c_str(), &st), 0) << dir;
}

// Atomic saves keep the target's permissions, leave no temporary file,
// and a failing step leaves the old file and says why.
TEST_F(DosFiles, AtomicSaveKeepsModeAndLeavesNothingBehind) {
  WriteText(Home("a.cfg"), "old");
  ASSERT_EQ(::chmod(Home("a.cfg").c_str(), 0600), 0);
  ASSERT_TRUE(dos.WriteFileAtomic("PROGDIR:a.cfg", "new!", 4));
  EXPECT_EQ(ReadText(Home("a.cfg")), "new!");
  struct stat st;
  ASSERT_EQ(::stat(Home("a.cfg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  dos.spaceLeft = 2;
  EXPECT_FALSE(dos.WriteFileAtomic("PROGDIR:a.cfg", "newer", 5));
  EXPECT_EQ(dos.LastErrorText(), "write " + Home("a.cfg") + ": No space left on device");
  EXPECT_EQ(ReadText(Home("a.cfg")), "new!");
  std::vector<DirEntry> entries;
  ASSERT_TRUE(dos.ListDir("PROGDIR:", entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "a.cfg");
}

// Two processes saving the same file over and over: every save uses a
// temporary of its own, so a reader only ever sees one whole version.
TEST_F(DosFiles, ConcurrentSavesNeverLeaveAShortFile) {
  const std::string a(2452, 'a'), b(2452, 'b');
  ASSERT_TRUE(dos.WriteFileAtomic("PROGDIR:x.cfg", a.data(), a.size()));
  pid_t kids[2];
  for (int k = 0; k < 2; ++k) {
    kids[k] = fork();
    ASSERT_GE(kids[k], 0);
    if (kids[k] == 0) {
      LinuxDos mine(home.path(), ram.path());
      const std::string& text = k ? b : a;
      int failed = 0;
      for (int i = 0; i < 300; ++i) failed += !mine.WriteFileAtomic("PROGDIR:x.cfg", text.data(), text.size());
      _exit(failed ? 1 : 0);
    }
  }
  int bad = 0, reads = 0;
  for (bool running = true; running;) {
    std::string seen = ReadText(Home("x.cfg"));
    ++reads;
    if (seen != a && seen != b) ++bad;
    int status;
    running = waitpid(kids[0], &status, WNOHANG) == 0 || waitpid(kids[1], &status, WNOHANG) == 0;
  }
  for (pid_t kid : kids) {
    int status = 0;
    waitpid(kid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
  }
  EXPECT_EQ(bad, 0) << "of " << reads << " reads";
  std::vector<DirEntry> entries;
  ASSERT_TRUE(dos.ListDir("PROGDIR:", entries));
  EXPECT_EQ(entries.size(), 1u) << "temporary files left";
}

// Scratch files in the RAM folder get names no other process uses, and
// are made exclusively: a name already there is never reused.
TEST_F(DosFiles, ScratchFilesAreUniqueAcrossProcesses) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const int kKids = 4, kEach = 50;
  for (int k = 0; k < kKids; ++k) {
    pid_t kid = fork();
    ASSERT_GE(kid, 0);
    if (kid == 0) {
      LinuxDos mine(home.path(), ram.path());
      for (int i = 0; i < kEach; ++i) {
        std::string name = mine.ScratchFile("kr_info", ".txt");
        if (name.empty()) name = mine.LastErrorText();
        name += "\n";
        if (write(fds[1], name.data(), name.size()) != ssize_t(name.size())) _exit(1);
      }
      _exit(0);
    }
  }
  close(fds[1]);
  std::string all;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) all.append(buf, size_t(n));
  close(fds[0]);
  while (wait(nullptr) > 0) {
  }
  std::set<std::string> names;
  for (size_t at = 0, nl; (nl = all.find('\n', at)) != std::string::npos; at = nl + 1) {
    std::string name = all.substr(at, nl - at);
    EXPECT_EQ(name.rfind("RAM:kr_info_", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    names.insert(name);
  }
  EXPECT_EQ(names.size(), size_t(kKids * kEach));
  for (const std::string& name : names) {
    struct stat st;
    ASSERT_EQ(::lstat(dos.HostPath(name).c_str(), &st), 0) << name;
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 077, 0u) << "readable by others";
  }

  // Without a RAM folder there is nothing to write into, not even the
  // current folder.
  LinuxDos none(home.path(), "");
  EXPECT_EQ(none.ScratchFile("kr_info", ".txt"), "");
  EXPECT_EQ(none.HostPath("RAM:x"), "");
}

// The RAM folder is private: a runtime folder's "kelvarank" is used only
// when it is this user's own closed folder; otherwise a new folder of our
// own is made, never the shared base itself.
TEST(RamFolder, IsAlwaysAPrivateFolder) {
  TempDir runtime, shared;
  ASSERT_EQ(::chmod(shared.path().c_str(), 01777), 0);
  bool made = true;

  // Usual case: made in the runtime folder, mode 0700.
  std::string dir = ChooseRamDir(runtime.path().c_str(), {shared.path()}, made);
  EXPECT_EQ(dir, runtime.path() + "/kelvarank");
  EXPECT_FALSE(made);
  EXPECT_TRUE(IsPrivateDir(dir));

  // A planted link, a plain file, or a folder of another user: not used.
  TempDir elsewhere;
  const std::string planted = runtime.path() + "/kelvarank";
  auto plant = [&](int kind) {
    (void)std::system(("rm -rf '" + planted + "'").c_str());
    if (kind == 0) {
      ASSERT_EQ(::symlink(elsewhere.path().c_str(), planted.c_str()), 0);
    }
    if (kind == 1) WriteText(planted, "x");
    if (kind == 2) {
      ASSERT_EQ(::mkdir(planted.c_str(), 0700), 0);
      if (::geteuid() != 0) GTEST_SKIP() << "another user's folder needs root to make";
      ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
    }
  };
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    plant(kind);
    if (HasFatalFailure() || IsSkipped()) return;
    dir = ChooseRamDir(runtime.path().c_str(), {shared.path()}, made);
    EXPECT_TRUE(made);
    EXPECT_NE(dir, shared.path());
    EXPECT_EQ(dir.rfind(shared.path() + "/kelvarank-", 0), 0u) << dir;
    EXPECT_TRUE(IsPrivateDir(dir));
    if (kind == 1) {
      EXPECT_EQ(ReadText(planted), "x");
    }
  }

  // No runtime folder and no usable base: no RAM folder at all.
  EXPECT_EQ(ChooseRamDir(nullptr, {"/nonexistent-base"}, made), "");
  EXPECT_FALSE(made);
}

// One writer per home: a second taker finds it busy, a waiting one gets it
// as soon as the first lets go.
TEST(HomeLockTest, OneHolderAtATime) {
  TempDir root;
  const std::string home = root.path() + "/new/home";
  HomeLock first;
  ASSERT_EQ(first.Take(home, false), HomeLock::kTaken) << first.error();
  EXPECT_TRUE(first.held());

  int go[2], done[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t kid = fork();
  ASSERT_GE(kid, 0);
  if (kid == 0) {
    first.Release();  // the copy of the parent's descriptor a fork hands over
    HomeLock second;
    char c = second.Take(home, false) == HomeLock::kBusy ? 'b' : 'x';
    if (write(go[1], &c, 1) != 1) _exit(1);
    c = second.Take(home, true) == HomeLock::kTaken ? 't' : 'x';
    if (write(done[1], &c, 1) != 1) _exit(1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(go[0], &c, 1), 1);
  EXPECT_EQ(c, 'b');
  first.Release();
  ASSERT_EQ(read(done[0], &c, 1), 1);
  EXPECT_EQ(c, 't');
  int status = 0;
  waitpid(kid, &status, 0);
  for (int fd : {go[0], go[1], done[0], done[1]}) close(fd);

  // A home that cannot be made is a clear failure.
  WriteText(root.path() + "/file", "");
  HomeLock bad;
  EXPECT_EQ(bad.Take(root.path() + "/file/home", false), HomeLock::kFailed);
  EXPECT_NE(bad.error().find("/file/home"), std::string::npos) << bad.error();
}

}  // namespace
}  // namespace kr::test
