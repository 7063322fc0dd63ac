// The drive section's transfers and file operations against plain references
// on a real partition, and the time of a whole default drive section.
//
//   BM_ReadDevicePair: Read from Device (NSD-64, 8 MiB blocks at block 123,
//       1 GiB per run) against fio reading the same span of the same device
//       (psync, direct=1, bs=8M); counter "ratio" = our bytes per second over
//       fio's. Target >= 0.9.
//   BM_CreateDeletePair: Create Files and Delete Files (2000 files in the
//       benchmark folder) against a plain C loop of open(O_CREAT|O_TRUNC) and
//       unlink on the same names in the same folder; counters "create" and
//       "delete" = our operations per second over the loop's. Target >= 0.9.
//   BM_DefaultDriveSection: the drive section as "run drive --all" runs it
//       with the built-in settings (every drive test but Write to Device and
//       SpinUP Device) and the real timer, waits left out (a timer whose
//       Delay returns at once); target under three minutes.
//
// Each repetition of a pair is one interleaved pair (the side that goes first
// alternates); run with --benchmark_repetitions=N to get the median and the
// range (min, max) of the ratios. The partition is a mounted folder named by
// KR_PERF_PARTITION (a loop device over a file is what docs/drive.md uses);
// without it the benchmarks skip. Needs read access to the device (root).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/card.h"
#include "bench/drive/bench_dir.h"
#include "bench/drive/device_tests.h"
#include "bench/drive/drive_access.h"
#include "bench/drive/drive_section.h"
#include "bench/drive/file_tests.h"
#include "engine/context.h"
#include "engine/progress.h"
#include "engine/scoring.h"
#include "engine/status_model.h"
#include "platform/fake/fake_requester.h"
#include "platform/linux/linux_blockdev.h"
#include "platform/linux/linux_dos.h"
#include "platform/linux/linux_exec.h"
#include "platform/linux/linux_timer.h"
#include "records/catalogue.h"
#include "records/results.h"
#include "records/settings_record.h"
#include "shell/commands.h"
#include "shell/startup_checks.h"

namespace {

constexpr uint32_t kBlock = 8u << 20;
constexpr uint64_t kTransfer = 1024ull << 20;
constexpr int32_t kStep8M = 17;  // the block-size step of 8 MiB
constexpr int kFiles = 2000;

const char* Partition() { return std::getenv("KR_PERF_PARTITION"); }

// The real timer without the waits.
class NoWaitTimer : public kr::LinuxTimer {
 public:
  bool Delay(uint32_t, const std::atomic<bool>*) override { return true; }
};

// The program's context on the partition, with a home of its own.
struct Rig {
  std::string home;
  kr::LinuxExec exec;
  NoWaitTimer timer;
  kr::FakeRequester requester;
  kr::StatusModel status;
  kr::LinuxBlockDevices devices;
  kr::LinuxDos dos;
  kr::Context ctx;
  kr::StandardSinks sinks{ctx};
  kr::SilentProgress progress;

  Rig() : home(MakeHome()), dos(home, home), ctx(exec, timer, dos, requester, status) {
    kr::SetBuiltinDefaults(ctx.settings);
    ctx.run.noChipMemory = 1;  // as the start-up finds this host
    ctx.drive.devices = &devices;
    ctx.settings.set_text(kr::cfg::kPartition, kr::cfg::kPartitionWidth, Partition());
    kr::GatherDriveInfo(ctx);
  }
  ~Rig() { std::system(("rm -rf '" + home + "'").c_str()); }

