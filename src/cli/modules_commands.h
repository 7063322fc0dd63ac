// The terminal's "modules" commands: the Local and Server databases.
#pragma once

#include <string>
#include <vector>

namespace kr {
struct Context;
}

namespace kr::cli {

// Checks the words of a "modules" command before start-up; empty when usable.
std::string CheckModulesCommand(const std::vector<std::string>& words);

// Runs a checked "modules" command on a started system; returns the exit code.
int ModulesCommand(Context& ctx, const std::vector<std::string>& words);

}  // namespace kr::cli
