// The memory tests end to end over fake host services: the card, the sweep
// arithmetic, figures and slots in the results record, the scored flag, the
// failure paths and bad settings. Real kernels run on real buffers; the fake
// timer decides every elapsed time.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/memory/memory_tests.h"
#include "records/catalogue.h"
#include "records/results.h"
#include "report/report.h"
#include "support/test_context.h"

namespace kr {
namespace {

constexpr uint32_t kMiB = 1048576;

// A status model that also keeps every (block size, passes) pair the memory
// window was shown.
class RecordingStatus : public StatusModel {
 public:
  std::vector<std::pair<int32_t, int32_t>> passes;
  void SetNumber(Section s, StatusField f, int32_t v) override {
    StatusModel::SetNumber(s, f, v);
    if (s == Section::Memory && f == StatusField::Passes && number(s, StatusField::Blocksize) != 0)
      passes.emplace_back(number(s, StatusField::Blocksize), v);
  }
};

// Fake exec and timer, a report file in the temporary home.
struct Rig {
  test::BasicTestContext<FakeDos, FakeTimer, RecordingStatus> t;
  RecordingStatus& status = t.status;
  Context& ctx = t.ctx;
  FakeExec& exec = t.exec;
  FakeTimer& timer = t.timer;

  Rig() {
    ctx.report.file = ctx.dos.Open("PROGDIR:report.txt", MODE_NEWFILE);
    ctx.report.open = ctx.report.file != 0;
  }
  // A host with chip memory and a 512 KiB ROM image.
  void WithChipAndRom(size_t romSize = 512 * 1024) {
    exec.chipSize = 64 * kMiB;
    exec.rom.assign(romSize, 0x4E);
    ctx.run.noChipMemory = 0;
  }
  std::string Report() {
    CloseReport(ctx);
    std::ifstream in(t.home.path() + "/report.txt", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Runs test p over steps low..high with the loop size in bytes.
  void Run(int p, uint32_t loopSize, int32_t low, int32_t high, int32_t cache = 1, int32_t mt = 0,
           uint32_t mega = kMiB) {
    RunMemoryTest(ctx, p, mega, loopSize, BlockSizeOfStep(low), BlockSizeOfStep(high), cache, mt, low, high);
  }
  double Figure(int p, int index) const {
    return ctx.results.figure(rec::kMemoryBlocks[p].base + 8 * size_t(index - 1));
  }
  // Minimum (k 0), maximum (1), average (2) of test p.
  double Tail(int p, int k) const {
    return ctx.results.figure(rec::kMemoryBlocks[p].base + 8 * size_t(MemoryFigureSlots(p) + k));
  }
  ScoreSlot Slot(int p) const { return ctx.results.score(slot::kMemoryFirst + p); }
  // Scripts the elapsed times of `blocks` blocks: calibration then kernel
  // for calibrated tests, the kernel alone for the others (microseconds).
  void Script(int blocks, bool calibrated, uint64_t kernelUs, uint64_t calibrationUs = 0) {
    for (int i = 0; i < blocks; ++i) {
      if (calibrated) timer.steps.insert(timer.steps.end(), {calibrationUs, 0});
      timer.steps.insert(timer.steps.end(), {kernelUs, 0});
    }
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

bool Calibrated(int p) { return (p >= 1 && p <= 12) || p >= 21; }

TEST(MemoryTests, StandardFastSweepCardPassesFiguresAndScore) {
  Rig r;
  // Memset FAST with its standard settings; every timed region takes 1 s.
  r.Run(mem::kMemsetFast, 64 * kMiB, 1, 17);
  const std::string report = r.Report();

  // 17 blocks from 128 bytes to 8 MiB with loop size / block passes.
  ASSERT_EQ(r.status.passes.size(), 17u);
  for (int i = 0; i < 17; ++i) {
    EXPECT_EQ(r.status.passes[i].first, int32_t(128u << i));
    EXPECT_EQ(r.status.passes[i].second, int32_t((64 * kMiB) / (128u << i)));
  }
  EXPECT_EQ(r.status.passes.front().second, 524288);
  EXPECT_EQ(r.status.passes.back().second, 8);

  const std::vector<std::string> expected = {
      "\xB7--------------------------------------------------------------------------\xB7",
      "|   Initialize Memory FAST                                                 |",
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7",
      "|   100 Percent at   : 5000.0 MB/sec                                       |",
      "|   Score weight     : 100.0%                                              |",
      "|   Loopsize (bytes) : 67108864                                            |",
      "|   CPU Cache        : YES                                                 |",
      "|   Multitasking     : NO                                                  |",
      "|                                                                          |",
      "|   Blocksize                                                      MB/sec  |",
      "\xB7- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - \xB7",
      "|       128                                                       64.00    |",
      "|       256                                                       64.00    |",
  };
  const std::vector<std::string> lines = Lines(report);
  ASSERT_GE(lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
  EXPECT_EQ(lines[11 + 16], "|   8388608                                                       64.00    |");
  const std::vector<std::string> expectedFoot = {
      "|                                                                          |",
      "|   Minimum :       64.00 MB/s                                             |",
      "|   Maximum :       64.00 MB/s                                             |",
      "|   Average :       64.00 MB/s                                             |",
      "|                                                                          |",
      "|   KelvaRANKS :   1.28 Percent                                            |",
      "!                                                                          !",
  };
  EXPECT_EQ(lines.size(), 11u + 17u + 7u);
  for (size_t i = 0; i < expectedFoot.size(); ++i) EXPECT_EQ(lines[lines.size() - 7 + i], expectedFoot[i]);
  for (const std::string& l : lines) EXPECT_EQ(l.size(), 76u) << l;

  for (int j = 1; j <= 17; ++j) EXPECT_EQ(r.Figure(mem::kMemsetFast, j), 64.0);
  EXPECT_EQ(r.Tail(mem::kMemsetFast, 0), 64.0);
  EXPECT_EQ(r.Tail(mem::kMemsetFast, 1), 64.0);
  EXPECT_EQ(r.Tail(mem::kMemsetFast, 2), 64.0);
  EXPECT_DOUBLE_EQ(r.Slot(mem::kMemsetFast).percent, 1.28);
  EXPECT_EQ(r.Slot(mem::kMemsetFast).valid, 1.0);
  EXPECT_TRUE(r.ctx.errorLog.entries.empty());
  EXPECT_EQ(r.exec.liveBlocks, 0);
  EXPECT_EQ(r.status.text(Section::Memory, StatusField::State), "Done");
  EXPECT_EQ(r.status.text(Section::Memory, StatusField::NowRunning), "\x1b" "bInitialize Memory FAST\x1b" "n");
}

TEST(MemoryTests, CalibratedFigureSubtractsTheEmptyLoop) {
  struct Case {
    uint64_t kernelUs, calibrationUs;
    double figure;  // loop size 4 MiB: 4 MB over (kernel - calibration)
  };
  const Case cases[] = {
      {2500000, 500000, 2.0},
      {1000000, 0, 4.0},
      {1000000, 899999, 4.0 / 0.100001},  // just over a tenth of the time is left: counts
      // No time left, or the empty loop took longer: measured again, never
      // settles (the clock's later regions all last 1 s) and records 0.
      {500000, 500000, 0.0},
      {400000, 500000, 0.0},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Script(3, true, c.kernelUs, c.calibrationUs);
    r.Run(mem::kReadFastLong, 4 * kMiB, 1, 3);
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(r.Figure(mem::kReadFastLong, j), c.figure, 1e-6);
    EXPECT_NEAR(r.Tail(mem::kReadFastLong, 2), c.figure, 1e-6);
    EXPECT_EQ(r.ctx.errorLog.entries.size(), c.figure > 0.0 ? 0u : 3u);
    // Not the standard loop size and range: measured but not scored.
    EXPECT_EQ(r.Slot(mem::kReadFastLong).valid, 0.0);
    EXPECT_NE(r.Report().find("KelvaRANKS : DISABLED"), std::string::npos);
  }
}

// A calibrated block whose net time is not positive or under a tenth of the
// measured time is measured again (calibration and kernel), up to three more
// times; one that never settles records 0.0 and is logged.
TEST(MemoryTests, UnsettledCalibratedBlocksAreMeasuredAgain) {
  struct Case {
    const char* name;
    std::vector<std::pair<uint64_t, uint64_t>> attempts;  // (calibration, kernel) in microseconds
    double figure;
    bool logged;
  };
  const Case cases[] = {
      {"settles at once", {{250000, 1000000}}, 4.0 / 0.75, false},
      {"a twentieth left, then settles", {{950000, 1000000}, {250000, 1000000}}, 4.0 / 0.75, false},
      {"empty loop longer, then settles", {{1200000, 1000000}, {0, 2000000}}, 2.0, false},
      {"settles at the last repeat", {{1, 1}, {5, 4}, {990000, 1000000}, {500000, 1000000}}, 8.0, false},
      {"never settles", {{1000000, 1000000}, {950000, 1000000}, {2, 1}, {999999, 1000000}}, 0.0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    for (const auto& [cal, kernel] : c.attempts) r.timer.steps.insert(r.timer.steps.end(), {cal, 0, kernel, 0});
    r.timer.defaultStep = 250000;  // a fifth attempt would settle and show up in the figure
    r.Run(mem::kReadFastLong, 4 * kMiB, 1, 1);
    EXPECT_TRUE(r.timer.steps.empty());
    EXPECT_EQ(r.timer.calls, int(4 * c.attempts.size()));  // no further attempt
    EXPECT_NEAR(r.Figure(mem::kReadFastLong, 1), c.figure, 1e-9);
    const std::string report = r.Report();
    EXPECT_NE(report.find(c.logged ? "|       128                                                        0.00    |"
                                   : "|       128      "),
              std::string::npos);
    if (c.logged) {
      ASSERT_EQ(r.ctx.errorLog.entries.size(), 1u);
      EXPECT_STREQ(r.ctx.errorLog.entries[0].location, "MEMORY");
      EXPECT_STREQ(r.ctx.errorLog.entries[0].function, "Read FAST long");
      EXPECT_STREQ(r.ctx.errorLog.entries[0].reason, "Loop overhead swamped blocksize 128");
    } else {
      EXPECT_TRUE(r.ctx.errorLog.entries.empty());
    }
  }
  // Tests without calibration take their one measurement as it comes.
  Rig r;
  r.Script(1, false, 0);
  r.Run(mem::kMemsetFast, 4 * kMiB, 1, 1);
  EXPECT_EQ(r.timer.calls, 2);
  EXPECT_EQ(r.Figure(mem::kMemsetFast, 1), 0.0);
  EXPECT_TRUE(r.ctx.errorLog.entries.empty());
}

TEST(MemoryTests, ScoredOnlyWithStandardSettingsAndCacheOn) {
  struct Case {
    int p;
    int32_t cache, mt, jit, low, high;
    uint32_t loopMiB;
    bool scored;
  };
  const Case cases[] = {
      {mem::kReadFastByte, 1, 0, 0, 1, 17, 64, true},
      {mem::kReadFastByte, 0, 0, 1, 1, 17, 64, false},  // cache off, even with the JIT option
      {mem::kReadFastByte, 1, 1, 0, 1, 17, 64, false},  // multitasking on
      {mem::kReadFastByte, 1, 1, 1, 1, 17, 64, true},   // ... allowed by the JIT option
      {mem::kReadFastByte, 1, 0x10000, 0, 1, 17, 64, true},  // only the low 16 bits count
      {mem::kReadFastByte, 1, 0, 0, 2, 17, 64, false},  // low step not 1
      {mem::kReadFastByte, 1, 0, 0, 1, 16, 64, false},  // high step not standard
      {mem::kReadFastByte, 1, 0, 0, 1, 17, 128, false}, // loop size not standard
      {mem::kCacheRead, 1, 0, 0, 1, 17, 256, true},
      {mem::kCacheRead, 1, 0, 0, 1, 17, 64, false},
      {mem::kReadChipByte, 1, 0, 0, 1, 14, 8, true},
      {mem::kReadChipByte, 1, 0, 0, 1, 17, 8, false},   // a CHIP test measuring up to 8 MiB
      {mem::kCopyChipChip, 1, 0, 0, 1, 13, 8, true},   // its block holds 128 bytes .. 512 KiB
      {mem::kCopyChipChip, 1, 0, 0, 1, 14, 8, false},
      {mem::kReadRomLong, 1, 0, 0, 1, 13, 64, true},
      {mem::kReadRomLong, 1, 0, 0, 1, 14, 64, false},
  };
  Rig r;
  for (const Case& c : cases) {
    r.ctx.run.multitaskingAtAll = c.jit;
    EXPECT_EQ(MemoryScored(r.ctx, c.p, kMiB, c.loopMiB * kMiB, c.cache, c.mt, c.low, c.high), c.scored)
        << MemoryEntry(c.p).label << " cache " << c.cache << " mt " << c.mt << " jit " << c.jit << " " << c.low
        << ".." << c.high << " loop " << c.loopMiB;
  }
}

TEST(MemoryTests, CacheOffPrintsDisabledEvenWithTheJitOption) {
  Rig r;
  r.ctx.run.multitaskingAtAll = 1;
  r.ctx.results.setScore(slot::kMemoryFirst + mem::kMemsetFast, {55.0, 1.0});  // a stale result
  // The section run passes multitasking 1 under the JIT option.
  r.Run(mem::kMemsetFast, 64 * kMiB, 1, 17, /*cache=*/0, /*mt=*/1);
  const std::string report = r.Report();
  EXPECT_NE(report.find("|   CPU Cache        : NO                                                  |\n"), std::string::npos);
  EXPECT_NE(report.find("|   KelvaRANKS : DISABLED                                                  |\n"), std::string::npos);
  EXPECT_EQ(r.Slot(mem::kMemsetFast).percent, 0.0);
  EXPECT_EQ(r.Slot(mem::kMemsetFast).valid, 0.0);
  // The data cache is switched off and on around every timed region only.
  int off = 0, on = 0;
  for (const std::string& c : r.exec.calls) off += c == "CacheOff", on += c == "CacheOn";
  EXPECT_EQ(off, 17);
  EXPECT_EQ(on, 17);
}

TEST(MemoryTests, ChipTestBeyondItsStandardRangeMeasuresMoreButIsNotScored) {
  Rig r;
  r.WithChipAndRom();
  // The block after Copy FAST 2 CHIP's belongs to Copy CHIP 2 FAST: it must
  // not be touched by the extra block sizes.
  const size_t next = rec::kMemoryBlocks[mem::kCopyChipFast].base;
  r.ctx.results.setFigure(next, 123.0);
  r.Run(mem::kCopyFastChip, 8 * kMiB, 1, 17);  // 1 s per block
  const std::string report = r.Report();

  ASSERT_EQ(r.status.passes.size(), 17u);
  EXPECT_EQ(r.status.passes.back(), std::make_pair(int32_t(8 * kMiB), int32_t(1)));
  EXPECT_NE(report.find("|   8388608                                                        8.00    |"), std::string::npos);
  for (int j = 1; j <= 14; ++j) EXPECT_EQ(r.Figure(mem::kCopyFastChip, j), 8.0);
  EXPECT_EQ(r.Tail(mem::kCopyFastChip, 0), 8.0);
  EXPECT_EQ(r.Tail(mem::kCopyFastChip, 2), 8.0);
  EXPECT_EQ(r.ctx.results.figure(next), 123.0);
  EXPECT_EQ(r.Slot(mem::kCopyFastChip).valid, 0.0);
  EXPECT_NE(report.find("KelvaRANKS : DISABLED"), std::string::npos);
}

TEST(MemoryTests, FiguresAboveOneMillionKeepTheMinimumAtOneMillion) {
  Rig r;
  r.Script(2, false, 10);  // 10 microseconds per block
  r.Run(mem::kCopyFastFast, 64 * kMiB, 16, 17);
  const std::string report = r.Report();
  EXPECT_DOUBLE_EQ(r.Figure(mem::kCopyFastFast, 16), 6400000.0);
  EXPECT_EQ(r.Tail(mem::kCopyFastFast, 0), 1000000.0);
  EXPECT_DOUBLE_EQ(r.Tail(mem::kCopyFastFast, 1), 6400000.0);
  EXPECT_DOUBLE_EQ(r.Tail(mem::kCopyFastFast, 2), 6400000.0);
  EXPECT_NE(report.find("|   Minimum :  1000000.00 MB/s"), std::string::npos);
  EXPECT_NE(report.find("|   Maximum :  6400000.00 MB/s"), std::string::npos);
}

TEST(MemoryTests, AllTwentyFourOnAHostWithChipMemoryAndRom) {
  Rig r;
  r.WithChipAndRom();
  // A 64th of a MiB as the unit keeps the runs short and still standard:
  // the loop size is the standard number of units (FAST: 1 MiB, so blocks
  // above 1 MiB run no pass and record 0).
  const uint32_t mega = kMiB / 64;
  for (int p = 0; p < kMemoryTests; ++p) {
    const int32_t high = MemoryStandardHighStep(p);
    r.Script(high, Calibrated(p), 1000000, Calibrated(p) ? 250000 : 0);
    r.Run(p, MemoryStandardLoopMiB(p) * mega, 1, high, 1, 0, mega);
  }
  const std::string report = r.Report();

  EXPECT_TRUE(r.ctx.errorLog.entries.empty());
  EXPECT_EQ(r.exec.liveBlocks, 0);
  EXPECT_TRUE(r.timer.steps.empty());  // every block was timed exactly as scripted

  const char* titles[kMemoryTests] = {
      "Read CPU-Cache", "Read FAST byte [8]", "Read FAST word [16]", "Read FAST long [32]", "Write FAST byte [8]",
      "Write FAST word [16]", "Write FAST long [32]", "Read CHIP byte [8]", "Read CHIP word [16]",
      "Read CHIP long [32]", "Write CHIP byte [8]", "Write CHIP word [16]", "Write CHIP long [32]",
      "Copy FAST 2 FAST", "Copy FAST 2 CHIP", "Copy CHIP 2 FAST", "Copy CHIP 2 CHIP", "Allocate Memory FAST",
      "Allocate Memory CHIP", "Initialize Memory FAST", "Initialize Memory CHIP", "Read from KickROM byte [8]",
      "Read from KickROM word [16]", "Read from KickROM long [32]"};
  size_t at = 0;
  for (int p = 0; p < kMemoryTests; ++p) {
    const std::string title = std::string("|   ") + titles[p] + " ";
    size_t found = report.find(title, at);
    ASSERT_NE(found, std::string::npos) << titles[p];
    at = found;
    // The template's blanks are fixed: CPU Cache Read's 10000.0 in
    // "%4lu.%0.1lu" is one column wider and moves the border.
    const size_t ref = report.find("|   100 Percent at", found);
    EXPECT_EQ(report.substr(ref, report.find('\n', ref) - ref),
              p == 0 ? "|   100 Percent at   : 10000.0 MB/sec                                       |"
                     : "|   100 Percent at   : 5000.0 MB/sec                                       |")
        << titles[p];

    // Figures: the standard loop size is 256, 64 or 8 units; calibrated
    // tests have 0.75 s net per block, the others 1 s.
    const uint32_t loopSize = MemoryStandardLoopMiB(p) * mega;
    const double units = MemoryStandardLoopMiB(p);
    const int n = MemoryFigureSlots(p);
    EXPECT_EQ(n, p == mem::kCopyChipChip || mem::IsRomTest(p) ? 13 : mem::IsChipTest(p) ? 14 : 17) << titles[p];
    double sum = 0;
    for (int j = 1; j <= n; ++j) {
      const bool ran = loopSize / (128u << (j - 1)) > 0;
      const double figure = !ran ? 0.0 : Calibrated(p) ? units / 0.75 : units;
      EXPECT_DOUBLE_EQ(r.Figure(p, j), figure) << titles[p] << " block " << j;
      sum += figure;
    }
    const double average = sum / n;
    EXPECT_DOUBLE_EQ(r.Tail(p, 2), average) << titles[p];
    const double reference = p == 0 ? 10000.0 : 5000.0, weight = p == 0 ? 80.0 : 100.0;
    EXPECT_DOUBLE_EQ(r.Slot(p).percent, average * (100.0 / reference) * (weight * 0.01)) << titles[p];
    EXPECT_EQ(r.Slot(p).valid, 1.0) << titles[p];
  }
  // Now Running and Routine of the last test.
  EXPECT_EQ(r.status.text(Section::Memory, StatusField::NowRunning), "\x1b" "bRead from KickROM\x1b" "n long [32]");
  EXPECT_EQ(r.status.text(Section::Memory, StatusField::Routine), "Internal");
}

TEST(MemoryTests, AllocationFailuresAreLoggedPerBlockAndRecordZero) {
  struct Case {
    int p;
    std::set<int> failAllocs;
    bool failChip;
    int blocks;              // steps 1..blocks, loop size 1 MiB
    std::vector<int> zero;   // block indexes that record 0.0
    std::vector<std::string> reasons;  // error-log entries, in order
    const char* function;
  };
  const Case cases[] = {
      {mem::kReadFastByte, {2}, false, 3, {2}, {"Could not get data buffer"}, "Read FAST byte"},
      {mem::kCacheRead, {1, 3}, false, 3, {1, 3}, {"Could not get data buffer", "Could not get data buffer"},
       "Read CPU-Cache"},
      // Source fails; then the destination fails and the source is freed.
      {mem::kCopyFastFast, {1}, false, 2, {1}, {"Could not get source buffer"}, "Copy FAST 2 FAST"},
      {mem::kCopyFastFast, {2}, false, 2, {1}, {"Could not get destination buffer"}, "Copy FAST 2 FAST"},
      {mem::kCopyFastChip, {}, true, 2, {1, 2},
       {"Could not get destination buffer", "Could not get destination buffer"}, "Copy FAST 2 CHIP"},
      {mem::kCopyChipFast, {}, true, 1, {1}, {"Could not get source buffer"}, "Copy CHIP 2 FAST"},
      {mem::kWriteChipWord, {}, true, 2, {1, 2}, {"Could not get data buffer", "Could not get data buffer"},
       "Write CHIP word"},
      // The memset tests skip a block silently.
      {mem::kMemsetFast, {2}, false, 3, {2}, {}, nullptr},
      {mem::kMemsetChip, {}, true, 2, {1, 2}, {}, nullptr},
      // An allocation inside the allocate test's timed loop fails (128 bytes:
      // 8192 passes; the 10th allocation fails).
      {mem::kAllocFast, {10}, false, 2, {1}, {"Could not get data buffer"}, "Allocate Memory FAST"},
  };
  for (const Case& c : cases) {
    Rig r;
    r.WithChipAndRom();
    r.exec.failAllocs = c.failAllocs;
    r.exec.failChip = c.failChip;
    // Calibration (0.5 s) comes before the buffers; a block without its
    // buffers is not timed, except in the allocate test, which times its
    // loop up to the failure (1 s).
    for (int j = 1; j <= c.blocks; ++j) {
      const bool failed = std::find(c.zero.begin(), c.zero.end(), j) != c.zero.end();
      if (Calibrated(c.p)) r.timer.steps.insert(r.timer.steps.end(), {500000, 0});
      if (!failed || c.p == mem::kAllocFast) r.timer.steps.insert(r.timer.steps.end(), {1000000, 0});
    }
    r.Run(c.p, kMiB, 1, c.blocks);
    const std::string label = MemoryEntry(c.p).label;

    ASSERT_EQ(r.ctx.errorLog.entries.size(), c.reasons.size()) << label;
    for (size_t i = 0; i < c.reasons.size(); ++i) {
      EXPECT_STREQ(r.ctx.errorLog.entries[i].location, "MEMORY");
      EXPECT_STREQ(r.ctx.errorLog.entries[i].function, c.function);
      EXPECT_STREQ(r.ctx.errorLog.entries[i].reason, c.reasons[i].c_str());
    }
    double sum = 0;
    for (int j = 1; j <= c.blocks; ++j) {
      bool zero = std::find(c.zero.begin(), c.zero.end(), j) != c.zero.end();
      double f = r.Figure(c.p, j);
      if (zero) EXPECT_EQ(f, 0.0) << label << " block " << j;
      else EXPECT_GT(f, 0.0) << label << " block " << j;
      sum += f;
    }
    // Failed blocks are printed and counted like the others.
    EXPECT_EQ(r.status.passes.size(), size_t(c.blocks));
    EXPECT_DOUBLE_EQ(r.Tail(c.p, 2), sum / c.blocks) << label;
    EXPECT_EQ(r.Tail(c.p, 0), 0.0) << label;
    EXPECT_EQ(r.exec.liveBlocks, 0) << label;
    // Forbid and Permit stay paired: the scheduler is never left off.
    int forbid = 0, permit = 0;
    for (const std::string& call : r.exec.calls) forbid += call == "Forbid", permit += call == "Permit";
    EXPECT_EQ(forbid, permit) << label;
    EXPECT_FALSE(r.ctx.timingOpen);
  }
}

TEST(MemoryTests, RomTestsNeverReadPastTheRom) {
  struct Case {
    size_t romSize;  // 0: no ROM at all
    int measured;    // of the 13 standard blocks (128 bytes .. 512 KiB)
    const char* reason;
  };
  const Case cases[] = {
      {512 * 1024, 13, nullptr},
      {64 * 1024, 10, "Blocksize exceeds the system ROM"},
      {0, 0, "No system ROM to read"},
  };
  for (const Case& c : cases) {
    Rig r;
    r.WithChipAndRom(c.romSize);
    for (int j = 1; j <= 13; ++j) {
      r.timer.steps.insert(r.timer.steps.end(), {500000, 0});
      if (j <= c.measured) r.timer.steps.insert(r.timer.steps.end(), {1000000, 0});
    }
    r.Run(mem::kReadRomByte, kMiB, 1, 13);
    EXPECT_EQ(r.ctx.errorLog.entries.size(), size_t(13 - c.measured)) << c.romSize;
    for (const ErrorEntry& e : r.ctx.errorLog.entries) {
      EXPECT_STREQ(e.function, "Read ROM byte");
      EXPECT_STREQ(e.reason, c.reason);
    }
    for (int j = 1; j <= 13; ++j) EXPECT_EQ(r.Figure(mem::kReadRomByte, j), j <= c.measured ? 2.0 : 0.0) << j;
  }
}

TEST(MemoryTests, BadSettingsAreSkippedWithAnErrorLogEntry) {
  struct Case {
    int32_t low, high;          // steps
    uint32_t lowSize, highSize; // bytes (what the section run makes of the steps, or other sizes)
    uint32_t loopSize;
    uint32_t mega;
    const char* reason;
  };
  const char* range = "Bad blocksize range in the settings";
  const Case cases[] = {
      {5, 3, 2048, 512, 64 * kMiB, kMiB, range},        // low step above high step
      {0, 17, 0, 8 * kMiB, 64 * kMiB, kMiB, range},     // step 0: 0 bytes
      {18, 18, 0, 0, 64 * kMiB, kMiB, range},           // step 18: 0 bytes
      {1, 18, 128, 0, 64 * kMiB, kMiB, range},          // high step 18
      {1, 17, 100, 8 * kMiB, 64 * kMiB, kMiB, range},   // not a power of two
      {1, 17, 128, 0xFFFFFFFFu, 64 * kMiB, kMiB, range},  // above 8 MiB
      {1, 17, 128, 8 * kMiB, 0, kMiB, "Bad loopsize in the settings"},
      {1, 17, 128, 8 * kMiB, 64 * kMiB, 0, "Bad megabyte unit"},
  };
  for (const Case& c : cases) {
    Rig r;
    const int p = mem::kWriteFastByte;
    r.ctx.results.setScore(slot::kMemoryFirst + p, {40.0, 1.0});
    r.ctx.results.setFigure(rec::kMemoryBlocks[p].base, 99.0);
    RunMemoryTest(r.ctx, p, c.mega, c.loopSize, c.lowSize, c.highSize, 1, 0, c.low, c.high);
    const std::string report = r.Report();
    ASSERT_EQ(r.ctx.errorLog.entries.size(), 1u);
    EXPECT_STREQ(r.ctx.errorLog.entries[0].location, "MEMORY");
    EXPECT_STREQ(r.ctx.errorLog.entries[0].function, "Write FAST byte");
    EXPECT_STREQ(r.ctx.errorLog.entries[0].reason, c.reason);
    EXPECT_TRUE(r.status.passes.empty());
    EXPECT_EQ(r.timer.calls, 0);
    EXPECT_EQ(r.Slot(p).valid, 0.0);
    EXPECT_EQ(r.Slot(p).percent, 0.0);
    EXPECT_EQ(r.Figure(p, 1), 0.0);
    EXPECT_NE(report.find("KelvaRANKS : DISABLED"), std::string::npos);
    EXPECT_EQ(r.status.text(Section::Memory, StatusField::State), "Done");
  }
}

TEST(MemoryTests, ABlockLargerThanTheLoopSizeRunsNoPassAndRecordsZero) {
  Rig r;
  // Kilobyte units: 256 KiB of loop size is 256 units. 128 KiB runs 2
  // passes, 256 KiB one, 512 KiB none (1 s is still timed for it).
  r.Run(mem::kMemsetFast, 256 * 1024, 11, 13, 1, 0, 1024);
  ASSERT_EQ(r.status.passes.size(), 3u);
  EXPECT_EQ(r.status.passes[0].second, 2);
  EXPECT_EQ(r.status.passes[1].second, 1);
  EXPECT_EQ(r.status.passes[2].second, 0);
  EXPECT_EQ(r.Figure(mem::kMemsetFast, 11), 256.0);
  EXPECT_EQ(r.Figure(mem::kMemsetFast, 12), 256.0);
  EXPECT_EQ(r.Figure(mem::kMemsetFast, 13), 0.0);
}

}  // namespace
}  // namespace kr
