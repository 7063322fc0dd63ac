// Section runs and the overall run, driven with recording tests.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "records/catalogue.h"
#include "engine/errorlog.h"
#include "engine/scoring.h"
#include "run/sections.h"
#include "engine/status_model.h"
#include "report/report.h"
#include "support/fixed_clock_context.h"
#include "support/report_file.h"
#include "support/test_context.h"

namespace kr {
namespace {

// What the recording tests saw when they were called.
struct Call {
  int test;  // processor k or memory p
  int32_t cacheOn, multitaskingOn;
  std::string gaugeText;
  int32_t gauge;
  uint32_t mega = 0, loopSize = 0, lowSize = 0, highSize = 0;
  int32_t lowStep = 0, highStep = 0;
};
std::vector<Call> gCalls;
int gInterruptAfter = 0;             // raise the stop request inside this call (1-based), 0: never
std::atomic<bool>* gInterrupt = nullptr;

const StatusWindowModel& Window(Context& ctx, Section s) {
  return dynamic_cast<StatusModel&>(ctx.status).window(s);
}

void Record(Context& ctx, Section s, Call c) {
  c.gaugeText = Window(ctx, s).gaugeText;
  c.gauge = Window(ctx, s).gauge;
  gCalls.push_back(c);
  if (gInterruptAfter != 0 && int(gCalls.size()) == gInterruptAfter) gInterrupt->store(true);
}

// Processor test k scores k x 10 percent.
template <int K>
TestResult FakeProcessorTest(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  Record(ctx, Section::Processor, {K, cacheOn, multitaskingOn, "", 0});
  ctx.results.setScore(ProcessorEntry(K).slot, {K * 10.0, 1.0});
  TestResult r;
  r.card.test = &ProcessorEntry(K);
  r.percent = K * 10.0;
  return r;
}

constexpr ProcessorTestFn kFakeTable[11] = {
    nullptr,
    FakeProcessorTest<1>, FakeProcessorTest<2>, FakeProcessorTest<3>, FakeProcessorTest<4>, FakeProcessorTest<5>,
    FakeProcessorTest<6>, FakeProcessorTest<7>, FakeProcessorTest<8>, FakeProcessorTest<9>, FakeProcessorTest<10>,
};

TestResult FakeMemoryTest(Context& ctx, int p, uint32_t mega, uint32_t loopSize, uint32_t lowSize,
                          uint32_t highSize, int32_t cacheOn, int32_t multitaskingOn, int32_t lowStep,
                          int32_t highStep) {
  Call c{p, cacheOn, multitaskingOn, "", 0};
  c.mega = mega;
  c.loopSize = loopSize;
  c.lowSize = lowSize;
  c.highSize = highSize;
  c.lowStep = lowStep;
  c.highStep = highStep;
  Record(ctx, Section::Memory, c);
  ctx.results.setScore(MemoryEntry(p).slot, {30.0, 1.0});
  TestResult r;
  r.card.test = &MemoryEntry(p);
  r.percent = 30.0;
  return r;
}

class Sections : public ::testing::Test {
 protected:
  void SetUp() override {
    gCalls.clear();
    gInterruptAfter = 0;
    gInterrupt = &interrupt;
    ctx.interrupt = &interrupt;
  }
  void EnableProcessor(std::initializer_list<int> ks) {
    for (int k = 1; k <= kProcessorTests; ++k) ctx.settings.setProcEnabled(k, 0);
    for (int k : ks) ctx.settings.setProcEnabled(k, 1);
    CountAllTests(ctx);
  }
  std::vector<int> CalledTests() const {
    std::vector<int> v;
    for (const Call& c : gCalls) v.push_back(c.test);
    return v;
  }

