// kelvarank-intake: files the modules uploaded to the collection mailbox
// into the collection store and generates the folder the collection server
// serves (docs/man/kelvarank-intake.1).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "intake/intake.h"

namespace {

const char kUsage[] =
    "Usage: kelvarank-intake --maildir DIR --webdir DIR [--store FILE|URI] [--publish N]\n"
    "\n"
    "Files the modules uploaded by mail into the collection store and writes the\n"
    "folder a web server serves to the program's Server database page.\n"
    "\n"
    "  --maildir DIR    the Maildir the collection mailbox is delivered to (new/, cur/);\n"
    "                   refused mails are moved to DIR/rejected/\n"
    "  --webdir DIR     the folder the web server serves: database.dbi, one .dbe file\n"
    "                   and one .html page per module, index.html to browse them\n"
    "  --store FILE     the SQLite store (default: DIR/collection.sqlite in the Maildir)\n"
    "  --store URI      a PostgreSQL store, e.g. postgresql://intake@dbhost/collection\n"
    "  --publish N      list at most the newest N modules (default and most: 50000,\n"
    "                   the most a client accepts)\n"
    "  --help           this text\n"
    "\n"
    "One log line per mail on standard output. Exit status: 0 when everything was\n"
    "filed or refused, 2 for a wrong command line, 10 when something could not be\n"
    "read or written (mails that could not be filed stay where they were).\n";

}  // namespace

int main(int argc, char** argv) {
  // A log redirected to a file keeps every line even when the run is stopped.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  kr::IntakeOptions o;
  for (int i = 1; i < argc; ++i) {
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string publish;
    const std::string option = argv[i];
    bool ok = true;
    if (std::strcmp(argv[i], "--maildir") == 0) ok = value(o.maildir);
    else if (std::strcmp(argv[i], "--webdir") == 0) ok = value(o.webdir);
    else if (std::strcmp(argv[i], "--store") == 0) ok = value(o.store);
    else if (std::strcmp(argv[i], "--publish") == 0) {
      char* end = nullptr;
      ok = value(publish) && (o.publishLimit = std::strtoll(publish.c_str(), &end, 10)) > 0 && *end == '\0' &&
           o.publishLimit <= 50000;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "kelvarank-intake: unknown argument '%s'\n", kr::EscapeForLog(argv[i]).c_str());
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "kelvarank-intake: %s needs a value%s\n", option.c_str(),
                   option == "--publish" ? " from 1 to 50000" : "");
      return 2;
    }
  }
  if (o.maildir.empty() || o.webdir.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  kr::IntakeSummary summary;
  bool ok = kr::RunIntake(o, [](const std::string& line) { std::printf("%s\n", line.c_str()); }, summary);
  std::printf("%d accepted, %d rejected, %d left in place; %lld filed, %lld published\n", summary.accepted,
              summary.rejected, summary.failed, static_cast<long long>(summary.filed),
              static_cast<long long>(summary.published));
  return ok ? 0 : 10;
}
