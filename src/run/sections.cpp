#include "run/sections.h"

#include "bench/card.h"
#include "bench/cpu/processor_tests.h"
#include "bench/drive/drive_section.h"
#include "bench/memory/memory_tests.h"
#include "engine/errorlog.h"
#include "engine/scoring.h"
#include "engine/status_ops.h"
#include "report/frame.h"
#include "report/report.h"
#include "engine/home_files.h"
#include "engine/timing.h"
#include "engine/progress.h"

#include <optional>
#include <vector>

namespace kr {
namespace {

// Progress of one section: the window opens with the section (the status
// presenter restarts the counter and gauge at 0 and shows 1/N while the
// first test runs); each finished test adds 100 / N (integer division, 0
// when N is 0) to the gauge and steps the text to the next test, so k/N
// names the test now running and the text stays at N/N after the last one
// (it never counts past N).
struct SectionProgress {
  Context& ctx;
  Section section;
  int32_t count;
  int32_t step;

  SectionProgress(Context& c, Section s, int32_t n) : ctx(c), section(s), count(n), step(n > 0 ? 100 / n : 0) {
    OpenSection(ctx, s);
  }
  void Finished() {
    const size_t i = size_t(section);
    ctx.gauge[i] += step;
    ctx.status.SetGauge(section, ctx.gauge[i]);
    if (ctx.progress[i] < count) Step();
  }
  void Step() {
    switch (section) {
      case Section::Processor: StepProcessorProgress(ctx); break;
      case Section::Memory: StepMemoryProgress(ctx); break;
      case Section::Drive: StepDriveProgress(ctx); break;
    }
  }
};

// True (after logging it once) when the user asked the run to stop.
bool StopBetweenTests(Context& ctx, const char* location, const char* function) {
  if (!StopRequested(ctx)) return false;
  LogError(ctx, location, function, "Interrupted by the user");
  return true;
}

// One test of a section, announced to the listeners around its run; its
// value joins the section's results.
template <typename Run>
void RunAnnounced(Context& ctx, const CatalogueEntry& test, SectionResults& results, Run run) {
  Publish(ctx, [&](RunListener& l) { l.TestStarted(test); });
  results.tests.push_back(run());
  const ScoreSlot score = ctx.results.score(test.slot);
  Publish(ctx, [&](RunListener& l) { l.TestFinished(test, score); });
}

// The multitasking switch a test runs with: always on under the JIT option.
int32_t MultitaskingFor(const Context& ctx, int32_t own) { return ctx.run.multitaskingAtAll ? 1 : own; }

// Loop size entry (MiB) in bytes; negative entries give 0 and sizes beyond
// 32 bits are held at the largest 32-bit size instead of wrapping.
uint32_t LoopBytes(int32_t entry) {
  if (entry <= 0) return 0;
  uint64_t bytes = uint64_t(entry) * 1048576u;
  return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(bytes);
}

// The section's total into its slot and the results; the frame closes.
void FinishSection(Context& ctx, SectionResults& results, ScoreSlot total) {
  results.total = total;
  CloseSection(ctx, results.section, total);
}

}  // namespace

const SectionRuns kSectionRuns = {RunProcessorSection, RunMemorySection, RunDriveSection};

namespace {

// The score slots one section run works on. A run starts from cleared slots
// for the tests it will run; the slots of tests it leaves out are kept aside
// while it runs, so its total counts only what it measured, and are put back
// afterwards (with "flush results" off they hold an earlier run's figures).
class SectionSlots {
 public:
  SectionSlots(Context& ctx, Section s) : ctx_(ctx) {
    for (int i = 0; i < kCatalogueSize; ++i) {
      const CatalogueEntry& e = kCatalogue[i];
      if (e.section != s) continue;
      Take(e.slot, !WillRun(e));
    }
    if (s == Section::Drive)
      Take(slot::kFileSystemGroup, RunSettings(ctx).driveEnabled(drive_switch::kFileSystem) == 0);
    Take(TotalSlotOf(s), false);
  }
  ~SectionSlots() {
    for (const Kept& k : kept_) ctx_.results.setScore(k.slot, k.score);
  }