  test::FixedClockContext t;
  Context& ctx = t.ctx;
  std::atomic<bool> interrupt{false};
};

TEST_F(Sections, ProcessorRunsEnabledTestsInCatalogueOrderWithTheirSwitches) {
  EnableProcessor({2, 5, 9});
  ctx.settings.setProcCache(5, 0);
  ctx.settings.setProcMultitasking(9, 1);
  RunProcessorSection(ctx, kFakeTable);

  ASSERT_EQ(CalledTests(), (std::vector<int>{2, 5, 9}));
  EXPECT_EQ(gCalls[0].cacheOn, 1);
  EXPECT_EQ(gCalls[0].multitaskingOn, 0);
  EXPECT_EQ(gCalls[1].cacheOn, 0);
  EXPECT_EQ(gCalls[2].multitaskingOn, 1);

  // k/N names the test now running; the gauge advances 100 / N per finished test.
  const std::string texts[] = {"1/3", "2/3", "3/3"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(gCalls[size_t(i)].gaugeText, texts[i]);
    EXPECT_EQ(gCalls[size_t(i)].gauge, 33 * i);
  }
  const StatusWindowModel& w = Window(ctx, Section::Processor);
  EXPECT_EQ(w.gaugeText, "3/3");  // stays at N/N after the last test
  EXPECT_EQ(w.gauge, 99);
  EXPECT_FALSE(w.open);
}

TEST_F(Sections, JitOptionRunsEveryTestWithMultitaskingOn) {
  EnableProcessor({1, 2});
  ctx.settings.setProcMultitasking(1, 0);
  ctx.run.multitaskingAtAll = 1;
  RunProcessorSection(ctx, kFakeTable);
  ASSERT_EQ(gCalls.size(), 2u);
  for (const Call& c : gCalls) EXPECT_EQ(c.multitaskingOn, 1);
}

TEST_F(Sections, Mp3IsSkippedWithoutTheDecoderButStillCounted) {
  EnableProcessor({7, 8, 9});
  ctx.run.mpegaAvailable = 0;
  RunProcessorSection(ctx, kFakeTable);
  EXPECT_EQ(CalledTests(), (std::vector<int>{7, 9}));
  EXPECT_EQ(ctx.countProcessor, 3);
  EXPECT_EQ(gCalls[1].gaugeText, "2/3");

  gCalls.clear();
  ctx.run.mpegaAvailable = 1;
  RunProcessorSection(ctx, kFakeTable);
  EXPECT_EQ(CalledTests(), (std::vector<int>{7, 8, 9}));
}

// Records the events of a run as words.
struct EventRecorder : RunListener {
  std::vector<std::string> events;
  StatusModel* status = nullptr;
  void RunStarted(RunMode mode) override { events.push_back("start " + std::to_string(int(mode))); }
  void TestStarted(const CatalogueEntry& test) override { events.push_back(std::string("test ") + test.label); }
  void TestFinished(const CatalogueEntry& test, const ScoreSlot& score) override {
    events.push_back(std::string("done ") + test.label + " " + std::to_string(int(score.percent)));
  }
  void RunFinished(const RunOutcome& outcome) override {
    events.push_back("finish " + std::to_string(int(outcome.processorTotal.percent)));
  }
  void SectionStarted(Section s) override { events.push_back("section " + std::to_string(int(s))); }
  void SectionFinished(Section s, const ScoreSlot& total) override {
    events.push_back("total " + std::to_string(int(s)) + " " + std::to_string(int(total.percent)));
  }
};

// The section's frame and its tests, in order, to every listener; the frame
// is in the report and the window shows it by the time they hear it.
TEST_F(Sections, ListenersHearTheSectionAndEachTestWithItsScore) {
  EnableProcessor({3, 7});
  EventRecorder a, b;
  struct Frame : RunListener {
    Context* ctx;
    std::vector<std::string> seen;
    void SectionStarted(Section) override {
      seen.push_back(ctx->report.buffer + "|" + Window(*ctx, Section::Processor).gaugeText);
    }
    void SectionFinished(Section, const ScoreSlot&) override {
      seen.push_back(std::to_string(Window(*ctx, Section::Processor).open));
    }
  } frame;
  frame.ctx = &ctx;
  ctx.listeners = {&a, &b, &frame};
  SectionResults got;
  const std::string report =
      test::CaptureReport(ctx, "section.txt", [&] { got = RunProcessorSection(ctx, kFakeTable); });
  const std::vector<std::string> want = {"section 0",
                                         "test 40th Fibonacci",
                                         "done 40th Fibonacci 30",
                                         "test MD5 Checksuming",
                                         "done MD5 Checksuming 70",
                                         "total 0 " + std::to_string(int(got.total.percent))};
  EXPECT_EQ(a.events, want);
  EXPECT_EQ(b.events, want);
  ASSERT_EQ(frame.seen.size(), 2u);
  EXPECT_NE(frame.seen[0].find("C P U   R E S U L T S"), std::string::npos) << frame.seen[0];
  EXPECT_EQ(frame.seen[0].substr(frame.seen[0].rfind('|') + 1), "1/2");
  EXPECT_EQ(frame.seen[1], "0");  // the window is closed
  EXPECT_NE(report.find("T O T A L   - C P U -   K e l v a R A N K S"), std::string::npos);

  // The section hands back the values of the tests it ran, in order, and its total.
  EXPECT_EQ(got.section, Section::Processor);
  ASSERT_EQ(got.tests.size(), 2u);
  EXPECT_EQ(&got.tests[0].test(), &ProcessorEntry(3));
  EXPECT_EQ(&got.tests[1].test(), &ProcessorEntry(7));
  EXPECT_EQ(got.tests[1].percent, 70.0);
  EXPECT_EQ(got.total.percent, ctx.results.score(slot::kProcessorTotal).percent);
  EXPECT_EQ(got.total.valid, ctx.results.score(slot::kProcessorTotal).valid);
}

TEST_F(Sections, InterruptStopsTheSectionBetweenTests) {
  EnableProcessor({1, 2, 3, 4});
  gInterruptAfter = 2;
  RunProcessorSection(ctx, kFakeTable);
  EXPECT_EQ(CalledTests(), (std::vector<int>{1, 2}));
  ASSERT_FALSE(ctx.errorLog.entries.empty());
  EXPECT_STREQ(ctx.errorLog.entries.back().reason, "Interrupted by the user");
  EXPECT_EQ(ctx.results.score(slot::kProcessorTotal).valid, 0.0);
  EXPECT_FALSE(Window(ctx, Section::Processor).open);
}

TEST_F(Sections, MemoryRunsWhatTheHostAllowsWithSizesFromTheSteps) {
  for (int p = 0; p < kMemoryTests; ++p) ctx.settings.setMemEnabled(p, 1);
  ctx.settings.setMemLoopSize(mem::kReadFastWord, 3);
  ctx.settings.setMemSweepStart(mem::kReadFastWord, 2);
  ctx.settings.setMemSweepStop(mem::kReadFastWord, 18);  // out of range: 0 bytes
  ctx.settings.setMemCache(mem::kMemsetFast, 0);
  ctx.settings.setMemLoopSize(mem::kReadFastLong, 5000);  // past 32 bits: held, not wrapped
  ctx.settings.setMemLoopSize(mem::kWriteFastByte, -3);
  ctx.run.noChipMemory = 1;
  CountAllTests(ctx);

  std::vector<std::string> states;
  t.status.onChange = [&](Section s) {
    if (s == Section::Memory && states.empty()) {
      const std::string& v = t.status.text(Section::Memory, StatusField::State);
      if (!v.empty()) states.push_back(v);
    }
  };
  RunMemorySection(ctx, FakeMemoryTest);

  EXPECT_EQ(states, std::vector<std::string>{"Ideling"});
  EXPECT_EQ(CalledTests(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 13, 17, 19}));
  const Call& word = gCalls[2];
  EXPECT_EQ(word.mega, 1048576u);
  EXPECT_EQ(word.loopSize, 3u * 1048576u);
  EXPECT_EQ(word.lowSize, 256u);
  EXPECT_EQ(word.highSize, 0u);
  EXPECT_EQ(word.lowStep, 2);
  EXPECT_EQ(word.highStep, 18);
  EXPECT_EQ(gCalls[3].loopSize, 0xFFFFFFFFu);
  EXPECT_EQ(gCalls[4].loopSize, 0u);
  EXPECT_EQ(gCalls.back().cacheOn, 0);
  EXPECT_EQ(gCalls.back().gaugeText, "10/10");

