// The rules both front ends ask, and the host bundle's wording of a failed
// start-up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "modules/transfer_rules.h"
#include "records/module_index.h"
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
