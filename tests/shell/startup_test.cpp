// The start-up and shutdown sequence over a real home folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstdlib>

#include "engine/errorlog.h"
#include "settings/config_files.h"
#include "shell/assets.h"
#include "shell/shell_fixture.h"

namespace kr::test {
namespace {

// The files a complete home holds, with their exact sizes (-1: any size).
void ExpectCompleteHome(const ShellWorld& w) {
  int64_t total = 0;
  for (int k = 0; k < kDataFileCount; ++k) {
    const int64_t size = HostFileSize(w.HomeFile("Data/" + DataFileName(k)));
    EXPECT_EQ(size, DataFileSize(k)) << DataFileName(k);
    total += size;
  }
  EXPECT_EQ(total, 16777088);
  EXPECT_EQ(HostFileSize(w.HomeFile("KelvaRANK.ins")), 19);
  EXPECT_EQ(HostFileSize(w.HomeFile("Data/mp3cdda.mp3")), 596940);
  EXPECT_GT(HostFileSize(w.HomeFile("Data/logo.pic")), 0);
  EXPECT_GT(HostFileSize(w.HomeFile("Data/server.txt")), 0);
  EXPECT_GT(HostFileSize(w.HomeFile("Docs/KelvaRANK_english.guide")), 0);
  EXPECT_EQ(HostFileSize(w.HomeFile("KelvaRANK.def")), 2352);
  EXPECT_EQ(HostFileSize(w.HomeFile("KelvaRANK.cfg")), 2452);
  for (const char* d : {"Reports", "Database/Local", "Database/Server", "Docs"})
    EXPECT_TRUE(HostExists(w.HomeFile(d))) << d;
}

TEST(StartUp, FirstStartBuildsTheHome) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk) << state.failedStep;
  ExpectCompleteHome(w);

  // Exactly one question, the first-start one; the settings are new, so the
  // settings window opens instead of the drive information.
  ASSERT_EQ(w.requester.asked.size(), 1u);
  EXPECT_EQ(w.Asked("This is your first start"), 1);
  EXPECT_TRUE(state.firstRun);
  EXPECT_EQ(w.ctx.run.firstRun, 0);
  EXPECT_EQ(w.hooks.calls, (std::vector<std::string>{"InitFonts", "BuildGui", "LoadDatabases", "OpenMainWindow",
                                                     "OpenFirstRunSettings"}));
  EXPECT_EQ(w.ctx.run.mpegaAvailable, 1);
  EXPECT_EQ(w.ctx.run.morphOS, 1);  // the host was detected before the checks
  EXPECT_STREQ(w.ctx.run.serverHost, std::string(kDefaultServerHost).c_str());
  EXPECT_STREQ(w.ctx.run.serverPath, std::string(kDefaultServerPath).c_str());

  // The installed assets are the built-in ones, byte for byte.
  for (const Asset& a : BuiltinAssets()) {
    std::vector<uint8_t> bytes = ReadHostFile(w.dos.HostPath(a.path));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), a.bytes.begin(), a.bytes.end())) << a.path;
  }
  ShutDown(w.ctx, w.hooks, state);
  EXPECT_EQ(w.timer.opens, w.timer.closes);
}

TEST(StartUp, LaterStartAsksNothingAndKeepsTheFiles) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  ShutDown(w.ctx, w.hooks, state);
  const uint64_t digest = DataFilesDigest(w.Home());
  // The user's own server description and a same-size data file with other
  // bytes are left alone.
  WriteHostFile(w.HomeFile("Data/server.txt"), "collect.example.org\nmodules");
  WriteHostFile(w.HomeFile("Data/0000128.bin"), std::string(128, 'z'));

  ShellWorld again(w.Home());  // a new process on the same home
  StartupState second;
  ASSERT_EQ(again.Start(second), kStartupOk) << second.failedStep;
  EXPECT_TRUE(again.requester.asked.empty());
  EXPECT_FALSE(second.firstRun);
  EXPECT_EQ(again.hooks.calls.back(), "GatherDriveInfo");
  EXPECT_STREQ(again.ctx.run.serverHost, "collect.example.org");
  EXPECT_EQ(ReadHostFile(w.HomeFile("Data/0000128.bin")), std::vector<uint8_t>(128, 'z'));
  EXPECT_NE(DataFilesDigest(w.Home()), digest);
  ShutDown(again.ctx, again.hooks, second);
}