  ScoreSlot total = ctx.results.score(slot::kMemoryTotal);
  EXPECT_EQ(total.valid, 1.0);
  EXPECT_DOUBLE_EQ(total.percent, 30.0);
}

// The real sweep: a stop request raised while the first block size runs ends
// the sweep before the next size and the section after that test.
TEST_F(Sections, StopDuringASweepEndsItBetweenBlockSizes) {
  for (int p : {mem::kMemsetFast, mem::kCopyFastFast}) {
    ctx.settings.setMemEnabled(p, 1);
    ctx.settings.setMemLoopSize(p, 1);
    ctx.settings.setMemSweepStart(p, 1);
    ctx.settings.setMemSweepStop(p, 4);
  }
  CountAllTests(ctx);
  std::vector<int32_t> blocks;
  t.status.onChange = [&](Section s) {
    int32_t b = t.status.number(s, StatusField::Blocksize);
    if (s == Section::Memory && b != 0 && (blocks.empty() || blocks.back() != b)) {
      blocks.push_back(b);
      interrupt = true;
    }
  };
  RunMemorySection(ctx);
  EXPECT_EQ(blocks, std::vector<int32_t>{128});
  EXPECT_EQ(ctx.results.score(slot::kMemoryTotal).valid, 0.0);
}

TEST_F(Sections, MemoryWithChipMemoryButChipTestsOffStillRunsRom) {
  for (int p = 0; p < kMemoryTests; ++p) ctx.settings.setMemEnabled(p, 1);
  ctx.run.noChipMemory = 0;
  ctx.run.chipRamTests = 0;
  CountAllTests(ctx);
  RunMemorySection(ctx, FakeMemoryTest);
  EXPECT_EQ(CalledTests(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 13, 17, 19, 21, 22, 23}));
}

