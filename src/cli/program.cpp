#include "cli/program.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "bench/drive/drive_access.h"
#include "cli/chart_command.h"
#include "cli/log_sink.h"
#include "cli/modules_commands.h"
#include "cli/net_commands.h"
#include "cli/options.h"
#include "cli/settings_commands.h"
#include "cli/repeat.h"
#include "cli/terminal.h"
#include "cli/text.h"
#include "engine/context.h"
#include "engine/scoring.h"
#include "run/sections.h"
#include "platform/linux/linux_blockdev.h"
#include "platform/linux/linux_dos.h"
#include "platform/linux/linux_partition.h"
#include "platform/linux/linux_exec.h"
#include "platform/linux/linux_timer.h"
#include "platform/mpega.h"
#include "platform/run_conditions.h"
#include "report/frame.h"
#include "report/report.h"
#include "settings/settings_form.h"
#include "settings/settings_keys.h"
#include "modules/module_json.h"
#include "modules/module_record.h"
#include "shell/commands.h"
#include "shell/host.h"
#include "shell/make_module.h"
#include "shell/startup.h"
#include "util/numtext.h"

namespace kr::cli {
namespace {

// What the program keeps open besides the file tests' scratch files.
constexpr uint64_t kOpenFileReserve = 16;

// The signal handler's state: a handler reaches only static storage. The
// first signal sets gInterrupt; gPartial is the host path of the report a
// run is writing (its temporary name beside the target), for a second
// signal to remove.
std::atomic<bool> gInterrupt{false};
char gPartial[PATH_MAX];
std::atomic<bool> gPartialSet{false};

// The first SIGINT or SIGTERM asks the run to stop after the current test
// (the report is completed); a second one removes the unfinished report and
// ends the program at once by the signal that arrived, so the parent sees
// which one it was, after removing the private RAM folder the program made
// (its removal at exit would not run). A hang-up does the same at once. An
// older report of the same name is never touched.
void OnInterrupt(int sig) {
  if (gInterrupt.exchange(true) || sig == SIGHUP) {
    if (gPartialSet.load()) unlink(gPartial);
    // The removal at exit does not run when the signal ends the program.
    RemoveRamDirNow();
    signal(sig, SIG_DFL);
    raise(sig);
  }
  NoteStopRequested();
}

// Keeps gPartial up to date while a run writes its report.
class PartialReport : public RunListener {
 public:
  explicit PartialReport(const Context& ctx) : ctx_(ctx) {}
  ~PartialReport() override { gPartialSet.store(false); }
  void TestStarted(const CatalogueEntry&) override {
    if (gPartialSet.load() || !ctx_.report.open || ctx_.report.temp.empty()) return;
    std::string path = ctx_.dos.HostPath(ctx_.report.temp);
    if (path.size() >= sizeof gPartial) return;
    std::memcpy(gPartial, path.c_str(), path.size() + 1);
    gPartialSet.store(true);
  }
  void RunFinished(const RunOutcome&) override { gPartialSet.store(false); }