TEST(StartUp, RefusingTheDataFilesQuitsWithCode20AndReleases) {
  ShellWorld w;
  w.requester.answers = {1};  // "No space"
  StartupState state;
  EXPECT_EQ(w.Start(state), kStartupFailed);
  EXPECT_EQ(state.failedStep, "RunStartupChecks");
  EXPECT_EQ(state.failedPath.rfind(w.HomeFile("Data"), 0), 0u) << state.failedPath;
  EXPECT_NE(state.failedReason.find("\"No space\""), std::string::npos) << state.failedReason;
  EXPECT_FALSE(HostExists(w.HomeFile("Data/0000128.bin")));
  EXPECT_FALSE(HostExists(w.HomeFile("KelvaRANK.ins")));
  EXPECT_EQ(w.timer.opens, 1);
  EXPECT_EQ(w.timer.closes, 1);
  EXPECT_EQ(w.hooks.calls.back(), "CloseFonts");
  // Nothing is left to shut down, and nothing is saved.
  ShutDown(w.ctx, w.hooks, state);
  EXPECT_EQ(w.timer.closes, 1);
  EXPECT_FALSE(HostExists(w.HomeFile("KelvaRANK.def")));
}

TEST(StartUp, EveryFailingStepReleasesWhatWasAcquired) {
  struct Case {
    const char* step;
    std::vector<std::string> tail;  // the hook calls from the failure on
    int timerCloses;
  };
  const Case cases[] = {
      {"InitFonts", {"InitFonts"}, 0},
      {"OpenTimer", {"InitFonts", "CloseFonts"}, 0},
      {"BuildGui", {"BuildGui", "CloseFonts"}, 1},
      {"LoadDatabases", {"LoadDatabases", "DisposeGui", "CloseFonts"}, 1},
      {"OpenMainWindow", {"OpenMainWindow", "SaveDatabases", "DisposeGui", "CloseFonts"}, 1},
  };
  for (const Case& c : cases) {
    ShellWorld w;
    const std::string step = c.step;
    w.hooks.failFonts = step == "InitFonts";
    w.timer.failOpen = step == "OpenTimer";
    w.hooks.failGui = step == "BuildGui";
    w.hooks.failDatabases = step == "LoadDatabases";
    w.hooks.failMainWindow = step == "OpenMainWindow";
    StartupState state;
    EXPECT_EQ(w.Start(state), kStartupFailed) << step;
    EXPECT_EQ(state.failedStep, step);
    ASSERT_GE(w.hooks.calls.size(), c.tail.size());
    EXPECT_EQ(std::vector<std::string>(w.hooks.calls.end() - std::ptrdiff_t(c.tail.size()), w.hooks.calls.end()),
              c.tail)
        << step;
    EXPECT_EQ(w.timer.closes, c.timerCloses) << step;
  }
}

TEST(StartUp, OutdatedConfigurationIsReplacedOnASecondPass) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  ShutDown(w.ctx, w.hooks, state);
  // A file one byte short of the current length, as an older release wrote.
  std::vector<uint8_t> cfg = ReadHostFile(w.HomeFile("KelvaRANK.cfg"));
  cfg.pop_back();
  WriteHostFile(w.HomeFile("KelvaRANK.cfg"), std::string(cfg.begin(), cfg.end()));
  ASSERT_EQ(HostFileSize(w.HomeFile("KelvaRANK.cfg")), 2451);

  ShellWorld again(w.Home());
  StartupState second;
  ASSERT_EQ(again.Start(second), kStartupOk) << second.failedStep;
  ASSERT_EQ(again.requester.asked.size(), 1u);
  EXPECT_EQ(again.requester.asked[0].title, "\033bINFORMATION\033n");
  EXPECT_EQ(again.requester.asked[0].text,
            "The file 'PROGDIR:KelvaRANK.cfg' is too old for this version of KelvaRANK!\n\n"
            "Sorry, but you need to re-define your settings now...");
  EXPECT_EQ(again.requester.asked[0].buttons, "Restart");
  EXPECT_EQ(HostFileSize(w.HomeFile("KelvaRANK.cfg")), 2452);
  EXPECT_TRUE(second.firstRun);
  EXPECT_EQ(again.ctx.run.configOutdated, 0);
  EXPECT_EQ(again.hooks.calls.back(), "OpenFirstRunSettings");
  // The second pass ran the whole check list again.
  EXPECT_EQ(
      std::count(again.hooks.progress.texts.begin(), again.hooks.progress.texts.end(), "Checking KelvaRANK.ins..."), 2);
  EXPECT_EQ(std::count(again.hooks.progress.texts.begin(), again.hooks.progress.texts.end(), "Making KelvaRANK.cfg..."),
            1);
}

