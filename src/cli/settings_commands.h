// The terminal's commands on the settings and the partitions.
#pragma once

#include <string>
#include <vector>

namespace kr {
struct Context;
}

namespace kr::cli {

// "settings show", "settings set KEY=VALUE..." and "settings reset [SCOPE]"
// (words checked before start-up); returns the exit code.
int SettingsCommand(Context& ctx, const std::vector<std::string>& words);

// "partitions": the partitions a drive run can measure.
int PartitionsCommand();

}  // namespace kr::cli
