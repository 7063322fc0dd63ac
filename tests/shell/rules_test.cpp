// The rules both front ends ask, and the host bundle's wording of a failed
// start-up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "modules/transfer_rules.h"
#include "records/form_values.h"
#include "records/settings_record.h"
#include "records/index_entry.h"
#include "shell/commands.h"
#include "shell/host.h"
#include "support/test_context.h"

namespace kr {
namespace {

TEST(SharedRules, BulkSwitchLeavesTheDeviceTestsAlone) {
  test::TestContext t;
  for (int i = 0; i < 7; ++i) t.ctx.settings.setDriveEnabled(i, 0);
  SetAllTests(t.ctx, TestPages::Drive, true);
  const int kExpected[7] = {1, 1, 1, 1, 0, 1, 0};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(t.ctx.settings.driveEnabled(i), kExpected[i]) << "switch " << i;
    const RuleOutcome rule = BulkEnableDriveTest(i);
    EXPECT_EQ(bool(rule), kExpected[i] == 1) << "switch " << i;
    EXPECT_EQ(rule.reason.empty(), bool(rule)) << "switch " << i;
  }
  // Switched on alone, they go off with the rest.
  t.ctx.settings.setDriveEnabled(4, 1);
  t.ctx.settings.setDriveEnabled(6, 1);
  SetAllTests(t.ctx, TestPages::All, false);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(t.ctx.settings.driveEnabled(i), 0) << "switch " << i;
}

// Each choice a run makes for itself changes exactly its part of the
// plan's settings; the settings it was made from are the plan's otherwise.
TEST(SharedRules, ARunPlanIsTheSettingsWithTheRunsChoices) {
  SettingsRecord base;
  SetBuiltinDefaults(base);
  SetAllTests(base, TestPages::All, false);
  base.set_s32(cfg::kReportEnabled, 1);
  base.set_text(cfg::kReportFile, cfg::kPathWidth, kDefaultReportFile);
  base.set_text(cfg::kPartition, cfg::kPartitionWidth, "/mnt/a");
  using Edit = void (*)(SettingsRecord&);
  using Choose = void (*)(RunOverrides&);
  struct Case {
    const char* name;
    Choose choose;
    Edit expected;  // null: the settings as they are
    Edit before;    // on the settings first; null: none
  };
  static constexpr const char* kStamped = "PROGDIR:Reports/KR_Report_11.12.26_07.00.00.txt";
  const Case cases[] = {
      {"none", [](RunOverrides&) {}, nullptr, nullptr},
      {"all processor tests", [](RunOverrides& o) { o.allTests = TestPages::Processor; },
       [](SettingsRecord& s) { SetAllTests(s, TestPages::Processor, true); }, nullptr},
      {"all drive tests but the device writer and spin-up", [](RunOverrides& o) { o.allTests = TestPages::Drive; },
       [](SettingsRecord& s) {
         for (int i : {0, 1, 2, 3, 5}) s.setDriveEnabled(i, 1);
       },
       nullptr},
      {"partition", [](RunOverrides& o) { o.partition = "/srv/b"; },
       [](SettingsRecord& s) { s.set_text(cfg::kPartition, cfg::kPartitionWidth, "/srv/b"); }, nullptr},
      {"device tests",
       [](RunOverrides& o) {
         o.writeDevice = true;
         o.spinUpDevice = true;
       },
       [](SettingsRecord& s) {
         s.setDriveEnabled(drive_switch::kWriteDevice, 1);
         s.setDriveEnabled(drive_switch::kSpinUp, 1);
       },
       nullptr},
      {"a report file switches the report on", [](RunOverrides& o) { o.reportFile = "/tmp/r.txt"; },
       [](SettingsRecord& s) {
         s.set_s32(cfg::kReportEnabled, 1);
         s.set_text(cfg::kReportFile, cfg::kPathWidth, "/tmp/r.txt");
       },
       [](SettingsRecord& s) { s.set_s32(cfg::kReportEnabled, 0); }},
      {"the stamped name replaces the default one", [](RunOverrides& o) { o.defaultReportName = kStamped; },
       [](SettingsRecord& s) { s.set_text(cfg::kReportFile, cfg::kPathWidth, kStamped); }, nullptr},
      {"the stamped name leaves a report that is off", [](RunOverrides& o) { o.defaultReportName = kStamped; },
       nullptr, [](SettingsRecord& s) { s.set_s32(cfg::kReportEnabled, 0); }},
      {"the stamped name leaves a name of the user's", [](RunOverrides& o) { o.defaultReportName = kStamped; },
       nullptr, [](SettingsRecord& s) { s.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:mine.txt"); }},
  };
  for (const Case& c : cases) {
    SettingsRecord settings = base;
    if (c.before) c.before(settings);
    const SettingsRecord untouched = settings;
    SettingsRecord expected = settings;
    if (c.expected) c.expected(expected);
    RunOverrides o;
    c.choose(o);
    const RunPlan plan = MakeRunPlan(settings, o);
    ASSERT_TRUE(plan.settings) << c.name;
    EXPECT_EQ(plan.settings->bytes, expected.bytes) << c.name;
    EXPECT_EQ(settings.bytes, untouched.bytes) << c.name;
  }
  RunOverrides scaled;
  scaled.workScale = 16;
  EXPECT_EQ(MakeRunPlan(base, scaled).workScale, 16u);
}

TEST(SharedRules, ChosenFileNames) {
  struct Case {
    std::string name;
    FileNameFault fault;
    const char* reason;
  };
  const Case cases[] = {
      {"/home/u/Reports/KR_Report.txt", FileNameFault::None, ""},
      {std::string(255, 'a'), FileNameFault::None, ""},
      {std::string(256, 'a'), FileNameFault::TooLong, "is longer than 255 characters"},
      {"RAM:report.txt", FileNameFault::Colon, "holds a ':'"},
      {std::string(300, 'a') + ":", FileNameFault::Colon, "holds a ':'"},  // the ':' is named first
  };
  for (const Case& c : cases) {
    const FileNameCheck check = CheckChosenFileName(c.name);
    EXPECT_EQ(check.fault, c.fault) << c.name;
    EXPECT_EQ(bool(check.outcome), c.fault == FileNameFault::None) << c.name;
    EXPECT_EQ(check.outcome.reason, c.reason) << c.name;
  }
}

TEST(SharedRules, AModuleIsFetchedOrMailedOnlyOnce) {
  test::TestContext t;
  const std::string serial = "0x0123456789ABCDEF0123456789ABCDEF";
  EXPECT_TRUE(MayDownload(t.ctx, serial));
  EXPECT_TRUE(MayUpload(t.ctx, serial));
  IndexEntry e;
  e.set_text(idx::kSerial, 35, serial);
  t.ctx.modules.local.push_back(e);
  EXPECT_EQ(MayDownload(t.ctx, serial).reason, "Module is already 'Local'");
  EXPECT_TRUE(MayUpload(t.ctx, serial));
  t.ctx.modules.server.push_back(e);
  EXPECT_EQ(MayUpload(t.ctx, serial).reason, "Module is already at 'Server'");
}

TEST(HostBundle, StartupFailureLineAndHome) {
  auto quoted = [](std::string_view s) {
    std::string r(1, '<');
    r.append(s);
    return r + '>';
  };
  StartupState s;
  EXPECT_EQ(StartupFailureLine(s, quoted, quoted), "start-up failed");
  s.failedStep = "InstallAssets";
  EXPECT_EQ(StartupFailureLine(s, quoted, quoted), "start-up failed in InstallAssets");
  s.failedReason = "No space left on device";
  EXPECT_EQ(StartupFailureLine(s, quoted, quoted), "start-up failed in InstallAssets: <No space left on device>");
  s.failedPath = "/home/u/Data/logo.pic";
  EXPECT_EQ(StartupFailureLine(s, quoted, quoted),
            "start-up failed in InstallAssets (</home/u/Data/logo.pic>): <No space left on device>");

  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(AbsoluteHome("kr-home"), std::string(cwd) + "/kr-home");
  EXPECT_EQ(AbsoluteHome("/srv/kr"), "/srv/kr");
  EXPECT_FALSE(AbsoluteHome("").empty());
}

}  // namespace
}  // namespace kr
