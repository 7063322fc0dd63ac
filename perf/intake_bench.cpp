// The collection side's cost per module as the collection grows.
//
//   BM_IntakeRun/N: one intake run over 1000 new mails, each with a module
//       not filed before, on a collection whose store already holds N
//       modules (N = 1000, 10000, 100000) and whose web folder is published
//       from it (at most 50000 listed). Counter "modules_per_s": new modules
//       per second of the run's CPU time. Targets: >= 1000 at N = 100000,
//       and about the same figure at every N (a flat cost per module).
//
// Each iteration files its own 1000 modules, so the store grows by 1000 per
// iteration over N. Run with --benchmark_repetitions=N for the median and
// the range. The collection lives in KR_PERF_DIR (default /dev/shm, so the
// setup of the large collections is not bound by the disk); the store is an
// SQLite file there, or the PostgreSQL database KR_PERF_PG_URI names.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "intake/intake.h"
#include "intake/store.h"
#include "modules/module_record.h"
#include "net/base64.h"
#include "records/catalogue.h"

namespace {

using namespace kr;

// Module number i: its own user, figures and serial; valid.
std::vector<uint8_t> ModuleFile(int64_t i) {
  ModuleRecord m;
  m.set_text(mod::kVersion, mod::kVersionWidth, "1.001");
  m.set_text(mod::kUserName, mod::kUserNameWidth, "user" + std::to_string(i));
  m.set_text(mod::kCpu, mod::kSysTextWidth, i % 2 ? "AMD Ryzen 7 5800X" : "Intel Core i5-8250U");
  m.set_text(mod::kOs, mod::kSysTextWidth, "Debian 12");
  m.set_text(mod::kDate, mod::kStampWidth, "11-12-26");
  m.set_text(mod::kTime, mod::kStampWidth, "01:02:03");
  m.setFigure(rec::kBogomips, double(i));
  m.setScore(slot::kProcessorTotal, {double(i % 1000), 1.0});
  std::memset(m.data() + mod::kSerial, 0, mod::kSerialWidth);
  MakeModuleSerial(m);
  ScrambleModule(m);
  return std::vector<uint8_t>(m.bytes.begin(), m.bytes.end());
}

std::string Mail(const std::vector<uint8_t>& file, int64_t i) {
  std::string b64;
  EncodeBase64(file.data(), file.size(), b64, "\n");
  return "Return-Path: <user" + std::to_string(i) +
         "@example.org>\nFrom: user@example.org\nSubject: module\nMIME-Version: 1.0\n"
         "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nmodule\n--b\n"
         "Content-Type: application/octet-stream\nContent-Disposition: attachment; filename=m.dbe\n"
         "Content-Transfer-Encoding: base64\n\n" +
         b64 + "\n--b--\n";
}

void WriteFile(const std::string& path, const std::string& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

void BM_IntakeRun(benchmark::State& state) {
  const int64_t base = state.range(0);
  const char* where = std::getenv("KR_PERF_DIR");
  const std::string root = std::string(where ? where : "/dev/shm") + "/kr-intake-perf-" + std::to_string(base);
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  for (const char* d : {"", "/mail", "/mail/new", "/mail/cur", "/mail/tmp", "/web"}) ::mkdir((root + d).c_str(), 0700);
  IntakeOptions o;
  o.maildir = root + "/mail";
  o.webdir = root + "/web";
  const char* pg = std::getenv("KR_PERF_PG_URI");
  o.store = pg ? pg : root + "/store.sqlite";
  {
    std::string error;
    std::unique_ptr<Store> store = OpenStore(o.store, error);
    if (!store || !store->Begin()) {
      state.SkipWithError(("cannot open the store: " + error).c_str());
      return;
    }
    for (int64_t i = 0; i < base; ++i) {
      StoredModule m = DescribeStoredModule(ModuleFile(i));
      m.sender = "<user@example.org>";
      if (!store->Insert(m)) {
        state.SkipWithError(store->error().c_str());
        return;
      }
    }
    if (!store->SetMeta("imported", "1") || !store->Commit()) {
      state.SkipWithError(store->error().c_str());
      return;
    }
  }
  IntakeSummary s;
  auto quiet = [](const std::string&) {};
  if (!RunIntake(o, quiet, s)) {
    state.SkipWithError("the first publication failed");
    return;
  }
  int64_t next = base;
  for (auto _ : state) {
    state.PauseTiming();
    for (int k = 0; k < 1000; ++k, ++next)
      WriteFile(o.maildir + "/new/" + std::to_string(next), Mail(ModuleFile(next), next));
    state.ResumeTiming();
    bool ok = RunIntake(o, quiet, s);
    state.PauseTiming();
    if (!ok || s.accepted != 1000) state.SkipWithError("the run did not file 1000 modules");
    std::filesystem::remove_all(o.maildir + "/cur", ec);
    ::mkdir((o.maildir + "/cur").c_str(), 0700);
    state.ResumeTiming();
  }
  state.counters["modules_per_s"] = benchmark::Counter(1000.0 * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["filed"] = double(s.filed);
  state.counters["published"] = double(s.published);
  std::filesystem::remove_all(root, ec);
}
BENCHMARK(BM_IntakeRun)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