 private:
  const Context& ctx_;
};

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A closed terminal ends the program at once, as a second interrupt does
  // (unless hang-ups are ignored, as under nohup).
  struct sigaction old {};
  if (sigaction(SIGHUP, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaction(SIGHUP, &sa, nullptr);
}

// The terminal starts quickly and shows no start-up window. The drive
// information is gathered only for the commands that use it (runs, Make
// Module, the system information), so other commands neither open the
// partition's device nor show its warnings; its notes (the access-mode and
// free-space warnings) are shown only to a drive run on the saved partition
// and to Make Module.
class TerminalHooks : public StartupHooks {
 public:
  StartupProgress& Progress() override { return progress_; }
  void GatherDriveInfo(Context& ctx) override {
    if (!gatherDrive) return;
    requester->quiet = !driveNotes;
    StartupHooks::GatherDriveInfo(ctx);
    requester->quiet = false;
  }
  bool gatherDrive = false;
  TerminalRequester* requester = nullptr;
  bool driveNotes = false;

 private:
  SilentProgress progress_;
};

// The context of one command on the host, with the terminal's requester,
// status and error-log output.
struct System {
  Host& host;
  LinuxBlockDevices& devices;  // the host's
  TerminalRequester requester;
  TerminalStatus status;
  StderrLogSink log;
  Context ctx;
  TerminalHooks hooks;
  StartupState state;

  System(Host& h, TerminalRequester::Policy policy)
      : host(h),
        devices(h.devices),
        requester(policy),
        status(isatty(2) != 0),
        ctx(h.exec, h.timer, h.dos, requester, status) {
    host.Attach(ctx);
    ctx.log = &log;
    hooks.requester = &requester;
  }
};

int Usage(const std::string& error) {
  if (!error.empty()) std::cerr << "kelvarank-cli: " << TerminalText(error) << "\n";
  std::cerr << kUsage;
  return kExitUsage;
}

// The words of "run", checked before anything starts.
struct RunArgs {
  RunMode mode = RunMode::None;
  bool all = false;         // every test of the section, for this run
  std::string report;       // --report: an absolute host path; empty: the settings' name
  int repeat = 1;           // --repeat N
  std::string json;         // --json: an absolute host path; empty: none
  std::string partition;    // drive: --partition DIR, for this run; empty: the settings'
  bool writeDevice = false;  // drive: --write-device
  bool spinUpDevice = false;  // drive: --spinup-device
};

// A file named on the command line: an absolute host path, or empty with
// `error` set.
std::string CommandLineFile(const std::vector<std::string>& w, size_t& i, const char* option, std::string& error) {
  std::string v;
  if (!OptionValue(w, i, option, v) || v.empty()) {
    error = std::string(option) + " needs a file name";
    return {};
  }
  // A host path: its bytes are used as given (not converted to Latin-1).
  std::string path = AbsolutePath(v);
  switch (CheckChosenFileName(path).fault) {
    case FileNameFault::None: return path;
    case FileNameFault::Colon: error = std::string(option) + ": a file name with ':' cannot be used"; break;
    case FileNameFault::TooLong: error = std::string(option) + ": the path is longer than 255 bytes"; break;
  }
  return {};
}

constexpr int kMaxRepeat = 1000;

// Empty when the words make a run, else the usage message.
std::string ParseRun(const std::vector<std::string>& w, RunArgs& out) {
  const char* usage = "run takes a section (processor, memory or drive) and optionally --all, --report FILE, "
                      "--repeat N and --json FILE";
  if (w.size() < 2) return usage;
  out.mode = w[1] == "processor" ? RunMode::Processor
             : w[1] == "memory"  ? RunMode::Memory
             : w[1] == "drive"   ? RunMode::Drive
                                 : RunMode::None;
  if (out.mode == RunMode::None) return usage;
  for (size_t i = 2; i < w.size(); ++i) {
    const std::string& a = w[i];
    std::string v;
    if (a == "--all") {
      out.all = true;
    } else if (out.mode == RunMode::Drive && a == "--write-device") {
      out.writeDevice = true;
    } else if (out.mode == RunMode::Drive && a == "--spinup-device") {
      out.spinUpDevice = true;
    } else if (out.mode == RunMode::Drive && a.rfind("--partition", 0) == 0) {
      if (!OptionValue(w, i, "--partition", v) || v.empty()) return "--partition needs a folder";
      out.partition = v;
    } else if (a.rfind("--report", 0) == 0) {
      std::string error;
      out.report = CommandLineFile(w, i, "--report", error);
      if (out.report.empty()) return error;
    } else if (a.rfind("--json", 0) == 0) {
      std::string error;
      out.json = CommandLineFile(w, i, "--json", error);
      if (out.json.empty()) return error;
    } else if (a.rfind("--repeat", 0) == 0) {
      if (!OptionValue(w, i, "--repeat", v)) return "--repeat needs a count";
      int n = 0;
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
      if (v.empty() || ec != std::errc() || end != v.data() + v.size() || n < 1 || n > kMaxRepeat)
        return "--repeat takes a count from 1 to " + std::to_string(kMaxRepeat);
      out.repeat = n;
    } else {
      return usage;
    }
  }
  return {};
}

// The name the settings page's "Make" button builds from the current date and
// time; when a report of that name exists already (two runs in one second),
// a number is added before ".txt" so no run replaces another's report.
std::string StampedReportName(Context& ctx) {
  std::string name = MakeStamp(ctx, StampKind::ReportName);
  if (ctx.dos.FileSize(name) < 0 && !ctx.dos.IsDir(name)) return name;
  std::string stem = name.substr(0, name.size() - 4);  // without ".txt"
  for (int n = 2;; ++n) {
    std::string next = stem + "_" + std::to_string(n) + ".txt";
    if (ctx.dos.FileSize(next) < 0 && !ctx.dos.IsDir(next)) return next;
  }
}

// What every run from the command line chooses for itself: the report (a
// file named on the command line, else the settings' name, where the
// default name becomes a stamped one: it would make every run replace the
// last report) and the work scale the test suite may set in the environment
// (KR_TEST_WORK_SCALE; for the tests only, see engine/run_plan.h).
RunOverrides CommandLineOverrides(Context& ctx, const std::string& reportFile) {
  RunOverrides o;
  o.reportFile = reportFile;
  if (reportFile.empty()) o.defaultReportName = StampedReportName(ctx);
  o.workScale = ParseWorkScale(std::getenv(kWorkScaleVariable));
  return o;
}

// The JSON form of the run just made (docs/module-json.md) into `path`: the
// stored module itself, or else the results record with its descriptive part
// filled as a module's would be (the record itself is left as it is).
bool WriteRunJson(Context& ctx, const std::string& path, bool isStoredModule) {
  ModuleRecord record = ctx.results;
  if (!isStoredModule) FillModuleDescription(ctx, record);
  std::string json = ModulesJson({record});
  AddUncappedJson(ctx, json);
  if (!ctx.dos.WriteFileAtomic(path, json.data(), json.size())) {
    std::cerr << "kelvarank-cli: " << TerminalText(path) << " could not be written: "
              << TerminalText(ctx.dos.LastErrorReason()) << "\n";
    return false;
  }
  std::cout << "JSON: " << TerminalText(path) << "\n";
  return true;
}

// The JSON file named on the command line is checked before anything runs:
// a link, folder, device or pipe there is refused (exit 10) rather than
// found out after a long run. (The report is opened when the run starts.)
bool OutputUsable(Context& ctx, const std::string& option, const std::string& path) {
  if (path.empty() || ctx.dos.CheckOutputTarget(path)) return true;
  std::cerr << "kelvarank-cli: " << option << " " << TerminalText(path) << ": "
            << TerminalText(ctx.dos.LastErrorReason()) << "; give a regular file or a new name\n";
  return false;
}

// Why the drive section cannot run on the gathered partition, in one line
// (empty: it can). The gathering's chain stops at the first failure: the
// partition, then its device.
std::string DriveRefusal(const System& sys, const SettingsRecord& settings) {
  const Context& ctx = sys.ctx;
  const DriveInfo& d = ctx.driveInfo;
  const std::string part = TerminalText(settings.partition());  // a host path
  if (d.field(drive_field::kHighlevelValid) == 0) {  // highlevel valid
    std::string why = sys.devices.lastReason().empty() ? "no such partition" : sys.devices.lastReason();
    return "the partition '" + part + "' cannot be used: " + TerminalText(why) +
           "; choose one with --partition DIR (see 'kelvarank-cli partitions')";
  }
  if (d.field(drive_field::kLowlevelValid) == 0) {  // lowlevel valid: the device could not be opened or measured
    std::string line = "cannot open the device of '" + part + "'";
    if (!ctx.drive.openFailure.empty()) line += ": " + Shown(ctx.drive.openFailure);
    if (ctx.drive.openRefused) line += std::string("; ") + kDevicePermissionHint;
    return line;
  }
  return {};
}

// --partition: an absolute folder of at most 63 characters on a block
// device that the user may write to; empty when it is, else why not.
std::string CheckPartition(const std::string& dir) {
  PartitionFacts facts;
  // A ':' or a control character first (the length is the partition
  // check's own question).
  std::string why = HostPathProblem(dir, std::string::npos);
  if (!why.empty()) return why;
  if (!ResolvePartition(dir, facts, why)) return why;
  // A device node is not written through the file system (its own open decides).
  if (!facts.entry.rawDevice && ::access(dir.c_str(), W_OK | X_OK) != 0)
    return std::string("not writable: ") + std::strerror(errno);
  return {};
}

int RunCommand(System& sys, const RunArgs& args) {
  Context& ctx = sys.ctx;
  const RunMode mode = args.mode;

  if (!OutputUsable(ctx, "--json", args.json)) return kExitFailed;
  // What this run chooses for itself goes into its plan; the settings (which
  // the shut-down may save) are never changed.
  RunOverrides overrides = CommandLineOverrides(ctx, args.report);
  if (args.all)
    overrides.allTests = mode == RunMode::Processor ? TestPages::Processor
                         : mode == RunMode::Memory  ? TestPages::Memory
                                                    : TestPages::Drive;
  if (mode == RunMode::Drive && !args.partition.empty()) {
    if (std::string why = CheckPartition(args.partition); !why.empty()) {
      std::cerr << "kelvarank-cli: --partition " << TerminalText(args.partition) << ": " << TerminalText(why)
                << "\n";
      return kExitFailed;
    }
    overrides.partition = args.partition;
  }
  // The two tests that write to or stop the device: each only on its own
  // word, after its warning, and confirmed with --yes (checked below).
  overrides.writeDevice = args.writeDevice;
  overrides.spinUpDevice = args.spinUpDevice;
  const RunPlan plan = MakeRunPlan(ctx.settings, overrides);
  const SettingsRecord& st = *plan.settings;
  if (mode == RunMode::Drive) {
    if (!args.partition.empty()) GatherDriveInfo(ctx, st);
    if (std::string why = DriveRefusal(sys, st); !why.empty()) {
      std::cerr << "kelvarank-cli: " << why << "\n";
      return kExitFailed;
    }
    // The file tests run all the same; the opens beyond the limit fail and
    // are counted, with the reason, in the tests' error entries.
    if (const uint64_t files = uint64_t(std::max(st.driveCount(0), 0)) * 1000;
        st.driveEnabled(drive_switch::kFileSystem) != 0 && files + kOpenFileReserve > sys.host.openFileLimit())
      std::cerr << "kelvarank-cli: only " << sys.host.openFileLimit()
                << " files may be open at once, the file tests need "
                << files + kOpenFileReserve << "; raise the hard limit of open files (ulimit -n) for a scored run\n";
    if (args.writeDevice || args.spinUpDevice) {
      if (std::string why = args.writeDevice ? sys.devices.WriteRefusal(ctx.driveInfo.deviceName) : "";
          !why.empty()) {
        std::cerr << "kelvarank-cli: Write to Device refused: " << TerminalText(why) << "\n";
        return kExitFailed;
      }
      if (args.writeDevice) ShowWriteDeviceWarning(ctx);
      if (args.spinUpDevice) ShowSpinUpDeviceWarning(ctx);
      if (sys.requester.policy() != TerminalRequester::Policy::Yes) {
        std::cerr << "kelvarank-cli: " << (args.writeDevice ? "--write-device" : "--spinup-device")
                  << " needs --yes to confirm the warning above\n";
        return kExitFailed;
      }
    }
  }
  // A path given on the command line is shown as given; the settings' is Latin-1.
  auto shown = [&](std::string_view text) { return args.report.empty() ? Shown(text) : TerminalText(text); };

  ctx.interrupt = &gInterrupt;
  RepeatTable table;
  FigureCollector figures(ctx);
  if (args.repeat > 1) ctx.listeners.push_back(&figures);
  PartialReport partial(ctx);
  ctx.listeners.push_back(&partial);
  std::optional<RunOutcome> outcome;
  for (int i = 0; i < args.repeat; ++i) {
    // Every run writes the report over the last one's: the report is the
    // last run's, and an interrupted series still leaves a complete one.
    outcome = RunSectionCommand(ctx, mode, plan);
    sys.status.Finish();
    if (!outcome) break;
    if (args.repeat > 1) table.Add(figures.samples());
    if (outcome->interrupted) break;
  }
  ctx.interrupt = nullptr;
  std::erase(ctx.listeners, &figures);
  std::erase(ctx.listeners, &partial);
  if (!outcome) return kExitFailed;

  static const char* const kNames[] = {"", "Processor", "Memory", "Hard Drive"};
  const ScoreSlot total = mode == RunMode::Processor ? outcome->processorTotal
                          : mode == RunMode::Memory  ? outcome->memoryTotal
                                                     : outcome->driveTotal;
  if (total.counts())
    std::cout << kNames[int(mode)] << " total: " << FixedText(total.percent, 100) << " KelvaRANKS"
              << UncappedNote(ctx, mode) << "\n";
  else
    std::cout << kNames[int(mode)] << " total: DISABLED\n";
  if (args.repeat > 1) std::cout << table.Render();

  int code = kExitOk;
  if (outcome->report == RunOutcome::Report::Off) {
    std::cout << "Report: switched off in the settings\n";
  } else if (outcome->report == RunOutcome::Report::Failed) {
    std::cerr << "kelvarank-cli: the report could not be written: " << shown(outcome->reportError) << "\n";
    code = kExitFailed;
  } else {
    std::cout << "Report: " << shown(outcome->reportPath) << "\n";
  }
  if (!args.json.empty() && !WriteRunJson(ctx, args.json, false)) code = kExitFailed;
  if (outcome->refused && !outcome->interrupted) {
    std::cerr << "kelvarank-cli: the drive section refused to run (see above); nothing was measured\n";
    code = kExitFailed;
  }
  if (outcome->interrupted) {
    std::cerr << "kelvarank-cli: interrupted; the report was closed after the last finished test\n";
    code = kExitInterrupted;
  }
  return code;
}

// The words of "make-module", checked before anything starts.
struct MakeModuleArgs {
  MakeModuleOptions options;
  std::string report, json;  // absolute host paths; empty: the settings' report, no JSON
};

// Empty when the words make a module, else the usage message.
std::string ParseMakeModule(const std::vector<std::string>& w, MakeModuleArgs& out) {
  for (size_t i = 1; i < w.size(); ++i) {
    const std::string& a = w[i];
    std::string error;
    if (a == "--write-device") {
      out.options.writeDevice = true;
    } else if (a == "--spinup-device") {
      out.options.spinUpDevice = true;
    } else if (a == "--no-chip") {
      out.options.chipRamTests = false;
    } else if (a == "--jit") {
      out.options.multitaskingAtAll = true;
    } else if (a.rfind("--report", 0) == 0) {
      out.report = CommandLineFile(w, i, "--report", error);
      if (out.report.empty()) return error;
    } else if (a.rfind("--json", 0) == 0) {
      out.json = CommandLineFile(w, i, "--json", error);
      if (out.json.empty()) return error;
    } else {
      return "make-module takes --write-device, --spinup-device, --no-chip, --jit, --report FILE and --json FILE";
    }
  }
  return {};
}

int MakeModuleCmd(System& sys, const MakeModuleArgs& args) {
  Context& ctx = sys.ctx;
  // The main window offers "Make Module" only when the drive gathering
  // found both the file and the device tests possible on the partition.
  if (!ctx.drive.makeModuleEnabled) {
    std::string why = "Make Module needs the file and the device tests of the partition " +
                      TerminalText(ctx.settings.partition());
    if (!ctx.drive.openFailure.empty()) why += " (its device: " + Shown(ctx.drive.openFailure) + ")";
    std::cerr << "kelvarank-cli: " << why << "; choose one with settings set drive.partition=DIR\n";
    return kExitFailed;
  }
  if (!OutputUsable(ctx, "--json", args.json)) return kExitFailed;
  if (args.options.writeDevice)
    if (std::string why = sys.devices.WriteRefusal(ctx.driveInfo.deviceName); !why.empty()) {
      std::cerr << "kelvarank-cli: Write to Device refused: " << TerminalText(why) << "\n";
      return kExitFailed;
    }
  // The check boxes' warnings, as when they are switched on in the window.
  if (args.options.writeDevice) ShowWriteDeviceWarning(ctx, WriteDeviceFor::MakeModule);
  if (args.options.spinUpDevice) ShowSpinUpDeviceWarning(ctx);

  // The plan names the report; the module's settings are made from the
  // pages during the run. The settings themselves are never changed.
  const RunPlan plan = MakeRunPlan(ctx.settings, CommandLineOverrides(ctx, args.report));
  auto shown = [&](std::string_view text) { return args.report.empty() ? Shown(text) : TerminalText(text); };

  ctx.interrupt = &gInterrupt;
  PartialReport partial(ctx);
  ctx.listeners.push_back(&partial);
  std::optional<RunOutcome> outcome = MakeModuleCommand(ctx, args.options, kSectionRuns, plan);
  sys.status.Finish();
  ctx.interrupt = nullptr;
  std::erase(ctx.listeners, &partial);
  if (!outcome) {
    std::cerr << "kelvarank-cli: Make Module not started\n";
    return kExitFailed;
  }

  auto total = [](const char* name, ScoreSlot s) {
    std::cout << name << (s.counts() ? FixedText(s.percent, 100) + " KelvaRANKS" : std::string("DISABLED")) << "\n";
  };
  using M = RunOutcome::Module;
  if (outcome->module != M::SettingsRefused) {
    total("Processor total: ", outcome->processorTotal);
    total("Memory total: ", outcome->memoryTotal);
    total("Hard Drive total: ", outcome->driveTotal);
    total("System total: ", outcome->systemTotal);
  }
  int code = kExitFailed;
  switch (outcome->module) {
    case M::Stored:
      std::cout << "Module " << outcome->moduleSerial << " added to the Local database\n";
      code = kExitOk;
      break;
    case M::SettingsRefused: std::cerr << "kelvarank-cli: the settings were refused; no module made\n"; break;
    case M::NotValid: {
      static const char* const kNames[] = {"Processor", "Memory", "Hard Drive"};
      std::cerr << "kelvarank-cli: the " << kNames[int(outcome->abortedSection)]
                << " total is not valid; no module made (see the report)\n";
      break;
    }
    case M::Interrupted: std::cerr << "kelvarank-cli: interrupted; no module made\n"; break;
    case M::NotStored: std::cerr << "kelvarank-cli: the module could not be stored in the Local database\n"; break;
    case M::None: break;
  }
  if (outcome->report == RunOutcome::Report::Written) {
    std::cout << "Report: " << shown(outcome->reportPath) << "\n";
  } else if (outcome->report == RunOutcome::Report::Failed) {
    std::cerr << "kelvarank-cli: the report could not be written: " << shown(outcome->reportError) << "\n";
    code = kExitFailed;
  }
  if (!args.json.empty() && outcome->module != M::SettingsRefused &&
      !WriteRunJson(ctx, args.json, outcome->module == M::Stored))
    code = kExitFailed;
  if (outcome->module == M::Interrupted) code = kExitInterrupted;
  return code;
}

// The system-information part of the report, written into a string and
// printed.
int InfoCommand(System& sys) {
  Context& ctx = sys.ctx;
  std::string text;
  OpenReportInto(ctx, text);
  WriteSystemInformation(ctx);
  CloseReport(ctx);
  std::cout << TerminalText(Latin1ToUtf8(text)) << std::flush;
  if (!std::cout) {
    std::cerr << "kelvarank-cli: could not write the system information to the standard output\n";
    return kExitFailed;
  }
  return kExitOk;
}

// A command that reads or changes a database needs its index read whole:
// one that is there but cannot be read or parsed is never taken for an
// empty one (the next save would drop the modules it lists). Empty when
// the command may go on, else why not.
std::string UnusableDatabase(const Context& ctx, const std::vector<std::string>& w) {
  const bool modules = w[0] == "modules", make = w[0] == "make-module";
  if (!modules && !make) return {};
  const std::string sub = modules ? w[1] : std::string();
  // fetch-list replaces the Server index with the server's; list --server
  // reads only that one.
  const bool server = sub == "download" || sub == "upload" || sub == "remove" || (sub == "list" && w.size() == 3);
  const bool local = sub != "fetch-list" && !(sub == "list" && w.size() == 3);
  if (local && !ctx.modules.localError.empty())
    return "the Local database cannot be used: " + ctx.modules.localError + "; nothing was changed";
  if (server && !ctx.modules.serverError.empty())
    return "the Server database cannot be used: " + ctx.modules.serverError +
           "; nothing was changed ('modules fetch-list' fetches it again)";
  return {};
}

// The words of a command, parsed once, before anything starts.
struct Parsed {
  std::vector<std::string> words;
  RunArgs run;
  MakeModuleArgs make;
  NetArgs net;
  ChartArgs chart;
};

using Words = std::vector<std::string>;

std::string NoArguments(const Words& w, const char* message) { return w.size() == 1 ? std::string() : message; }

std::string ParseSettings(const Words& w) {
  std::string sub = w.size() >= 2 ? w[1] : "";
  // The key table is fixed: keys, the assignment form and the reset scope
  // are usage, checked before the first start makes any file.
  if (sub == "set" && w.size() >= 3) return CheckAssignmentForms({w.begin() + 2, w.end()});
  if (sub == "reset" && w.size() == 3) return CheckResetScope(w[2]);
  if ((sub == "show" && w.size() == 2) || (sub == "reset" && w.size() == 2)) return {};
  return "settings takes show, set KEY=VALUE... or reset [SCOPE]";
}

// One command of the terminal program: which words name it, how they are
// parsed (empty: usable, else the usage message), what it does on the
// started system, and what the start-up does for it.
struct CommandEntry {
  bool (*names)(const Words& w);
  std::string (*parse)(const Words& w, Parsed& p);
  int (*execute)(System& sys, const Parsed& p);
  // The drive information is gathered at start-up (runs, Make Module, the
  // system information); other commands neither open the partition's device
  // nor show its warnings.
  bool gathersDrive = false;
  // The note on what the host could not grant a run comes first.
  bool runNote = false;
  // The start-up's drive notes (access mode, free space) are shown; null:
  // never.
  bool (*driveNotes)(const Parsed& p) = nullptr;
};

// The first entry that names the words is the command.
const CommandEntry kCommands[] = {
    {[](const Words& w) { return w[0] == "run"; }, [](const Words& w, Parsed& p) { return ParseRun(w, p.run); },
     [](System& sys, const Parsed& p) { return RunCommand(sys, p.run); }, true, true,
     // The start-up's drive notes concern a drive run on the saved
     // partition; with --partition the gathering of that folder shows its own.
     [](const Parsed& p) { return p.run.mode == RunMode::Drive && p.run.partition.empty(); }},
    {[](const Words& w) { return w[0] == "make-module"; },
     [](const Words& w, Parsed& p) { return ParseMakeModule(w, p.make); },
     [](System& sys, const Parsed& p) { return MakeModuleCmd(sys, p.make); }, true, true,
     [](const Parsed&) { return true; }},
    {[](const Words& w) { return w[0] == "settings"; }, [](const Words& w, Parsed&) { return ParseSettings(w); },
     [](System& sys, const Parsed& p) { return SettingsCommand(sys.ctx, p.words); }},
    {[](const Words& w) { return w[0] == "info"; },
     [](const Words& w, Parsed&) { return NoArguments(w, "info takes no arguments"); },
     [](System& sys, const Parsed&) { return InfoCommand(sys); }, true},
    {[](const Words& w) { return w[0] == "partitions"; },
     [](const Words& w, Parsed&) { return NoArguments(w, "partitions takes no arguments"); },
     [](System&, const Parsed&) { return PartitionsCommand(); }},
    {[](const Words& w) { return w[0] == "chart"; }, [](const Words& w, Parsed& p) { return ParseChart(w, p.chart); },
     [](System& sys, const Parsed& p) { return ChartCommand(sys.ctx, p.chart, std::cout, std::cerr); }},
    {[](const Words& w) { return w[0] == "modules" && w.size() >= 2 && w[1] == "info"; },
     [](const Words& w, Parsed&) {
       return w.size() == 3 ? std::string() : std::string("modules info takes one module serial");
     },
     [](System& sys, const Parsed& p) { return ModuleInfoCommand(sys.ctx, p.words[2], std::cout, std::cerr); }},
    {[](const Words& w) { return IsNetworkCommand(w); },
     [](const Words& w, Parsed& p) { return ParseNetworkCommand(w, p.net); },
     [](System& sys, const Parsed& p) { return NetworkCommand(sys.ctx, p.net, &gInterrupt); }},
    {[](const Words& w) { return w[0] == "modules"; }, [](const Words& w, Parsed&) { return CheckModulesCommand(w); },
     [](System& sys, const Parsed& p) { return ModulesCommand(sys.ctx, p.words); }},
    {[](const Words& w) { return w[0] == "max-values"; },
     [](const Words& w, Parsed&) { return NoArguments(w, "max-values takes no arguments"); },
     [](System&, const Parsed&) { return MaxValuesCommand(std::cout); }},
};

const CommandEntry* FindCommand(const Words& w) {
  for (const CommandEntry& e : kCommands)
    if (e.names(w)) return &e;
  return nullptr;
}

}  // namespace

int Main(const std::vector<std::string>& args) {
  Options opt;
  std::string error;
  bool help = false, version = false;
  if (!ParseOptions(args, opt, error, help, version)) return Usage(error);
  if (help) {
    std::cout << kUsage;
    return kExitOk;
  }
  if (version) {
    std::cout << "kelvarank-cli " << KR_VERSION_TEXT << "\n";
    return kExitOk;
  }
  if (opt.command.empty()) return Usage("no command given");
  const CommandEntry* command = FindCommand(opt.command);
  if (!command) return Usage("unknown command " + opt.command[0]);
  Parsed parsed;
  parsed.words = opt.command;
  if (std::string bad = command->parse(parsed.words, parsed); !bad.empty()) return Usage(bad);

  Host host(opt.home);
  auto policy = opt.answer == Options::Answer::Yes  ? TerminalRequester::Policy::Yes
                : opt.answer == Options::Answer::No ? TerminalRequester::Policy::No
                                                    : TerminalRequester::Policy::Ask;
  // One command at a time on a home: a second one waits for the first.
  HomeLock::Outcome locked = host.LockHome(false);
  if (locked == HomeLock::kBusy) {
    std::cerr << "kelvarank-cli: another command is using " << PlainText(host.home(), false)
              << "; waiting for it to end\n";
    locked = host.LockHome(true);
  }
  if (locked != HomeLock::kTaken) {
    std::cerr << "kelvarank-cli: start-up failed: cannot lock the home: " << PlainText(host.lockError(), false)
              << "\n";
    return kExitStartup;
  }
  System sys(host, policy);
  Context& ctx = sys.ctx;
  sys.hooks.gatherDrive = command->gathersDrive;
  sys.hooks.driveNotes = command->driveNotes && command->driveNotes(parsed);
  InstallInterruptHandler();

  if (StartUp(ctx, host.probe, sys.hooks, sys.state) != kStartupOk) {
    std::cerr << "kelvarank-cli: "
              << StartupFailureLine(
                     sys.state, [](std::string_view path) { return TerminalText(path); },  // a host path
                     [](std::string_view reason) { return Shown(reason); })
              << "\n";
    return kExitStartup;
  }

  // Before a run: once, what the host could not grant it and how to get it.
  if (command->runNote && !opt.quiet)
    for (const std::string& line : RunConditionNotice(ProbeRunConditions())) std::cerr << "NOTE: " << line << "\n";

  if (std::string why = UnusableDatabase(ctx, opt.command); !why.empty()) {
    std::cerr << "kelvarank-cli: " << TerminalText(why) << "\n";
    ShutDown(ctx, sys.hooks, sys.state);
    return kExitFailed;
  }

  const int code = command->execute(sys, parsed);
  ShutDown(ctx, sys.hooks, sys.state);
  return code;
}

}  // namespace kr::cli