TEST(StartUp, OutdatedDefaultsAreReplacedSilently) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  ShutDown(w.ctx, w.hooks, state);
  WriteHostFile(w.HomeFile("KelvaRANK.def"), std::string(2353, '\0'));

  ShellWorld again(w.Home());
  StartupState second;
  ASSERT_EQ(again.Start(second), kStartupOk);
  EXPECT_TRUE(again.requester.asked.empty());
  EXPECT_EQ(HostFileSize(w.HomeFile("KelvaRANK.def")), 2352);
  EXPECT_FALSE(second.firstRun);
}

TEST(StartUp, ASettingsFileThatCannotBeRenewedStopsInsteadOfLooping) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  ShutDown(w.ctx, w.hooks, state);
  WriteHostFile(w.HomeFile("KelvaRANK.cfg"), std::string(100, '\0'));

  ShellWorld again(w.Home());
  again.dos.readOnly = true;  // the old file can be neither deleted nor replaced
  StartupState second;
  EXPECT_EQ(again.Start(second), kStartupFailed);
  EXPECT_EQ(second.failedStep, "RunStartupChecks");
  EXPECT_EQ(again.Asked("too old for this version"), 2);
  EXPECT_EQ(again.Asked("Could not renew the file"), 1);
  EXPECT_EQ(second.failedPath, w.HomeFile("KelvaRANK.cfg"));
  EXPECT_NE(second.failedReason.find("still not of this version's length"), std::string::npos) << second.failedReason;
  EXPECT_EQ(again.timer.opens, again.timer.closes);
}

TEST(StartUp, UnreadableServerDescriptionIsShown) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  ShutDown(w.ctx, w.hooks, state);

  ShellWorld again(w.Home());
  again.dos.unreadable = "PROGDIR:Data/server.txt";
  StartupState second;
  EXPECT_EQ(again.Start(second), kStartupFailed);
  ASSERT_EQ(again.requester.asked.size(), 1u);
  EXPECT_EQ(again.requester.asked[0].text,
            "Could not read 'PROGDIR:Data/server.txt'!\n\n\033bReinstall KelvaRANK\033n");
  ASSERT_EQ(again.ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(again.ctx.errorLog.entries[0].function, "LoadServerData");
}

// An installed file the start-up stops on is named with the reason, for the
// front ends' failure line.
TEST(StartUp, AFailedFileCheckNamesTheFileAndTheReason) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  ShutDown(w.ctx, w.hooks, state);
  const std::string mp3 = w.HomeFile("Data/mp3cdda.mp3"), logo = w.HomeFile("Data/logo.pic");
  const std::vector<uint8_t> mp3Bytes = ReadHostFile(mp3), logoBytes = ReadHostFile(logo);
  struct Case {
    const char* what;
    void (*spoil)(const std::string& mp3, const std::string& logo);
    std::string step, path, reason;
  };
  const Case cases[] = {
      {"short mp3", [](const std::string& m, const std::string&) { WriteHostFile(m, std::string(1000, 'x')); },
       "RunStartupChecks", mp3, "it is 1000 bytes long, 596940 expected"},
      // A missing file is installed again; a link in its place is not
      // written through.
      {"logo is a dangling link",
       [](const std::string&, const std::string& l) {
         std::remove(l.c_str());
         ASSERT_EQ(::symlink((l + ".gone").c_str(), l.c_str()), 0);
       },
       "InstallAssets", logo, "a symbolic link, not followed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.spoil(mp3, logo);
    ShellWorld again(w.Home());
    StartupState second;
    EXPECT_EQ(again.Start(second), kStartupFailed);
    EXPECT_EQ(second.failedStep, c.step);
    EXPECT_EQ(second.failedPath, c.path);
    EXPECT_EQ(second.failedReason, c.reason);
    std::remove(mp3.c_str());
    std::remove(logo.c_str());
    WriteHostFile(mp3, std::string(mp3Bytes.begin(), mp3Bytes.end()));
    WriteHostFile(logo, std::string(logoBytes.begin(), logoBytes.end()));
  }
}