TEST_F(Sections, DriveSectionKeepsAWellFormedFrame) {
  // Device tests only, on a drive without device access: header, skipped
  // block and a DISABLED total.
  for (int i = 0; i <= 6; ++i) ctx.settings.setDriveEnabled(i, i == 3 || i == 5);
  CountAllTests(ctx);
  ctx.results.setScore(slot::kDriveTotal, {50.0, 1.0});
  std::string report = test::CaptureReport(ctx, "drive.txt", [&] { RunDriveSection(ctx); });
  EXPECT_NE(report.find("H A R D   D R I V E   R E S U L T S"), std::string::npos);
  EXPECT_NE(report.find("!   KelvaRANKS : 0 [SKIPPED]"), std::string::npos);
  EXPECT_NE(report.find("T O T A L   - D R V -   K e l v a R A N K S : DISABLED"), std::string::npos);
  EXPECT_EQ(ctx.results.score(slot::kDriveTotal).valid, 0.0);
  EXPECT_TRUE(ctx.errorLog.entries.empty());
}

TEST_F(Sections, StampKinds) {
  MakeStamp(ctx, StampKind::Results);
  EXPECT_EQ(ctx.results.text(rec::kModuleDate, rec::kStampWidth), "14.06.03");
  EXPECT_EQ(ctx.results.text(rec::kModuleTime, rec::kStampWidth), "12.34.56");
  EXPECT_EQ(MakeStamp(ctx, StampKind::ReportName), "PROGDIR:Reports/KR_Report_14.06.03_12.34.56.txt");
  t.dos.Set({0, 0, 0});
  EXPECT_EQ(MakeStamp(ctx, StampKind::ReportName), "PROGDIR:Reports/KR_Report_01.01.78_00.00.00.txt");
}

class OverallRun : public Sections {
 protected:
  void SetUp() override {
    Sections::SetUp();
    test::UseReportFile(ctx, "run.txt");
    ctx.run.runMode = int32_t(RunMode::Drive);  // the drive frame: quick and independent of any workload
    // Only Read from Device, on a context without block devices: the device
    // cannot be opened (an error entry), no files are made.
    for (int i = 0; i <= 6; ++i) ctx.settings.setDriveEnabled(i, i == 3);
    ctx.drive.accessMode = kAccessDirectScsi;
  }
};

TEST_F(OverallRun, ReportHasBannerSectionSystemInformationAndFooter) {
  ctx.settings.set_s32(cfg::kAppendErrorLog, 1);
  LogError(ctx, "GENERAL", "Before", "an error of an earlier run");
  ctx.run.chipRamTests = 0;
  RunBenchmark(ctx);

  std::string report = test::ReadReport(ctx);
  const char* order[] = {"K   E   L   V   A      R   A   N   K", "B  E  N  C  H  M  A  R  K",
                         "H A R D   D R I V E   R E S U L T S", "S  Y  S  T  E  M     I  N  F  O",
                         "Logfile Stamp          : 14.06.03 - 12.34.56", "H A R D   D R I V E   ",
                         "E R R O R S", "Could not open your selected device", "\n /"};
  size_t at = 0;
  for (const char* part : order) {
    size_t found = report.find(part, at);
    ASSERT_NE(found, std::string::npos) << part;
    at = found;
  }
  EXPECT_EQ(report.find("an error of an earlier run"), std::string::npos);  // the log starts empty
  EXPECT_EQ(report.find("S Y S T E M   K e l v a"), std::string::npos);      // no system total
  EXPECT_EQ(ctx.run.chipRamTests, 1);
  EXPECT_FALSE(ctx.report.open);
}

