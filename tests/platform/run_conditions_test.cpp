// The run-condition probe over a folder standing in for /sys and /proc, and
// the notice built from what it found.
#include <gtest/gtest.h>

#include <pthread.h>

#include <fstream>
#include <string>

#include "platform/run_conditions.h"
#include "support/test_context.h"
#include "platform/linux/linux_dos.h"

namespace kr {
namespace {

struct FakeRoot {
  test::TempDir dir;
  void Write(const std::string& path, const std::string& text) {
    const std::string full = dir.path() + path;
    MakeDirs(full.substr(0, full.rfind('/')));
    std::ofstream(full) << text;
  }
  void Governor(int cpu, const std::string& g) {
    Write("/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/cpufreq/scaling_governor", g + "\n");
  }
};

TEST(RunConditions, GovernorsLoadAndProcessorsFromTheHostFiles) {
  struct Case {
    const char* name;
    std::vector<std::string> governors;  // per cpu; "" leaves cpufreq out
    const char* online;
    const char* loadavg;
    bool fixed;
    const char* governor;
    int processors;
    bool idle;
  } cases[] = {
      {"all performance", {"performance", "performance"}, "0-1", "0.50 0.40 0.30 1/100 42", true, "", 2, true},
      {"no cpufreq", {"", ""}, "0-1", "2.00 0.40 0.30 1/100 42", true, "", 2, true},
      {"one ondemand", {"performance", "ondemand", "powersave"}, "0-2", "3.01 1 1 1/1 1", false, "ondemand", 3, false},
      {"list with gaps", {"powersave"}, "0-3,5,7-8", "6.5 1 1 1/1 1", false, "powersave", 7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRoot root;
    for (size_t i = 0; i < c.governors.size(); ++i) {
      if (c.governors[i].empty()) root.Write("/sys/devices/system/cpu/cpu" + std::to_string(i) + "/online", "1\n");
      else root.Governor(int(i), c.governors[i]);
    }
    root.Write("/sys/devices/system/cpu/online", std::string(c.online) + "\n");
    root.Write("/proc/loadavg", c.loadavg);
    RunConditions rc = ProbeRunConditions(root.dir.path(), false);
    EXPECT_EQ(rc.fixedClock, c.fixed);
    EXPECT_EQ(rc.governor, c.governor);
    EXPECT_EQ(rc.processors, c.processors);
    EXPECT_EQ(rc.idle, c.idle);
  }
}

TEST(RunConditions, MissingFilesCountAsGranted) {
  FakeRoot root;
  RunConditions rc = ProbeRunConditions(root.dir.path(), false);
  EXPECT_TRUE(rc.fixedClock);
  EXPECT_TRUE(rc.idle);
  EXPECT_EQ(rc.processors, 1);
}

// The check may succeed or not on the machine running the tests; either way
// the thread's scheduling is what it was.
TEST(RunConditions, RealTimeCheckLeavesSchedulingUnchanged) {
  int before = -1, after = -1;
  sched_param pb{}, pa{};
  ASSERT_EQ(pthread_getschedparam(pthread_self(), &before, &pb), 0);
  (void)RealTimeSchedulingAllowed();
  ASSERT_EQ(pthread_getschedparam(pthread_self(), &after, &pa), 0);
  EXPECT_EQ(after, before);
  EXPECT_EQ(pa.sched_priority, pb.sched_priority);
}

TEST(RunConditions, NoticeNamesEachMissingConditionOnce) {
  RunConditions all;
  all.realTime = true;
  EXPECT_TRUE(RunConditionNotice(all).empty());

  RunConditions none;
  none.realTime = false;
  none.fixedClock = false;
  none.governor = "powersave";
  none.load = 4.5;
  none.processors = 2;
  none.idle = false;
  const std::vector<std::string> lines = RunConditionNotice(none);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("No real-time priority", 0), 0u);
  EXPECT_NE(lines[0].find("rtprio"), std::string::npos);
  EXPECT_EQ(lines[1],
            "No fixed processor clock: the frequency governor is \"powersave\". Fix it for the run with: "
            "sudo cpupower frequency-set -g performance");
  EXPECT_EQ(lines[2], "No idle machine: the load average is 4.50 on 2 processors. Close other programs or wait "
                      "until the load is below 2.");
  for (const std::string& l : lines) EXPECT_EQ(l.find('\n'), std::string::npos) << l;

  RunConditions busyOnly = all;
  busyOnly.idle = false;
  busyOnly.load = 1.5;
  busyOnly.processors = 1;
  ASSERT_EQ(RunConditionNotice(busyOnly).size(), 1u);
  EXPECT_NE(RunConditionNotice(busyOnly)[0].find("1.50 on 1 processor."), std::string::npos);
}

}  // namespace
}  // namespace kr
