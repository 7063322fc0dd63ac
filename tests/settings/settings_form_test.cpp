#include "settings/settings_form.h"

#include <gtest/gtest.h>

#include <functional>

#include "settings_test_util.h"

namespace kr::test {
namespace {

const std::string B = "\x1b" "b", N = "\x1b" "n";
const std::string kError = B + "ERROR" + N, kWarning = B + "WARNING" + N;

struct Check {
  const char* what;
  std::function<void(SettingsForm&)> fault, fix;
  std::string title, text;
};

// Runs the checks with every fault present, fixing one at a time: each run
// must stop at the next check in order, show exactly its requester and leave
// the record alone.
void RunInOrder(const std::vector<Check>& checks) {
  TestContext t;
  Context& ctx = t.ctx;
  ctx.form = ValidForm();
  for (const Check& c : checks) c.fault(ctx.form);
  const SettingsRecord before = ctx.settings;
  for (const Check& c : checks) {
    SCOPED_TRACE(c.what);
    t.requester.asked.clear();
    EXPECT_FALSE(ReadSettingsFromWindow(ctx));
    ASSERT_EQ(t.requester.asked.size(), 1u);
    EXPECT_EQ(t.requester.asked[0].title, c.title);
    EXPECT_EQ(t.requester.asked[0].text, c.text);
    EXPECT_EQ(t.requester.asked[0].buttons, "Ok");
    EXPECT_EQ(ctx.settings.bytes, before.bytes);
    c.fix(ctx.form);
  }
  t.requester.asked.clear();
  EXPECT_TRUE(ReadSettingsFromWindow(ctx));
  EXPECT_TRUE(t.requester.asked.empty());
}

template <typename F>
std::function<void(SettingsForm&)> Set(F f) {
  return f;
}

TEST(SettingsValidation, EmptyFieldsAreRefusedInOrder) {
  const SettingsForm good = ValidForm();
  std::vector<Check> checks = {
      {"user name", Set([](SettingsForm& f) { f.userName = ""; }), Set([&](SettingsForm& f) { f.userName = good.userName; }),
       kError, "Enter your " + B + "Username" + N},
      {"realname", Set([](SettingsForm& f) { f.realName = ""; }), Set([&](SettingsForm& f) { f.realName = good.realName; }),
       kError, "Enter your " + B + "Realname" + N},
      {"location", Set([](SettingsForm& f) { f.location = ""; }), Set([&](SettingsForm& f) { f.location = good.location; }),
       kError, "Enter your " + B + "Location" + N},
      {"e-mail", Set([](SettingsForm& f) { f.email = ""; }), Set([&](SettingsForm& f) { f.email = good.email; }), kError,
       "Enter your General/" + B + "E-Mail" + N + " address"},
      {"smtp server", Set([](SettingsForm& f) { f.smtpServer = ""; }),
       Set([&](SettingsForm& f) { f.smtpServer = good.smtpServer; }), kWarning,
       "Enter your General/" + B + "SMTP Server" + N + ".\nIf you don't enter one you will be not able to send a module!"},
      {"report file", Set([](SettingsForm& f) { f.reportFile = ""; }),
       Set([&](SettingsForm& f) { f.reportFile = good.reportFile; }), kError,
       "Choose a Benchmark-Report-Filename or press " + B + "Make" + N},
      {"error log", Set([](SettingsForm& f) { f.errorLogOutput = ""; }),
       Set([&](SettingsForm& f) { f.errorLogOutput = "RAM:err.txt"; }), kError,
       "Choose a Errorlog-File or press " + B + "Default" + N},
      {"comment", Set([](SettingsForm& f) { f.comment = std::string(201, 'c'); }),
       Set([](SettingsForm& f) { f.comment = std::string(200, 'c'); }), kError,
       "The comment you entered is too long. Maximal 200 Bytes."},
      {"main model", Set([](SettingsForm& f) { f.hardware[0] = {12, 0, ""}; }),
       Set([](SettingsForm& f) { f.hardware[0].other = "A4000"; }), kError,
       "Enter your " + B + "Main Model" + N + " or select one."},
      {"busboard", Set([](SettingsForm& f) { f.hardware[1] = {10, 0, ""}; }),
       Set([](SettingsForm& f) { f.hardware[1].other = "Mediator"; }), kError,
       "Enter your " + B + "Busboard" + N + " or select one."},
      {"accelerator", Set([](SettingsForm& f) { f.hardware[2] = {16, 0, ""}; }),
       Set([](SettingsForm& f) { f.hardware[2].other = "CSPPC"; }), kError,
       "Enter your " + B + "Accelerator" + N + " or select one."},
      {"controller", Set([](SettingsForm& f) { f.hardware[3] = {20, 0, ""}; }),
       Set([](SettingsForm& f) { f.hardware[3].other = "FastATA"; }), kError,
       "Enter your " + B + "SCSI/IDE Controler" + N + " or select one."},
      {"partition", Set([](SettingsForm& f) { f.partition = ""; }),
       Set([&](SettingsForm& f) { f.partition = good.partition; }), kError, "Choose a " + B + "Partition" + N},
  };
  RunInOrder(checks);
}

TEST(SettingsValidation, PlaceholdersAreRefusedInOrder) {
  const SettingsForm good = ValidForm();
  auto change = [](const char* label) { return "Change the default in General/" + B + label + N; };
  std::vector<Check> checks = {
      {"user name", Set([](SettingsForm& f) { f.userName = "(Your Username)"; }),
       Set([&](SettingsForm& f) { f.userName = good.userName; }), kError, change("Username:")},
      {"realname", Set([](SettingsForm& f) { f.realName = "(Your Realname)"; }),
       Set([&](SettingsForm& f) { f.realName = good.realName; }), kError, change("Realname:")},
      {"location", Set([](SettingsForm& f) { f.location = "(Your Location)"; }),
       Set([&](SettingsForm& f) { f.location = good.location; }), kError, change("Location:")},
      {"e-mail", Set([](SettingsForm& f) { f.email = "(Your E-Mail)"; }),
       Set([&](SettingsForm& f) { f.email = good.email; }), kError, change("E-Mail:")},
      {"smtp server", Set([](SettingsForm& f) { f.smtpServer = "(Your SMTP Server)"; }),
       Set([&](SettingsForm& f) { f.smtpServer = good.smtpServer; }), kError, change("SMTP Server:")},
      {"homepage", Set([](SettingsForm& f) { f.homepage = "(Your Homepage)"; }),
       Set([](SettingsForm& f) { f.homepage = ""; }), kError, change("Homepage:")},
      {"report file", Set([](SettingsForm& f) { f.reportFile = "PROGDIR:Reports/KR_Report_00.00.00_00.00.00.txt"; }),
       Set([](SettingsForm& f) { f.reportEnabled = false; }), kError,
       "Change the default in General/" + B + "Benchmark-Report" + N + " or press " + B + "Make" + N},
      {"comment", Set([](SettingsForm& f) { f.comment = std::string(kCommentPlaceholder); }),
       Set([](SettingsForm& f) { f.comment = ""; }), kError, change("Module comment")},
      {"partition", Set([](SettingsForm& f) { f.partition = "(Partition used)"; }),
       Set([&](SettingsForm& f) { f.partition = good.partition; }), kError,
       "Change the default in Hard Disk/" + B + "Partition" + N},
  };
  RunInOrder(checks);
}

TEST(SettingsValidation, AcceptedValues) {
  struct Case {
    const char* what;
    std::function<void(SettingsForm&)> edit;
  };
  const Case cases[] = {
      {"empty homepage", [](SettingsForm& f) { f.homepage = ""; }},
      {"report placeholder with the report off",
       [](SettingsForm& f) {
         f.reportEnabled = false;
         f.reportFile = "PROGDIR:Reports/KR_Report_00.00.00_00.00.00.txt";
       }},
      {"empty error log with the error log off",
       [](SettingsForm& f) {
         f.errorLogEnabled = false;
         f.errorLogOutput = "";
       }},
      {"comment of 200 bytes", [](SettingsForm& f) { f.comment = std::string(200, 'z'); }},
      {"empty comment", [](SettingsForm& f) { f.comment = ""; }},
      {"empty Other text while a listed vendor is chosen", [](SettingsForm& f) { f.hardware[2] = {3, 1, ""}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestContext t;
    t.ctx.form = ValidForm();
    c.edit(t.ctx.form);
    EXPECT_TRUE(ReadSettingsFromWindow(t.ctx));
    EXPECT_TRUE(t.requester.asked.empty());
  }
}

TEST(SettingsValidation, OtherTextOfAListedVendorIsEmptiedEvenWhenALaterCheckFails) {
  TestContext t;
  Context& ctx = t.ctx;
  ctx.form = ValidForm();
  ctx.form.hardware[1] = {2, 0, "left over"};
  ctx.form.partition = "";
  EXPECT_FALSE(ReadSettingsFromWindow(ctx));
  EXPECT_EQ(ctx.form.hardware[1].other, "");
  ctx.form.partition = "/mnt/a";
  ctx.form.hardware[1].other = "left over";
  ctx.settings.set_text(cfg::kBusOther, cfg::kOtherWidth, "old");
  ASSERT_TRUE(ReadSettingsFromWindow(ctx));
  EXPECT_EQ(ctx.settings.text(cfg::kBusOther, cfg::kOtherWidth), "");
}

TEST(SettingsCopy, EveryControlLandsInItsField) {
  TestContext t;
  Context& ctx = t.ctx;
  SettingsForm f = ValidForm();
  f.smtpPort = 587;
  f.errorLogOutput = "RAM:errors.txt";
  f.reportEnabled = false;
  f.errorLogEnabled = false;
  f.appendErrorLog = true;
  f.flushResults = true;
  f.saveAtExit = false;
  f.overclocked = true;
  f.hardware = {HardwareChoice{12, 0, "MyBox"}, HardwareChoice{3, 2, ""}, HardwareChoice{5, 4, ""},
                HardwareChoice{20, 0, "MyCtl"}};
  f.procEnabled[10] = true;
  f.procCache[2] = false;
  f.procMultitasking[7] = true;
  f.memEnabled[23] = true;
  f.memCache[1] = false;
  f.memMultitasking[13] = true;
  f.memLoopSize[0] = 1024;
  f.memSweepStart[4] = 3;
  f.memSweepStop[4] = 9;
  f.driveEnabled = {true, false, true, false, true, false, true};
  f.driveCache[17] = false;
  f.driveCount = {3, 8, 256, 32, 64};
  f.driveSweepStart = {2, 3, 4, 5};
  f.driveSweepStop = {12, 13, 14, 15};
  f.accessMode = 1;
  ctx.form = f;
  ASSERT_TRUE(ReadSettingsFromWindow(ctx));
  const SettingsRecord& s = ctx.settings;
  EXPECT_EQ(s.text(cfg::kUserName, 64), "amy");
  EXPECT_EQ(s.text(cfg::kRealName, 64), "Amy Example");
  EXPECT_EQ(s.text(cfg::kLocation, 64), "Berlin");
  EXPECT_EQ(s.text(cfg::kEmail, 128), "amy@example.org");
  EXPECT_EQ(s.text(cfg::kSmtpServer, 64), "mail.example.org");
  EXPECT_EQ(s.s32(cfg::kSmtpPort), 587);
  EXPECT_EQ(s.text(cfg::kHomepage, 256), "http://example.org/");
  EXPECT_EQ(s.reportFile(), "PROGDIR:Reports/run.txt");
  EXPECT_EQ(s.errorLogOutput(), "RAM:errors.txt");
  const int32_t flags[6][2] = {{cfg::kReportEnabled, 0}, {cfg::kErrorLogEnabled, 0}, {cfg::kAppendErrorLog, 1},
                               {cfg::kFlushResults, 1},  {cfg::kSaveAtExit, 0},      {cfg::kOverclocked, 1}};
  for (auto& fl : flags) EXPECT_EQ(s.s32(size_t(fl[0])), fl[1]) << "offset " << fl[0];
  const int32_t hw[8] = {12, 0, 3, 2, 5, 4, 20, 0};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(s.s32(cfg::kMainVendor + 4 * i), hw[i]) << "hardware " << i;
  EXPECT_EQ(s.text(cfg::kMainOther, 32), "MyBox");
  EXPECT_EQ(s.text(cfg::kCtrlOther, 32), "MyCtl");
  EXPECT_EQ(s.moduleComment(), "fast machine");
  EXPECT_EQ(s.procEnabled(10), 1);
  EXPECT_EQ(s.procCache(2), 0);
  EXPECT_EQ(s.procMultitasking(7), 1);
  EXPECT_EQ(s.memEnabled(23), 1);
  EXPECT_EQ(s.memCache(1), 0);
  EXPECT_EQ(s.memMultitasking(13), 1);
  EXPECT_EQ(s.memLoopSize(0), 1024);
  EXPECT_EQ(s.memSweepStart(4), 3);
  EXPECT_EQ(s.memSweepStop(4), 9);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(s.driveEnabled(i), i % 2 == 0 ? 1 : 0) << "drive enabled " << i;
  EXPECT_EQ(s.driveCache(17), 0);
  EXPECT_EQ(s.driveCache(16), 1);
  const int32_t count[5] = {3, 8, 256, 32, 64};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s.driveCount(i), count[i]);
  const int32_t start[4] = {2, 3, 4, 5}, stop[4] = {12, 13, 14, 15};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.driveSweepStart(i), start[i]);
    EXPECT_EQ(s.driveSweepStop(i), stop[i]);
  }
  EXPECT_EQ(s.partition(), "/mnt/bench");
  EXPECT_EQ(s.accessMode(), 1);
  EXPECT_EQ(AccessModeOfCycle(s.accessMode()), 2);
  EXPECT_EQ(AccessModeOfCycle(0), 1);

