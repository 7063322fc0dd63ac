// Whole reports compared byte for byte with the files beside this source.
// A fixed clock, a fake timer (every timed region lasts exactly 1 s) and fixed
// host texts make the reports the same on every run. With KR_UPDATE_GOLDEN=1
// the test writes the files instead of comparing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench/drive/drive_access.h"
#include "records/catalogue.h"
#include "run/sections.h"
#include "platform/fake/emulated_drive.h"
#include "platform/mpega.h"
#include "shell/assets.h"
#include "shell/startup_checks.h"
#include "support/fixed_clock_context.h"
#include "support/report_file.h"

namespace kr {
namespace {

std::string GoldenPath(const char* name) { return std::string(KR_TEST_DATA) + "/run/golden/" + name; }

// Fixed texts where a real start-up would detect the host.
void FixHost(Context& ctx) {
  const char* texts[sysrec::kFieldCount] = {"16384.00 MB", "Not avail", "Golden CPU 1.0 GHz", "Golden FPU",
                                            "Golden MMU",  "Golden OS 1.0", "6.1.0-golden", "Not avail"};
  for (int f = 0; f < sysrec::kFieldCount; ++f) ctx.sysinfo.setField(f, texts[f]);
  std::strcpy(ctx.run.hostModel, "Golden Test Machine");
  ctx.settings.set_text(cfg::kPartition, cfg::kPartitionWidth, "/mnt/golden");
  std::strcpy(ctx.driveInfo.vendor, "Unknown");
  std::strcpy(ctx.driveInfo.product, "Unknown");
  std::strcpy(ctx.driveInfo.revision, "Unknown");
}

void CompareWithGolden(const std::string& report, const char* name) {
  const std::string path = GoldenPath(name);
  const char* update = std::getenv("KR_UPDATE_GOLDEN");
  if (update && std::strcmp(update, "1") == 0) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << report;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
    GTEST_SKIP() << "rewrote " << path;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in.good()) << "missing " << path << " (run with KR_UPDATE_GOLDEN=1 to create it)";
  std::ostringstream s;
  s << in.rdbuf();
  const std::string expected = s.str();
  if (report == expected) return;
  // Name the first line that differs; the whole texts are too long to print.
  std::vector<std::string> got = test::SplitLines(report), want = test::SplitLines(expected);
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  ADD_FAILURE() << name << " differs first at line " << i + 1 << "\n  expected: ["
                << (i < want.size() ? want[i] : "<end>") << "]\n  actual:   [" << (i < got.size() ? got[i] : "<end>")
                << "]";
}

// The text with every run of digits as "#" and every run of blanks as one
// blank: what stays of a report when its figures, counts and the widths they
// take are left out.
std::string Masked(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const bool digit = c >= '0' && c <= '9';
    if (digit || c == ' ') {
      out += digit ? '#' : ' ';
      while (i < text.size() && text[i] == c) ++i;
      while (digit && i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

// A report of a run with a work scale: its work (rounds, sizes) and so its
// figures differ from the golden file's, everything else is the same.
void CompareMaskedWithGolden(const std::string& report, const char* name) {
  std::ifstream in(GoldenPath(name), std::ios::binary);
  ASSERT_TRUE(in.good()) << "missing " << GoldenPath(name);
  std::ostringstream s;
  s << in.rdbuf();
  EXPECT_NE(report, s.str()) << "the work scale did not reach the workloads";
  std::vector<std::string> got = test::SplitLines(Masked(report)), want = test::SplitLines(Masked(s.str()));
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  EXPECT_TRUE(i == got.size() && i == want.size())
      << name << " (masked) differs first at line " << i + 1 << "\n  expected: ["
      << (i < want.size() ? want[i] : "<end>") << "]\n  actual:   [" << (i < got.size() ? got[i] : "<end>") << "]";
}

// Every processor test, with the given work scale.
std::string ProcessorReport(uint32_t workScale) {
  test::FixedClockContext t;
  Context& ctx = t.ctx;
  FixHost(ctx);
  test::UseReportFile(ctx, "processor.txt");
  ctx.settings.set_s32(cfg::kAppendErrorLog, 1);
  // The benchmark data files a first start writes (ZLib functions reads one).
  SilentProgress quiet;
  EXPECT_TRUE(GenerateDataFiles(ctx, quiet, DataFileMode::Generate));
  // The MP3 sample and the real decoder: the figure is the sample's length
  // in ms over the fixed second.
  std::string failed;
  EXPECT_TRUE(InstallMissingAssets(ctx, failed)) << failed;
  std::unique_ptr<Mpega> mpega = MakeHostMpega();
  ctx.mpega = mpega.get();
  ctx.run.mpegaAvailable = 1;
  for (int k = 1; k <= kProcessorTests; ++k) ctx.settings.setProcEnabled(k, 1);
  ctx.run.runMode = 1;
  RunPlan plan;
  plan.workScale = workScale;
  RunBenchmark(ctx, plan);
  EXPECT_EQ(ctx.plan.workScale, 1u) << "the plan holds for its run only";
  return test::ReadReport(ctx);
}

TEST(Golden, FullSizeProcessorReport) { CompareWithGolden(ProcessorReport(1), "processor_report.txt"); }

TEST(Golden, ProcessorReport) { CompareMaskedWithGolden(ProcessorReport(64), "processor_report.txt"); }

// The memory report's clock: every timed region lasts 1 s, but the empty-loop
// calibrations (the memory window's "State:" says "Calibrating..." while they
// run) last 0.25 s, so the calibrated tests settle at 1 MB / 0.75 s.
class CalibrationClock : public FakeTimer {
 public:
  explicit CalibrationClock(const StatusModel& status) : status_(status) {}
  void GetSysTime(TimeVal& tv) override {
    defaultStep = status_.text(Section::Memory, StatusField::State) == "Calibrating..." ? 250000 : 1000000;
    FakeTimer::GetSysTime(tv);
  }

 private:
  const StatusModel& status_;
};

// FixedClockContext with that clock.
using MemoryGoldenContext = test::BasicFixedClockContext<test::FixedClockDos, CalibrationClock>;

TEST(Golden, MemoryReport) {
  MemoryGoldenContext t;
  Context& ctx = t.ctx;
  FixHost(ctx);
  ASSERT_EQ(t.exec.chipSize, 0u);  // a host without chip memory: CHIP and ROM tests do not run
  ctx.run.noChipMemory = 1;
  test::UseReportFile(ctx, "memory.txt");
  ctx.settings.set_s32(cfg::kAppendErrorLog, 1);
  for (int p = 0; p < kMemoryTests; ++p) {
    ctx.settings.setMemEnabled(p, 1);
    ctx.settings.setMemLoopSize(p, 1);  // 1 MiB per block size keeps the real kernels quick
  }
  ctx.run.runMode = 2;
  RunBenchmark(ctx);
  CompareWithGolden(test::ReadReport(ctx), "memory_report.txt");
}

// The drive report: the partition "/mnt/golden" is a temporary folder behind
// the dos layer, its device an emulated drive over a 12 MiB image; the file
// system's numbers are fixed. Every test of the section runs, the device
// tests in NSD-64 mode (Write to Device and SpinUP Device switched on by
// their own switches).
class GoldenPartitionDos : public test::FixedClockDos {
 public:
  GoldenPartitionDos(std::string home, std::string ram, std::string partition)
      : FixedClockDos(std::move(home), std::move(ram), test::kFixedStamp), partition_(std::move(partition)) {}
  std::string HostPath(std::string_view path) const override {
    constexpr std::string_view kName = "/mnt/golden";
    if (path.starts_with(kName) && (path.size() == kName.size() || path[kName.size()] == ':' || path[kName.size()] == '/'))
      return FixedClockDos::HostPath(partition_ + std::string(path.substr(kName.size())));
    return FixedClockDos::HostPath(path);
  }
  bool Info(std::string_view, VolumeInfo& out) override {
    out.totalBlocks = 262144;
    out.usedBlocks = 65536;
    out.bytesPerBlock = 4096;
    return true;
  }

 private:
  std::string partition_;
};

TEST(Golden, DriveReport) {
  test::TempDir part;
  test::BasicTestContext<GoldenPartitionDos> t(part.path());
  Context& ctx = t.ctx;
  SilentProgress quiet;
  ASSERT_TRUE(GenerateDataFiles(ctx, quiet, DataFileMode::Generate));
  FixHost(ctx);

  const std::string image = t.home.path() + "/disk.img";
  {
    std::ofstream img(image, std::ios::binary);
    std::string block(1 << 20, '\x5A');
    for (int i = 0; i < 12; ++i) img << block;
  }
  EmulatedDriveConfig config;
  config.vendor = "KELVA";
  config.product = "Golden Disk";
  config.revision = "1.0";
  EmulatedDrive drive(image, config);
  EmulatedDevices devices;
  devices.AddDrive("emulated.device", 0, drive);
  DosEntry entry;
  entry.hasStartup = entry.hasEnvironment = true;
  entry.fssm_Device = "emulated.device";
  entry.environment = EmulatedEnvironment(config, 12u << 20, 0xEF53);
  devices.AddPartition("/mnt/golden", entry);
  ctx.drive.devices = &devices;
  ctx.settings.set_s32(cfg::kAccessMode, 1);  // NSD-64
  for (int i = 0; i <= 6; ++i) ctx.settings.setDriveEnabled(i, 1);
  GatherDriveInfo(ctx);
  ASSERT_EQ(ctx.drive.accessMode, kAccessNsd64);

  test::UseReportFile(ctx, "drive.txt");
  ctx.settings.set_s32(cfg::kAppendErrorLog, 1);
  ctx.run.runMode = 3;
  RunBenchmark(ctx);
  CompareWithGolden(test::ReadReport(ctx), "drive_report.txt");
  // Nothing is left on the partition; Write to Device left the image as it was.
  std::vector<DirEntry> left;
  ASSERT_TRUE(t.dos.ListDir(part.path(), left));
  EXPECT_TRUE(left.empty());
}

}  // namespace
}  // namespace kr
