// The one context of a running system: the host services it calls and every
// process-wide record. Created at start-up and passed by reference; a test
// builds its own with fake services.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/drive_info.h"
#include "records/drive_state.h"
#include "records/results.h"
#include "engine/run_events.h"
#include "engine/run_plan.h"
#include "engine/status.h"
#include "engine/timing_ledger.h"
#include "records/index_entry.h"
#include "platform/dos.h"
#include "platform/exec.h"
#include "platform/requester.h"
#include "platform/timer.h"
#include "records/display_record.h"
#include "records/form_values.h"
#include "records/settings_record.h"
#include "records/sysinfo_record.h"

namespace kr {

class Mpega;

// The run-state record: flags and values shared across subsystems.
struct RunState {
  int32_t runMode = 0;            // a RunMode (run_events.h) as a number
  int32_t amithlon = 0;           // AmigaXL/Amithlon host
  int32_t noChipMemory = 0;       // "Pegasos Hardware": the host has no chip memory
  int32_t morphOS = 0;
  int32_t memoryInfoReady = 0;
  int32_t chipRamTests = 1;       // "CHIP-ram tests" option
  int32_t multitaskingAtAll = 0;  // "Enable Multitasking at all [JIT]"
  int32_t mpegaAvailable = 0;
  int32_t defaultsOutdated = 0;
  int32_t configOutdated = 0;
  int32_t firstRun = 0;
  int32_t freeSpace = 0;
  char serverHost[128]{};
  char serverPath[128]{};
  char serverMailbox[128]{};  // collection mailbox: line 3 of the server description; empty: none
  char hostModel[32]{};  // machine name detected on a no-chip host (sysinfo); empty: none
  // A start-up check that stopped on a file: the file's host path and why.
  std::string checkFailedPath;
  std::string checkFailedReason;
};

// One error-log entry: three texts of at most 127 significant characters.
struct ErrorEntry {
  char location[128]{};
  char function[128]{};
  char reason[128]{};
};

// The entries and the error-log output. The output is in use from
// OpenErrorLogOutput to CloseErrorLogOutput; the console form echoes to the
// log sink, the file form is opened with the first entry to echo.
struct ErrorLog {
  std::vector<ErrorEntry> entries;
  bool outputOpen = false;
  bool outputIsConsole = false;
  std::string outputPath;     // the file form's path, as the settings name it
  int64_t output = 0;         // dos handle of the file once opened, else 0
  bool outputFailed = false;  // the file could not be opened: memory only
};

struct ReportState {
  bool open = false;
  int64_t file = 0;
  std::string buffer;  // lines not yet written to the file
  std::string path;    // host path of the report last opened (or tried)
  std::string target;  // its dos path, as the settings name it
  std::string temp;    // dos path written while open; renamed to target at close
  // Set by the first failing open, write, sync, close or rename since the
  // last open; error names the call, the report's path and the reason
  // ("write /home/u/r.txt: No space left on device").
  bool failed = false;
  std::string error;
  // Set while the report goes into a string instead of a file
  // (OpenReportInto): the lines are appended to it, nothing touches a disk.
  std::string* sink = nullptr;
};

struct Context {
  Context(Exec& e, Timer& t, Dos& d, Requester& r, StatusDisplay& s)
      : exec(e), timer(t), dos(d), requester(r), status(s) {}
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  Exec& exec;
  Timer& timer;
  Dos& dos;
  Requester& requester;
  StatusDisplay& status;

  SettingsRecord settings;
  DisplayRecord display;
  SettingsForm form;  // the settings pages' controls (settings/settings_form.h)
  SystemInfo sysinfo;
  DriveInfo driveInfo;
  DriveState drive;  // access modes, command set, device connection (records/drive_state.h)
  RunState run;
  // The plan of the run going on (RunBenchmark sets it for the run and puts
  // the default back afterwards); the workloads read their work scale here,
  // and every part of a run its settings (RunSettings).
  RunPlan plan;
  ResultsRecord results;
  std::array<ResultsRecord, 4> compare;
  ModuleBase modules;  // Local and Server lists, slot marks (modules/module_base.h)

  // Enabled-test counts and per-section progress (processor, memory, drive).
  int32_t countProcessor = 0, countMemory = 0, countDrive = 0;
  std::array<int32_t, 3> progress{};
  std::array<int32_t, 3> gauge{};

  // The one open timed region. timingOpen is atomic so that a display on
  // another thread can hold its drawing back while a test is timing.
  TimeVal startStamp, endStamp;
  std::atomic<bool> timingOpen{false};
  // The thread's CPU time at the span's ends, and the recent real-time spans.
  TimeVal startCpu, endCpu;
  SpanLedger spanLedger;
  // Every score slot's percentage of the reference without the clamp to
  // 0..100 (engine/scoring.h), as the tests of this process left it.
  std::array<double, 64> uncapped{};

  // Loop rate the Bogomips workload keeps (read by the module information);
  // 64-bit, as present-day processors exceed 2^32 delay-loop iterations a
  // second.
  uint64_t bogomipsLoopRate = 0;

  // The settings and display records as their files held them when this
  // process last loaded or saved them; a save changes only what this
  // process changed since (settings/config_files.h). Empty: not read yet.
  std::optional<SettingsRecord> settingsOnDisk;
  std::optional<DisplayRecord> displayOnDisk;

  ErrorLog errorLog;
  ReportState report;

  // Where the console output of the error log and library diagnostics go
  // (run_events.h); null: nowhere.
  LogSink* log = nullptr;
  // The presenters of a run's events, called before the listeners: the
  // report's card writer and the status presenter (StandardSinks,
  // bench/card.h). A run without sinks attaches the standard ones for its
  // duration; a part called on its own publishes to the sinks attached here.
  std::vector<RunListener*> sinks;
  // Subscribers to the runs, called in this order after the sinks.
  std::vector<RunListener*> listeners;

  // mpega.library for MP3 2 CDDA, owned by the caller; null: not available.
  Mpega* mpega = nullptr;

  // Set from a signal handler: the run stops after the current test.
  std::atomic<bool>* interrupt = nullptr;
  bool Interrupted() const { return interrupt && interrupt->load(std::memory_order_relaxed); }
};

// One event to the sinks, then to the listeners, in their order.
template <typename Call>
void Publish(const Context& ctx, Call&& call) {
  for (RunListener* l : ctx.sinks) call(*l);
  for (RunListener* l : ctx.listeners) call(*l);
}

// The settings the work going on reads: during a run the run's own (its
// plan's); outside a run (the system information of "info", a part called
// on its own) the saved settings.
inline const SettingsRecord& RunSettings(const Context& ctx) {
  return ctx.plan.settings ? *ctx.plan.settings : ctx.settings;
}

}  // namespace kr
