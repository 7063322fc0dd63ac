// The single start-up checks: install marker, crash-marker clean-up, MP3
// sample, logo, memory minimums, the decoder library.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "bench/drive/bench_dir.h"
#include "shell/shell_fixture.h"

namespace kr::test {
namespace {

void MakeDir(const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path; }

TEST(InstallMarker, FirstStartAsksThenWritesFilesAndMarker) {
  {
    TestContext t;
    SilentProgress progress;
    t.requester.answers = {1};  // "No space"
    EXPECT_FALSE(CheckInstallMarker(t.ctx, progress));
    ASSERT_EQ(t.requester.asked.size(), 1u);
    EXPECT_EQ(t.requester.asked[0].buttons, "Continue|No space");
    EXPECT_NE(t.requester.asked[0].text.find("This is your first start"), std::string::npos);
    EXPECT_EQ(HostFileSize(t.home.path() + "/Data/0000128.bin"), -1);
    EXPECT_EQ(HostFileSize(t.home.path() + "/KelvaRANK.ins"), -1);
  }
  {
    // A requester that cannot ask refuses as well.
    TestContext t;
    SilentProgress progress;
    t.requester.answers = {-1};
    EXPECT_FALSE(CheckInstallMarker(t.ctx, progress));
  }
  {
    TestContext t;
    SilentProgress progress;
    t.requester.answers = {0};  // "Continue"
    ASSERT_TRUE(CheckInstallMarker(t.ctx, progress));
    auto marker = ReadHostFile(t.home.path() + "/KelvaRANK.ins");
    EXPECT_EQ(std::string(marker.begin(), marker.end()), "<<< AmIgA ruLez >>>");
    EXPECT_EQ(marker.size(), 19u);
    for (int k = 0; k < kDataFileCount; ++k)
      EXPECT_EQ(HostFileSize(t.home.path() + "/Data/" + DataFileName(k)), DataFileSize(k));
    // The marker is all a later start looks at.
    t.requester.asked.clear();
    EXPECT_TRUE(CheckInstallMarker(t.ctx, progress));
    EXPECT_TRUE(t.requester.asked.empty());
  }
}

TEST(InstallMarker, MarkerThatCannotBeWrittenStopsStartUp) {
  TestContext t;
  SilentProgress progress;
  t.requester.answers = {0};
  // The marker's name is taken by a folder: it neither opens nor can be made.
  MakeDir(t.home.path() + "/KelvaRANK.ins");
  EXPECT_FALSE(CheckInstallMarker(t.ctx, progress));
  ASSERT_EQ(t.requester.asked.size(), 2u);
  EXPECT_EQ(t.requester.asked[1].title, "\033bERROR\033n");
  EXPECT_EQ(t.requester.asked[1].text, "Could not generate KelvaRANK.ins!\n\n\033bReinstall KelvaRANK\033n");
}

// A crashed drive run left its folder; the marker names the partition.
struct CrashedRun {
  TestContext t;
  TempDir area;
  SilentProgress progress;

  void Plant(const std::string& benchHost, const std::vector<std::string>& names) {
    MakeDir(benchHost);
    for (const auto& n : names) WriteHostFile(benchHost + "/" + n, "scratch");
  }
  void Marker(std::string_view drivePath) { WriteHostFile(t.home.path() + "/KelvaRANK.pid", drivePath); }
};

const std::vector<std::string> kLeftovers = {"00000",       "00001",       "01500",       "02999",
                                             "0000128.bin", "0065536.bin", "8388608.bin", "foobar.bin"};

TEST(CrashMarker, CleansTheWholeLongPathAndNothingElse) {
  CrashedRun r;
  // Longer than 31 characters: a path cut there names another folder.
  const std::string drive = r.area.path() + "/drive-under-test";
  ASSERT_GT(drive.size(), 31u);
  if (r.area.path().size() + 2 > 31) GTEST_SKIP() << "temporary folder name too long to show the cut path";
  const std::string cut = drive.substr(0, 31);
  MakeDir(drive);
  r.Plant(drive + "/KelvaRANK_bench", kLeftovers);
  WriteHostFile(drive + "/keep.me", "user data");
  MakeDir(cut);
  r.Plant(cut + "/KelvaRANK_bench", kLeftovers);

  // The marker is written the way the drive section writes it.
  r.t.ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, drive);
  ASSERT_TRUE(WritePidFile(r.t.ctx));
  EXPECT_EQ(ReadHostFile(r.t.home.path() + "/KelvaRANK.pid"), std::vector<uint8_t>(drive.begin(), drive.end()));