// A settings file that is there but cannot be read is not a first start:
// start-up stops, names the file and the reason, and leaves it alone
// (showing or saving the built-in values would pass them off as the user's).
TEST(StartUp, UnreadableSettingsFileStopsWithItsReason) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  w.ctx.settings.set_s32(cfg::kSmtpPort, 2525);
  ASSERT_TRUE(SaveConfig(w.ctx));
  ShutDown(w.ctx, w.hooks, state);

  for (const char* file : {"KelvaRANK.cfg", "KelvaRANK.def"}) {
    SCOPED_TRACE(file);
    const std::vector<uint8_t> before = ReadHostFile(w.HomeFile(file));
    ShellWorld again(w.Home());
    again.dos.unreadable = std::string("PROGDIR:") + file;
    StartupState second;
    EXPECT_EQ(again.Start(second), kStartupFailed);
    EXPECT_EQ(second.failedStep, "RunStartupChecks");
    EXPECT_EQ(second.failedPath, w.HomeFile(file));
    EXPECT_EQ(second.failedReason, "Permission denied");
    EXPECT_EQ(again.Asked("Could not read the file\n'" + w.HomeFile(file) + "'!\n\nPermission denied"), 1);
    EXPECT_EQ(again.Asked("too old"), 0);
    EXPECT_EQ(ReadHostFile(w.HomeFile(file)), before);
    EXPECT_EQ(again.timer.opens, again.timer.closes);
  }
}

// A first start on a disk that fills up: start-up stops naming the file and
// the reason, and no partly written file is left to pass for a good one.
TEST(StartUp, FirstStartOnAFullDiskNamesTheFileAndLeavesNoPartialOne) {
  // How much a first start writes up to the install marker.
  ShellWorld probe;
  probe.dos.spaceLeft = int64_t(1) << 40;
  StartupState probed;
  ASSERT_EQ(probe.Start(probed), kStartupOk);
  const int64_t settingsBytes = 19 + 2352 + 2452;  // marker, .def, .cfg
  const int64_t beforeMarker = (int64_t(1) << 40) - probe.dos.spaceLeft - settingsBytes;

  const struct {
    int64_t space;
    std::string file;  // the file that does not fit
  } cases[] = {
      {beforeMarker - 3000000, "Data/" + DataFileName(16)},
      {beforeMarker + 5, "KelvaRANK.ins"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ShellWorld w;
    w.dos.spaceLeft = c.space;
    StartupState state;
    EXPECT_EQ(w.Start(state), kStartupFailed);
    EXPECT_EQ(state.failedStep, "RunStartupChecks");
    EXPECT_EQ(state.failedPath, w.HomeFile(c.file));
    EXPECT_EQ(state.failedReason, "No space left on device");
    EXPECT_FALSE(HostExists(w.HomeFile(c.file)));
    for (int k = 0; k < kDataFileCount; ++k) {
      int64_t size = HostFileSize(w.HomeFile("Data/" + DataFileName(k)));
      EXPECT_TRUE(size == -1 || size == DataFileSize(k)) << DataFileName(k) << " is " << size << " bytes";
    }
    EXPECT_FALSE(HostExists(w.HomeFile("KelvaRANK.ins")));
  }
}

TEST(StartUp, MissingDataFolderIsRebuilt) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  ShutDown(w.ctx, w.hooks, state);
  const uint64_t digest = DataFilesDigest(w.Home());
  ASSERT_EQ(std::system(("rm -rf '" + w.HomeFile("Data") + "'").c_str()), 0);

  ShellWorld again(w.Home());
  StartupState second;
  ASSERT_EQ(again.Start(second), kStartupOk) << second.failedStep;
  // The data files are reported and repaired; the assets come back silently.
  ASSERT_EQ(again.requester.asked.size(), 1u);
  EXPECT_EQ(again.requester.asked[0].buttons, "Try repair");
  ExpectCompleteHome(again);
  EXPECT_EQ(DataFilesDigest(w.Home()), digest);
}