  // And back: the pages show what the record holds.
  SettingsForm shown;
  FormFromSettings(s, shown);
  EXPECT_EQ(shown.hardware[0].other, "MyBox");
  EXPECT_EQ(shown.driveCount, f.driveCount);
  EXPECT_EQ(shown.memLoopSize, ctx.form.memLoopSize);
}

TEST(SettingsCopy, SweepStartAboveStopGoesBackToTheTestsDefaults) {
  struct Case {
    const char* what;
    bool memory;
    int index;
    int32_t start, stop, wantStart, wantStop;
  };
  const Case cases[] = {
      {"CPU Cache Read", true, 0, 17, 2, 1, 17},   {"Read CHIP byte", true, 7, 10, 5, 1, 14},
      {"Copy CHIP to CHIP", true, 16, 13, 12, 1, 13}, {"Read ROM long", true, 23, 5, 4, 1, 13},
      {"Read from File", false, 0, 10, 4, 1, 17},  {"Write to File", false, 1, 17, 16, 1, 17},
      {"Read from Device", false, 2, 12, 5, 3, 17}, {"Write to Device", false, 3, 4, 3, 3, 17},
      {"equal start and stop stay", true, 5, 9, 9, 9, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestContext t;
    t.ctx.form = ValidForm();
    if (c.memory) {
      t.ctx.form.memSweepStart[size_t(c.index)] = c.start;
      t.ctx.form.memSweepStop[size_t(c.index)] = c.stop;
    } else {
      t.ctx.form.driveSweepStart[size_t(c.index)] = c.start;
      t.ctx.form.driveSweepStop[size_t(c.index)] = c.stop;
    }
    ASSERT_TRUE(ReadSettingsFromWindow(t.ctx));
    EXPECT_TRUE(t.requester.asked.empty());
    const SettingsRecord& s = t.ctx.settings;
    if (c.memory) {
      EXPECT_EQ(s.memSweepStart(c.index), c.wantStart);
      EXPECT_EQ(s.memSweepStop(c.index), c.wantStop);
      EXPECT_EQ(t.ctx.form.memSweepStart[size_t(c.index)], c.wantStart);
      EXPECT_EQ(t.ctx.form.memSweepStop[size_t(c.index)], c.wantStop);
    } else {
      EXPECT_EQ(s.driveSweepStart(c.index), c.wantStart);
      EXPECT_EQ(s.driveSweepStop(c.index), c.wantStop);
      EXPECT_EQ(t.ctx.form.driveSweepStart[size_t(c.index)], c.wantStart);
      EXPECT_EQ(t.ctx.form.driveSweepStop[size_t(c.index)], c.wantStop);
    }
  }
}

TEST(SettingsEnablingRules, OtherFieldsFollowTheVendorAndOptionsFollowTheCheckMark) {
  SettingsForm f = ValidForm();
  f.hardware = {HardwareChoice{12, 0, ""}, HardwareChoice{9, 0, ""}, HardwareChoice{16, 0, ""},
                HardwareChoice{0, 0, ""}};
  f.procEnabled[4] = true;
  f.memEnabled[20] = true;
  f.driveEnabled[3] = true;
  SettingsEnabling e = UpdateSettingsEnabling(f);
  EXPECT_EQ(e.other, (std::array<bool, 4>{true, false, true, false}));
  for (int k = 0; k <= 10; ++k) EXPECT_EQ(e.procOptions[size_t(k)], k == 4) << "processor " << k;
  for (int p = 0; p < 24; ++p) EXPECT_EQ(e.memOptions[size_t(p)], p == 20) << "memory " << p;
  for (int i = 0; i < 7; ++i) EXPECT_EQ(e.driveOptions[size_t(i)], i == 3) << "drive " << i;
  // Which drive cache switch belongs to which check mark.
  const int owner[18] = {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 4, 5, 6};
  for (int c = 0; c < 18; ++c)
    for (int i = 0; i < 7; ++i) EXPECT_EQ(DriveCacheBelongsTo(c, i), owner[c] == i) << c << " " << i;
}

}  // namespace
}  // namespace kr::test