// The status display's busy state, with the listeners' events in between.
struct BusyRecorder : StatusModel {
  std::vector<std::string>* events = nullptr;
  void SetBusy(bool busy) override { events->push_back(busy ? "busy" : "idle"); }
};

TEST_F(OverallRun, EventsAndOutcomeOfAProcessorRun) {
  for (int k = 1; k <= kProcessorTests; ++k) ctx.settings.setProcEnabled(k, 0);
  ctx.settings.setProcEnabled(cpu::kFibonacci, 1);
  ctx.run.runMode = int32_t(RunMode::Processor);
  EventRecorder rec;
  ctx.listeners = {&rec};
  RunOutcome out = RunBenchmark(ctx);
  ASSERT_EQ(rec.events.size(), 6u);
  EXPECT_EQ(rec.events[0], "start 1");
  EXPECT_EQ(rec.events[1], "section 0");
  EXPECT_EQ(rec.events[2], "test 40th Fibonacci");
  EXPECT_EQ(rec.events[3].rfind("done 40th Fibonacci ", 0), 0u);
  EXPECT_EQ(rec.events[4], "total 0 " + std::to_string(int(out.processorTotal.percent)));
  EXPECT_EQ(rec.events[5], "finish " + std::to_string(int(out.processorTotal.percent)));

  EXPECT_EQ(out.mode, RunMode::Processor);
  EXPECT_EQ(out.report, RunOutcome::Report::Written);
  EXPECT_EQ(out.reportPath, ctx.dos.HostPath(ctx.settings.reportFile()));
  EXPECT_FALSE(out.interrupted);
  EXPECT_EQ(out.processorTotal.valid, ctx.results.score(slot::kProcessorTotal).valid);
  EXPECT_EQ(out.memoryTotal.valid, 0.0);  // not part of this run
  EXPECT_EQ(out.errorCount, int(ctx.errorLog.entries.size()));

  // The real test's value, as it stored it.
  ASSERT_EQ(out.sections.size(), 1u);
  ASSERT_EQ(out.sections[0].tests.size(), 1u);
  const TestResult& fib = out.sections[0].tests[0];
  EXPECT_EQ(&fib.test(), &ProcessorEntry(cpu::kFibonacci));
  EXPECT_EQ(fib.foot, TestResult::Foot::Score);
  ASSERT_FALSE(fib.figures.empty());
  EXPECT_EQ(fib.figures[0].value, ctx.results.figure(fib.figures[0].slot));
  EXPECT_EQ(fib.percent, ctx.results.score(ProcessorEntry(cpu::kFibonacci).slot).percent);
}

TEST_F(OverallRun, BusyForTheWholeRunOnly) {
  std::vector<std::string> events;
  test::TestContext other;
  BusyRecorder status;
  status.events = &events;
  Context c(other.exec, other.timer, other.dos, other.requester, status);
  SetBuiltinDefaults(c.settings);
  c.run.runMode = int32_t(RunMode::Drive);
  struct : RunListener {
    std::vector<std::string>* events;
    void RunStarted(RunMode) override { events->push_back("started"); }
    void RunFinished(const RunOutcome&) override { events->push_back("finished"); }
  } listener;
  listener.events = &events;
  c.listeners = {&listener};
  RunBenchmark(c);
  EXPECT_EQ(events, (std::vector<std::string>{"busy", "started", "idle", "finished"}));
}

