#include "cli/app.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/log_sink.h"
#include "cli/terminal.h"
#include "cli/text.h"
#include "engine/context.h"
#include "engine/scoring.h"
#include "platform/linux/linux_dos.h"
#include "platform/linux/linux_exec.h"
#include "platform/linux/linux_timer.h"
#include "platform/mpega.h"
#include "report/frame.h"
#include "report/report.h"
#include "settings/settings_keys.h"
#include "shell/commands.h"
#include "shell/startup.h"
#include "sysinfo/linux_host_probe.h"
#include "util/numtext.h"

namespace kr::cli {
namespace {

const char kUsage[] =
    "Usage: kelvarank-cli [--home DIR] [--yes | --no] COMMAND\n"
    "\n"
    "Commands:\n"
    "  run processor|memory|drive [--all]   run one benchmark section and write the report\n"
    "                                       (--all enables every test of the section for this run)\n"
    "  settings show                        every setting by its key, with its value\n"
    "  settings set KEY=VALUE...            change settings (checked as the settings pages check\n"
    "                                       them), then save\n"
    "  settings reset [general|processor|memory|drive|tests|display|all]\n"
    "                                       back to the built-in values (default: all), then save\n"
    "  info                                 the system information as the report prints it\n"
    "\n"
    "Options:\n"
    "  --home DIR   the program home (default $XDG_DATA_HOME/kelvarank or ~/.local/share/kelvarank)\n"
    "  --yes        answer a two-button request with its first button\n"
    "  --no         answer a two-button request with its second button\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Exit codes: 0 success, 2 bad usage, 10 refused or failed command, 20 start-up failure,\n"
    "130 interrupted.\n";

std::atomic<bool> gInterrupt{false};

void OnInterrupt(int) {
  if (gInterrupt.exchange(true)) {
    // A second interrupt ends the program at once.
    signal(SIGINT, SIG_DFL);
    raise(SIGINT);
  }
}

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

std::string AbsolutePath(const std::string& p) {
  if (!p.empty() && p.front() == '/') return p;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return p;
  return std::string(cwd) + "/" + p;
}

// The terminal starts quickly and shows no start-up window.
class TerminalHooks : public StartupHooks {
 public:
  StartupProgress& Progress() override { return progress_; }

 private:
  SilentProgress progress_;
};

// The host services and the context of one command.
struct System {
  LinuxExec exec;
  LinuxTimer timer;
  LinuxDos dos;
  TerminalRequester requester;
  TerminalStatus status;
  StderrLogSink log;
  Context ctx;
  LinuxHostProbe probe{exec};
  std::unique_ptr<Mpega> mpega = MakeHostMpega();
  TerminalHooks hooks;
  StartupState state;

  System(const std::string& home, TerminalRequester::Policy policy)
      : dos(home, DefaultRamDir()),
        requester(policy),
        status(isatty(2) != 0),
        ctx(exec, timer, dos, requester, status) {
    ctx.mpega = mpega.get();
    ctx.log = &log;
  }
};

int Usage(const std::string& error) {
  if (!error.empty()) std::cerr << "kelvarank-cli: " << TerminalText(error) << "\n";
  std::cerr << kUsage;
  return kExitUsage;
}

// The commands below take words that CheckCommand has accepted.
int RunCommand(System& sys, const std::vector<std::string>& words) {
  Context& ctx = sys.ctx;
  const RunMode mode = words[1] == "processor" ? RunMode::Processor
                       : words[1] == "memory"  ? RunMode::Memory
                                               : RunMode::Drive;
  const TestPages pages = mode == RunMode::Processor ? TestPages::Processor
                          : mode == RunMode::Memory  ? TestPages::Memory
                                                     : TestPages::Drive;
  bool all = words.size() == 3;

  // "--all" enables the section's tests for this run only, like the page's
  // "_All" button without saving.
  SettingsRecord saved = ctx.settings;
  if (all) SetAllTests(ctx, pages, true);
  ctx.interrupt = &gInterrupt;
  std::optional<RunOutcome> outcome = RunSectionCommand(ctx, mode);
  sys.status.Finish();
  ctx.interrupt = nullptr;
  // Only the enable switches were changed for the run; nothing of it is saved.
  if (all) ctx.settings = saved;
  if (!outcome) return kExitFailed;

  static const char* const kNames[] = {"", "Processor", "Memory", "Hard Drive"};
  const ScoreSlot total = mode == RunMode::Processor ? outcome->processorTotal
                          : mode == RunMode::Memory  ? outcome->memoryTotal
                                                     : outcome->driveTotal;
  if (total.counts())
    std::cout << kNames[int(mode)] << " total: " << FixedText(total.percent, 100) << " KelvaRANKS\n";
  else
    std::cout << kNames[int(mode)] << " total: DISABLED\n";

  int code = kExitOk;
  if (outcome->report == RunOutcome::Report::Off) {
    std::cout << "Report: switched off in the settings\n";
  } else if (outcome->report == RunOutcome::Report::Failed) {
    std::cerr << "kelvarank-cli: the report could not be written to " << Latin1ToUtf8(outcome->reportPath) << " ("
              << Latin1ToUtf8(outcome->reportError) << ")\n";
    code = kExitFailed;
  } else {
    std::cout << "Report: " << Latin1ToUtf8(outcome->reportPath) << "\n";
  }
  if (outcome->interrupted) {
    std::cerr << "kelvarank-cli: interrupted; the report was closed after the last finished test\n";
    code = kExitInterrupted;
  }
  return code;
}

int SettingsCommand(System& sys, const std::vector<std::string>& words) {
  Context& ctx = sys.ctx;
  const std::string& sub = words[1];
  std::string error;
  if (sub == "show") {
    for (const auto& [key, value] : ListSettings(ctx)) std::cout << key << " = " << TerminalText(value) << "\n";
    return kExitOk;
  }
  if (sub == "set") {
    std::vector<std::string> assignments(words.begin() + 2, words.end());
    if (!ApplySettings(ctx, assignments, error)) {
      std::cerr << "kelvarank-cli: " << TerminalText(error) << "\n";
      return kExitFailed;
    }
    std::cout << "Settings saved.\n";
    return kExitOk;
  }
  if (!ResetSettingsScope(ctx, words.size() == 3 ? words[2] : "all", error)) {
    std::cerr << "kelvarank-cli: " << TerminalText(error) << "\n";
    return kExitFailed;
  }
  std::cout << "Settings reset and saved.\n";
  return kExitOk;
}

// The system-information part of the report, written to a scratch report in
// the RAM folder and printed.
int InfoCommand(System& sys) {
  Context& ctx = sys.ctx;
  SettingsRecord saved = ctx.settings;
  const char* scratch = "RAM:kr_info.txt";
  ctx.settings.set_s32(cfg::kReportEnabled, 1);
  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, scratch);
  OpenReport(ctx);
  bool opened = ctx.report.open;
  WriteSystemInformation(ctx);
  CloseReport(ctx);
  ctx.settings = saved;
  std::vector<uint8_t> text;
  bool read = opened && ctx.dos.ReadWholeFile(scratch, text);
  ctx.dos.DeleteFile(scratch);
  if (!read) {
    std::cerr << "kelvarank-cli: could not write the system information to " << ctx.dos.HostPath(scratch) << "\n";
    return kExitFailed;
  }
  std::cout << TerminalText(Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(text.data()), text.size())));
  return kExitOk;
}

