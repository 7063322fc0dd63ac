// Make Module: the run of all three sections under default settings, the
// abort on an invalid total, the module in the Local database and the
// user's settings untouched. The sections are recording fakes that set
// their totals; settings, report, module files and index are real. Also a
// section run's plan: what the run reads, while the settings stay as saved.
#include <gtest/gtest.h>

#include <cstdio>

#include <bit>
#include <string>
#include <vector>

#include "engine/scoring.h"
#include "modules/module_base.h"
#include "modules/module_fixture.h"
#include "report/report.h"
#include "settings/config_files.h"
#include "shell/commands.h"
#include "shell/make_module.h"
#include "support/report_file.h"

namespace kr {
namespace {

// What each fake section saw, and the totals it leaves.
struct SectionCall {
  char section;
  bool everyProcessorTestOn, everyMemoryTestOn;
  int32_t fibonacciCache;  // a processor switch the user changed
  int32_t writeDevice, spinUpDevice;
  double staleSlot;  // a slot the user's last run left
};
std::vector<SectionCall> gCalls;
ScoreSlot gTotals[3];

// What a section sees: the settings of the run (its plan's).
SettingsRecord gSeen;
SectionCall Observe(Context& ctx, char section) {
  const SettingsRecord& st = gSeen = RunSettings(ctx);
  SectionCall c{section, true, true, st.procCache(cpu::kFibonacci), st.driveEnabled(drive_switch::kWriteDevice),
                st.driveEnabled(drive_switch::kSpinUp), ctx.results.score(slot::kMd5).percent};
  for (int k = 1; k <= kProcessorTests; ++k) c.everyProcessorTestOn &= st.procEnabled(k) != 0;
  for (int p = 0; p < kMemoryTests; ++p) c.everyMemoryTestOn &= st.memEnabled(p) != 0;
  return c;
}
SectionResults FakeProcessor(Context& ctx) {
  gCalls.push_back(Observe(ctx, 'P'));
  ctx.results.setScore(slot::kProcessorTotal, gTotals[0]);
  return {};
}
SectionResults FakeMemory(Context& ctx) {
  gCalls.push_back(Observe(ctx, 'M'));
  ctx.results.setScore(slot::kMemoryTotal, gTotals[1]);
  return {};
}
SectionResults FakeDrive(Context& ctx) {
  gCalls.push_back(Observe(ctx, 'D'));
  ctx.results.setScore(slot::kDriveTotal, gTotals[2]);
  return {};
}
constexpr SectionRuns kFakes = {FakeProcessor, FakeMemory, FakeDrive};

class MakeModule : public ::testing::Test {
 protected:
  void SetUp() override {
    gCalls.clear();
    gTotals[0] = {40.0, 1.0};
    gTotals[1] = {50.0, 1.0};
    gTotals[2] = {61.0, 1.0};
    // The user's own saved settings: a profile, one processor test off, a
    // switch changed, a report file.
    SettingsRecord& s = ctx.settings;
    s.set_text(cfg::kSmtpServer, cfg::kSmtpWidth, "mail.example.org");
    s.set_text(cfg::kPartition, cfg::kPartitionWidth, t.home.path());
    s.setProcEnabled(cpu::kDhrystones, 0);
    s.setProcCache(cpu::kFibonacci, 0);
    s.setMemEnabled(mem::kCopyFastFast, 0);
    test::UseReportFile(ctx, "module.txt");
    ASSERT_TRUE(SaveConfig(ctx));
    ASSERT_TRUE(LoadConfig(ctx));
    userSettings = ctx.settings;
    ctx.results.setScore(slot::kMd5, {77.0, 1.0});
  }
  std::string Calls() const {
    std::string s;
    for (const SectionCall& c : gCalls) s += c.section;
    return s;
  }
  std::vector<std::string> AskedTexts() const {
    std::vector<std::string> v;
    for (const auto& a : t.requester.asked) v.push_back(a.text);
    return v;
  }

