// The terminal program's drive section end to end on a real partition: an
// ext4 image on a loop device mounted under a temporary folder. Needs root,
// mkfs.ext4 and a free loop device; skips with the reason otherwise. The
// partition is unmounted and the loop device detached on every way out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <thread>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "engine/run_plan.h"
#include "support/loop_mount.h"
#include "support/test_context.h"

namespace kr::cli {
namespace {

constexpr uint64_t kImageBytes = 160ull << 20;  // the benchmark files need about 82 MB

using test::Shell;


class DriveEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = loop_.Attach(dir_.path(), imageBytes_, mkfsOptions_);
    if (!why.empty()) GTEST_SKIP() << why;
    image_ = loop_.image();
    mnt_ = loop_.mnt();
    node_ = loop_.node();
  }
  void TearDown() override { ::unsetenv(kWorkScaleVariable); }

  // The terminal programs this test starts from here on do 1/scale of the
  // defined work (engine/run_plan.h); the figures count the work done and
  // the cards, switches and scoring stay as defined.
  static void UseWorkScale(const char* scale) { ::setenv(kWorkScaleVariable, scale, 1); }

  test::TempDir dir_, home_;
  test::LoopMount loop_;  // goes before the folder holding its image
  std::string image_, mnt_, node_;
  uint64_t imageBytes_ = kImageBytes;
  std::string mkfsOptions_;
};

// A home whose profile passes the settings pages' checks, on the partition.
std::string Profile(const std::string& partition) {
  return "general.username=tester general.realname=Tester general.location=Here "
         "general.email=t@example.org general.smtpserver=localhost general.homepage=http://example.org "
         "general.comment=hello general.reportfile=PROGDIR:Reports/drive.txt drive.partition=" + partition;
}

// The first byte where two images differ, leaving out the primary ext4
// superblock (bytes 1024..2047): the file system stamps its write time and
// counters there whenever it is synced, which is its own change.
std::string FirstDifference(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return "sizes differ";
  const size_t from = std::min<size_t>(1024, a.size()), to = std::min<size_t>(2048, a.size());
  if (a.compare(0, from, b, 0, from) == 0 && a.compare(to, std::string::npos, b, to, std::string::npos) == 0)
    return {};
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && (i < 1024 || i >= 2048)) return "first at byte " + std::to_string(i);
  return {};
}

void EveryDriveTestInBothAccessModes(const std::string& home, const std::string& dir, const std::string& mnt,
                                     const std::string& node) {
  const std::string h = "--home " + home + " --yes --quiet ";
  ASSERT_EQ(RunCli(h + "info").code, 0);  // first start: the data files

  // The partition is offered.
  Result list = RunCli(h + "partitions");
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find(mnt), std::string::npos) << list.out;
  EXPECT_NE(list.out.find(node), std::string::npos) << list.out;

  // NSD-64: every test but Write to Device (the partition's file system is
  // mounted) and SpinUP Device (a loop device cannot be stopped).
  Result set = RunCli(h + "settings set " + Profile(mnt) + " drive.accessmode=1");
  ASSERT_EQ(set.code, 0) << set.err;
  const std::string nsdReport = dir + "/nsd.txt";
  Result nsd = RunCli(h + "run drive --all --report " + nsdReport);
  ASSERT_EQ(nsd.code, 0) << nsd.err;
  std::string report = Slurp(nsdReport);
  for (const char* card : {"|   dos.library standart functions - [", "|   Read from FILE - [", "|   Write fo FILE - [",
                           "|   Read from DEVICE [new style] NSCMD_TD_READ64 ",
                           "|   Seek on DEVICE [new sytle] NSCMD_TD_SEEK64 "})
    EXPECT_NE(report.find(card), std::string::npos) << card;
  EXPECT_EQ(report.find("SpinUp DEVICE"), std::string::npos);
  EXPECT_EQ(report.find("|   KelvaRANKS : DISABLED"), std::string::npos) << report;
  EXPECT_NE(nsd.out.find("Hard Drive total: "), std::string::npos);
  EXPECT_EQ(nsd.out.find("Hard Drive total: DISABLED"), std::string::npos) << nsd.out << nsd.err;
  EXPECT_NE(report.find("T O T A L   - D R V -   K e l v a R A N K S :"), std::string::npos);
  // Nothing of the run is left: no benchmark folder, no crash marker.
  EXPECT_FALSE(Shell("test -e '" + mnt + "/KelvaRANK_bench'"));
  EXPECT_FALSE(Shell("test -e '" + home + "/KelvaRANK.pid'"));
}