// A run presents through the sinks its context has attached; without any it
// attaches the standard ones (the card writer, the status presenter) for its
// duration only. Every event reaches the sinks before the listeners.
TEST_F(OverallRun, TheRunChoosesItsSinks) {
  struct Order : RunListener {
    std::vector<std::string>* heard;
    std::string name;
    void SectionStarted(Section) override { heard->push_back(name); }
  };
  for (const bool ownSink : {false, true}) {
    SCOPED_TRACE(ownSink ? "a sink of its own" : "no sinks");
    test::TestContext other;
    Context c(other.exec, other.timer, other.dos, other.requester, other.status);
    c.settings = ctx.settings;  // the drive frame of the fixture, reported into run.txt
    c.run.runMode = int32_t(RunMode::Drive);
    std::vector<std::string> heard;
    Order sink, listener;
    sink.heard = listener.heard = &heard;
    sink.name = "sink";
    listener.name = "listener";
    c.listeners = {&listener};
    if (ownSink) c.sinks = {&sink};
    RunBenchmark(c);

    const std::string report = test::ReadReport(c);
    EXPECT_NE(report.find("S  Y  S  T  E  M     I  N  F  O"), std::string::npos);
    EXPECT_EQ(report.find("H A R D   D R I V E   R E S U L T S") != std::string::npos, !ownSink);
    const std::vector<std::string> order =
        ownSink ? std::vector<std::string>{"sink", "listener"} : std::vector<std::string>{"listener"};
    EXPECT_EQ(heard, order);
    EXPECT_EQ(c.sinks.size(), ownSink ? 1u : 0u);  // the standard ones only for the run
  }
}

TEST_F(OverallRun, OutcomeSaysWhyTheReportIsMissing) {
  ctx.settings.set_s32(cfg::kReportEnabled, 0);
  EXPECT_EQ(RunBenchmark(ctx).report, RunOutcome::Report::Off);

  ctx.settings.set_s32(cfg::kReportEnabled, 1);
  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:NoSuchFolder/report.txt");
  RunOutcome out = RunBenchmark(ctx);
  EXPECT_EQ(out.report, RunOutcome::Report::Failed);
  EXPECT_EQ(out.reportError, "open " + ctx.dos.HostPath("PROGDIR:NoSuchFolder/report.txt") +
                                 ": No such file or directory");

  // A target that is not a regular file is refused before anything is written.
  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "/dev/full");
  out = RunBenchmark(ctx);
  EXPECT_EQ(out.report, RunOutcome::Report::Failed);
  EXPECT_EQ(out.reportError, "open /dev/full: not a regular file");
}

TEST_F(OverallRun, ErrorsBoxOnlyWhenAppended) {
  ctx.settings.set_s32(cfg::kAppendErrorLog, 0);
  RunBenchmark(ctx);
  EXPECT_EQ(test::ReadReport(ctx).find("E R R O R S"), std::string::npos);
}

TEST_F(OverallRun, NoReportWhenSwitchedOffOrTheFolderIsMissing) {
  ctx.settings.set_s32(cfg::kReportEnabled, 0);
  RunBenchmark(ctx);
  EXPECT_EQ(ctx.dos.FileSize(ctx.settings.reportFile()), -1);

  ctx.settings.set_s32(cfg::kReportEnabled, 1);
  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:NoSuchFolder/report.txt");
  RunBenchmark(ctx);
  ASSERT_EQ(ctx.errorLog.entries.size(), 2u);  // the report, then the drive frame: the run went on
  EXPECT_STREQ(ctx.errorLog.entries[0].function, "Make Text Report");
  EXPECT_EQ(ctx.results.text(rec::kModuleDate, rec::kStampWidth), "14.06.03");
}

TEST_F(OverallRun, FlushDecidesWhetherOldResultsSurvive) {
  ctx.results.setScore(slot::kZLib, {42.0, 1.0});
  ctx.settings.set_s32(cfg::kFlushResults, 0);
  RunBenchmark(ctx);
  EXPECT_EQ(ctx.results.score(slot::kZLib).percent, 42.0);

  ctx.settings.set_s32(cfg::kFlushResults, 1);
  RunBenchmark(ctx);
  EXPECT_EQ(ctx.results.score(slot::kZLib).valid, 0.0);
  EXPECT_EQ(ctx.results.text(rec::kModuleTime, rec::kStampWidth), "12.34.56");  // stamped after the flush
}

TEST_F(OverallRun, InterruptedRunStillCompletesItsReport) {
  for (int k = 1; k <= kProcessorTests; ++k) ctx.settings.setProcEnabled(k, 1);
  ctx.settings.set_s32(cfg::kAppendErrorLog, 1);
  ctx.run.runMode = int32_t(RunMode::Processor);
  interrupt = true;  // the real processor tests: none may start
  EXPECT_TRUE(RunBenchmark(ctx).interrupted);
  std::string report = test::ReadReport(ctx);
  EXPECT_EQ(report.find("100 Percent at"), std::string::npos);
  EXPECT_NE(report.find("T O T A L   - C P U -   K e l v a R A N K S : DISABLED"), std::string::npos);
  EXPECT_NE(report.find("| REASON  : Interrupted by the user\n"), std::string::npos);
  EXPECT_EQ(report.substr(report.size() - 77), " /" + std::string(70, '_') + "\\   \n");
  EXPECT_FALSE(ctx.report.open);
}