  test::ModuleContext t;
  Context& ctx = t.ctx;
  SettingsRecord userSettings;
};

TEST_F(MakeModule, AllTotalsValidGiveTheSystemTotalAndALocalModule) {
  t.requester.answers = {0};  // "Continue"
  MakeModuleOptions options;
  options.writeDevice = true;
  options.chipRamTests = false;
  std::optional<RunOutcome> out = MakeModuleCommand(ctx, options, kFakes);
  ASSERT_TRUE(out);

  // The sections in order, each under the default settings with every test
  // on, the Write to DEVICE option applied, SpinUP not; the results were
  // zero-filled first.
  ASSERT_EQ(Calls(), "PMD");
  for (const SectionCall& c : gCalls) {
    EXPECT_TRUE(c.everyProcessorTestOn);
    EXPECT_TRUE(c.everyMemoryTestOn);
    EXPECT_EQ(c.fibonacciCache, 1);
    EXPECT_EQ(c.writeDevice, 1);
    EXPECT_EQ(c.spinUpDevice, 0);
    EXPECT_EQ(c.staleSlot, 0.0);
  }

  constexpr double kThird = std::bit_cast<double>(uint64_t(0x3FD5555555555555));
  EXPECT_EQ(out->module, RunOutcome::Module::Stored);
  EXPECT_EQ(out->systemTotal.percent, (40.0 + 50.0 + 61.0) * kThird);
  EXPECT_EQ(out->systemTotal.valid, 1.0);
  EXPECT_EQ(out->processorTotal.percent, 40.0);

  // The module: in the Local list and index, its file unscrambles to the
  // record with its serial and the system total.
  const std::string serial = out->moduleSerial;
  ASSERT_TRUE(IsWellFormedSerial(serial)) << serial;
  EXPECT_TRUE(IsInDatabase(ctx, serial, Database::Local));
  ModuleRecord stored;
  ASSERT_EQ(ReadModuleFile(ctx, LocalModulePath(serial), stored), ModuleRead::Ok);
  EXPECT_EQ(ModuleSerial(stored), serial);
  EXPECT_EQ(stored.score(slot::kSystemTotal).percent, out->systemTotal.percent);
  EXPECT_EQ(ModuleText(stored, mod::kUserName, mod::kUserNameWidth), "Tester");
  EXPECT_EQ(test::ReadHostFile(t.Home("Database/Local/database.dbi")).size(), 10u + 1003u);

  // Requests: are-you-sure, then the completion; the report carries the
  // system total block.
  EXPECT_EQ(AskedTexts().size(), 2u);
  EXPECT_EQ(t.requester.asked[0].buttons, "Continue|Abort");
  EXPECT_EQ(t.requester.asked[1].title, "\x1b" "bINFORMATION\x1b" "n");
  EXPECT_EQ(t.requester.asked[1].text.rfind("Creation completed!\n\n", 0), 0u);
  EXPECT_EQ(t.requester.asked[1].buttons, "Nice");
  std::string report = test::ReadReport(ctx);
  EXPECT_NE(report.find("|    T O T A L   S Y S T E M   K e l v a R A N K S :  50.33 Percent        |\n"),
            std::string::npos)
      << report;

  // The user's own settings are back; the CHIP-ram option is on again.
  EXPECT_EQ(ctx.settings.bytes, userSettings.bytes);
  EXPECT_EQ(ctx.form.procEnabled[size_t(cpu::kDhrystones)], false);
  EXPECT_EQ(ctx.run.chipRamTests, 1);
}

TEST_F(MakeModule, AnInvalidTotalAbortsAfterItsSection) {
  struct Case {
    int invalid;
    const char* calls;
    const char* name;
  } cases[] = {{0, "P", "Processor"}, {1, "PM", "Memory"}, {2, "PMD", "Harddrive"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    t.requester.asked.clear();
    t.requester.answers = {0};
    gTotals[c.invalid] = {70.0, 0.0};
    std::optional<RunOutcome> out = MakeModuleCommand(ctx, {}, kFakes);
    ASSERT_TRUE(out);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(out->module, RunOutcome::Module::NotValid);
    EXPECT_EQ(out->abortedSection, Section(c.invalid));
    EXPECT_EQ(out->systemTotal.valid, 0.0);
    EXPECT_EQ(ctx.results.score(slot::kSystemTotal).percent, 0.0);
    ASSERT_EQ(t.requester.asked.size(), 2u);
    EXPECT_EQ(t.requester.asked[1].text, std::string("The KelvaRANKS at \x1b" "b") + c.name +
                                             "\x1b" "n are not valid!\nSee Benchmark-Report for details.\n\n"
                                             "'Make Module' aborted!");
    EXPECT_EQ(t.requester.asked[1].buttons, "Damn!");
    EXPECT_TRUE(ctx.modules.local.empty());
    EXPECT_EQ(test::ReadHostFile(t.Home("Database/Local/database.dbi")).size(), 0u);
    EXPECT_NE(test::ReadReport(ctx).find("T O T A L   S Y S T E M   K e l v a R A N K S : DISABLED"),
              std::string::npos);
    EXPECT_EQ(ctx.settings.bytes, userSettings.bytes);
  }
}

TEST_F(MakeModule, AbortRefusedSettingsAndAnUnwritableDatabaseMakeNoModule) {
  // "Abort" in the are-you-sure request: nothing runs.
  t.requester.answers = {1};
  EXPECT_FALSE(MakeModuleCommand(ctx, {}, kFakes));
  EXPECT_EQ(Calls(), "");

  // Settings the pages refuse (the default user name): their request, no
  // section; the settings and the pages stay as they were.
  SettingsRecord before = ctx.settings;
  ctx.form.userName = "(Your Username)";
  t.requester.asked.clear();
  t.requester.answers = {0};
  std::optional<RunOutcome> out = MakeModuleCommand(ctx, {}, kFakes);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->module, RunOutcome::Module::SettingsRefused);
  EXPECT_EQ(Calls(), "");
  ASSERT_EQ(t.requester.asked.size(), 2u);
  EXPECT_NE(t.requester.asked[1].text.find("Username"), std::string::npos);
  EXPECT_EQ(ctx.settings.bytes, before.bytes);
  EXPECT_EQ(ctx.form.userName, "(Your Username)");
  ctx.form.userName = "Tester";

  // A Local folder that cannot be written: no completion request, an error
  // entry, no module in the list.
  // (A file in the Local folder's place serves root as well.)
  const std::string local = t.Home("Database/Local");
  ASSERT_EQ(rename(local.c_str(), (local + ".moved").c_str()), 0);
  test::WriteHostFile(local, {1});
  t.requester.asked.clear();
  t.requester.answers = {0};
  out = MakeModuleCommand(ctx, {}, kFakes);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->module, RunOutcome::Module::NotStored);
  EXPECT_EQ(out->systemTotal.valid, 1.0);
  EXPECT_TRUE(ctx.modules.local.empty());
  EXPECT_EQ(t.requester.asked.size(), 1u);
  bool logged = false;
  for (const ErrorEntry& e : ctx.errorLog.entries) logged |= std::string(e.function) == "FillModuleHeader";
  EXPECT_TRUE(logged);
}

TEST_F(MakeModule, AnUnreadableSettingsFileAfterwardsKeepsTheSettingsOfBefore) {
  // The .cfg disappears while the module is made: the forced settings (every
  // test on) must not reach the user's, or a later save would write them.
  struct RemovesConfig {
    static SectionResults Drive(Context& c) {
      std::remove(c.dos.HostPath("PROGDIR:KelvaRANK.cfg").c_str());
      return FakeDrive(c);
    }
  };
  t.requester.answers = {0};
  std::optional<RunOutcome> out =
      MakeModuleCommand(ctx, {}, SectionRuns{FakeProcessor, FakeMemory, RemovesConfig::Drive});
  ASSERT_TRUE(out);
  EXPECT_EQ(out->module, RunOutcome::Module::Stored);
  EXPECT_EQ(ctx.settings.bytes, userSettings.bytes);
  EXPECT_EQ(ctx.settings.procEnabled(cpu::kDhrystones), 0);
}

// A run's own choices (every drive test, another partition, a report of its
// own) reach its sections and its report, never the settings, their file
// or the pages; afterwards no plan is left behind.
TEST_F(MakeModule, ASectionRunReadsItsPlanAndNeverTheSettings) {
  const SettingsForm form = ctx.form;
  const std::string cfgPath = ctx.dos.HostPath("PROGDIR:KelvaRANK.cfg");
  const std::vector<uint8_t> cfg = test::ReadHostFile(cfgPath);
  ASSERT_FALSE(cfg.empty());
  RunOverrides o;
  o.allTests = TestPages::Drive;
  o.partition = "/srv/other";
  o.reportFile = "PROGDIR:Reports/own.txt";
  const RunPlan plan = MakeRunPlan(ctx.settings, o);
  ctx.run.runMode = int32_t(RunMode::Drive);
  const RunOutcome out = RunBenchmark(ctx, plan, nullptr, kFakes);

  ASSERT_EQ(Calls(), "D");
  EXPECT_EQ(out.driveTotal.percent, 61.0);
  EXPECT_EQ(gSeen.driveEnabled(drive_switch::kReadFile), 1);
  EXPECT_EQ(gSeen.driveEnabled(drive_switch::kWriteDevice), 0);
  EXPECT_EQ(gSeen.partition(), "/srv/other");
  EXPECT_EQ(gSeen.reportFile(), "PROGDIR:Reports/own.txt");
  EXPECT_EQ(out.report, RunOutcome::Report::Written);
  EXPECT_EQ(out.reportPath, ctx.dos.HostPath("PROGDIR:Reports/own.txt"));
  EXPECT_NE(test::ReadHostFile(out.reportPath).size(), 0u);

  EXPECT_EQ(ctx.settings.bytes, userSettings.bytes);
  EXPECT_EQ(test::ReadHostFile(cfgPath), cfg);
  EXPECT_EQ(ctx.form.driveEnabled, form.driveEnabled);
  EXPECT_EQ(ctx.form.partition, form.partition);
  EXPECT_FALSE(ctx.plan.settings);
}

TEST(MakeModuleWarnings, DeviceBoxesShowTheirInformation) {
  test::TestContext t;
  ShowWriteDeviceWarning(t.ctx);
  ShowSpinUpDeviceWarning(t.ctx);
  ASSERT_EQ(t.requester.asked.size(), 2u);
  EXPECT_EQ(t.requester.asked[0].title, "\x1b" "bINFORMATION\x1b" "n");
  EXPECT_TRUE(t.requester.asked[0].text.ends_with("Test is now \x1b" "bENABLED\x1b" "n !"));
  EXPECT_TRUE(t.requester.asked[1].text.ends_with("But better avoid it on AmigaXL/Amithlon..."));
  EXPECT_EQ(t.requester.asked[1].buttons, "I understand");
}

// The warning names the bytes the coming run rewrites: the settings' device
// sweep for a section run, the default sweep for a module (which is made with
// every page at its defaults), whatever the settings hold.
TEST(MakeModuleWarnings, WriteDeviceNamesTheBytesOfTheSweepThatWillRun) {
  test::TestContext t;
  t.ctx.settings.set_s32(cfg::kDriveSweepStop + 4 * 3, 10);  // 65536 bytes at most
  ShowWriteDeviceWarning(t.ctx);
  ShowWriteDeviceWarning(t.ctx, WriteDeviceFor::MakeModule);
  ASSERT_EQ(t.requester.asked.size(), 2u);
  const uint64_t first = 123 * 512;
  const auto span = [&](uint32_t bytes) {
    return "rewrites bytes " + std::to_string(first) + " to " + std::to_string(first + bytes - 1) + " of";
  };
  EXPECT_NE(t.requester.asked[0].text.find(span(BlockSizeOfStep(10))), std::string::npos) << t.requester.asked[0].text;
  EXPECT_NE(t.requester.asked[1].text.find(span(BlockSizeOfStep(DriveEntryOfSweep(3)->defaults.sweepStop))),
            std::string::npos)
      << t.requester.asked[1].text;
  EXPECT_NE(BlockSizeOfStep(10), BlockSizeOfStep(DriveEntryOfSweep(3)->defaults.sweepStop));
}

}  // namespace
}  // namespace kr