TEST_F(DriveEndToEnd, EveryDriveTestInBothAccessModes) {
  UseWorkScale("16");
  EveryDriveTestInBothAccessModes(home_.path(), dir_.path(), mnt_, node_);
}

TEST_F(DriveEndToEnd, FullSizeEveryDriveTestInBothAccessModes) {
  EveryDriveTestInBothAccessModes(home_.path(), dir_.path(), mnt_, node_);
}

// Write to Device on the unmounted disk, named by its node, in both access
// modes: the device tests alone run, the card scores, the bytes at block 123
// are as they were and the file system on the disk checks clean.
TEST_F(DriveEndToEnd, WriteToDeviceRunsOnAnUnmountedDiskAndLeavesItClean) {
  UseWorkScale("16");
  const std::string h = "--home " + home_.path() + " --yes --quiet ";
  ASSERT_EQ(RunCli(h + "info").code, 0);
  // 8 MiB per step keeps it quick (such a sweep is measured, not scored).
  ASSERT_EQ(RunCli(h + "settings set " + Profile(mnt_) + " drive.enabled.seekdevice=0 drive.count.writedevice=8").code,
            0);
  loop_.Unmount();
  const std::string before = Slurp(image_);
  for (const char* mode : {"1", "0"}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(RunCli(h + "settings set drive.accessmode=" + std::string(mode)).code, 0);
    const std::string path = dir_.path() + "/raw" + mode + ".txt";
    Result r = RunCli(h + "run drive --partition " + node_ + " --write-device --report " + path);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("block '123'"), std::string::npos);  // the warning, with the device and the range
    EXPECT_NE(r.err.find("bytes 62976 to 8451583 of " + node_), std::string::npos) << r.err;
    const std::string report = Slurp(path);
    EXPECT_NE(report.find(mode[0] == '1' ? "|   Write to DEVICE [new style] NSCMD_TD_WRITE64 "
                                         : "|   Write to DEVICE [direct-access] SCSI_DA_WRITE_10 "),
              std::string::npos);
    // No file tests on a device node; every step was measured, none failed.
    EXPECT_EQ(report.find("Read from FILE"), std::string::npos);
    EXPECT_NE(report.find("|   Minimum : "), std::string::npos) << report;
    EXPECT_EQ(report.find("|   Minimum :        0.00 MB/s"), std::string::npos) << report;
    EXPECT_EQ(report.find("OpenDevice"), std::string::npos) << report;
    EXPECT_EQ(FirstDifference(Slurp(image_), before), "");
  }
  std::string fsck;
  EXPECT_TRUE(Shell("fsck.ext4 -fn '" + image_ + "' >/dev/null 2>&1; echo $?", &fsck));
  EXPECT_EQ(fsck, "0");
}

