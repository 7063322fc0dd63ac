// What the host grants a benchmark run: real-time scheduling for the timed
// regions with Multitasking off, a fixed processor clock and an idle
// machine. Without them the figures still come out, but they move from run
// to run; the front ends say so once before a run.
#pragma once

#include <string>
#include <vector>

namespace kr {

struct RunConditions {
  // SCHED_FIFO can be taken (what Forbid asks for). Without it Multitasking
  // off only pins the thread to its processor.
  bool realTime = false;
  // Every cpufreq governor reads "performance", or the host has no cpufreq
  // (the clock is then not ours to change).
  bool fixedClock = true;
  std::string governor;  // the first governor that is not "performance"
  // The 1-minute load average and the online processors; a load above one
  // per processor means other work competes for the processors.
  double load = 0.0;
  int processors = 1;
  bool idle = true;
};

// Reads the conditions of this host: the governors below
// root/sys/devices/system/cpu/cpuN/cpufreq/scaling_governor, the load from
// root/proc/loadavg and the processors from root/sys/devices/system/cpu/online
// (root "" is the real host; tests pass a folder standing in for it). The
// real-time check tries SCHED_FIFO on the calling thread and puts the old
// policy back at once; it is skipped (false) when checkRealTime is false.
RunConditions ProbeRunConditions(const std::string& root = "", bool checkRealTime = true);

// Whether the calling thread may switch to SCHED_FIFO (minimum priority);
// leaves its scheduling unchanged.
bool RealTimeSchedulingAllowed();

// One line per condition the run could not get, each saying what is missing
// and how to get it; empty when nothing is missing.
std::vector<std::string> RunConditionNotice(const RunConditions& c);

}  // namespace kr