  static std::string MakeHome() {
    char tmpl[] = "/tmp/kr_perf_drive_XXXXXX";
    return ::mkdtemp(tmpl) ? tmpl : "/tmp";
  }
};

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Our Read from Device at 8 MiB blocks: bytes per second from the test's figure.
double OursReadDevice(Rig& r) {
  if (!kr::OpenDeviceConnection(r.ctx, kr::UnitAccess::kRead)) return 0.0;
  kr::RunDeviceTransferTest(r.ctx, false, kr::kAccessNsd64, kTransfer, kStep8M, kStep8M, 1, 1);
  kr::CloseDeviceConnection(r.ctx);
  return r.ctx.results.figure(kr::rec::kReadDevice + 8 * size_t(kStep8M - 1)) * 1048576.0;
}

// fio on the same span: bytes per second as fio measured them.
double FioReadDevice(const std::string& node, uint32_t sectorSize) {
  const std::string cmd = "fio --name=ref --filename=" + node +
                          " --rw=read --ioengine=psync --direct=1 --bs=8M --size=8M --offset=" +
                          std::to_string(uint64_t(kr::kDeviceTestBlock) * sectorSize) +
                          " --io_size=" + std::to_string(kTransfer) +
                          " --readonly --minimal --output-format=terse 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return 0.0;
  char line[8192] = {};
  const bool got = std::fgets(line, sizeof line, p) != nullptr;
  ::pclose(p);
  if (!got) return 0.0;
  // Terse format v3: field 7 is the read bandwidth in KiB/s.
  std::vector<std::string> f;
  for (char* s = std::strtok(line, ";"); s; s = std::strtok(nullptr, ";")) f.emplace_back(s);
  return f.size() > 6 ? std::atof(f[6].c_str()) * 1024.0 : 0.0;
}

void BM_ReadDevicePair(benchmark::State& state) {
  if (!Partition()) return state.SkipWithError("KR_PERF_PARTITION is not set");
  Rig r;
  r.ctx.settings.set_s32(kr::cfg::kAccessMode, 1);  // NSD-64
  kr::GatherDriveInfo(r.ctx);
  const std::string device = r.ctx.driveInfo.deviceName;
  if (device.empty() || !r.ctx.drive.deviceTestsPossible)
    return state.SkipWithError(("the partition's device could not be opened: " + r.ctx.drive.openFailure +
                                (r.ctx.errorLog.entries.empty() ? "" : r.ctx.errorLog.entries[0].reason))
                                   .c_str());
  int ss = 512;  // the logical block size: block 123's byte offset
  if (const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
    ::ioctl(fd, BLKSSZGET, &ss);
    ::close(fd);
  }
  // The span is read once, untimed, so neither side meets it cold.
  if (OursReadDevice(r) <= 0.0) return state.SkipWithError("the device could not be read");
  std::vector<double> ratios;
  static int pair = 0;  // across repetitions: the side that goes first alternates
  for (auto _ : state) {
    double ours = 0.0, ref = 0.0;
    if (pair++ % 2 == 0) {
      ours = OursReadDevice(r);
      ref = FioReadDevice(device, uint32_t(ss));
    } else {
      ref = FioReadDevice(device, uint32_t(ss));
      ours = OursReadDevice(r);
    }
    if (ours <= 0.0 || ref <= 0.0) return state.SkipWithError("a read failed");
    ratios.push_back(ours / ref);
    state.counters["ours_MBps"] = ours / 1e6;
    state.counters["fio_MBps"] = ref / 1e6;
  }
  double sum = 0.0;
  for (double x : ratios) sum += x;
  state.counters["ratio"] = sum / double(ratios.size());
}

// Our Create Files and Delete Files through the section's tests (the timed
// loops as the section runs them); operations per second from their figures.
void OursCreateDelete(Rig& r, kr::BenchFiles& files, double& create, double& remove) {
  r.ctx.settings.set_s32(kr::cfg::kDriveCount, 2);
  kr::RunFileOpTest(r.ctx, files, kr::FileOp::CreateFiles, 1, 1, kFiles);
  kr::RunFileOpTest(r.ctx, files, kr::FileOp::CloseFromWrite, 1, 1, kFiles);
  kr::RunFileOpTest(r.ctx, files, kr::FileOp::DeleteFiles, 1, 1, kFiles);
  auto figure = [&](kr::FileOp op) {
    const kr::CatalogueEntry& e = kr::DriveEntry(kr::FileOpCatalogueEntry(op));
    return r.ctx.results.figure(kr::rec::kFileSystemOps + 8 * size_t(e.slot - kr::slot::kDriveFirst - 2));
  };
  create = figure(kr::FileOp::CreateFiles);
  remove = figure(kr::FileOp::DeleteFiles);
}

// The same names in the same folder with plain calls.
void PlainCreateDelete(const std::vector<std::string>& paths, double& create, double& remove) {
  std::vector<int> fds(paths.size(), -1);
  auto t0 = std::chrono::steady_clock::now();
  for (size_t i = 0; i < paths.size(); ++i) fds[i] = ::open(paths[i].c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  auto t1 = std::chrono::steady_clock::now();
  for (int fd : fds)
    if (fd >= 0) ::close(fd);
  auto t2 = std::chrono::steady_clock::now();
  for (const std::string& p : paths) ::unlink(p.c_str());
  auto t3 = std::chrono::steady_clock::now();
  create = double(paths.size()) / Seconds(t0, t1);
  remove = double(paths.size()) / Seconds(t2, t3);
}

void BM_CreateDeletePair(benchmark::State& state) {
  if (!Partition()) return state.SkipWithError("KR_PERF_PARTITION is not set");
  Rig r;
  kr::BenchFiles files;
  files.partition = Partition();
  files.directory = kr::BenchmarkPath(files.partition, "");
  files.directory.pop_back();
  if (!r.dos.CreateDir(files.directory)) return state.SkipWithError("cannot make the benchmark folder");
  std::vector<std::string> hostPaths;
  char name[16];
  for (int i = 0; i < kr::kScratchNameCount; ++i) {
    std::snprintf(name, sizeof name, "%.5d", i);
    files.scratch.push_back(kr::BenchmarkPath(files.partition, name));
    if (i < kFiles) hostPaths.push_back(r.dos.HostPath(files.scratch.back()));
  }
  files.handles.assign(kr::kScratchNameCount, 0);
  // The folder grows to hold the names once, untimed, so neither side pays
  // for that growth.
  double warmCreate = 0, warmDelete = 0;
  PlainCreateDelete(hostPaths, warmCreate, warmDelete);
  std::vector<double> createRatios, deleteRatios;
  static int pair = 0;  // across repetitions: the side that goes first alternates
  for (auto _ : state) {
    double oc = 0, od = 0, pc = 0, pd = 0;
    ::sync();
    if (pair++ % 2 == 0) {
      OursCreateDelete(r, files, oc, od);
      PlainCreateDelete(hostPaths, pc, pd);
    } else {
      PlainCreateDelete(hostPaths, pc, pd);
      OursCreateDelete(r, files, oc, od);
    }
    createRatios.push_back(oc / pc);
    deleteRatios.push_back(od / pd);
    state.counters["ours_create"] = oc;
    state.counters["plain_create"] = pc;
    state.counters["ours_delete"] = od;
    state.counters["plain_delete"] = pd;
  }
  state.counters["create"] = createRatios.empty() ? 0.0 : createRatios.back();
  state.counters["delete"] = deleteRatios.empty() ? 0.0 : deleteRatios.back();
  r.dos.DeleteFile(files.directory);
}

void BM_DefaultDriveSection(benchmark::State& state) {
  if (!Partition()) return state.SkipWithError("KR_PERF_PARTITION is not set");
  Rig r;
  kr::MakeDirs(r.home + "/Data");
  if (!kr::GenerateDataFiles(r.ctx, r.progress, kr::DataFileMode::Generate))
    return state.SkipWithError("cannot write the data files");
  // What "run drive --all" runs: every drive test but Write to Device and
  // SpinUP Device, with the built-in settings (2000 files, 16 MiB loops,
  // the access mode of the built-in cycle).
  kr::SetAllTests(r.ctx, kr::TestPages::Drive, true);
  kr::GatherDriveInfo(r.ctx);
  kr::CountAllTests(r.ctx);
  for (auto _ : state) kr::RunHardDriveSection(r.ctx, r.progress);
  state.counters["tests"] = r.ctx.countDrive;
  state.counters["total"] = r.ctx.results.score(kr::slot::kDriveTotal).percent;
  state.counters["errors"] = double(r.ctx.errorLog.entries.size());
}

}  // namespace

// One iteration per repetition: each repetition is one interleaved pair.
BENCHMARK(BM_ReadDevicePair)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
BENCHMARK(BM_CreateDeletePair)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
BENCHMARK(BM_DefaultDriveSection)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