// A disk with 4096-byte sectors (a loop device over a spare image): Read
// from Device leaves out the steps below one sector and scores from the rest.
TEST_F(DriveEndToEnd, ReadFromDeviceScoresOnA4096ByteSectorDisk) {
  UseWorkScale("16");
  const std::string h = "--home " + home_.path() + " --yes --quiet ";
  ASSERT_EQ(RunCli(h + "info").code, 0);
  ASSERT_EQ(RunCli(h + "settings set " + Profile(mnt_) + " drive.enabled.readdevice=1 drive.enabled.seekdevice=0")
                .code,
            0);
  const std::string image = dir_.path() + "/4k.img";
  ASSERT_TRUE(Shell("truncate -s 32M '" + image + "'"));
  std::string node;
  if (!Shell("losetup --find --show --sector-size 4096 '" + image + "'", &node) || node.empty())
    GTEST_SKIP() << "no loop device with 4096-byte sectors could be attached";
  const std::string report = dir_.path() + "/4k.txt";
  Result r = RunCli(h + "run drive --partition " + node + " --report " + report);
  Shell("losetup -d " + node);
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string text = Slurp(report);
  EXPECT_NE(text.find("|       512                                                        0.00    |\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("|   Read from DEVICE [direct-access] SCSI_DA_READ_10 "), std::string::npos) << text;
  EXPECT_EQ(text.find("|   KelvaRANKS : DISABLED"), std::string::npos) << text;
}

// A mounted ext4 in use (a writer loop runs on it): Write to Device is
// refused before anything runs, in one line naming the device and the mount
// point and saying how to run it; the file system checks clean after.
TEST_F(DriveEndToEnd, WriteToDeviceIsRefusedOnABusyMountedDisk) {
  const std::string h = "--home " + home_.path() + " --yes --quiet ";
  ASSERT_EQ(RunCli(h + "info").code, 0);
  ASSERT_EQ(RunCli(h + "settings set " + Profile(mnt_)).code, 0);
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    ::execl("/bin/sh", "sh", "-c",
            ("while :; do dd if=/dev/zero of='" + mnt_ + "/busy' bs=64k count=16 conv=fsync 2>/dev/null; done")
                .c_str(),
            (char*)nullptr);
    ::_exit(127);
  }
  // The writer is at work once its file is there.
  const std::string busy = mnt_ + "/busy";
  bool writing = false;
  for (int i = 0; i < 10000 && !writing; ++i) {
    writing = ::access(busy.c_str(), F_OK) == 0;
    if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!writing) {
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    FAIL() << "the writer did not start";
  }
  Result r = RunCli(h + "run drive --write-device");
  Result module = RunCli(h + "make-module --write-device");
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  EXPECT_EQ(r.code, 10);
  const std::string line = "kelvarank-cli: Write to Device refused: " + node_ + " holds mounted file systems (" +
                           mnt_ + "); Write to Device runs only when none of that disk is mounted: run it on an "
                           "unmounted disk or a spare partition (--partition /dev/NODE)\n";
  EXPECT_NE(r.err.find(line), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Hard Drive total"), std::string::npos);  // nothing ran
  EXPECT_EQ(module.code, 10);
  EXPECT_NE(module.err.find(line), std::string::npos) << module.err;
  EXPECT_FALSE(Shell("test -e '" + home_.path() + "/KelvaRANK.pid'"));
  loop_.Unmount();
  std::string fsck;
  EXPECT_TRUE(Shell("fsck.ext4 -fn '" + image_ + "' >/dev/null 2>&1; echo $?", &fsck));
  EXPECT_EQ(fsck, "0");
}

TEST_F(DriveEndToEnd, WriteToDeviceNeedsItsConfirmation) {
  const std::string h = "--home " + home_.path() + " --quiet ";
  ASSERT_EQ(RunCli(h + "--yes info").code, 0);
  ASSERT_EQ(RunCli(h + "--yes settings set " + Profile(mnt_)).code, 0);
  loop_.Unmount();
  const std::string before = Slurp(image_);
  Result r = RunCli(h + "run drive --partition " + node_ + " --write-device");
  EXPECT_EQ(r.code, 10);
  EXPECT_NE(r.err.find("block '123'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--write-device needs --yes"), std::string::npos) << r.err;
  EXPECT_EQ(FirstDifference(Slurp(image_), before), "");
}

// A file system that fills up while the data files are copied (one block
// group with 16 inodes: the folder and four copies fit, the fifth does not,
// while the free blocks pass the free-space check): the run says why, leaves
// nothing on the partition and no crash marker.
class FullDriveEndToEnd : public DriveEndToEnd {
 protected:
  FullDriveEndToEnd() {
    imageBytes_ = 120ull << 20;
    mkfsOptions_ = "-b 4096 -N 16";
  }
};

TEST_F(FullDriveEndToEnd, AFullFileSystemDuringTheCopyLeavesNothing) {
  const std::string h = "--home " + home_.path() + " --yes --quiet ";
  ASSERT_EQ(RunCli(h + "info").code, 0);
  ASSERT_EQ(RunCli(h + "settings set " + Profile(mnt_) + " drive.enabled.filesystem=1").code, 0);
  const std::string report = dir_.path() + "/full.txt";
  Result r = RunCli(h + "run drive --report " + report);
  EXPECT_EQ(r.code, 10);  // the section refused to run
  EXPECT_NE(r.err.find("Could not copy needed datafiles!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Could not open destination file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the drive section refused to run"), std::string::npos) << r.err;
  EXPECT_FALSE(Shell("test -e '" + mnt_ + "/KelvaRANK_bench'"));
  EXPECT_FALSE(Shell("test -e '" + home_.path() + "/KelvaRANK.pid'"));
  std::string left;
  Shell("ls -A '" + mnt_ + "' | tr '\\n' ' '", &left);
  EXPECT_EQ(left, "lost+found") << left;

  // A benchmark folder already there (not this run's): named, left alone, exit 10.
  ASSERT_TRUE(Shell("mkdir '" + mnt_ + "/KelvaRANK_bench'"));
  r = RunCli(h + "run drive --report " + report);
  EXPECT_EQ(r.code, 10);
  EXPECT_NE(r.err.find(mnt_ + "/KelvaRANK_bench"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("File exists"), std::string::npos) << r.err;
  EXPECT_TRUE(Shell("test -d '" + mnt_ + "/KelvaRANK_bench'"));
}

// A partition the run cannot use is refused before anything runs, in one
// line that names it and why; the file system is left as it was.
TEST_F(DriveEndToEnd, APartitionThatCannotBeUsedIsRefusedInOneLine) {
  const std::string h = "--home " + home_.path() + " --yes --quiet ";
  ASSERT_EQ(RunCli(h + "info").code, 0);
  ASSERT_EQ(RunCli(h + "settings set " + Profile(mnt_) + " drive.enabled.filesystem=1").code, 0);
  ASSERT_EQ(::mount(nullptr, mnt_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  const struct {
    std::string partition;
    const char* why;
  } cases[] = {
      {"relative/dir", "not an absolute path"},
      {"/" + std::string(63, 'a'), "longer than 63 characters"},
      {"/etc/hostname", "not a directory"},
      {"/dev/shm", "not on a block device"},
      {mnt_, "not writable: Read-only file system"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.partition);
    Result r = RunCli(h + "run drive --partition " + c.partition + " --report " + dir_.path() + "/bad.txt");
    EXPECT_EQ(r.code, 10);
    EXPECT_EQ(r.err.find("kelvarank-cli: --partition " + c.partition + ": "), 0u) << r.err;
    EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(Shell("test -e '" + dir_.path() + "/bad.txt'"));
  }
  EXPECT_EQ(::mount(nullptr, mnt_.c_str(), nullptr, MS_REMOUNT, nullptr), 0);
  EXPECT_FALSE(Shell("test -e '" + mnt_ + "/KelvaRANK_bench'"));
}

// A hard limit of open files below what the file tests keep open (the
// program may not raise it): the terminal says so before the run, the opens
// beyond it fail with the system's reason in the tests' entries, and nothing
// is left behind. (A soft limit alone is raised at start: see the dos tests.)
TEST_F(DriveEndToEnd, AnOpenFileLimitTooLowIsSaidAndCleanedUp) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizers check memory through a pipe they open on the spot; with
  // every descriptor taken by the file tests that fails, and the undefined-
  // behaviour check then calls a sound object invalid.
  GTEST_SKIP() << "the sanitizers need free descriptors, which this test uses up";
#endif
  const std::string h = "--home " + home_.path() + " --yes --quiet ";
  ASSERT_EQ(RunCli(h + "info").code, 0);
  ASSERT_EQ(RunCli(h + "settings set " + Profile(mnt_) + " drive.enabled.filesystem=1").code, 0);
  const std::string err = dir_.path() + "/limit.err";
  const int status = std::system(("ulimit -n 1024 && " + std::string(KR_CLI_PATH) + " " + h +
                                  "run drive --report " + dir_.path() + "/limit.txt </dev/null >/dev/null 2>" + err)
                                     .c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << Slurp(err);
  const std::string text = Slurp(err);
  if (text.find("files may be open at once") == std::string::npos)
    GTEST_SKIP() << "this process may raise its hard limit of open files";
  EXPECT_NE(text.find("kelvarank-cli: only 1024 files may be open at once, the file tests need 2016"),
            std::string::npos) << text;
  EXPECT_NE(text.find("operations failed: Too many open files"), std::string::npos) << text;
  EXPECT_FALSE(Shell("test -e '" + mnt_ + "/KelvaRANK_bench'"));
  EXPECT_FALSE(Shell("test -e '" + home_.path() + "/KelvaRANK.pid'"));
}

// The partition is unmounted (lazily: the run's open files keep it alive)
// during the file tests: the section ends with one entry, touches nothing on
// the folder that shows through, keeps the crash marker, and the next start
// removes what is left once the partition is back.
TEST_F(DriveEndToEnd, APartitionUnmountedMidRunIsCleanedUpAtTheNextStart) {
  const std::string h = home_.path();
  ASSERT_EQ(RunCli("--home " + h + " --yes --quiet info").code, 0);
  ASSERT_EQ(RunCli("--home " + h + " --yes --quiet settings set " + Profile(mnt_) +
                   " drive.enabled.filesystem=1 drive.enabled.readdevice=1").code, 0);
  const std::string err = dir_.path() + "/unmount.err";
  const pid_t pid = Spawn({"--home", h, "--yes", "run", "drive", "--report", dir_.path() + "/r.txt"}, err);
  ASSERT_GT(pid, 0);
  bool reached = false;
  for (int i = 0; i < 60000 && !reached; ++i) {
    reached = Slurp(err).find("Set Random Filesize") != std::string::npos;
    if (!reached) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const bool detached = reached && loop_.LazyUnmount();
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(reached) << Slurp(err);
  ASSERT_TRUE(detached);
  ASSERT_TRUE(WIFEXITED(status)) << Slurp(err);
  EXPECT_EQ(WEXITSTATUS(status), 0) << Slurp(err);
  EXPECT_NE(Slurp(err).find("The benchmark directory is gone (partition unmounted?)"), std::string::npos)
      << Slurp(err);
  EXPECT_EQ(Slurp(err).find("Read from DEVICE"), std::string::npos);  // the section ended there
  std::string shown;
  Shell("ls -A '" + mnt_ + "' | wc -l", &shown);
  EXPECT_EQ(shown, "0");  // the mount point's own folder was not written to
  EXPECT_TRUE(Shell("test -e '" + h + "/KelvaRANK.pid'"));

  // A start while the partition is still away keeps the marker (and says
  // which folder stays and why); once it is back, the next start removes
  // the folder the run left.
  Result away = RunCli("--home " + h + " --yes info");
  EXPECT_NE(away.err.find(mnt_ + "/KelvaRANK_bench"), std::string::npos) << away.err;
  EXPECT_NE(away.err.find("the partition is not mounted"), std::string::npos) << away.err;
  EXPECT_TRUE(Shell("test -e '" + h + "/KelvaRANK.pid'"));
  ASSERT_TRUE(loop_.Mount());
  EXPECT_TRUE(Shell("test -d '" + mnt_ + "/KelvaRANK_bench'"));
  ASSERT_EQ(RunCli("--home " + h + " --yes --quiet info").code, 0);
  EXPECT_FALSE(Shell("test -e '" + mnt_ + "/KelvaRANK_bench'"));
  EXPECT_FALSE(Shell("test -e '" + h + "/KelvaRANK.pid'"));
}

// Ctrl-C while the data files are copied (as near as the test can tell: once
// the benchmark folder exists), during the file tests and during a device
// test's wait: the run ends after the current step, says it was interrupted,
// and leaves neither the benchmark folder nor the crash marker.
TEST_F(DriveEndToEnd, CtrlCInEveryPhaseLeavesNothing) {
  const std::string h = home_.path();
  ASSERT_EQ(RunCli("--home " + h + " --yes --quiet info").code, 0);
  ASSERT_EQ(RunCli("--home " + h + " --yes --quiet settings set " + Profile(mnt_) +
                   " drive.enabled.filesystem=1 drive.enabled.seekdevice=1 drive.accessmode=1").code, 0);
  struct Phase {
    const char* name;
    std::function<bool(const std::string& err)> reached;
  };
  const std::string bench = mnt_ + "/KelvaRANK_bench";
  const std::vector<Phase> phases = {
      {"copy", [&](const std::string&) { return ::access(bench.c_str(), F_OK) == 0; }},
      {"file tests", [&](const std::string& err) { return Slurp(err).find("Set Random Filesize") != std::string::npos; }},
      {"device test", [&](const std::string& err) { return Slurp(err).find("Seek on DEVICE") != std::string::npos; }},
  };
  for (const Phase& p : phases) {
    SCOPED_TRACE(p.name);
    const std::string err = dir_.path() + "/err_" + std::to_string(&p - phases.data());
    const std::string report = dir_.path() + "/report.txt";
    const pid_t pid = Spawn({"--home", h, "--yes", "run", "drive", "--report", report}, err);
    ASSERT_GT(pid, 0);
    bool reached = false;
    for (int i = 0; i < 120000 && !reached; ++i) {
      reached = p.reached(err);
      if (!reached) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(reached) << Slurp(err);
    ASSERT_TRUE(WIFEXITED(status)) << Slurp(err);
    EXPECT_EQ(WEXITSTATUS(status), 130) << Slurp(err);
    EXPECT_NE(Slurp(err).find("Interrupted by the user"), std::string::npos) << Slurp(err);
    EXPECT_FALSE(Shell("test -e '" + bench + "'"));
    EXPECT_FALSE(Shell("test -e '" + h + "/KelvaRANK.pid'"));
    // The report is complete: it ends with the footer.
    const std::string whole = Slurp(report), footerEnd = " /" + std::string(70, '_') + "\\   \n";
    ASSERT_GT(whole.size(), footerEnd.size());
    EXPECT_EQ(whole.substr(whole.size() - footerEnd.size()), footerEnd);
  }
}

}  // namespace
}  // namespace kr::cli
