// The terminal's network commands: the server's module list, a module's
// download and a module's upload, with the "State:" line printed as it
// changes.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace kr {
struct Context;
}

namespace kr::cli {

// True for the "modules" subcommands handled here (fetch-list, download,
// upload).
bool IsNetworkCommand(const std::vector<std::string>& words);

// The words of one of them.
struct NetArgs {
  std::string sub, serial;
  bool saveLog = false;     // upload --save-log
  int timeoutSeconds = 30;  // --timeout S
};

// Parses their words before start-up; empty when usable, else the usage
// message.
std::string ParseNetworkCommand(const std::vector<std::string>& words, NetArgs& out);

// Runs a parsed network command on a started system. `cancel` (Ctrl-C)
// stops a transfer within a tenth of a second. Returns the exit code: 0,
// 10 when the transfer failed or was refused, 130 when cancelled.
int NetworkCommand(Context& ctx, const NetArgs& args, const std::atomic<bool>* cancel);

}  // namespace kr::cli
