// Section runs, the overall run and the stamp.
#pragma once

#include <string>

#include "bench/cpu/processor_tests.h"
#include "engine/context.h"
#include "engine/run_plan.h"

namespace kr {

// The three section runs a run calls; tests hand in their own. Each hands
// back what it ran (SectionResults, engine/run_events.h).
struct SectionRuns {
  SectionResults (*processor)(Context&);
  SectionResults (*memory)(Context&);
  SectionResults (*drive)(Context&);
};
extern const SectionRuns kSectionRuns;  // RunProcessorSection, RunMemorySection, RunDriveSection

// The steps of a Make Module run that belong to the settings and the module
// base (the shell implements them: shell/make_module.h).
class ModuleMaking {
 public:
  virtual ~ModuleMaking() = default;
  // The settings the module is made with into `settings`, the run's own
  // (every test switched on with its default parameters, then the Make
  // Module options applied); the saved settings and the settings pages stay
  // as they are. False when the settings were refused (their requester was
  // shown): no section runs.
  virtual bool PrepareSettings(Context& ctx, SettingsRecord& settings) = 0;
  // Completes the results record and stores it in the Local database.
  // Returns the serial stored; empty when nothing was stored.
  virtual std::string StoreModule(Context& ctx) = 0;
};

// The overall run for ctx.run.runMode (a RunMode): clears the error log,
// zero-fills the results when flushResults is on, stamps date and time,
// opens the report with its banner, runs the section (Processor, Memory,
// Drive) or makes a module (MakeModule, with `making`), then writes the
// system information, the error log (appendErrorLog) and the footer, closes
// the report and sets the CHIP-ram tests option back to 1.
//
// Make Module: `making` prepares the settings; the results are zero-filled
// and stamped, the counts recounted; the processor, memory and drive
// sections run in this order, and a section whose total is not valid (or a
// stop request) aborts the run after it with the "not valid!" request
// ("Damn!"). When all three totals are valid the system total is computed
// and written and `making` stores the module; otherwise the system slot is
// (0.0, 0.0) and its report line DISABLED. Without `making` run mode 4 is
// logged and runs nothing.
//
// The program is busy (StatusDisplay::SetBusy) for the whole run; the
// listeners of ctx hear RunStarted, TestStarted/TestFinished per test and
// RunFinished with the outcome returned. The outcome holds the sections that
// ran with the values of their tests.
//
// The plan is in ctx.plan while the run goes on, and every part of the run
// reads its settings there (RunSettings); afterwards ctx.plan is the default
// plan again. A plan without settings (or no plan) runs with a copy of
// ctx.settings as they are when the run starts. ctx.settings and ctx.form are
// never written by a run.
RunOutcome RunBenchmark(Context& ctx, const RunPlan& plan, ModuleMaking* making = nullptr,
                        const SectionRuns& runs = kSectionRuns);
RunOutcome RunBenchmark(Context& ctx, ModuleMaking* making = nullptr, const SectionRuns& runs = kSectionRuns);

// One section each: the window and its progress, the section header, every
// enabled (and on this host runnable) test in catalogue order, the section
// total in its slot and in the report. A stop request (ctx.Interrupted())
// ends the section between tests; its total then covers what ran. Returns
// the values of the tests it ran and its total. The drive section's tests
// write their own cards and hand back no values yet; it says whether it
// refused to run.
SectionResults RunProcessorSection(Context& ctx);
SectionResults RunMemorySection(Context& ctx);
SectionResults RunDriveSection(Context& ctx);

// The same section runs over a given test table (tests drive the frame with
// recording tests).
using MemoryTestFn = TestResult (*)(Context& ctx, int p, uint32_t mega, uint32_t loopSize, uint32_t lowSize,
                                    uint32_t highSize, int32_t cacheOn, int32_t multitaskingOn, int32_t lowStep,
                                    int32_t highStep);
SectionResults RunProcessorSection(Context& ctx, const ProcessorTestFn (&tests)[11]);
SectionResults RunMemorySection(Context& ctx, MemoryTestFn test);

// Results: the current date and time ("dd.mm.yy", "hh.mm.ss") into the
// results record's date and time fields; returns "". ReportName: returns the
// default report file name "PROGDIR:Reports/KR_Report_" + date + "_" + time +
// ".txt".
enum class StampKind : uint8_t { Results, ReportName };
std::string MakeStamp(Context& ctx, StampKind kind);

}  // namespace kr
