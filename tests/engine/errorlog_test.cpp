// The error log and its box in the report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/errorlog.h"
#include "support/report_file.h"
#include "support/test_context.h"

namespace kr {
namespace {

const std::string kRule = "\xB7" + std::string(74, '=') + "\xB7";
const std::string kEmpty = "|" + std::string(74, ' ') + "|";
const std::vector<std::string> kHead = {
    kRule, "\xA1" + std::string(74, ' ') + "\xA1",
    "|                              E R R O R S                                 |", kEmpty};
const std::vector<std::string> kTail = {"!" + std::string(74, ' ') + "!", kRule};

std::vector<std::string> Box(std::vector<std::string> body) {
  std::vector<std::string> v = kHead;
  v.insert(v.end(), body.begin(), body.end());
  v.insert(v.end(), kTail.begin(), kTail.end());
  return v;
}

TEST(ErrorBox, EmptyLogSaysNoErrors) {
  test::TestContext t;
  std::string out = test::CaptureReport(t.ctx, "errors.txt", [&] { AppendErrorLogToReport(t.ctx); });
  EXPECT_EQ(test::SplitLines(out),
            Box({"| No Errors...                                                             |"}));
}

TEST(ErrorBox, EntriesAreNumberedInTheOrderLogged) {
  test::TestContext t;
  LogError(t.ctx, "CPU", "ZLib", "Could not get source-buffer");
  LogError(t.ctx, "MEMORY", "Read FAST byte", "Could not get data buffer");
  LogError(t.ctx, "DRIVE", "CheckFreeSpace", std::string(200, 'x'));  // cut to 127 characters
  std::string out = test::CaptureReport(t.ctx, "errors.txt", [&] { AppendErrorLogToReport(t.ctx); });
  EXPECT_EQ(test::SplitLines(out),
            Box({"| ERROR NO: 1", "| LOCATION: CPU", "| FUNCTION: ZLib", "| REASON  : Could not get source-buffer",
                 kEmpty, "| ERROR NO: 2", "| LOCATION: MEMORY", "| FUNCTION: Read FAST byte",
                 "| REASON  : Could not get data buffer", kEmpty, "| ERROR NO: 3", "| LOCATION: DRIVE",
                 "| FUNCTION: CheckFreeSpace", "| REASON  : " + std::string(127, 'x'), kEmpty}));
}

TEST(ErrorBox, NothingWhileTheReportIsClosedAndClearEmptiesTheLog) {
  test::TestContext t;
  LogError(t.ctx, "GENERAL", "MakeStamp", "No enough mem");
  test::UseReportFile(t.ctx, "closed.txt");
  AppendErrorLogToReport(t.ctx);
  EXPECT_EQ(t.ctx.dos.FileSize(t.ctx.settings.reportFile()), -1);
  ClearErrorLog(t.ctx);
  EXPECT_TRUE(t.ctx.errorLog.entries.empty());
}

}  // namespace
}  // namespace kr