TEST(StartUp, ReadOnlyHome) {
  {
    // Nothing there yet and nothing can be made: a clear message, code 20.
    ShellWorld w;
    w.dos.readOnly = true;
    StartupState state;
    EXPECT_EQ(w.Start(state), kStartupFailed);
    EXPECT_EQ(state.failedStep, "MakeHome");
    EXPECT_EQ(state.failedPath, w.Home());
    ASSERT_EQ(w.requester.asked.size(), 1u);
    EXPECT_EQ(w.requester.asked[0].title, "\033bERROR\033n");
    EXPECT_NE(w.requester.asked[0].text.find("Could not create the folder\n'" + w.Home() + "'!"), std::string::npos);
    EXPECT_EQ(w.timer.opens, w.timer.closes);
  }
  {
    // The folders exist but the assets cannot be written.
    ShellWorld w;
    ASSERT_EQ(std::system(("mkdir -p '" + w.HomeFile("Data") + "'").c_str()), 0);
    for (auto d : HomeFolders()) ASSERT_TRUE(w.dos.CreateDir(d) || w.dos.IsDir(d));
    w.dos.readOnly = true;
    StartupState state;
    EXPECT_EQ(w.Start(state), kStartupFailed);
    EXPECT_EQ(state.failedStep, "InstallAssets");
    EXPECT_EQ(w.Asked("Could not write the file\n'" + w.HomeFile("Data/mp3cdda.mp3") + "'!"), 1);
  }
  {
    // A complete home that has become read-only still starts; saving at the
    // end fails into the error log and leaves the files as they were.
    ShellWorld w;
    StartupState state;
    ASSERT_EQ(w.Start(state), kStartupOk);
    ShutDown(w.ctx, w.hooks, state);
    const std::vector<uint8_t> def = ReadHostFile(w.HomeFile("KelvaRANK.def"));

    ShellWorld again(w.Home());
    again.dos.readOnly = true;
    StartupState second;
    ASSERT_EQ(again.Start(second), kStartupOk) << second.failedStep;
    EXPECT_TRUE(again.requester.asked.empty());
    again.ctx.display.bytes[0] ^= 1;  // something to save
    ShutDown(again.ctx, again.hooks, second);
    bool logged = false;
    for (const ErrorEntry& e : again.ctx.errorLog.entries) logged = logged || std::string(e.function) == "SaveDefaults";
    EXPECT_TRUE(logged);
    EXPECT_EQ(ReadHostFile(w.HomeFile("KelvaRANK.def")), def);
  }
}

TEST(StartUp, ShutDownSavesDefaultsAndSettingsWhenAsked) {
  for (bool saveAtExit : {true, false}) {
    ShellWorld w;
    StartupState state;
    ASSERT_EQ(w.Start(state), kStartupOk);
    ShutDown(w.ctx, w.hooks, state);
    const std::vector<uint8_t> cfg = ReadHostFile(w.HomeFile("KelvaRANK.cfg"));
    const std::vector<uint8_t> def = ReadHostFile(w.HomeFile("KelvaRANK.def"));

    ShellWorld again(w.Home());
    StartupState second;
    ASSERT_EQ(again.Start(second), kStartupOk);
    again.ctx.settings.set_s32(cfg::kSaveAtExit, saveAtExit);
    again.ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, "/srv/changed");
    again.ctx.display.bytes[0] ^= 1;
    ShutDown(again.ctx, again.hooks, second);
    EXPECT_NE(ReadHostFile(w.HomeFile("KelvaRANK.def")), def);
    EXPECT_EQ(ReadHostFile(w.HomeFile("KelvaRANK.cfg")) != cfg, saveAtExit);
    EXPECT_EQ(HostFileSize(w.HomeFile("KelvaRANK.cfg")), 2452);
  }
}

TEST(StartUp, CheckStepsShowTheirTextsAndPauseOnlyWithoutQuickStart) {
  for (bool quick : {true, false}) {
    ShellWorld w;
    w.hooks.quickStart = quick;
    StartupState state;
    ASSERT_EQ(w.Start(state), kStartupOk);
    const auto& texts = w.hooks.progress.texts;
    const std::vector<std::string> steps = {
        "Checking KelvaRANK.ins...",
        "Checking KelvaRANK.pid...",
        "Checking Datafiles... [binary]",
        "Checking Datafiles... [server]",
        "Checking Datafiles... [mp3cdda]",
        "Checking Logo...",
        "Checking Memory...",
        "Checking Libraries...",
        "Making KelvaRANK.def...",
        "Making KelvaRANK.cfg...",
        "Checking KelvaRANK.def...",
        "Checking KelvaRANK.cfg...",
    };
    // The first start's data-file generation shows inside step 1.
    std::vector<std::string> shown;
    for (const auto& t : texts)
      if (t != "Generating Datafiles...") shown.push_back(t);
    EXPECT_EQ(shown, steps);
    EXPECT_EQ(w.hooks.progress.pauses, quick ? std::vector<int32_t>{} : std::vector<int32_t>(8, 5));
    EXPECT_EQ(w.hooks.progress.gauges.back(), 100);
    EXPECT_EQ(w.hooks.progress.opens, 1);
    EXPECT_EQ(w.hooks.progress.closes, 1);
    ShutDown(w.ctx, w.hooks, state);
  }
}

}  // namespace
}  // namespace kr::test

