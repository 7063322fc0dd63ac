// The error log and its box in the report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/errorlog.h"
#include "report/frame.h"
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

// A sink that keeps what it was given.
struct RecordingSink : LogSink {
  std::vector<std::pair<Kind, std::string>> lines;
  void Write(Kind kind, std::string_view text) override { lines.emplace_back(kind, std::string(text)); }
};

// What the process writes to standard error while `f` runs.
template <typename F>
std::string CaptureStderr(F&& f) {
  fflush(stderr);
  int saved = dup(2);
  FILE* tmp = tmpfile();
  dup2(fileno(tmp), 2);
  f();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string out;
  rewind(tmp);
  for (int c; (c = fgetc(tmp)) != EOF;) out += char(c);
  fclose(tmp);
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void UseOutput(test::TestContext& t, const std::string& path) {
  t.ctx.settings.set_s32(cfg::kErrorLogEnabled, 1);
  t.ctx.settings.set_text(cfg::kErrorLogOut, cfg::kPathWidth, path);
}

TEST(ErrorLogOutput, ConsoleEchoGoesToTheSinkAndNothingToStandardError) {
  test::TestContext t;
  UseOutput(t, "CON:///100/KelvaRANK Errorlog/AUTO/CLOSE");
  RecordingSink sink;
  std::string err = CaptureStderr([&] {
    OpenErrorLogOutput(t.ctx);
    LogError(t.ctx, "CPU", "ZLib", "Could not get source-buffer");  // no sink yet: dropped, safely
    t.ctx.log = &sink;
    LogError(t.ctx, "DRIVE", "Inquiry", "Error inquiry scsi-devcie");
    LogDiagnostic(t.ctx, "can't open x\n");
    CloseErrorLogOutput(t.ctx);
    LogError(t.ctx, "GENERAL", "MakeStamp", "No enough mem");  // output closed: memory only
  });
  EXPECT_EQ(err, "");
  ASSERT_EQ(sink.lines.size(), 2u);
  EXPECT_EQ(sink.lines[0].first, LogSink::Kind::ErrorLogEcho);
  EXPECT_EQ(sink.lines[0].second, "LOCATION: DRIVE\nFUNCTION: Inquiry\nREASON  : Error inquiry scsi-devcie\n\n");
  EXPECT_EQ(sink.lines[1].first, LogSink::Kind::Diagnostic);
  EXPECT_EQ(t.ctx.errorLog.entries.size(), 3u);
}

TEST(ErrorLogOutput, FileIsOpenedOnlyByTheFirstEntry) {
  test::TestContext t;
  const std::string path = t.home.path() + "/errors.log";
  UseOutput(t, path);
  OpenErrorLogOutput(t.ctx);
  EXPECT_EQ(t.ctx.dos.FileSize(path), -1);  // a session without errors leaves no file
  LogError(t.ctx, "CONFIG", "LoadConfig", "Error loading config!");
  LogError(t.ctx, "SERVER", "LoadServerData", "Error open file!");
  CloseErrorLogOutput(t.ctx);
  EXPECT_EQ(ReadFile(path),
            "LOCATION: CONFIG\nFUNCTION: LoadConfig\nREASON  : Error loading config!\n\n"
            "LOCATION: SERVER\nFUNCTION: LoadServerData\nREASON  : Error open file!\n\n");

  // An existing file is left alone by a session without errors.
  OpenErrorLogOutput(t.ctx);
  CloseErrorLogOutput(t.ctx);
  EXPECT_NE(ReadFile(path), "");
}

// A foreign setting must not make the log write through a link or into
// anything but a plain file; the refusal is logged in memory only.
TEST(ErrorLogOutput, LinksAndOtherFilesAreRefusedAndLeftUntouched) {
  test::TestContext t;
  const std::string target = t.home.path() + "/precious.txt";
  std::ofstream(target) << "keep me";
  const std::string link = t.home.path() + "/link.log";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  const std::string fifo = t.home.path() + "/fifo.log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  for (const std::string& path : {link, fifo, t.home.path()}) {
    SCOPED_TRACE(path);
    UseOutput(t, path);
    ClearErrorLog(t.ctx);
    OpenErrorLogOutput(t.ctx);
    LogError(t.ctx, "CPU", "ZLib", "Could not get source-buffer");
    LogError(t.ctx, "CPU", "ZLib", "Could not get destination-buffer");
    CloseErrorLogOutput(t.ctx);
    ASSERT_EQ(t.ctx.errorLog.entries.size(), 3u);  // the refusal once, between the two
    EXPECT_STREQ(t.ctx.errorLog.entries[1].function, "Open LogFile");
    EXPECT_STREQ(t.ctx.errorLog.entries[1].reason, "Cant open output file");
  }
  EXPECT_EQ(ReadFile(target), "keep me");
}

}  // namespace
}  // namespace kr
