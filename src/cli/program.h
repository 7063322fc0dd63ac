// The terminal front end: its exit codes and the program (the command table
// is in app.cpp, the options before the command in cli/options.h).
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

namespace kr::cli {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 10;
constexpr int kExitStartup = 20;
constexpr int kExitInterrupted = 130;

int Main(const std::vector<std::string>& args);

}  // namespace kr::cli