namespace kr::test {
namespace {

// A first start writes nothing through a link in the home: a data file that
// is a link to a user's file, a dangling install marker.
TEST(StartUp, NothingIsWrittenThroughALinkInTheHome) {
  TempDir user;
  const std::string victim = user.path() + "/notes.txt", markerTarget = user.path() + "/made.ins";
  WriteHostFile(victim, std::string("12345"));
  ShellWorld w;
  ASSERT_TRUE(MakeDirs(w.HomeFile("Data")));
  ASSERT_EQ(::symlink(victim.c_str(), w.HomeFile("Data/0000128.bin").c_str()), 0);
  StartupState state;
  EXPECT_NE(w.Start(state), kStartupOk);
  EXPECT_EQ(ReadHostFile(victim), std::vector<uint8_t>({'1', '2', '3', '4', '5'}));
  EXPECT_NE(state.failedReason.find("symbolic link"), std::string::npos) << state.failedReason;

  ShellWorld v;
  ASSERT_TRUE(MakeDirs(v.Home()));
  ASSERT_EQ(::symlink(markerTarget.c_str(), v.HomeFile("KelvaRANK.ins").c_str()), 0);
  StartupState second;
  EXPECT_NE(v.Start(second), kStartupOk);
  struct stat st;
  EXPECT_NE(::lstat(markerTarget.c_str(), &st), 0);
}

// Temporaries a kill left in the home's folders go at the next start; only
// the program's own pattern, only regular files, only from before the start.
TEST(StartUp, StaleTemporariesOfTheProgramAreRemoved) {
  ShellWorld w;
  StartupState state;
  ASSERT_EQ(w.Start(state), kStartupOk);
  ShutDown(w.ctx, w.hooks, state);
  const char* const stale[] = {"KelvaRANK.cfg.0123456789abcdef.new", "Reports/r.txt.0123456789abcdef.part",
                               "Database/Local/database.dbi.fedcba9876543210.new",
                               "Database/Server/database.dbi.00000000000000aa.new", "Data/server.txt.0123456789abcdef.new"};
  const char* const kept[] = {"Reports/notes.new", "Reports/r.txt.0123456789ABCDEF.part", "Reports/r.part.txt"};
  for (const char* f : stale) WriteHostFile(w.HomeFile(f), std::string("x"));
  for (const char* f : kept) WriteHostFile(w.HomeFile(f), std::string("x"));
  ASSERT_EQ(::symlink("/etc/hostname", w.HomeFile("Reports/l.0123456789abcdef.new").c_str()), 0);
  // A temporary from after the start belongs to a live writer.
  const int64_t now = int64_t(std::time(nullptr));
  WriteHostFile(w.HomeFile("Reports/live.txt.0123456789abcdef.part"), std::string("x"));
  timespec later[2] = {{now + 3600, 0}, {now + 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, w.HomeFile("Reports/live.txt.0123456789abcdef.part").c_str(), later, 0), 0);
  EXPECT_EQ(RemoveStaleTemporaries(w.ctx, now - 60), 0);
  // Made an hour ago, as by a process killed then.
  timespec old[2] = {{now - 3600, 0}, {now - 3600, 0}};
  for (const char* f : stale) ASSERT_EQ(::utimensat(AT_FDCWD, w.HomeFile(f).c_str(), old, 0), 0);
  for (const char* f : kept) ASSERT_EQ(::utimensat(AT_FDCWD, w.HomeFile(f).c_str(), old, 0), 0);

  ShellWorld again(w.Home());
  StartupState second;
  ASSERT_EQ(again.Start(second), kStartupOk) << second.failedStep;
  ShutDown(again.ctx, again.hooks, second);
  struct stat st;
  for (const char* f : stale) EXPECT_NE(::lstat(w.HomeFile(f).c_str(), &st), 0) << f;
  for (const char* f : kept) EXPECT_EQ(::lstat(w.HomeFile(f).c_str(), &st), 0) << f;
  EXPECT_EQ(::lstat(w.HomeFile("Reports/l.0123456789abcdef.new").c_str(), &st), 0);
  EXPECT_EQ(::lstat(w.HomeFile("Reports/live.txt.0123456789abcdef.part").c_str(), &st), 0);
}

}  // namespace
}  // namespace kr::test
