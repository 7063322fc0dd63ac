// The terminal program's command line before the command: the options, and
// the usage text.
#pragma once

#include <string>
#include <vector>

namespace kr::cli {

// The usage text (--help, and after bad usage).
extern const char kUsage[];

struct Options {
  std::string home;  // empty: the default home
  enum class Answer { Ask, Yes, No } answer = Answer::Ask;
  bool quiet = false;  // --quiet: no run-condition note before a run
  std::vector<std::string> command;  // the command and its words
};

// Parses the arguments; false with a message on bad usage.
bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error, bool& help,
                  bool& version);

}  // namespace kr::cli
