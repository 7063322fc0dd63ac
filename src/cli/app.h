// The terminal front end's command line: parsing and the commands.
#pragma once

#include <string>
#include <vector>

namespace kr::cli {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 10;
constexpr int kExitStartup = 20;
constexpr int kExitInterrupted = 130;

struct Options {
  std::string home;  // empty: the default home
  enum class Answer { Ask, Yes, No } answer = Answer::Ask;
  bool quiet = false;  // --quiet: no run-condition note before a run
  std::vector<std::string> command;  // the command and its words
};

// Parses the arguments; false with a message on bad usage.
bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error, bool& help,
                  bool& version);

int Main(const std::vector<std::string>& args);

}  // namespace kr::cli