 private:
  struct Kept {
    int slot;
    ScoreSlot score;
  };
  bool WillRun(const CatalogueEntry& e) const {
    const SettingsRecord& st = RunSettings(ctx_);
    switch (e.section) {
      case Section::Processor: return st.procEnabled(e.position) != 0;
      case Section::Memory: return st.memEnabled(e.position) != 0 && MemoryTestRunnable(ctx_, e.position);
      case Section::Drive: return st.driveEnabled(e.driveSwitch) != 0;
    }
    return true;
  }
  void Take(int s, bool keep) {
    if (keep) kept_.push_back({s, ctx_.results.score(s)});
    ctx_.results.setScore(s, {0.0, 0.0});
  }
  Context& ctx_;
  std::vector<Kept> kept_;
};

// The last test a run finished, for the note of a stopped run.
class LastFinished : public RunListener {
 public:
  explicit LastFinished(Context& ctx) : ctx_(ctx) { ctx_.listeners.push_back(this); }
  ~LastFinished() override { std::erase(ctx_.listeners, this); }
  void TestFinished(const CatalogueEntry& test, const ScoreSlot&) override { label_ = test.label; }
  const char* label() const { return label_; }

 private:
  Context& ctx_;
  const char* label_ = nullptr;
};

}  // namespace

namespace {

// Run mode 4 between the banner and the system information (see
// RunBenchmark in sections.h).
void MakeModule(Context& ctx, ModuleMaking& making, const SectionRuns& runs, RunOutcome& outcome) {
  // The module's settings replace the run's own; the saved settings are
  // never touched.
  if (!making.PrepareSettings(ctx, *ctx.plan.settings)) {
    outcome.module = RunOutcome::Module::SettingsRefused;
    return;
  }
  ctx.results.Clear();
  MakeStamp(ctx, StampKind::Results);
  CountAllTests(ctx);

  struct Step {
    Section section;
    SectionResults (*run)(Context&);
    const char* name;  // as the request names the section
  };
  const Step steps[3] = {
      {Section::Processor, runs.processor, "Processor"},
      {Section::Memory, runs.memory, "Memory"},
      {Section::Drive, runs.drive, "Harddrive"},
  };
  bool complete = true;
  for (const Step& step : steps) {
    outcome.sections.push_back(step.run(ctx));
    // A stop request ends the making: a module holds complete sections only.
    if (StopRequested(ctx)) {
      outcome.module = RunOutcome::Module::Interrupted;
      complete = false;
      break;
    }
    if (!ctx.results.score(TotalSlotOf(step.section)).counts()) {
      ctx.requester.Request(kErrorTitle,
                            std::string("The KelvaRANKS at \x1b" "b") + step.name +
                                "\x1b" "n are not valid!\nSee Benchmark-Report for details.\n\n'Make Module' aborted!",
                            "Damn!");
      outcome.module = RunOutcome::Module::NotValid;
      outcome.abortedSection = step.section;
      complete = false;
      break;
    }
  }

  if (complete) {
    RecordSystemTotal(ctx, SystemTotal(ctx.results));
    outcome.moduleSerial = making.StoreModule(ctx);
    outcome.module = outcome.moduleSerial.empty() ? RunOutcome::Module::NotStored : RunOutcome::Module::Stored;
  } else {
    RecordSystemTotal(ctx, {0.0, 0.0});
  }
}

}  // namespace

SectionResults RunProcessorSection(Context& ctx) { return RunProcessorSection(ctx, kProcessorTestTable); }

SectionResults RunProcessorSection(Context& ctx, const ProcessorTestFn (&tests)[11]) {
  const SettingsRecord& st = RunSettings(ctx);
  SectionResults results;
  results.section = Section::Processor;
  SectionProgress progress(ctx, Section::Processor, ctx.countProcessor);
  int run = 0;
  for (int k = 1; k <= kProcessorTests; ++k) {
    if (st.procEnabled(k) == 0) continue;
    if (k == cpu::kMp3 && ctx.run.mpegaAvailable == 0) continue;
    if (StopBetweenTests(ctx, "CPU", "RunProcessorSection")) break;
    ClearProcessorStatus(ctx);
    const int32_t cacheOn = st.procCache(k);
    const int32_t mt = MultitaskingFor(ctx, st.procMultitasking(k));
    RunAnnounced(ctx, ProcessorEntry(k), results, [&] { return tests[k](ctx, cacheOn, mt); });
    ++run;
    progress.Finished();
  }
  FinishSection(ctx, results, ProcessorTotal(ctx.results, run));
  return results;
}

SectionResults RunMemorySection(Context& ctx) { return RunMemorySection(ctx, &RunMemoryTest); }

SectionResults RunMemorySection(Context& ctx, MemoryTestFn test) {
  const SettingsRecord& st = RunSettings(ctx);
  SectionResults results;
  results.section = Section::Memory;
  SectionProgress progress(ctx, Section::Memory, ctx.countMemory);
  int run = 0;
  for (int p = 0; p < kMemoryTests; ++p) {
    if (st.memEnabled(p) == 0 || !MemoryTestRunnable(ctx, p)) continue;
    if (StopBetweenTests(ctx, "MEMORY", "RunMemorySection")) break;
    ClearMemoryStatus(ctx);
    const int32_t lowStep = st.memSweepStart(p), highStep = st.memSweepStop(p);
    RunAnnounced(ctx, MemoryEntry(p), results, [&] {
      return test(ctx, p, 1048576u, LoopBytes(st.memLoopSize(p)), BlockSizeOfStep(lowStep), BlockSizeOfStep(highStep),
           st.memCache(p), MultitaskingFor(ctx, st.memMultitasking(p)), lowStep, highStep);
    });
    ++run;
    progress.Finished();
  }
  FinishSection(ctx, results, MemoryTotal(ctx.results, run));
  return results;
}

SectionResults RunDriveSection(Context& ctx) {
  SilentProgress silent;
  StartupProgress* copying = ctx.status.CopyProgress();
  DriveSectionRun run = RunHardDriveSection(ctx, copying ? *copying : silent);
  SectionResults results;
  results.section = Section::Drive;
  results.tests = std::move(run.results);
  results.refused = run.code != 0;
  results.total = ctx.results.score(TotalSlotOf(Section::Drive));
  return results;
}

std::string MakeStamp(Context& ctx, StampKind kind) {
  DateStrings s = DateToStr(ctx.dos.Now());
  for (std::string* t : {&s.date, &s.time})
    for (size_t i : {size_t(2), size_t(5)})
      if (t->size() > i) (*t)[i] = '.';
  if (kind == StampKind::Results) {
    ctx.results.set_text(rec::kModuleDate, rec::kStampWidth, s.date);
    ctx.results.set_text(rec::kModuleTime, rec::kStampWidth, s.time);
    return {};
  }
  std::string name = "PROGDIR:Reports/KR_Report_" + s.date + "_" + s.time + ".txt";
  if (name.size() > 63) name.resize(63);  // the name buffer holds 64 bytes
  return name;
}

RunOutcome RunBenchmark(Context& ctx, ModuleMaking* making, const SectionRuns& runs) {
  return RunBenchmark(ctx, RunPlan{}, making, runs);
}

RunOutcome RunBenchmark(Context& ctx, const RunPlan& plan, ModuleMaking* making, const SectionRuns& runs) {
  // The plan holds for this run only, on every way out of it; a plan without
  // settings runs with a copy of the saved ones.
  struct PlanScope {
    Context& ctx;
    PlanScope(Context& c, const RunPlan& p) : ctx(c) {
      ctx.plan = p;
      if (!ctx.plan.settings) ctx.plan.settings = ctx.settings;
    }
    ~PlanScope() { ctx.plan = RunPlan{}; }
  } planScope(ctx, plan);
  // The run's sinks: those attached to the context, else the standard ones.
  std::optional<StandardSinks> standardSinks;
  if (ctx.sinks.empty()) standardSinks.emplace(ctx);
  RunOutcome outcome;
  outcome.mode = RunMode(ctx.run.runMode);
  {
    // A fresh report state (a report left open by an earlier run is closed
    // properly rather than forgotten), an empty error log, the program busy
    // until the run is over.
    CloseReport(ctx);
    ctx.report.open = false;
    ClearErrorLog(ctx);
    BusyScope busy(ctx.status);
    Publish(ctx, [&](RunListener& l) { l.RunStarted(outcome.mode); });

    if (RunSettings(ctx).flushResults() != 0) ctx.results.Clear();
    MakeStamp(ctx, StampKind::Results);

    const bool reportWanted = RunSettings(ctx).reportEnabled() != 0;
    if (reportWanted) {
      OpenReport(ctx);
      if (ctx.report.open) WriteBanner(ctx);
    }

    // One section. The counts are the progress totals; recount them so the
    // gauge always matches the settings the section runs with.
    CountAllTests(ctx);
    LastFinished last(ctx);
    switch (outcome.mode) {
      case RunMode::Processor: {
        SectionSlots slots(ctx, Section::Processor);
        outcome.sections.push_back(runs.processor(ctx));
        outcome.processorTotal = ctx.results.score(slot::kProcessorTotal);
        break;
      }
      case RunMode::Memory: {
        SectionSlots slots(ctx, Section::Memory);
        outcome.sections.push_back(runs.memory(ctx));
        outcome.memoryTotal = ctx.results.score(slot::kMemoryTotal);
        break;
      }
      case RunMode::Drive: {
        SectionSlots slots(ctx, Section::Drive);
        outcome.sections.push_back(runs.drive(ctx));
        outcome.refused = outcome.sections.back().refused;
        outcome.driveTotal = ctx.results.score(slot::kDriveTotal);
        break;
      }
      case RunMode::MakeModule:
        if (!making) {
          LogError(ctx, "GENERAL", "RunBenchmark", "Make Module without the module base");
          break;
        }
        MakeModule(ctx, *making, runs, outcome);
        outcome.processorTotal = ctx.results.score(slot::kProcessorTotal);
        outcome.memoryTotal = ctx.results.score(slot::kMemoryTotal);
        outcome.driveTotal = ctx.results.score(slot::kDriveTotal);
        outcome.systemTotal = ctx.results.score(slot::kSystemTotal);
        break;
      default: LogError(ctx, "GENERAL", "RunBenchmark", "Unknown run mode"); break;
    }

    outcome.interrupted = StopRequested(ctx);
    if (outcome.interrupted) {
      outcome.stoppedAfter = last.label() ? last.label() : "";
      if (ctx.report.open) WriteStoppedNote(ctx, outcome.stoppedAfter);
    }

    // The end of the report: system information, the errors box, the footer.
    if (ctx.report.open) {
      WriteSystemInformation(ctx);
      if (RunSettings(ctx).appendErrorLog() != 0) AppendErrorLogToReport(ctx);
      WriteFooter(ctx);
      CloseReport(ctx);
    }
    if (reportWanted) {
      outcome.reportPath = ctx.report.path;
      outcome.report = ctx.report.failed ? RunOutcome::Report::Failed : RunOutcome::Report::Written;
      outcome.reportError = ctx.report.error;
    }

    ctx.run.chipRamTests = 1;
    outcome.errorCount = int(ctx.errorLog.entries.size());
  }
  Publish(ctx, [&](RunListener& l) { l.RunFinished(outcome); });
  return outcome;
}

}  // namespace kr
