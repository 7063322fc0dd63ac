#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>

#include <thread>

#include "cli/program.h"
#include "cli/log_sink.h"
#include "cli/repeat.h"
#include "records/catalogue.h"
#include "cli/text.h"
#include "engine/run_plan.h"
#include "settings/settings_form.h"
#include "records/settings_record.h"
#include "cli/run_cli.h"
#include "support/host_facts.h"
#include "support/test_context.h"

namespace kr::cli {
namespace {

TEST(CliOptions, ParsesAndRefuses) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    const char* home;
    Options::Answer answer;
    size_t words;
  } cases[] = {
      {{"--home", "/h", "run", "processor"}, true, "/h", Options::Answer::Ask, 2},
      {{"--home=/h", "--yes", "run", "memory", "--all"}, true, "/h", Options::Answer::Yes, 3},
      {{"--no", "info"}, true, "", Options::Answer::No, 1},
      {{"--yes", "--no", "info"}, false, "", Options::Answer::Ask, 0},
      {{"--home"}, false, "", Options::Answer::Ask, 0},
      {{"--frobnicate", "run"}, false, "", Options::Answer::Ask, 0},
  };
  for (const Case& c : cases) {
    Options o;
    std::string err;
    bool help, version;
    EXPECT_EQ(ParseOptions(c.args, o, err, help, version), c.ok) << c.args[0];
    if (!c.ok) {
      EXPECT_FALSE(err.empty());
      continue;
    }
    EXPECT_EQ(o.home, c.home);
    EXPECT_EQ(o.answer, c.answer);
    EXPECT_EQ(o.command.size(), c.words);
  }
}

TEST(CliOptions, QuietBeforeTheCommand) {
  Options o;
  std::string err;
  bool help, version;
  ASSERT_TRUE(ParseOptions({"--quiet", "--yes", "run", "processor"}, o, err, help, version));
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.command.size(), 2u);
  Options plain;
  ASSERT_TRUE(ParseOptions({"run", "processor"}, plain, err, help, version));
  EXPECT_FALSE(plain.quiet);
}

TEST(CliText, ControlCharactersAreEscaped) {
  EXPECT_EQ(TerminalText("a\x1b]0;t\x07\tb\n\x7f\xC2\x9B\xC3\xA9"), "a\\e]0;t\\x07\\tb\n\\x7F\\x9B\xC3\xA9");
  EXPECT_EQ(PlainText("\x1b" "bBold\x1b" "n \x9b\x01", false), "Bold \\x9B\\x01");
  // Bytes that are not part of a UTF-8 character (a host file name need not
  // be UTF-8) are shown by their value: a raw 0x9B is an 8-bit CSI.
  struct Case {
    const char* in;
    const char* out;
  } raw[] = {
      {"a\x9B" "2J", "a\\x9B2J"},                 // a lone C1 byte
      {"\x80\x9F\xFF", "\\x80\\x9F\\xFF"},           // no character starts here
      {"M\xFCller", "M\\xFCller"},                // Latin-1, not UTF-8
      {"\xC3", "\\xC3"},                          // a character cut short
      {"\xC0\x9B", "\\xC0\\x9B"},                  // an overlong form of 0x1B
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},          // a surrogate
      {"\xE2\x82\xAC \xF0\x9F\x98\x80", "\xE2\x82\xAC \xF0\x9F\x98\x80"},  // kept
  };
  for (const Case& c : raw) EXPECT_EQ(TerminalText(c.in), c.out) << c.in;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  StderrLogSink(fds[1]).Write(LogSink::Kind::ErrorLogEcho, "REASON  : \x1b[2J\xE9\n");
  close(fds[1]);
  char buf[64] = {};
  ssize_t n = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  EXPECT_EQ(std::string(buf, n > 0 ? size_t(n) : 0), "REASON  : \\e[2J\xC3\xA9\n");
}

TEST(CliText, Latin1AndEscapes) {
  EXPECT_EQ(Latin1ToUtf8("KelvaRANK \xB7 x"), "KelvaRANK \xC2\xB7 x");
  EXPECT_EQ(PlainText("No \x1b" "bProcessor\x1b" "n Benchmark selected", false), "No Processor Benchmark selected");
  std::string l1;
  EXPECT_TRUE(Utf8ToLatin1("M\xC3\xBCnchen", l1));
  EXPECT_EQ(l1, "M\xFCnchen");
  EXPECT_FALSE(Utf8ToLatin1("\xE2\x82\xAC", l1));  // the euro sign has no Latin-1 form
}

