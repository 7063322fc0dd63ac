#include "cli/settings_commands.h"

#include <algorithm>
#include <iostream>

#include "cli/program.h"
#include "cli/text.h"
#include "engine/context.h"
#include "platform/linux/linux_partition.h"
#include "report/report.h"
#include "settings/settings_keys.h"
#include "util/numtext.h"

namespace kr::cli {

// The partitions the user can choose: mount points of block-backed file
// systems the user can write to, and the home directory.
int PartitionsCommand() {
  const std::vector<PartitionChoice> list = ListPartitions();
  if (list.empty()) {
    std::cerr << "kelvarank-cli: no partition on a block device can be written by this user\n";
    return kExitFailed;
  }
  size_t wide = 9, dev = 6;
  for (const PartitionChoice& c : list) {
    wide = std::max(wide, c.path.size());
    dev = std::max(dev, c.device.size());
  }
  auto row = [&](const std::string& a, const std::string& b, const std::string& c, const std::string& d,
                 const std::string& e) {
    std::string line = a + std::string(wide + 2 - std::min(wide + 1, a.size()), ' ') + b +
                       std::string(dev + 2 - std::min(dev + 1, b.size()), ' ') + c;
    line += std::string(10 - std::min<size_t>(9, c.size()), ' ');
    line += std::string(10 - std::min<size_t>(9, d.size()), ' ') + d;
    line += std::string(10 - std::min<size_t>(9, e.size()), ' ') + e;
    std::cout << TerminalText(line) << "\n";
  };
  row("PARTITION", "DEVICE", "FS", "SIZE", "FREE");
  for (const PartitionChoice& c : list) row(c.path, c.device, c.fsType, SizeText(c.totalBytes), SizeText(c.freeBytes));
  return kExitOk;
}

int SettingsCommand(Context& ctx, const std::vector<std::string>& words) {
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

}  // namespace kr::cli
