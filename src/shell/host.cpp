#include "shell/host.h"

#include <unistd.h>

#include <climits>

namespace kr {

std::string AbsoluteHome(const std::string& home) {
  std::string h = home.empty() ? DefaultHome() : home;
  if (!h.empty() && h.front() == '/') return h;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return h;
  return std::string(cwd) + "/" + h;
}

Host::Host(const std::string& home)
    : openFileLimit_(RaiseOpenFileLimit()), home_(AbsoluteHome(home)), dos(home_, DefaultRamDir()),
      mpega(MakeHostMpega()) {}

void Host::Attach(Context& ctx) {
  ctx.mpega = mpega.get();
  ctx.drive.devices = &devices;
}

std::string StartupFailureLine(const StartupState& state, const std::function<std::string(std::string_view)>& showPath,
                               const std::function<std::string(std::string_view)>& showReason) {
  std::string line = "start-up failed";
  if (!state.failedStep.empty()) line += " in " + state.failedStep;
  if (!state.failedPath.empty()) line += " (" + showPath(state.failedPath) + ")";
  if (!state.failedReason.empty()) line += ": " + showReason(state.failedReason);
  return line;
}

}  // namespace kr