SectionResults FakeProcessorSection(Context& ctx) { return RunProcessorSection(ctx, kFakeTable); }

// A full run, then a second one without test 10 that is stopped during test
// 4: the tests it would have run start from cleared slots, the total counts
// only what it measured, the left-out test keeps its figure, and the report
// and outcome say where it stopped.
TEST_F(OverallRun, StoppedRunCountsOnlyWhatItMeasuredAndSaysSo) {
  const SectionRuns runs = {FakeProcessorSection, RunMemorySection, RunDriveSection};
  ctx.settings.set_s32(cfg::kFlushResults, 0);
  ctx.run.runMode = int32_t(RunMode::Processor);
  ctx.run.mpegaAvailable = 1;  // the recording tests stand in for every test
  EnableProcessor({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  RunOutcome full = RunBenchmark(ctx, nullptr, runs);
  EXPECT_FALSE(full.interrupted);
  EXPECT_DOUBLE_EQ(full.processorTotal.percent, 55.0);
  EXPECT_EQ(test::ReadReport(ctx).find("stopped by the user"), std::string::npos);

  EnableProcessor({1, 2, 3, 4, 5, 6, 7, 8, 9});
  gCalls.clear();
  gInterruptAfter = 4;
  RunOutcome stopped = RunBenchmark(ctx, nullptr, runs);
  EXPECT_EQ(CalledTests(), (std::vector<int>{1, 2, 3, 4}));
  ASSERT_EQ(stopped.sections.size(), 1u);
  EXPECT_EQ(stopped.sections[0].tests.size(), 4u);  // the values of what it measured only
  EXPECT_TRUE(stopped.interrupted);
  EXPECT_EQ(stopped.stoppedAfter, ProcessorEntry(4).label);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(ctx.results.score(ProcessorEntry(k).slot).percent, k * 10.0) << k;
  for (int k = 5; k <= 9; ++k) EXPECT_FALSE(ctx.results.score(ProcessorEntry(k).slot).counts()) << k;
  EXPECT_EQ(ctx.results.score(ProcessorEntry(10).slot).percent, 100.0);  // not part of this run
  // Tests 5 to 9 were not measured: no total, where the earlier figures
  // gave (10+20+...+100) / 4.
  EXPECT_FALSE(stopped.processorTotal.counts());
  const std::string report = test::ReadReport(ctx);
  EXPECT_NE(report.find("T O T A L   - C P U -   K e l v a R A N K S : DISABLED"), std::string::npos);
  const std::string note =
      std::string("This run was stopped by the user after ") + ProcessorEntry(4).label + ".";
  const size_t at = report.find(note);
  ASSERT_NE(at, std::string::npos);
  const size_t lineStart = report.rfind('\n', at) + 1;
  EXPECT_EQ(report.find('\n', at) - lineStart, 76u);  // a frame line like the others
  EXPECT_LT(at, report.find("S  Y  S  T  E  M     I  N  F  O"));

  // Stopped before the first test ended.
  gCalls.clear();
  gInterruptAfter = 0;
  interrupt = true;
  RunOutcome early = RunBenchmark(ctx, nullptr, runs);
  EXPECT_TRUE(CalledTests().empty());
  EXPECT_EQ(early.stoppedAfter, "");
  EXPECT_NE(test::ReadReport(ctx).find("This run was stopped by the user before its first test ended."),
            std::string::npos);
}

TEST_F(OverallRun, MakeModuleWithoutTheModuleBaseIsRefusedClearly) {
  ctx.run.runMode = int32_t(RunMode::MakeModule);
  RunBenchmark(ctx);
  ASSERT_EQ(ctx.errorLog.entries.size(), 1u);
  EXPECT_STREQ(ctx.errorLog.entries[0].reason, "Make Module without the module base");
  std::string report = test::ReadReport(ctx);
  EXPECT_EQ(report.find("R E S U L T S  "), std::string::npos);
  EXPECT_NE(report.find("S  Y  S  T  E  M     I  N  F  O"), std::string::npos);
}

}  // namespace
}  // namespace kr
