#include "cli/repeat.h"

#include <algorithm>
#include <cmath>

#include "engine/scoring.h"
#include "records/catalogue.h"
#include "records/results.h"
#include "util/numtext.h"

namespace kr::cli {
namespace {

struct Figure {
  const char* suffix;  // after the test label; empty: the test's figure
  size_t offset;
};

// The figures a test contributes: the figure its card scores from (a
// sweep's average, a multi-part test's mean), after the parts of the two
// ciphers. Drive tests contribute none.
std::vector<Figure> FiguresOf(const CatalogueEntry& e) {
  static constexpr const char* kMarsParts[] = {" setup", " encrypt", " decrypt"};
  static constexpr const char* kSerpentParts[] = {" encrypt", " decrypt"};
  static_assert(ProcessorEntry(cpu::kMars).figures.count == 3 && ProcessorEntry(cpu::kSerpent).figures.count == 2);
  if (e.section == Section::Drive) return {};
  std::vector<Figure> figures;
  const bool mars = e.section == Section::Processor && e.position == cpu::kMars;
  const bool serpent = e.section == Section::Processor && e.position == cpu::kSerpent;
  if (mars || serpent)
    for (int i = 0; i < e.figures.count; ++i)
      figures.push_back({(mars ? kMarsParts : kSerpentParts)[i], e.figures.at(i)});
  figures.push_back({"", e.figures.score});
  return figures;
}

std::string Number(double v) {
  if (!std::isfinite(v) || v < 0.0) return "-";
  double whole = std::trunc(v);
  int hundredths = int((v - whole) * 100.0);
  return Format("%.0f.%02d", whole, hundredths);
}

int TotalSlot(RunMode mode) {
  return mode == RunMode::Processor ? slot::kProcessorTotal : mode == RunMode::Memory ? slot::kMemoryTotal : -1;
}

int TestsRun(const Context& ctx, RunMode mode) {
  return mode == RunMode::Processor ? ctx.countProcessor : ctx.countMemory;
}

}  // namespace

std::string GroupedOneDecimal(double v) {
  if (!std::isfinite(v) || v < 0.0) return "-";
  const std::string digits = Format("%.1f", v);
  const size_t whole = digits.find('.');
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && i < whole && (whole - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return out;
}

std::string UncappedNote(const Context& ctx, RunMode mode) {
  const int total = TotalSlot(mode);
  if (total < 0) return {};
  const double u = UncappedTotal(ctx, total, TestsRun(ctx, mode));
  if (u < 0.0) return {};
  return " (uncapped " + GroupedOneDecimal(u) + ")";
}

void AddUncappedJson(const Context& ctx, std::string& json) {
  const size_t end = json.rfind("\n}");
  if (end == std::string::npos) return;
  auto number = [](double v) { return v < 0.0 || !std::isfinite(v) ? std::string("null") : Format("%.2f", v); };
  std::string member = ",\n  \"uncapped\": {\"processor\": " +
                       number(UncappedTotal(ctx, slot::kProcessorTotal, ctx.countProcessor)) +
                       ", \"memory\": " + number(UncappedTotal(ctx, slot::kMemoryTotal, ctx.countMemory)) +
                       ", \"tests\": {";
  bool first = true;
  auto add = [&](const CatalogueEntry& e) {
    const double u = ctx.uncapped[size_t(e.slot)];
    if (!ctx.results.score(e.slot).counts() || u <= 0.0) return;
    std::string label;
    for (const char* c = e.label; *c; ++c) {
      if (*c == '"' || *c == '\\') label += '\\';
      label += *c;
    }
    member += std::string(first ? "" : ", ") + "\"" + label + "\": " + number(u);
    first = false;
  };
  for (int k = 1; k <= kProcessorTests; ++k) add(ProcessorEntry(k));
  for (int p = 0; p < kMemoryTests; ++p) add(MemoryEntry(p));
  member += "}}";
  json.insert(end, member);
}

Summary Summarize(std::vector<double> samples) {
  Summary s;
  s.count = int(samples.size());
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  size_t n = samples.size();
  s.minimum = samples.front();
  s.maximum = samples.back();
  s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2.0;
  if (n >= 2) {
    double mean = 0.0;
    for (double v : samples) mean += v;
    mean /= double(n);
    double sq = 0.0;
    for (double v : samples) sq += (v - mean) * (v - mean);
    if (mean != 0.0) s.cv = std::sqrt(sq / double(n - 1)) / std::fabs(mean);
  }
  return s;
}

void FigureCollector::RunStarted(RunMode) { samples_.clear(); }

void FigureCollector::TestFinished(const CatalogueEntry& test, const ScoreSlot& score) {
  for (const Figure& f : FiguresOf(test))
    samples_.push_back({std::string(test.label) + f.suffix, test.unit, ctx_.results.figure(f.offset), true});
  samples_.push_back({std::string(test.label) + " score", "percent", score.percent, score.counts()});
  samples_.push_back({std::string(test.label) + " uncapped", "percent", ctx_.uncapped[size_t(test.slot)], score.counts()});
}

void FigureCollector::RunFinished(const RunOutcome& o) {
  const char* name = o.mode == RunMode::Processor ? "Processor" : o.mode == RunMode::Memory ? "Memory" : "Hard Drive";
  const ScoreSlot& t = o.mode == RunMode::Processor ? o.processorTotal
                       : o.mode == RunMode::Memory  ? o.memoryTotal
                                                    : o.driveTotal;
  samples_.push_back({std::string(name) + " total", "KelvaRANKS", t.percent, t.counts()});
  const int total = TotalSlot(o.mode);
  if (total >= 0) {
    const double u = UncappedTotal(ctx_, total, TestsRun(ctx_, o.mode));
    samples_.push_back({std::string(name) + " total uncapped", "percent", u, u >= 0.0});
  }
}

void RepeatTable::Add(const std::vector<FigureSample>& run) {
  ++runs_;
  for (const FigureSample& f : run) {
    auto it = std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return r.name == f.name; });
    if (it == rows_.end()) it = rows_.insert(rows_.end(), Row{f.name, f.unit, {}});
    if (f.counts) it->samples.push_back(f.value);
  }
}

std::string RepeatTable::Render() const {
  size_t nameWidth = 6, unitWidth = 4;
  for (const Row& r : rows_) {
    nameWidth = std::max(nameWidth, r.name.size());
    unitWidth = std::max(unitWidth, r.unit.size());
  }
  auto line = [&](const std::string& name, const std::string& unit, const std::string& rest) {
    std::string l = name;
    l.append(nameWidth + 2 - name.size(), ' ').append(unit).append(unitWidth + 2 - unit.size(), ' ');
    return l.append(rest).append("\n");
  };
  std::string out = Format("%d runs:\n", runs_);
  out += line("figure", "unit", Format("%14s %14s %14s %8s  runs", "median", "minimum", "maximum", "CV"));
  for (const Row& r : rows_) {
    Summary s = Summarize(r.samples);
    if (s.count == 0) {
      out += line(r.name, r.unit, Format("%14s", "DISABLED"));
      continue;
    }
    out += line(r.name, r.unit,
                Format("%14s %14s %14s %7s%%  %d", Number(s.median).c_str(), Number(s.minimum).c_str(),
                       Number(s.maximum).c_str(), Number(100.0 * s.cv).c_str(), s.count));
  }
  return out;
}

}  // namespace kr::cli