TEST(CliProgram, HelpVersionAndUsage) {
  Result help = RunCli("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Usage: kelvarank-cli"), std::string::npos);
  EXPECT_EQ(RunCli("--version").code, 0);
  Result bad = RunCli("frobnicate");
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("unknown command"), std::string::npos);
  EXPECT_EQ(RunCli("--bogus run processor").code, 2);
  EXPECT_EQ(RunCli("run").code, 2);
}

TEST(CliProgram, EmptySelectionIsRefused) {
  test::TempDir home;
  Result r = RunCli("--home " + home.path() + " --yes run processor");
  EXPECT_EQ(r.code, 10) << r.err;
  EXPECT_NE(r.err.find("No Processor Benchmark selected"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kr::cli

namespace kr::cli {
namespace {

// A home whose profile passes the settings pages' checks.
std::string ProfileArgs(const std::string& reportFile) {
  return "general.username=tester general.realname=Tester general.location=Here "
         "general.email=t@example.org general.smtpserver=localhost general.homepage=http://example.org "
         "general.comment=hello drive.partition=/tmp general.reportfile=" + reportFile;
}

TEST(CliProgram, FirstStartNeedsAnAnswer) {
  test::TempDir home;
  Result r = RunCli("--home " + home.path() + " run processor");
  EXPECT_EQ(r.code, 20);
  EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
  EXPECT_EQ(RunCli("--home " + home.path() + " --no run processor").code, 20);
}

TEST(CliProgram, SettingsAndOneTestRun) {
  test::TempDir home;
  const std::string h = "--home " + home.path() + " --yes ";
  ASSERT_EQ(RunCli(h + "info").code, 0);  // first start: data files made

  // A refused change names its reason and leaves the file as it was.
  std::string cfg = Slurp(home.path() + "/KelvaRANK.cfg");
  ASSERT_EQ(cfg.size(), 2452u);
  Result unknown = RunCli(h + "settings set no.such.key=1");
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("unknown key"), std::string::npos) << unknown.err;
  Result placeholder = RunCli(h + "settings set processor.3.enabled=1");
  EXPECT_EQ(placeholder.code, 10);
  EXPECT_NE(placeholder.err.find("Username"), std::string::npos) << placeholder.err;
  EXPECT_EQ(Slurp(home.path() + "/KelvaRANK.cfg"), cfg);

  Result set = RunCli(h + "settings set " + ProfileArgs("PROGDIR:Reports/fib.txt") + " processor.3.enabled=1");
  ASSERT_EQ(set.code, 0) << set.err;
  Result show = RunCli(h + "settings show");
  EXPECT_NE(show.out.find("processor.40thfibonacci.enabled = 1\n"), std::string::npos);
  EXPECT_NE(show.out.find("memory.readfastbyte.loopsize = "), std::string::npos);
  EXPECT_EQ(show.out.find("processor.3."), std::string::npos);

  Result run = RunCli(h + "run processor");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Processor total: DISABLED"), std::string::npos) << run.out;  // one test of ten
  EXPECT_NE(run.out.find("Reports/fib.txt"), std::string::npos);
  EXPECT_NE(run.err.find("[1/1] 40th Fibonacci number - Internal"), std::string::npos) << run.err;
  std::string report = Slurp(home.path() + "/Reports/fib.txt");
  EXPECT_NE(report.find("40th Fibonacci number"), std::string::npos);
  EXPECT_EQ(report.find("Dhrystones"), std::string::npos);
}

// What a run switches on for itself (--all, --partition, the device tests)
// never reaches the settings file, whichever way the command leaves: the
// shut-down saves the settings (save at exit is on) after every one of these.
TEST(CliProgram, PerRunChoicesNeverReachTheSettingsFile) {
  test::TempDir home;
  const std::string h = "--home " + home.path() + " ";
  ASSERT_EQ(RunCli(h + "--yes info").code, 0);
  ASSERT_EQ(RunCli(h + "settings set general.saveatexit=1 " + ProfileArgs("PROGDIR:Reports/r.txt")).code, 0);
  const std::string cfg = Slurp(home.path() + "/KelvaRANK.cfg");
  ASSERT_FALSE(cfg.empty());
  const char* const runs[] = {
      "--yes run drive --all --partition /no/such/folder",   // the folder check
      "--yes run drive --all --partition /proc",             // not on a block device
      "--yes run drive --all --partition /tmp/a:b",          // a colon
      "--yes run drive --all --partition /tmp/M\xC3\xBCller",  // a folder that is not there
      "--no run drive --all --write-device",                 // refused or not confirmed
      "--no run drive --all --spinup-device",
  };
  for (const char* run : runs) {
    Result r = RunCli(h + run);
    EXPECT_NE(r.code, 0) << run;
    EXPECT_EQ(Slurp(home.path() + "/KelvaRANK.cfg"), cfg) << run << "\n" << r.err;
  }
  // A run that goes through with its own tests and report (scaled down to
  // run in seconds).
  const std::string report = home.path() + "/own.txt";
  setenv(kWorkScaleVariable, "1000", 1);
  Result r = RunCli(h + "--yes run processor --all --report " + report);
  unsetenv(kWorkScaleVariable);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(Slurp(report).find("T O T A L   - C P U -"), std::string::npos);
  EXPECT_EQ(Slurp(home.path() + "/KelvaRANK.cfg"), cfg) << r.err;
}

// Keys, the assignment form and reset scopes are usage: refused before the
// first start makes the home.
TEST(CliProgram, SettingsUsageIsCheckedBeforeStartUp) {
  test::TempDir tmp;
  const std::string home = tmp.path() + "/home";
  const std::pair<const char*, const char*> cases[] = {
      {"settings set bogus.key=1", "unknown key 'bogus.key'"},
      {"settings set general.username=x noequals", "'noequals' is not KEY=VALUE"},
      {"settings set display.slot.1.path=x", "cannot be set"},
      {"settings reset bogus", "unknown scope 'bogus'"},
  };
  for (const auto& [args, message] : cases) {
    Result r = RunCli("--home " + home + " --yes " + args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
  struct stat st;
  EXPECT_NE(::stat(home.c_str(), &st), 0) << "a refused command started the program";
}

// Control characters in settings texts and in messages reach the terminal
// escaped; the report keeps its bytes.
TEST(CliProgram, ControlCharactersAreShownEscaped) {
  test::TempDir home;
  const std::string h = "--home " + home.path() + " --yes ";
  const std::string esc = "\"$(printf 'a\\033]0;pwned\\007b\\033[2J')\"";
  ASSERT_EQ(RunCli(h + "settings set " + ProfileArgs("PROGDIR:Reports/r.txt") + " general.realname=" + esc).code, 0);
  Result show = RunCli(h + "settings show");
  ASSERT_EQ(show.code, 0);
  EXPECT_NE(show.out.find("general.realname = a\\e]0;pwned\\x07b\\e[2J\n"), std::string::npos) << show.out;
  Result info = RunCli(h + "info");
  ASSERT_EQ(info.code, 0);
  EXPECT_NE(info.out.find("a\\e]0;pwned\\x07b\\e[2J"), std::string::npos) << info.out;
  Result bad = RunCli(h + "settings set general.smtpport=" + esc);
  EXPECT_EQ(bad.code, 10);
  EXPECT_NE(bad.err.find("'a\\e]0;pwned\\x07b\\e[2J' is not a number"), std::string::npos) << bad.err;
  for (const std::string* text : {&show.out, &show.err, &info.out, &info.err, &bad.out, &bad.err})
    EXPECT_EQ(text->find_first_of("\x1b\x07"), std::string::npos) << *text;
}

TEST(CliProgram, UnwritableReportStillRunsAndFails) {
  test::TempDir home;
  const std::string h = "--home " + home.path() + " --yes ";
  ASSERT_EQ(RunCli(h + "settings set " + ProfileArgs("/nonexistent-folder/r.txt") + " processor.3.enabled=1").code, 0);
  Result run = RunCli(h + "run processor");
  EXPECT_EQ(run.code, 10);
  EXPECT_NE(run.out.find("Processor total:"), std::string::npos);  // the run completed
  EXPECT_NE(run.err.find("could not be written: open /nonexistent-folder/r.txt: No such file or directory"),
            std::string::npos)
      << run.err;
}


std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A home with a valid profile and 40th Fibonacci switched on.
std::string FibonacciHome(const test::TempDir& home, const std::string& reportFile) {
  const std::string h = "--home " + home.path() + " --yes ";
  Result set = RunCli(h + "settings set " + ProfileArgs(reportFile) + " processor.40thfibonacci.enabled=1");
  EXPECT_EQ(set.code, 0) << set.err;
  return h;
}

// A report that cannot be written completely fails the command with the
// file and the reason, and an older report of that name stays whole.
TEST(CliProgram, ReportWriteFailuresAreNamed) {
  test::TempDir home, out;
  const std::string h = FibonacciHome(home, "PROGDIR:Reports/x.txt");
  const std::string report = out.path() + "/r.txt", older = "an older report\n";

  Result full = RunCli(h + "run processor --report /dev/full");
  EXPECT_EQ(full.code, 10);
  EXPECT_NE(full.out.find("Processor total:"), std::string::npos);  // the run completed
  EXPECT_NE(full.err.find("could not be written: open /dev/full: not a regular file"), std::string::npos) << full.err;
  EXPECT_EQ(full.out.find("Report:"), std::string::npos) << full.out;

  // A file size limit makes the writes fail as a full disk does.
  std::ofstream(report, std::ios::binary) << older;
  std::string cmd = "bash -c \"trap '' XFSZ; ulimit -f 4; exec " + std::string(KR_CLI_PATH) + " " + h +
                    "run processor --report " + report + "\"";
  test::TempDir tmp;
  int status = std::system((cmd + " >" + tmp.path() + "/o 2>" + tmp.path() + "/e").c_str());
  std::string err = Slurp(tmp.path() + "/e");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 10) << err;
  EXPECT_NE(err.find("could not be written: write " + report + ": File too large"), std::string::npos) << err;
  EXPECT_EQ(Slurp(report), older);
  EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"r.txt"});

  // A planted link is not followed.
  const std::string link = out.path() + "/link.txt";
  ASSERT_EQ(::symlink(report.c_str(), link.c_str()), 0);
  Result linked = RunCli(h + "run processor --report " + link);
  EXPECT_EQ(linked.code, 10);
  EXPECT_NE(linked.err.find("open " + link + ": a symbolic link"), std::string::npos) << linked.err;
  EXPECT_EQ(Slurp(report), older);
}

// The pages refuse to save the default report name, but a first start has
// it: such a run writes under the name "Make" builds, so no run replaces
// another's report, and the settings keep the default.
TEST(CliProgram, DefaultReportNameBecomesADatedOne) {
  test::TempDir home;
  const std::string h = FibonacciHome(home, "PROGDIR:Reports/x.txt");
  std::string cfg = Slurp(home.path() + "/KelvaRANK.cfg");
  ASSERT_EQ(cfg.size(), cfg::kSize);
  std::string field(cfg::kPathWidth, '\0');
  field.replace(0, kDefaultReportFile.size(), kDefaultReportFile);
  cfg.replace(cfg::kReportFile, cfg::kPathWidth, field);
  std::ofstream(home.path() + "/KelvaRANK.cfg", std::ios::binary) << cfg;

  Result first = RunCli(h + "run processor");
  Result second = RunCli(h + "run processor");
  ASSERT_EQ(first.code, 0) << first.err;
  ASSERT_EQ(second.code, 0) << second.err;
  std::vector<std::string> reports = FilesIn(home.path() + "/Reports");
  ASSERT_EQ(reports.size(), 2u);
  for (const std::string& name : reports) {
    EXPECT_EQ(name.rfind("KR_Report_", 0), 0u) << name;
    EXPECT_EQ(name.find("00.00.00_00.00.00"), std::string::npos) << name;
    EXPECT_NE(first.out.find(name) == std::string::npos, second.out.find(name) == std::string::npos) << name;
  }
  EXPECT_NE(RunCli(h + "settings show").out.find(std::string("general.reportfile = ") + std::string(kDefaultReportFile)),
            std::string::npos);
}

TEST(CliProgram, ReportOptionNamesTheFile) {
  test::TempDir home, out;
  const std::string h = FibonacciHome(home, "PROGDIR:Reports/x.txt");
  Result run = RunCli(h + "run processor --report " + out.path() + "/mine.txt");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Report: " + out.path() + "/mine.txt\n"), std::string::npos) << run.out;
  EXPECT_NE(Slurp(out.path() + "/mine.txt").find("40th Fibonacci number"), std::string::npos);
  EXPECT_TRUE(FilesIn(home.path() + "/Reports").empty());
  for (const char* bad : {"run processor --report", "run processor --report a:b.txt", "run processor --repeat 0",
                          "run processor --repeat x", "run processor --repeat 1001", "run processor --bogus"})
    EXPECT_EQ(RunCli(h + bad).code, 2) << bad;
}

TEST(CliProgram, JsonOfTheRunJustMadeAndMakeModuleRefusals) {
  test::TempDir home, out;
  const std::string h = FibonacciHome(home, "PROGDIR:Reports/x.txt");
  const std::string json = out.path() + "/run.json";
  Result run = RunCli(h + "run processor --json " + json);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("JSON: " + json + "\n"), std::string::npos) << run.out;
  std::string doc = Slurp(json);
  for (const char* part : {"\"format\": \"kelvarank-modules\"", "\"userName\": \"tester\"",
                           "\"processor\": {\"percent\": 0, \"valid\": false}", "\"name\": \"40th Fibonacci\"",
                           "\"fibonacci\": "})
    EXPECT_NE(doc.find(part), std::string::npos) << part << "\n" << doc.substr(0, 2000);
  // The run's record is not a module: nothing went into the Local database.
  EXPECT_EQ(RunCli(h + "modules list").out, "No modules in the Local database.\n");

  for (const char* bad : {"make-module --bogus", "make-module --json", "make-module --report a:b.txt",
                          "run processor --json", "run processor --json a:b"})
    EXPECT_EQ(RunCli(h + bad).code, 2) << bad;
  // Refused here either way: a partition whose device cannot be tested, or
  // the are-you-sure request answered "Abort".
  Result refused = RunCli("--home " + home.path() + " --no --quiet make-module");
  EXPECT_EQ(refused.code, 10) << refused.err;
  EXPECT_TRUE(refused.err.find("Make Module needs the file and the device tests") != std::string::npos ||
              refused.err.find("Make Module not started") != std::string::npos)
      << refused.err;
  EXPECT_EQ(RunCli(h + "modules list").out, "No modules in the Local database.\n");
}

TEST(Repeat, Summaries) {
  struct Case {
    std::vector<double> samples;
    double median, minimum, maximum, cv;
  } cases[] = {
      {{5.0}, 5.0, 5.0, 5.0, 0.0},
      {{3.0, 1.0, 2.0}, 2.0, 1.0, 3.0, 0.5},  // sample deviation 1, mean 2
      {{4.0, 1.0, 3.0, 2.0}, 2.5, 1.0, 4.0, 0.5163977794943222},
      {{0.0, 0.0}, 0.0, 0.0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    Summary s = Summarize(c.samples);
    EXPECT_EQ(s.count, int(c.samples.size()));
    EXPECT_DOUBLE_EQ(s.median, c.median);
    EXPECT_DOUBLE_EQ(s.minimum, c.minimum);
    EXPECT_DOUBLE_EQ(s.maximum, c.maximum);
    EXPECT_NEAR(s.cv, c.cv, 1e-12);
  }
  EXPECT_EQ(Summarize({}).count, 0);

  RepeatTable t;
  t.Add({{"Dhrystones", "Dhrystones/sec", 10.999, true}, {"Dhrystones score", "percent", 0.0, false}});
  t.Add({{"Dhrystones", "Dhrystones/sec", 12.0, true}, {"Dhrystones score", "percent", 0.0, false}});
  std::string text = t.Render();
  EXPECT_NE(text.find("2 runs:\n"), std::string::npos) << text;
  // Truncated to two decimals as every figure is shown, never rounded.
  EXPECT_NE(text.find("Dhrystones        Dhrystones/sec           11.49          10.99          12.00"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Dhrystones score  percent               DISABLED\n"), std::string::npos) << text;
}

TEST(Repeat, UncappedFigures) {
  struct Case {
    double v;
    const char* text;
  } cases[] = {{2741.26, "2 741.3"}, {0.04, "0.0"}, {999.96, "1 000.0"}, {123456789.0, "123 456 789.0"},
               {100.0, "100.0"}, {-1.0, "-"}};
  for (const Case& c : cases) EXPECT_EQ(GroupedOneDecimal(c.v), c.text) << c.v;

  // The JSON member follows "modules" in the same object; a total that does
  // not count is null, and only tests scored in this process are listed.
  test::TestContext t;
  t.ctx.results.setScore(ProcessorEntry(cpu::kMd5).slot, {100.0, 1.0});
  t.ctx.uncapped[size_t(ProcessorEntry(cpu::kMd5).slot)] = 512.25;
  std::string json = "{\n  \"modules\": []\n}\n";
  AddUncappedJson(t.ctx, json);
  EXPECT_EQ(json, std::string("{\n  \"modules\": [],\n  \"uncapped\": {\"processor\": null, \"memory\": null, "
                              "\"tests\": {\"") + ProcessorEntry(cpu::kMd5).label + "\": 512.25}}\n}\n");
}

TEST(CliProgram, RepeatPrintsEachFigureOverTheRuns) {
  test::TempDir home;
  const std::string h = FibonacciHome(home, "PROGDIR:Reports/r.txt");
  Result run = RunCli(h + "run processor --repeat 3");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("3 runs:\n"), std::string::npos) << run.out;
  for (const char* row :
       {"\n40th Fibonacci ", "\n40th Fibonacci score ", "\n40th Fibonacci uncapped ", "\nProcessor total "})
    EXPECT_NE(run.out.find(row), std::string::npos) << row << run.out;
  EXPECT_NE(run.out.find("%  3\n"), std::string::npos) << run.out;
  size_t runs = 0;
  for (size_t at = 0; (at = run.err.find("[1/1] 40th Fibonacci", at)) != std::string::npos; ++at) ++runs;
  EXPECT_EQ(runs, 3u);
  EXPECT_EQ(FilesIn(home.path() + "/Reports"), std::vector<std::string>{"r.txt"});
}

// Waits until the file holds the text (the program has reached that point).
bool WaitFor(const std::string& path, const std::string& text) {
  for (int i = 0; i < 6000; ++i) {
    if (Slurp(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// SIGTERM once: the running test finishes, the report is completed and the
// program says it was interrupted. Twice: the program ends by SIGTERM at
// once, and an older report of the same name is untouched.
TEST(CliProgram, TerminationKeepsTheReportWhole) {
  test::TempDir home, tmp;
  const std::string h = home.path();
  const std::string report = tmp.path() + "/report.txt", err = tmp.path() + "/err";
  ASSERT_EQ(RunCli("--home " + h + " --yes settings set " + ProfileArgs("PROGDIR:Reports/x.txt")).code, 0);

  pid_t pid = Spawn({"--home", h, "--yes", "run", "processor", "--all", "--report", report}, err);
  ASSERT_TRUE(WaitFor(err, "[1/10]")) << Slurp(err);
  kill(pid, SIGTERM);
  // Said at once, while the test still runs.
  EXPECT_TRUE(WaitFor(err, "Stopping after this test...")) << Slurp(err);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130) << Slurp(err);
  std::string whole = Slurp(report);
  EXPECT_NE(whole.find("This run was stopped by the user after "), std::string::npos);
  EXPECT_NE(whole.find("BogoMIPS ppc-assembler inline"), std::string::npos);
  EXPECT_EQ(whole.find("Dhrystones"), std::string::npos);
  const std::string footerEnd = " /" + std::string(70, '_') + "\\   \n";
  ASSERT_GT(whole.size(), footerEnd.size());
  EXPECT_EQ(whole.substr(whole.size() - footerEnd.size()), footerEnd);

  const std::string older = "an older report\n";
  std::ofstream(report, std::ios::binary | std::ios::trunc) << older;
  const std::string err2 = tmp.path() + "/err2";
  pid = Spawn({"--home", h, "--yes", "run", "processor", "--all", "--report", report}, err2);
  ASSERT_TRUE(WaitFor(err2, "[1/10]")) << Slurp(err2);
  kill(pid, SIGTERM);
  // The first one has arrived (the program says so from its handler), so the
  // second cannot merge with it while both are pending.
  ASSERT_TRUE(WaitFor(err2, "Stopping after this test...")) << Slurp(err2);
  kill(pid, SIGTERM);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << Slurp(err2);
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(Slurp(report), older);
  EXPECT_EQ(FilesIn(tmp.path()), (std::vector<std::string>{"err", "err2", "report.txt"}));  // nothing half-written
}

TEST(CliProgram, InfoPrintsTheSystemInformation) {
  test::TempDir home;
  Result r = RunCli("--home " + home.path() + " --yes info");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(test::HostOsName()), std::string::npos) << r.out;

  // An output that cannot take the text (a file size limit fails the writes
  // as a full disk does) is not taken for a printed one.
  test::TempDir tmp;
  const std::string cmd = "bash -c \"trap '' XFSZ; ulimit -f 1; exec " + std::string(KR_CLI_PATH) + " --home " +
                          home.path() + " info\" >" + tmp.path() + "/o 2>" + tmp.path() + "/e";
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 10) << Slurp(tmp.path() + "/e");
  EXPECT_NE(Slurp(tmp.path() + "/e").find("could not write the system information"), std::string::npos)
      << Slurp(tmp.path() + "/e");
}

}  // namespace
}  // namespace kr::cli
