// kelvarank-intake --maildir DIR --webdir DIR: files the modules uploaded to
// the collection mailbox into the directory the collection server serves.
#include <cstdio>
#include <cstring>
#include <string>

#include "intake/intake.h"

int main(int argc, char** argv) {
  std::string maildir, webdir;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--maildir") == 0 && i + 1 < argc) maildir = argv[++i];
    else if (std::strcmp(argv[i], "--webdir") == 0 && i + 1 < argc) webdir = argv[++i];
    else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::puts("Usage: kelvarank-intake --maildir DIR --webdir DIR");
      return 0;
    } else {
      std::fprintf(stderr, "kelvarank-intake: unknown argument '%s'\n", argv[i]);
      maildir.clear();
      break;
    }
  }
  if (maildir.empty() || webdir.empty()) {
    std::fputs("Usage: kelvarank-intake --maildir DIR --webdir DIR\n", stderr);
    return 2;
  }
  kr::IntakeSummary summary;
  bool ok = kr::RunIntake(maildir, webdir, [](const std::string& line) { std::printf("%s\n", line.c_str()); },
                          summary);
  std::printf("%d accepted, %d rejected, %d left in place\n", summary.accepted, summary.rejected, summary.failed);
  return ok ? 0 : 10;
}
