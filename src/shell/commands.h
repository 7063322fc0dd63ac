// The commands of the main window that do not depend on a front end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/context.h"
#include "util/rule_outcome.h"

namespace kr {

// The test pages whose tests SetAllTests switches.
enum class TestPages : uint8_t { Processor, Memory, Drive, All };
// Sets the enable entry of every test of the pages (switching on only the
// tests BulkEnableDriveTest allows).
void SetAllTests(Context& ctx, TestPages pages, bool on);
void SetAllTests(SettingsRecord& settings, TestPages pages, bool on);

// What one run chooses for itself beyond the settings (the terminal's
// options; the desktop has none).
struct RunOverrides {
  // Every test of these pages switched on (as SetAllTests does).
  std::optional<TestPages> allTests;
  // The drive section's partition folder, a host path; empty: the settings'.
  std::string partition;
  // Write to Device and SpinUP Device switched on (after their warnings).
  bool writeDevice = false, spinUpDevice = false;
  // The report into this file, switched on whatever the settings say;
  // empty: the settings' report.
  std::string reportFile;
  // When the settings' report is on under its default name
  // (kDefaultReportFile), this name instead (so that runs do not replace
  // each other's report); empty: the default name.
  std::string defaultReportName;
  uint32_t workScale = 1;  // RunPlan::workScale
};

// The plan of a run: the settings with the overrides applied, and the work
// scale. Both front ends build their runs' plans here.
RunPlan MakeRunPlan(const SettingsRecord& settings, const RunOverrides& overrides);

// The start buttons: count the section's enabled tests in the plan's
// settings; with none, show the "No ... Benchmark selected" request and
// return nothing; otherwise set the run mode (Processor, Memory or Drive),
// run the plan and return the outcome.
std::optional<RunOutcome> RunSectionCommand(Context& ctx, RunMode mode, const RunPlan& plan);

// Whether "_All" (or the terminal's --all) may switch drive test `index`
// (0..6, the drive page's order) on together with the others: Write to
// Device and SpinUP Device are only ever switched on alone, after their
// warnings. Switching off is always allowed.
RuleOutcome BulkEnableDriveTest(int index);

// What is wrong with a file name chosen for the report or the error log (a
// Latin-1 name, or a host path from the command line): a ':' would read as
// the end of a volume name, and the program's paths hold at most 255
// bytes. The reason is the file picker's wording ("holds a ':'"); the
// terminal words it its own way by the fault.
enum class FileNameFault : uint8_t { None, Colon, TooLong };
struct FileNameCheck {
  FileNameFault fault = FileNameFault::None;
  RuleOutcome outcome;
};
FileNameCheck CheckChosenFileName(std::string_view name);

}  // namespace kr