  RecordingProgress progress;
  ASSERT_TRUE(CheckPidFile(r.t.ctx, progress));
  ASSERT_EQ(r.t.requester.asked.size(), 1u);
  EXPECT_EQ(r.t.requester.asked[0].buttons, "Cleanup");
  EXPECT_EQ(progress.texts, std::vector<std::string>{"Cleanup old session..."});
  EXPECT_EQ(progress.gauges.back(), 100);

  EXPECT_FALSE(HostExists(drive + "/KelvaRANK_bench"));
  EXPECT_TRUE(HostExists(drive + "/keep.me"));
  for (const auto& n : kLeftovers) EXPECT_TRUE(HostExists(cut + "/KelvaRANK_bench/" + n)) << n;
  EXPECT_FALSE(HostExists(r.t.home.path() + "/KelvaRANK.pid"));
}

TEST(CrashMarker, PathFormsNameTheirBenchmarkFolder) {
  struct Case {
    std::string marker;    // relative to the temporary area, "@" for it
    std::string benchDir;  // host folder, likewise
  };
  const Case cases[] = {
      {"@/part", "@/part/KelvaRANK_bench"},   // a partition name as the settings keep it
      {"@/part/", "@/part/KelvaRANK_bench"},  // already ending in '/'
      {"PROGDIR:", "~/KelvaRANK_bench"},      // a volume name with its colon
  };
  for (const Case& c : cases) {
    CrashedRun r;
    auto expand = [&](std::string s) {
      if (s[0] == '@') return r.area.path() + s.substr(1);
      if (s[0] == '~') return r.t.home.path() + s.substr(1);
      return s;
    };
    MakeDir(r.area.path() + "/part");
    const std::string bench = expand(c.benchDir);
    r.Plant(bench, kLeftovers);
    r.Marker(expand(c.marker));
    ASSERT_TRUE(CheckPidFile(r.t.ctx, r.progress)) << c.marker;
    EXPECT_FALSE(HostExists(bench)) << c.marker;
    EXPECT_FALSE(HostExists(r.t.home.path() + "/KelvaRANK.pid"));
  }
}

FileId IdOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return FileId{uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

// The marker as the drive section writes it once its folder exists.
void MarkerWithFolder(CrashedRun& r, const std::string& drive, FileId id) {
  r.t.ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, drive);
  ASSERT_TRUE(WriteCrashMarker(r.t.ctx, &id));
}

// Every way the folder stays: the crash marker stays with it (the next start
// tries again), and the warning names the folder and the reason.
TEST(CrashMarker, AFolderThatStaysKeepsTheMarkerAndIsNamed) {
  struct Case {
    const char* what;
    const char* reason;  // part of the warning
  };
  const Case cases[] = {
      {"foreign file", "holds files the benchmark did not make"},
      {"link", "symbolic link"},
      {"unmounted", "the partition is not mounted"},
      {"replaced", "not the folder the interrupted run made"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CrashedRun r;
    const std::string drive = r.area.path() + "/part", bench = drive + "/KelvaRANK_bench";
    MakeDir(drive);
    const std::string what = c.what;
    if (what == "link") {
      // The folder is a link to the user's files, which carry our names.
      const std::string victim = r.area.path() + "/victim";
      r.Plant(victim, kLeftovers);
      ASSERT_EQ(::symlink(victim.c_str(), bench.c_str()), 0);
      r.Marker(drive);  // the first form: the path alone
      ASSERT_TRUE(CheckPidFile(r.t.ctx, r.progress));
      for (const auto& n : kLeftovers) EXPECT_TRUE(HostExists(victim + "/" + n)) << n;
    } else if (what == "unmounted") {
      // The marker names a folder on another device: the partition is not
      // mounted, the folder on it is not here to remove.
      MarkerWithFolder(r, drive, FileId{IdOf(drive).device + 1, 12345});
      ASSERT_TRUE(CheckPidFile(r.t.ctx, r.progress));
    } else if (what == "replaced") {
      r.Plant(bench, kLeftovers);
      FileId id = IdOf(bench);
      ++id.inode;
      MarkerWithFolder(r, drive, id);
      ASSERT_TRUE(CheckPidFile(r.t.ctx, r.progress));
      for (const auto& n : kLeftovers) EXPECT_TRUE(HostExists(bench + "/" + n)) << n;
    } else {
      r.Plant(bench, kLeftovers);
      WriteHostFile(bench + "/thesis.txt", "not ours");
      MarkerWithFolder(r, drive, IdOf(bench));
      ASSERT_TRUE(CheckPidFile(r.t.ctx, r.progress));
      EXPECT_TRUE(HostExists(bench + "/thesis.txt"));
      for (const auto& n : kLeftovers) EXPECT_FALSE(HostExists(bench + "/" + n)) << n;
    }
    EXPECT_TRUE(HostExists(r.t.home.path() + "/KelvaRANK.pid"));
    ASSERT_EQ(r.t.requester.asked.size(), 2u);
    EXPECT_NE(r.t.requester.asked[1].text.find(bench), std::string::npos) << r.t.requester.asked[1].text;
    EXPECT_NE(r.t.requester.asked[1].text.find(c.reason), std::string::npos) << r.t.requester.asked[1].text;
  }
}

// With the folder's identity recorded, the folder is removed and the marker
// goes; a marker whose folder is already gone (same device) goes too.
TEST(CrashMarker, TheRecordedFolderIsRemovedAndTheMarkerGoes) {
  for (bool present : {true, false}) {
    CrashedRun r;
    const std::string drive = r.area.path() + "/part", bench = drive + "/KelvaRANK_bench";
    MakeDir(drive);
    r.Plant(bench, kLeftovers);
    const FileId id = IdOf(bench);
    if (!present) {
      ASSERT_EQ(std::system(("rm -r '" + bench + "'").c_str()), 0);
    }
    MarkerWithFolder(r, drive, id);
    ASSERT_TRUE(CheckPidFile(r.t.ctx, r.progress));
    EXPECT_FALSE(HostExists(bench));
    EXPECT_FALSE(HostExists(r.t.home.path() + "/KelvaRANK.pid")) << present;
    EXPECT_EQ(r.t.requester.asked.size(), 1u);
  }
}

// The marker's bytes: the path first, so a reader that stops at the first
// NUL (an older install) still finds the partition; the identity after it.
TEST(CrashMarker, MarkerFormsReadBack) {
  struct Case {
    std::string bytes;
    bool ok, hasFolder;
    std::string path;
    FileId id;
  };
  const Case cases[] = {
      {"/mnt/data", true, false, "/mnt/data", {}},
      {std::string("/mnt/data\0", 10) + "2049 131073\n", true, true, "/mnt/data", {2049, 131073}},
      {std::string("/mnt/data\0", 10) + "garbage", true, false, "/mnt/data", {}},
      {std::string("/mnt/data\0", 10) + "1 2", true, false, "/mnt/data", {}},  // cut short
      {std::string("\0", 1) + "1 2\n", false, false, "", {}},
      {"/" + std::string(kMaxDrivePath, 'p'), false, false, "", {}},
  };
  for (const Case& c : cases) {
    CrashMarker m;
    EXPECT_EQ(ReadCrashMarker(c.bytes, m), c.ok) << c.bytes;
    if (!c.ok) continue;
    EXPECT_EQ(m.drivePath, c.path);
    EXPECT_EQ(m.hasFolder, c.hasFolder) << c.bytes;
    if (c.hasFolder) {
      EXPECT_EQ(m.folder, c.id);
    }
  }
  // Written and read back; the text before the NUL is the partition.
  CrashedRun r;
  MarkerWithFolder(r, "/mnt/data", FileId{7, 99});
  const auto bytes = ReadHostFile(r.t.home.path() + "/KelvaRANK.pid");
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(std::string(text.c_str()), "/mnt/data");
  CrashMarker m;
  ASSERT_TRUE(ReadCrashMarker(text, m));
  EXPECT_TRUE(m.hasFolder);
  EXPECT_EQ(m.folder, (FileId{7, 99}));
}

TEST(CrashMarker, UnusableMarkerIsDroppedWithTheManualCleanupNote) {
  const std::string tooLong = "/" + std::string(kMaxDrivePath, 'p');  // 64 characters
  const std::string cases[] = {
      "",       // empty file
      tooLong,  // more than the partition field holds
      "DH1",    // not a folder of this host: would resolve against the working folder
  };
  for (const std::string& marker : cases) {
    CrashedRun r;
    r.Marker(marker);
    ASSERT_TRUE(CheckPidFile(r.t.ctx, r.progress)) << marker;
    ASSERT_EQ(r.t.requester.asked.size(), 2u) << marker;
    EXPECT_NE(r.t.requester.asked[1].text.find("Cleanup failed unknown!"), std::string::npos);
    EXPECT_EQ(r.t.requester.asked[1].buttons, "Ok");
    EXPECT_FALSE(HostExists(r.t.home.path() + "/KelvaRANK.pid")) << marker;
  }
  // Without a marker there is nothing to ask.
  CrashedRun r;
  EXPECT_TRUE(CheckPidFile(r.t.ctx, r.progress));
  EXPECT_TRUE(r.t.requester.asked.empty());
}

TEST(InstalledFiles, Mp3LengthAndLogoPresence) {
  struct Case {
    int64_t mp3Size;  // -1: missing
    bool logo;
    bool mp3Ok, logoOk;
  };
  const Case cases[] = {
      {596940, true, true, true}, {596939, true, false, true},  {596941, true, false, true},
      {-1, true, false, true},    {596940, false, true, false},
  };
  for (const Case& c : cases) {
    TestContext t;
    if (c.mp3Size >= 0) WriteHostFile(t.home.path() + "/Data/mp3cdda.mp3", std::string(size_t(c.mp3Size), '\0'));
    if (c.logo) WriteHostFile(t.home.path() + "/Data/logo.pic", "png");
    EXPECT_EQ(CheckMp3File(t.ctx), c.mp3Ok) << c.mp3Size;
    EXPECT_EQ(CheckLogo(t.ctx), c.logoOk) << c.logo;
    size_t expected = (c.mp3Ok ? 0 : 1) + (c.logoOk ? 0 : 1);
    ASSERT_EQ(t.requester.asked.size(), expected);
    if (!c.mp3Ok) {
      EXPECT_EQ(t.requester.asked[0].text,
                "'PROGDIR:Data/mp3cdda.mp3' seems wrong filelen!\n\n\033bReinstall KelvaRANK\033n");
    }
    if (!c.logoOk) {
      EXPECT_EQ(t.requester.asked.back().text,
                "Could not lock 'PROGDIR:Data/logo.pic'!\n\n\033bReinstall KelvaRANK\033n");
    }
  }
}

TEST(MemoryCheck, MinimumsInOneBlock) {
  struct Case {
    bool noChip;
    uint64_t chipSize;
    bool failFast;
    bool ok;
    const char* message;  // part of the request text, "" for none
  };
  const Case cases[] = {
      {true, 0, false, true, ""},                                // this host: no chip memory to check
      {false, 2000000, false, true, ""},                         // a host with enough chip memory
      {false, 0, false, false, "Not enough CHIP memory free."},  // chip host without a free block
      {true, 0, true, false, "Not enough FAST memory free."},
  };
  for (const Case& c : cases) {
    TestContext t;
    t.ctx.run.noChipMemory = c.noChip;
    t.exec.chipSize = c.chipSize;
    t.exec.failFast = c.failFast;
    EXPECT_EQ(CheckMemory(t.ctx), c.ok) << c.message;
    EXPECT_EQ(t.requester.asked.size(), c.ok ? 0u : 1u);
    if (!c.ok) {
      EXPECT_EQ(t.requester.asked[0].text.rfind(c.message, 0), 0u);
    }
    EXPECT_EQ(t.exec.liveBlocks, 0);
  }
}

TEST(LibraryCheck, DecoderPresenceSetsTheFlagOrAsks) {
  struct Case {
    bool haveDecoder;  // ctx.mpega set at all
    bool missing;      // its library cannot be opened
    int answer;        // to "Resume|Quit"
    bool ok;
    int32_t available;
  };
  const Case cases[] = {
      {true, false, 0, true, 1},  {true, true, 0, true, 0},   {true, true, 1, false, 0},
      {true, true, -1, false, 0}, {false, false, 0, true, 0},
  };
  for (const Case& c : cases) {
    TestContext t;
    FakeMpega mpega;
    mpega.libraryMissing = c.missing;
    t.ctx.mpega = c.haveDecoder ? &mpega : nullptr;
    t.ctx.run.mpegaAvailable = 1 - c.available;
    t.requester.answers = {c.answer};
    EXPECT_EQ(CheckLibraries(t.ctx), c.ok);
    EXPECT_EQ(t.ctx.run.mpegaAvailable, c.available);
    if (c.available) {
      EXPECT_TRUE(t.requester.asked.empty());
      EXPECT_EQ(mpega.libraryOpens, mpega.libraryCloses);
    } else {
      ASSERT_EQ(t.requester.asked.size(), 1u);
      EXPECT_EQ(t.requester.asked[0].title, "\033bWARNING\033n");
      EXPECT_EQ(t.requester.asked[0].buttons, "Resume|Quit");
      EXPECT_EQ(t.requester.asked[0].text.rfind("You don\xB4t have installed 'mpega.library'.", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace kr::test
