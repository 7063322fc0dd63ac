#include "cli/options.h"

namespace kr::cli {

const char kUsage[] =
    "Usage: kelvarank-cli [--home DIR] [--yes | --no] [--quiet] COMMAND\n"
    "\n"
    "Commands:\n"
    "  run processor|memory|drive [--all] [--report FILE] [--repeat N] [--json FILE]\n"
    "                                       run one benchmark section and write the report\n"
    "                 --all                 every test of the section, for this run only\n"
    "                 --report FILE         the report's file (default: the settings' name; the\n"
    "                                       default name becomes KR_Report_<date>_<time>.txt)\n"
    "                 --repeat N            run the section N times; print each figure's median,\n"
    "                                       minimum, maximum and coefficient of variation\n"
    "                 --json FILE           also write the run's results as JSON (docs/module-json.md)\n"
    "  run drive [--partition DIR] [--write-device] [--spinup-device] ...\n"
    "                 --partition DIR       measure this folder's partition, for this run only; a\n"
    "                                       device node (/dev/sdb2) runs the device tests alone\n"
    "                 --write-device        also Write to Device (rewrites block 123 raw; needs --yes;\n"
    "                                       refused while a file system of the disk is mounted)\n"
    "                 --spinup-device       also SpinUP Device (stops and starts the drive; needs --yes)\n"
    "  partitions                           the partitions a drive run can measure: folder, device,\n"
    "                                       file system, size and free space\n"
    "  make-module [--write-device] [--spinup-device] [--no-chip] [--jit] [--report FILE]\n"
    "              [--json FILE]            run all three sections under default settings and add\n"
    "                                       the module to the Local database (asks first: --yes)\n"
    "                 --write-device        include Write to Device (writes raw to the partition's\n"
    "                                       device)\n"
    "                 --spinup-device       include SpinUP Device (stops and starts the drive)\n"
    "                 --no-chip             leave out the CHIP-ram tests\n"
    "                 --jit                 run every test with multitasking on\n"
    "  settings show                        every setting by its key, with its value\n"
    "  settings set KEY=VALUE...            change settings (checked as the settings pages check\n"
    "                                       them), then save\n"
    "  settings reset [general|processor|memory|drive|tests|display|all]\n"
    "                                       back to the built-in values (default: all), then save\n"
    "  info                                 the system information as the report prints it\n"
    "  modules list [--server]              the Local (or Server) database: serial, date, user, CPU\n"
    "                                       and the three section totals\n"
    "  modules show SERIAL                  a Local module's fields and totals\n"
    "  modules import FILE...               add module files to the Local database\n"
    "  modules export SERIAL FILE           copy a Local module to a file\n"
    "  modules remove SERIAL                remove a Local module (asks when the server has no copy)\n"
    "  modules export-json SERIAL|--all [FILE]\n"
    "                                       Local modules as JSON, to FILE or standard output\n"
    "  chart --png FILE [--section S] [--test T] [--slot N=SERIAL]... [--blocks|--splines]\n"
    "        [--cover|--side-by-side] [--absolute|--relative] [--size WxH]\n"
    "                                       draw the comparison chart into a PNG (default: the\n"
    "                                       chart settings; slots from the module base)\n"
    "  modules info SERIAL                  the module information of a Local module\n"
    "  modules fetch-list [--timeout S]     fetch the collection server's module list into the\n"
    "                                       Server database\n"
    "  modules download SERIAL [--timeout S]\n"
    "                                       fetch a module of the Server database into the Local one\n"
    "  modules upload SERIAL [--save-log] [--timeout S]\n"
    "                                       mail a Local module to the collection mailbox through\n"
    "                                       the settings' SMTP server (--save-log: keep the\n"
    "                                       conversation in the RAM folder's kr_maillog.txt)\n"
    "               --timeout S             give up after S seconds without progress (default 30)\n"
    "  max-values                           the maximum values and weights of every test\n"
    "\n"
    "Options:\n"
    "  --home DIR   the program home (default $XDG_DATA_HOME/kelvarank or ~/.local/share/kelvarank)\n"
    "  --yes        answer a two-button request with its first button\n"
    "  --no         answer a two-button request with its second button\n"
    "  --quiet      no note before a run about what the host could not grant it\n"
    "               (real-time priority, a fixed processor clock, an idle machine)\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Exit codes: 0 success, 2 bad usage, 10 refused or failed command, 20 start-up failure,\n"
    "130 interrupted.\n";

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
    } else if (a == "--quiet") {
      out.quiet = true;
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

}  // namespace kr::cli
