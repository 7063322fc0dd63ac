// The drive section over a temporary directory as partition, with the fake
// timer (1 s per timed span): the benchmark directory, the file-system
// operation tests and their card, the clean-up on every way out.
#include "bench/drive/drive_section.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/drive/bench_dir.h"
#include "bench/drive/file_tests.h"
#include "engine/context.h"
#include "engine/scoring.h"
#include "engine/status_model.h"
#include "platform/fake/fake_exec.h"
#include "platform/fake/fake_requester.h"
#include "platform/fake/fake_timer.h"
#include "shell/startup_checks.h"
#include "support/fixed_clock_context.h"
#include "support/report_file.h"
#include "support/test_context.h"
#include "util/numtext.h"

namespace kr {
namespace {

using test::TempDir;

// The real dos layer with the fixed clock; a call may be made to fail for
// chosen paths.
struct FlakyDos : test::FixedClockDos {
  using FixedClockDos::FixedClockDos;
  std::function<bool(std::string_view)> failComment = [](std::string_view) { return false; };
  bool SetComment(std::string_view path, std::string_view comment) override {
    return !failComment(path) && FixedClockDos::SetComment(path, comment);
  }
  // How many files may be open at once (-1: as many as the system allows),
  // as the process's limit of open files would have it.
  int openLimit = -1;
  int openNow = 0;
  // Called at every Open with the path as given.
  std::function<void(std::string_view, int32_t)> onOpen = [](std::string_view, int32_t) {};
  // A file (path ending) whose writing finds the file system full.
  std::string fullAt;
  int64_t fullHandle = 0;
  int64_t Open(std::string_view path, int32_t mode) override {
    onOpen(path, mode);
    if (openLimit >= 0 && openNow >= openLimit) return Fail("open", HostPath(path), EMFILE), 0;
    const int64_t fh = FixedClockDos::Open(path, mode);
    openNow += fh != 0;
    if (fh != 0 && !fullAt.empty() && path.ends_with(fullAt)) fullHandle = fh;
    return fh;
  }
  int64_t Write(int64_t fh, const void* buf, int64_t len) override {
    if (fh != fullHandle || fh == 0) return FixedClockDos::Write(fh, buf, len);
    FixedClockDos::Write(fh, buf, len / 2);  // what fitted
    return Fail("write", "full", ENOSPC), -1;
  }
  bool Close(int64_t fh) override {
    openNow -= fh != 0 && openNow > 0;
    if (fh == fullHandle) fullHandle = 0;
    return FixedClockDos::Close(fh);
  }
};

// Stops the run once a given test has finished.
struct StopAfter : RunListener {
  std::atomic<bool>& flag;
  std::string label;
  StopAfter(std::atomic<bool>& f, std::string l) : flag(f), label(std::move(l)) {}
  void TestFinished(const CatalogueEntry& test, const ScoreSlot&) override {
    if (test.label == label) flag = true;
  }
};

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  std::vector<DirEntry> list;
  LinuxDos dos(dir, dir);
  if (dos.ListDir(dir, list))
    for (const DirEntry& e : list) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

class DriveSection : public ::testing::Test, public test::BasicTestContext<FlakyDos> {
 public:
  DriveSection() : BasicTestContext(test::kFixedStamp) {}
  TempDir part;
  SilentProgress progress;

  void SetUp() override {
    ASSERT_TRUE(GenerateDataFiles(ctx, progress, DataFileMode::Generate));
    ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, part.path());
    for (int i = 0; i <= 6; ++i) ctx.settings.setDriveEnabled(i, 0);
    ctx.settings.setDriveEnabled(0, 1);
    for (int i = 0; i < 18; ++i) ctx.settings.set_s32(cfg::kDriveCache + 4 * size_t(i), 1);
    ctx.settings.set_s32(cfg::kDriveCount, 2);
    ctx.run.freeSpace = 1;
    ctx.drive.accessMode = kAccessNone;
    // Something of the user's on the partition that must survive every run.
    std::ofstream(part.path() + "/keep.txt") << "mine";
  }

