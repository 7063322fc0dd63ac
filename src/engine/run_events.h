// What a run tells its front ends: the outcome it returns, the events it
// publishes while it runs, and the log sink every text below the front ends
// goes through. The engine prints nothing itself.
//
// Threading contract: a run executes on one thread (the worker), and so do
// the status display, requester and log sink calls it makes. Every
// RunListener and LogSink call is made on that thread, synchronously: each
// event goes first to Context::sinks (the card writer, then the status
// presenter), then to Context::listeners, in their order; a front end
// that shows them on another thread copies what it needs before it returns.
// Texts passed as string_view, the score, the outcome, a test's phase,
// result and figure live only for the duration of the call; catalogue
// entries are static and may be kept. The only thing another thread may do
// during a run is raise the stop request (Context::interrupt, an atomic);
// sinks, listeners and the log sink must not be changed while a run is going
// on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/catalogue.h"
#include "records/results.h"
#include "engine/test_result.h"

namespace kr {

// What the run button asked for (the run-state record keeps it as a number).
enum class RunMode : int32_t { None = 0, Processor = 1, Memory = 2, Drive = 3, MakeModule = 4 };

// What one section run hands back: the values of the tests it ran, in the
// order they ran, and its total.
struct SectionResults {
  Section section = Section::Processor;
  std::vector<TestResult> tests;
  ScoreSlot total;       // as stored in the section's total slot
  bool refused = false;  // the section refused to run (no space, its folder exists): nothing was measured
};

// The result of one RunBenchmark.
struct RunOutcome {
  enum class Report : uint8_t {
    Off,      // the report is switched off in the settings
    Written,  // complete on disk under reportPath
    Failed,   // not written; reportError says which call failed and why
  };
  RunMode mode = RunMode::None;
  Report report = Report::Off;
  std::string reportPath;   // host path of the report (Latin-1)
  std::string reportError;  // "write /path: No space left on device"
  bool interrupted = false;  // a stop request ended the run early
  // With interrupted: the label of the last test the run finished; empty
  // when it was stopped before its first test ended.
  std::string stoppedAfter;
  bool refused = false;      // the section refused to run (no space, its folder exists): nothing was measured
  // Section totals as stored in their score slots (processor, memory, drive)
  // and the system total; a slot that does not count was not scored.
  ScoreSlot processorTotal, memoryTotal, driveTotal, systemTotal;
  int errorCount = 0;  // entries in the error log at the end of the run
  // The sections that ran, in order (Make Module: up to all three), with the
  // values of their tests.
  std::vector<SectionResults> sections;

  // Make Module only: what became of the module.
  enum class Module : uint8_t {
    None,             // not a Make Module run
    Stored,           // added to the Local database as moduleSerial
    SettingsRefused,  // the settings pages refused the settings; nothing ran
    NotValid,         // a section total was not valid (abortedSection)
    Interrupted,      // a stop request ended the run
    NotStored,        // all totals valid, but the module could not be stored
  };
  Module module = Module::None;
  std::string moduleSerial;
  Section abortedSection = Section::Processor;  // with NotValid
};

// Subscribers to a run. Default implementations ignore the event.
class RunListener {
 public:
  virtual ~RunListener() = default;
  virtual void RunStarted(RunMode mode) { (void)mode; }
  // A test of the catalogue starts (its status window row is set up).
  virtual void TestStarted(const CatalogueEntry& test) { (void)test; }
  // The test finished; its score is in score slot test.slot of the results.
  virtual void TestFinished(const CatalogueEntry& test, const ScoreSlot& score) {
    (void)test;
    (void)score;
  }
  virtual void RunFinished(const RunOutcome& outcome) { (void)outcome; }

  // A section's run begins (its frame opens: the report's section header,
  // its status window).
  virtual void SectionStarted(Section section) { (void)section; }
  // The section's run ended; total is in its total slot.
  virtual void SectionFinished(Section section, const ScoreSlot& total) {
    (void)section;
    (void)total;
  }
  // Make Module: the system total is in its slot ((0.0, 0.0) when the making
  // stopped before all three sections had valid totals).
  virtual void SystemTotalScored(const ScoreSlot& total) { (void)total; }

  // Within a test: a phase begins (what its status window shows).
  virtual void PhaseStarted(const TestPhase& phase) { (void)phase; }
  // The test's card opens: its head is known (constants, switches, whether
  // it counts); nothing is measured yet.
  virtual void CardOpened(const TestResult& result) { (void)result; }
  // A figure was measured and recorded: it is result.figures.back().
  virtual void FigureMeasured(const TestResult& result, const TestFigure& figure) {
    (void)result;
    (void)figure;
  }
  // The card is closed: result.foot says how; its score slot holds the score.
  virtual void CardClosed(const TestResult& result) { (void)result; }
};

// Where texts from below the front ends go: error-log echoes (the console
// output of the error log) and diagnostics of libraries the workloads use.
// The terminal writes them to standard error, the desktop shows them in its
// error-log window. Outside a run (start-up, settings) it is called on the
// thread of the command that logs.
class LogSink {
 public:
  enum class Kind : uint8_t { ErrorLogEcho, Diagnostic };
  virtual ~LogSink() = default;
  virtual void Write(Kind kind, std::string_view text) = 0;
};

}  // namespace kr