// The command's words, checked before anything starts; empty when usable.
std::string CheckCommand(const std::vector<std::string>& w) {
  const std::string& cmd = w[0];
  if (cmd == "run") {
    bool section = w.size() >= 2 && (w[1] == "processor" || w[1] == "memory" || w[1] == "drive");
    if (!section || w.size() > 3 || (w.size() == 3 && w[2] != "--all"))
      return "run takes a section (processor, memory or drive) and optionally --all";
    return {};
  }
  if (cmd == "settings") {
    std::string sub = w.size() >= 2 ? w[1] : "";
    // The key table is fixed: keys, the assignment form and the reset scope
    // are usage, checked before the first start makes any file.
    if (sub == "set" && w.size() >= 3) return CheckAssignmentForms({w.begin() + 2, w.end()});
    if (sub == "reset" && w.size() == 3) return CheckResetScope(w[2]);
    if ((sub == "show" && w.size() == 2) || (sub == "reset" && w.size() == 2)) return {};
    return "settings takes show, set KEY=VALUE... or reset [SCOPE]";
  }
  if (cmd == "info") return w.size() == 1 ? std::string() : "info takes no arguments";
  return "unknown command " + cmd;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error, bool& help,
                  bool& version) {
  help = version = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!out.command.empty()) {
      out.command.push_back(a);
      continue;
    }
    if (a == "--help" || a == "-h") {
      help = true;
    } else if (a == "--version") {
      version = true;
    } else if (a == "--yes" || a == "--no") {
      Options::Answer want = a == "--yes" ? Options::Answer::Yes : Options::Answer::No;
      if (out.answer != Options::Answer::Ask && out.answer != want) {
        error = "--yes and --no exclude each other";
        return false;
      }
      out.answer = want;
    } else if (a == "--home" || a.rfind("--home=", 0) == 0) {
      if (a == "--home") {
        if (i + 1 >= args.size() || args[i + 1].empty()) {
          error = "--home needs a folder";
          return false;
        }
        out.home = args[++i];
      } else {
        out.home = a.substr(7);
        if (out.home.empty()) {
          error = "--home needs a folder";
          return false;
        }
      }
    } else if (!a.empty() && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else {
      out.command.push_back(a);
    }
  }
  return true;
}

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
  const std::string& cmd = opt.command[0];
  if (std::string bad = CheckCommand(opt.command); !bad.empty()) return Usage(bad);

  std::string home = AbsolutePath(opt.home.empty() ? DefaultHome() : opt.home);
  auto policy = opt.answer == Options::Answer::Yes  ? TerminalRequester::Policy::Yes
                : opt.answer == Options::Answer::No ? TerminalRequester::Policy::No
                                                    : TerminalRequester::Policy::Ask;
  System sys(home, policy);
  Context& ctx = sys.ctx;
  InstallInterruptHandler();

  if (StartUp(ctx, sys.probe, sys.hooks, sys.state) != kStartupOk) {
    std::cerr << "kelvarank-cli: start-up failed";
    if (!sys.state.failedStep.empty()) std::cerr << " in " << sys.state.failedStep;
    if (!sys.state.failedPath.empty()) std::cerr << " (" << PlainText(sys.state.failedPath, false) << ")";
    std::cerr << "\n";
    return kExitStartup;
  }

  int code = cmd == "run" ? RunCommand(sys, opt.command)
             : cmd == "settings" ? SettingsCommand(sys, opt.command)
                                 : InfoCommand(sys);
  ShutDown(ctx, sys.hooks, sys.state);
  return code;
}

}  // namespace kr::cli