  int Run() {
    CountAllTests(ctx);
    ran = RunHardDriveSection(ctx, progress);
    return ran.code;
  }
  std::string RunReport() {
    std::string text = test::CaptureReport(ctx, "drive.txt", [&] { result = Run(); });
    return text;
  }
  bool PidFileExists() { return dos.FileSize(kPidFile) >= 0; }
  // Only the user's file is left on the partition.
  void ExpectPartitionUntouched() {
    EXPECT_EQ(Entries(part.path()), std::vector<std::string>{"keep.txt"});
    std::ifstream in(part.path() + "/keep.txt");
    std::string s;
    in >> s;
    EXPECT_EQ(s, "mine");
    EXPECT_FALSE(PidFileExists());
  }
  int result = -1;
  DriveSectionRun ran;
};

// The part of a report from the group's card head to its closing line.
std::string GroupCard(const std::string& report) {
  size_t from = report.find("|   dos.library");
  size_t to = report.find("!                                                                          !\n", from);
  if (from == std::string::npos || to == std::string::npos) return {};
  return report.substr(from, to + 77 - from);
}

TEST_F(DriveSection, DefaultFileCountRunsAndScoresTheGroupThenLeavesNothing) {
  // The crash marker exists while the tests run.
  bool markerDuringRun = false, dirDuringRun = false;
  struct Probe : RunListener {
    std::function<void()> f;
    void TestStarted(const CatalogueEntry&) override { f(); }
  } probe;
  probe.f = [&] {
    markerDuringRun = PidFileExists();
    dirDuringRun = dos.IsDir(part.path() + "/KelvaRANK_bench");
  };
  ctx.listeners.push_back(&probe);

  const std::string report = RunReport();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(markerDuringRun);
  EXPECT_TRUE(dirDuringRun);
  ExpectPartitionUntouched();
  EXPECT_TRUE(ctx.errorLog.entries.empty()) << ctx.errorLog.entries[0].function << ": "
                                            << ctx.errorLog.entries[0].reason;

  const std::string p = part.path();
  const std::string head = "|   dos.library standart functions - [" + p + "]                                 |\n";
  const std::string expected =
      head +
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n"
      "|   Files            : 2000                                                |\n"
      "|   CPU Cache        : YES                                                 |\n"
      "|   Multitasking     : YES                                                 |\n"
      "|                                                                          |\n"
      "|   Method                                     KelvaRANKS           OP/sec |\n"
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n"
      "|   [+] Create Files                          24.0              2000.00    |\n"
      "|   [+] Set Filesize                           3.6              2000.00    |\n"
      "|   [+] Close Files [writing]                  3.2              2000.00    |\n"
      "|   [+] Open Files                            24.0              2000.00    |\n"
      "|   [+] Close Files [reading]                  3.2              2000.00    |\n"
      "|   [+] Set Comment                            3.6              2000.00    |\n"
      "|   [+] Set Protection                         3.6              2000.00    |\n"
      "|   [+] Set Date                               3.6              2000.00    |\n"
      "|   [+] Directory Scan                         3.5              1982.00    |\n"
      "|   [+] Delete Files                           4.7              2000.00    |\n"
      "|   [+] Seek in File                           1.0              2000.00    |\n"
      "|   [+] Rename Files                           4.7              2000.00    |\n"
      "|                                                                          |\n"
      "|   KelvaRANKS :   6.91 Percent                                            |\n"
      "|                                                                          |\n"
      "!                                                                          !\n";
  EXPECT_EQ(GroupCard(report), expected);

  const ScoreSlot group = ctx.results.score(slot::kFileSystemGroup);
  EXPECT_EQ(group.valid, 1.0);
  // The mean of the twelve scores (4.8 shows as 4.7: tenths are truncated).
  EXPECT_NEAR(group.percent, (24.0 * 2 + 3.6 * 4 + 3.2 * 2 + 1982 * 0.002 * 0.9 + 4.8 * 2 + 1.0) / 12, 1e-9);
  EXPECT_EQ(ctx.results.figure(rec::kFileSystemOps + 8 * 11), 1982.0);  // Directory Scan: N - 18
  // Without the file tests and the device tests the total is not valid.
  EXPECT_EQ(ctx.results.score(slot::kDriveTotal).valid, 0.0);
  EXPECT_NE(report.find("T O T A L   - D R V -   K e l v a R A N K S : DISABLED"), std::string::npos);
}

TEST_F(DriveSection, FailingCallsAreCountedAndTheTestIsNotScored) {
  dos.failComment = [](std::string_view path) { return path.ends_with("/00007") || path.ends_with("/01999"); };
  const std::string report = RunReport();
  EXPECT_EQ(result, 0);
  ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(ctx.errorLog.entries[0].location, "DRIVE");
  EXPECT_STREQ(ctx.errorLog.entries[0].function, "Set Comment");
  EXPECT_STREQ(ctx.errorLog.entries[0].reason, "2 of 2000 operations failed");
  // The figure is kept, the score is printed but not counted.
  const CatalogueEntry& comment = DriveEntry(8);
  EXPECT_EQ(ctx.results.figure(rec::kFileSystemOps + 8 * size_t(comment.slot - slot::kDriveFirst - 2)), 2000.0);
  EXPECT_EQ(ctx.results.score(comment.slot).valid, 0.0);
  EXPECT_NE(report.find("|   [-] Set Comment                            3.6              2000.00    |\n"),
            std::string::npos);
  EXPECT_NE(report.find("|   KelvaRANKS : DISABLED                                                  |\n"),
            std::string::npos);
  EXPECT_EQ(ctx.results.score(slot::kFileSystemGroup).valid, 0.0);
  ExpectPartitionUntouched();
}

// Read and Write to File name the system's reason for what failed: the
// copy that could not be opened, the write that found the disk full.
TEST_F(DriveSection, FileTransferFailuresEndWithTheSystemsReason) {
  struct Case {
    int enable;                 // drive switch: 1 Read from File, 2 Write to File
    std::function<void(DriveSection&)> arrange;
    const char* function;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {1,
       [](DriveSection& t) {
         t.dos.onOpen = [&t](std::string_view p, int32_t mode) {
           t.dos.openLimit = mode == MODE_OLDFILE && p.ends_with("KelvaRANK_bench/0001024.bin") ? 0 : -1;
         };
       },
       "Read File low", "Error open needed files: Too many open files"},
      {2, [](DriveSection& t) { t.dos.fullAt = "foobar.bin"; }, "Write to File",
       " operations failed: No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    ctx.errorLog.entries.clear();
    ctx.settings.setDriveEnabled(0, 0);
    ctx.settings.setDriveEnabled(1, c.enable == 1);
    ctx.settings.setDriveEnabled(2, c.enable == 2);
    c.arrange(*this);
    RunReport();
    dos.onOpen = [](std::string_view, int32_t) {};
    dos.openLimit = -1;
    dos.fullAt.clear();
    ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
    EXPECT_STREQ(ctx.errorLog.entries[0].function, c.function);
    EXPECT_TRUE(std::string(ctx.errorLog.entries[0].reason).ends_with(c.reason)) << ctx.errorLog.entries[0].reason;
    ExpectPartitionUntouched();
  }
}

// A benchmark folder already on the partition (an interrupted run's whose
// marker is gone, or the user's) is never adopted: the request names it and
// why it could not be made, the run ends with 20 and the folder stays.
TEST_F(DriveSection, AnExistingBenchmarkFolderIsNamedAndLeftAlone) {
  const std::string bench = part.path() + "/KelvaRANK_bench";
  MakeDirs(bench);
  std::ofstream(bench + "/00000") << "not this run's";
  RunReport();
  EXPECT_EQ(result, 20);
  ASSERT_EQ(requester.asked.size(), 1u);
  EXPECT_EQ(requester.asked[0].text, "Could not create the benchmark folder\n\033b" + bench +
                                         "\033n\nFile exists (left by an interrupted run? remove it, then run "
                                         "again)");
  EXPECT_TRUE(dos.FileSize(bench + "/00000") > 0);
  EXPECT_FALSE(PidFileExists());
}

// Every test the section runs is announced with its catalogue entry before it
// runs and after it with the score its slot then holds, in the section's order.
TEST_F(DriveSection, EachTestIsAnnouncedWithItsEntryAndItsScore) {
  struct Events : RunListener {
    Context* ctx = nullptr;
    std::vector<std::string> seen;
    void TestStarted(const CatalogueEntry& test) override { seen.push_back(std::string("+") + test.label); }
    void TestFinished(const CatalogueEntry& test, const ScoreSlot& score) override {
      const ScoreSlot held = ctx->results.score(test.slot);
      EXPECT_EQ(score.percent, held.percent) << test.label;
      EXPECT_EQ(score.valid, held.valid) << test.label;
      seen.push_back(std::string("-") + test.label + (score.counts() ? " scored" : ""));
    }
  } events;
  events.ctx = &ctx;
  ctx.listeners.push_back(&events);
  ctx.settings.setDriveEnabled(2, 1);  // Write to File, then the twelve operations
  RunReport();
  std::vector<std::string> expected = {"+Write to File", "-Write to File scored"};
  for (int k = 0; k < kFileOpCount; ++k) {
    const std::string label = DriveEntry(FileOpCatalogueEntry(FileOp(k))).label;
    expected.push_back("+" + label);
    expected.push_back("-" + label + " scored");
  }
  EXPECT_EQ(events.seen, expected);

  // The section returns the result of each test in the same order; each
  // holds what the results record holds: its figures and its score.
  std::vector<std::string> returned;
  for (const TestResult& r : ran.results) {
    returned.push_back("+" + std::string(r.test().label));
    returned.push_back("-" + std::string(r.test().label) + (r.scored ? " scored" : ""));
    const ScoreSlot held = ctx.results.score(r.test().slot);
    EXPECT_EQ(r.percent, held.percent) << r.test().label;
    ASSERT_FALSE(r.figures.empty()) << r.test().label;
    for (const TestFigure& f : r.figures) EXPECT_EQ(f.value, ctx.results.figure(f.slot)) << r.test().label;
  }
  EXPECT_EQ(returned, expected);
  EXPECT_EQ(ran.results.front().figures.size(), 17u + 3);  // seventeen block sizes, minimum, maximum, average
  ASSERT_TRUE(ran.fileSystemGroup);
  EXPECT_TRUE(ran.fileSystemGroup->scored);
  EXPECT_EQ(ran.fileSystemGroup->percent, ctx.results.score(slot::kFileSystemGroup).percent);
}

// Files the process may not open (its limit of open files) are failures of
// the tests with the system's reason, and nothing is left behind.
TEST_F(DriveSection, TooManyOpenFilesNamesTheReason) {
  dos.openLimit = 1500;
  RunReport();
  EXPECT_EQ(result, 0);
  ASSERT_FALSE(ctx.errorLog.entries.empty());
  EXPECT_STREQ(ctx.errorLog.entries[0].function, "Create Files");
  EXPECT_STREQ(ctx.errorLog.entries[0].reason, "500 of 2000 operations failed: Too many open files");
  EXPECT_EQ(ctx.results.score(DriveEntry(FileOpCatalogueEntry(FileOp::CreateFiles)).slot).valid, 0.0);
  EXPECT_EQ(ctx.results.score(slot::kFileSystemGroup).valid, 0.0);
  EXPECT_EQ(dos.openNow, 0);
  ExpectPartitionUntouched();
}

TEST_F(DriveSection, OtherFileCountsRunUnscored) {
  for (int32_t thousands : {1, 3}) {
    SCOPED_TRACE(thousands);
    ctx.settings.set_s32(cfg::kDriveCount, thousands);
    const std::string card = GroupCard(RunReport());
    const int32_t n = thousands * 1000;
    EXPECT_NE(card.find("|   Files            : " + std::to_string(n) + "    "), std::string::npos);
    EXPECT_EQ(card.find("[+]"), std::string::npos);
    EXPECT_NE(card.find("|   [-] Directory Scan"), std::string::npos);
    EXPECT_EQ(ctx.results.figure(rec::kFileSystemOps + 8 * 11), double(n - 18));
    EXPECT_EQ(ctx.results.score(slot::kFileSystemGroup).valid, 0.0);
    EXPECT_TRUE(ctx.errorLog.entries.empty());
    ExpectPartitionUntouched();
  }
}

TEST_F(DriveSection, AbortsBeforeTheHeaderAndLeavesThePartitionAsItWas) {
  struct Case {
    const char* name;
    std::function<void(DriveSection&)> arrange;
    const char* requesterText;  // start of the one request shown
    const char* reason;         // the one error entry, or null
  };
  const std::vector<Case> cases = {
      {"not enough space", [](DriveSection& t) { t.ctx.run.freeSpace = 0; }, "Not enough space to copy datafiles!",
       nullptr},
      {"short data file",
       [](DriveSection& t) { ::truncate((t.home.path() + "/Data/0004096.bin").c_str(), 4000); },
       "Could not copy needed datafiles!", "Wrong filelen read."},
      {"missing data file", [](DriveSection& t) { ::unlink((t.home.path() + "/Data/8388608.bin").c_str()); },
       "Could not copy needed datafiles!", "Could not open source file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(GenerateDataFiles(ctx, progress, DataFileMode::Generate));
    ctx.run.freeSpace = 1;
    ctx.errorLog.entries.clear();
    requester.asked.clear();
    c.arrange(*this);
    const std::string report = RunReport();
    EXPECT_EQ(result, 20);
    EXPECT_EQ(report.find("H A R D"), std::string::npos);
    ASSERT_EQ(requester.asked.size(), 1u);
    EXPECT_EQ(requester.asked[0].title, "\033bERROR\033n");
    EXPECT_TRUE(requester.asked[0].text.starts_with(c.requesterText)) << requester.asked[0].text;
    if (c.reason) {
      ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
      EXPECT_STREQ(ctx.errorLog.entries[0].function, "MakeDriveEnviroment");
      EXPECT_STREQ(ctx.errorLog.entries[0].reason, c.reason);
    } else {
      EXPECT_TRUE(ctx.errorLog.entries.empty());
    }
    ExpectPartitionUntouched();
  }
}

// A stop in every phase and a full file system during the copy: the section
// says why in one entry (or request), the benchmark directory is gone, the
// crash marker exists while the directory does and not after.
TEST_F(DriveSection, EveryWayOutRemovesTheDirectoryAndTheMarker) {
  std::atomic<bool> stop{false};
  struct Case {
    const char* name;
    std::function<void(DriveSection&)> arrange;
    int result;
    const char* request;  // start of the one request shown, or null
    const char* reason;   // the one error entry
  };
  // Stops the run while `file` is being opened (made: MODE_NEWFILE, used:
  // MODE_OLDFILE), checking the marker is there.
  auto stopAtOpen = [&stop](std::string file, int32_t mode) {
    return [&stop, file, mode](DriveSection& t) {
      t.dos.onOpen = [&stop, &t, file, mode](std::string_view path, int32_t m) {
        if (!stop && m == mode && path.ends_with(file)) {
          EXPECT_TRUE(t.PidFileExists());
          stop = true;
        }
      };
    };
  };
  const std::vector<Case> cases = {
      {"stop while copying", stopAtOpen("KelvaRANK_bench/0004096.bin", MODE_NEWFILE), 20, nullptr, "Interrupted by the user"},
      {"full file system while copying", [](DriveSection& t) { t.dos.fullAt = "KelvaRANK_bench/0065536.bin"; },
       20, "Could not copy needed datafiles!", "Wrong filelen wrote."},
      {"stop in Read from File",
       [&](DriveSection& t) {
         t.ctx.settings.setDriveEnabled(1, 1);
         stopAtOpen("KelvaRANK_bench/0001024.bin", MODE_OLDFILE)(t);
       },
       0, nullptr, "Interrupted by the user"},
      {"stop in Seek in File", stopAtOpen("KelvaRANK_bench/1048576.bin", MODE_OLDFILE), 0, nullptr, "Interrupted by the user"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    stop = false;
    ctx.interrupt = &stop;
    ctx.errorLog.entries.clear();
    requester.asked.clear();
    dos.onOpen = [](std::string_view, int32_t) {};
    dos.fullAt.clear();
    ctx.settings.setDriveEnabled(1, 0);
    c.arrange(*this);
    const std::string report = RunReport();
    ctx.interrupt = nullptr;
    EXPECT_EQ(result, c.result);
    if (c.request) {
      ASSERT_EQ(requester.asked.size(), 1u);
      EXPECT_TRUE(requester.asked[0].text.starts_with(c.request)) << requester.asked[0].text;
    } else {
      EXPECT_TRUE(requester.asked.empty());
    }
    ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
    EXPECT_STREQ(ctx.errorLog.entries[0].reason, c.reason);
    EXPECT_EQ(ctx.results.score(slot::kDriveTotal).valid, 0.0);
    EXPECT_EQ(dos.openNow, 0);
    ExpectPartitionUntouched();
  }
}

// The partition goes away under the run (unmounted; the mount point's own
// folder shows through, here with a folder of the same name): the section
// ends with one entry, touches nothing under the path that is not its own,
// and keeps the crash marker for the directory it could not remove.
TEST_F(DriveSection, APartitionGoneMidRunIsLeftAlone) {
  const std::string bench = part.path() + "/KelvaRANK_bench";
  const std::string away = part.path() + "/elsewhere";
  struct Swap : RunListener {
    std::string bench, away;
    void TestFinished(const CatalogueEntry& test, const ScoreSlot&) override {
      if (std::string(test.label) != "Create Files") return;
      ASSERT_EQ(::rename(bench.c_str(), away.c_str()), 0);
      ASSERT_TRUE(MakeDirs(bench));
      std::ofstream(bench + "/00000") << "not ours";
    }
  } swap;
  swap.bench = bench;
  swap.away = away;
  ctx.listeners.push_back(&swap);
  RunReport();
  EXPECT_EQ(result, 0);
  ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(ctx.errorLog.entries[0].reason, "The benchmark directory is gone (partition unmounted?)");
  EXPECT_EQ(Entries(bench), std::vector<std::string>{"00000"});
  std::ifstream in(bench + "/00000");
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "not ours");
  EXPECT_TRUE(PidFileExists());
  EXPECT_EQ(dos.openNow, 0);  // the handles Create Files left open are closed all the same
  EXPECT_EQ(ctx.results.score(slot::kFileSystemGroup).valid, 0.0);
}

TEST_F(DriveSection, AFolderOfTheSameNameIsNeitherUsedNorEmptied) {
  const std::string folder = part.path() + "/KelvaRANK_bench";
  MakeDirs(folder);
  std::ofstream(folder + "/00000") << "not ours";
  EXPECT_EQ(Run(), 20);
  ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(ctx.errorLog.entries[0].reason, "Could not create Directory on your selected Drive");
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"00000"});
  EXPECT_FALSE(PidFileExists());
}

TEST_F(DriveSection, AStopWhileFilesAreOpenStillRemovesEverything) {
  std::atomic<bool> stop{false};
  ctx.interrupt = &stop;
  StopAfter after(stop, "Set Filesize");  // Create Files left 2000 handles open
  ctx.listeners.push_back(&after);
  const std::string report = RunReport();
  EXPECT_EQ(result, 0);
  ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(ctx.errorLog.entries[0].reason, "Interrupted by the user");
  EXPECT_EQ(report.find("Close Files [writing]"), std::string::npos);
  EXPECT_EQ(ctx.results.score(slot::kDriveTotal).valid, 0.0);
  ExpectPartitionUntouched();
}

TEST_F(DriveSection, DeviceTestsWithoutAccessWriteTheSkippedBlockAndNoDirectory) {
  ctx.settings.setDriveEnabled(0, 0);
  ctx.settings.setDriveEnabled(3, 1);
  ctx.settings.setDriveEnabled(5, 1);
  ctx.run.freeSpace = 0;  // no directory is needed, so no space either
  for (int s = 14; s < 18; ++s) ctx.results.setScore(slot::kDriveFirst + s, {50.0, 1.0});
  const std::string report = RunReport();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(requester.asked.empty());
  const std::string block =
      "\xB7--------------------------------------------------------------------------\xB7\n"
      "\xA1   The following benchmarks was skipped because the device you have       \xA1\n"
      "|   selected don't complies to the SCSI-2 standard or don't supports NSD:  |\n"
      "|                                                                          |\n"
      "|   * Read from DEVICE                                                     |\n"
      "|   * Write to DEVICE                                                      |\n"
      "|   * Seek on DEVICE                                                       |\n"
      "|   * SpinUP DEVICE                                                        |\n"
      "|                                                                          |\n"
      "!   KelvaRANKS : 0 [SKIPPED]                                               !\n"
      "\xB7--------------------------------------------------------------------------\xB7\n";
  EXPECT_NE(report.find(block), std::string::npos);
  for (int s = 14; s < 18; ++s) EXPECT_EQ(ctx.results.score(slot::kDriveFirst + s).percent, 0.0);
  EXPECT_EQ(ctx.results.score(slot::kDriveTotal).valid, 0.0);
  ExpectPartitionUntouched();
}

TEST_F(DriveSection, FileTransfersSweepEveryBlockSize) {
  ctx.settings.setDriveEnabled(0, 0);
  ctx.settings.setDriveEnabled(1, 1);
  ctx.settings.setDriveEnabled(2, 1);
  for (int i : {1, 2}) ctx.settings.set_s32(cfg::kDriveCount + 4 * size_t(i), 16);
  for (int i : {0, 1}) {
    ctx.settings.set_s32(cfg::kDriveSweepStart + 4 * size_t(i), 1);
    ctx.settings.set_s32(cfg::kDriveSweepStop + 4 * size_t(i), 17);
  }
  const std::string report = RunReport();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(ctx.errorLog.entries.empty());
  std::string lines;
  for (uint32_t b = 128; b <= 8388608; b *= 2)
    lines += Format("|  %8u                                                       16.00    |\n", b);
  const std::string read =
      "|   Read from FILE - [" + part.path() + "]                                                 |\n"
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n"
      "|   100 Percent at   : 500.0 MB/se c                                       |\n"
      "|   Score weight     : 110.0%                                              |\n"
      "|   Loopsize [bytes] : 16777216                                            |\n"
      "|   CPU Cache        : YES                                                 |\n"
      "|   Multitasking     : YES                                                 |\n"
      "|                                                                          |\n"
      "|   Blocksize                                                      MB/sec  |\n"
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7\n" +
      lines +
      "|                                                                          |\n"
      "|   Minimum :       16.00 MB/s                                             |\n"
      "|   Maximum :       16.00 MB/s                                             |\n"
      "|   Average :       16.00 MB/s                                             |\n"
      "|                                                                          |\n"
      "|   KelvaRANKS :   3.52 Percent                                            |\n"
      "!                                                                          !\n";
  EXPECT_NE(report.find(read), std::string::npos) << report;
  EXPECT_NE(report.find("|   Write fo FILE - [" + part.path() + "]"), std::string::npos);
  EXPECT_NE(report.find("|   100 Percent at   : 500.0 MB/sec                                        |\n"),
            std::string::npos);
  for (size_t base : {rec::kReadFile, rec::kWriteFile}) {
    EXPECT_EQ(ctx.results.figure(base + 8 * 16), 16.0);
    EXPECT_EQ(ctx.results.figure(base + 8 * 19), 16.0);
  }
  EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 0).valid, 1.0);
  EXPECT_EQ(ctx.results.score(slot::kDriveFirst + 1).valid, 1.0);
  ExpectPartitionUntouched();  // "foobar.bin" is gone too
}

}  // namespace
}  // namespace kr
