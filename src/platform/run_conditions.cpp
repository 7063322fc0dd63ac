#include "platform/run_conditions.h"

#include <dirent.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "util/numtext.h"

namespace kr {
namespace {

// The first line of a small text file; false when it cannot be read.
bool FirstLine(const std::string& path, std::string& line) {
  std::ifstream in(path);
  if (!in) return false;
  std::getline(in, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return true;
}

// Processors in a list such as "0-3,5,7-8"; 0 when it is not one.
int CountCpuList(const std::string& list) {
  int count = 0;
  std::stringstream ss(list);
  for (std::string part; std::getline(ss, part, ',');) {
    if (part.empty()) continue;
    char* end = nullptr;
    long lo = std::strtol(part.c_str(), &end, 10);
    long hi = lo;
    if (end == part.c_str()) return 0;
    if (*end == '-') {
      const char* from = end + 1;
      hi = std::strtol(from, &end, 10);
      if (end == from) return 0;
    }
    if (*end != '\0' || lo < 0 || hi < lo) return 0;
    count += int(hi - lo + 1);
  }
  return count;
}

bool IsCpuDir(const char* name) {
  if (std::string(name).rfind("cpu", 0) != 0 || name[3] == '\0') return false;
  for (const char* p = name + 3; *p; ++p)
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  return true;
}

}  // namespace

bool RealTimeSchedulingAllowed() {
  int policy = 0;
  sched_param old{};
  if (pthread_getschedparam(pthread_self(), &policy, &old) != 0) return false;
  if (policy == SCHED_FIFO || policy == SCHED_RR) return true;
  sched_param fifo{};
  fifo.sched_priority = sched_get_priority_min(SCHED_FIFO);
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) != 0) return false;
  pthread_setschedparam(pthread_self(), policy, &old);
  return true;
}

RunConditions ProbeRunConditions(const std::string& root, bool checkRealTime) {
  RunConditions c;
  c.realTime = checkRealTime && RealTimeSchedulingAllowed();

  const std::string cpuDir = root + "/sys/devices/system/cpu";
  if (DIR* d = opendir(cpuDir.c_str())) {
    // The first governor in processor order that is not "performance".
    long firstCpu = -1;
    while (const dirent* e = readdir(d)) {
      if (!IsCpuDir(e->d_name)) continue;
      std::string governor;
      if (!FirstLine(cpuDir + "/" + e->d_name + "/cpufreq/scaling_governor", governor)) continue;
      if (governor == "performance") continue;
      const long cpu = std::strtol(e->d_name + 3, nullptr, 10);
      if (firstCpu < 0 || cpu < firstCpu) {
        firstCpu = cpu;
        c.governor = governor;
      }
      c.fixedClock = false;
    }
    closedir(d);
  }

  std::string online;
  int processors = FirstLine(cpuDir + "/online", online) ? CountCpuList(online) : 0;
  if (processors <= 0 && root.empty()) processors = int(sysconf(_SC_NPROCESSORS_ONLN));
  c.processors = processors > 0 ? processors : 1;

  std::string loadavg;
  if (FirstLine(root + "/proc/loadavg", loadavg)) c.load = std::strtod(loadavg.c_str(), nullptr);
  c.idle = c.load <= double(c.processors);
  return c;
}

std::vector<std::string> RunConditionNotice(const RunConditions& c) {
  std::vector<std::string> lines;
  if (!c.realTime)
    lines.push_back(
        "No real-time priority: with Multitasking off the timed parts are only pinned to one processor. "
        "Allow it with an \"rtprio\" line for your user in /etc/security/limits.conf (log in again), "
        "or run as root.");
  if (!c.fixedClock)
    lines.push_back("No fixed processor clock: the frequency governor is \"" + c.governor +
                    "\". Fix it for the run with: sudo cpupower frequency-set -g performance");
  if (!c.idle)
    lines.push_back(Format("No idle machine: the load average is %.2f on %d processor%s. "
                           "Close other programs or wait until the load is below %d.",
                           c.load, c.processors, c.processors == 1 ? "" : "s", c.processors));
  return lines;
}

}  // namespace kr
