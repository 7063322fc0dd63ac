// Repeated section runs: the figures each run leaves in the results record
// and their summary over the runs.
#pragma once

#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/run_events.h"

namespace kr::cli {

// Median (the mean of the middle two for an even count), minimum, maximum and
// coefficient of variation (sample standard deviation / mean; 0 for fewer
// than two samples or a zero mean). Empty samples give count 0.
struct Summary {
  int count = 0;
  double median = 0.0, minimum = 0.0, maximum = 0.0, cv = 0.0;
};
Summary Summarize(std::vector<double> samples);

// " (uncapped 2 741.3)" for a section total that counts: the section's
// uncapped total (engine/scoring.h), one decimal, thousands set apart by a
// space; empty for the drive section or a total that does not count.
std::string UncappedNote(const Context& ctx, RunMode mode);
// Adds the uncapped figures to a run's JSON document (the object
// ModulesJson made) as a top-level member after "modules":
//   "uncapped": {"processor": 2741.26, "memory": null, "tests": {"MD5 checksuming": 512.4, ...}}
// the section totals (null where the total does not count) and every
// processor and memory test scored in this process.
void AddUncappedJson(const Context& ctx, std::string& json);
// 2741.26 -> "2 741.3".
std::string GroupedOneDecimal(double v);

// One figure of one run.
struct FigureSample {
  std::string name;  // "Mars Cipher setup", "Dhrystones score"
  std::string unit;  // the catalogue unit, or "percent" for a score
  double value = 0.0;
  bool counts = true;  // false: a score slot that did not count this run
};

// Listens to a run and keeps the figures of every test that finished, in
// the order they ran, each followed by its score, and at the end the
// section total. Processor tests give their figure (multi-part tests also
// their parts), memory tests their average over the block sizes.
class FigureCollector : public RunListener {
 public:
  explicit FigureCollector(const Context& ctx) : ctx_(ctx) {}
  void RunStarted(RunMode mode) override;
  void TestFinished(const CatalogueEntry& test, const ScoreSlot& score) override;
  void RunFinished(const RunOutcome& outcome) override;
  const std::vector<FigureSample>& samples() const { return samples_; }

 private:
  const Context& ctx_;
  std::vector<FigureSample> samples_;
};

// The samples of all runs, keyed by figure name in first-seen order.
class RepeatTable {
 public:
  void Add(const std::vector<FigureSample>& run);
  int runs() const { return runs_; }
  // One line per figure: name, unit, median, minimum, maximum, CV in percent;
  // a score that never counted shows DISABLED.
  std::string Render() const;

 private:
  struct Row {
    std::string name, unit;
    std::vector<double> samples;
  };
  std::vector<Row> rows_;
  int runs_ = 0;
};

}  // namespace kr::cli
