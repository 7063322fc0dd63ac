// The comparison chart's model: what a choice of master section and slave
// entry plots, the values of the five sources (the current session and the
// four comparison slots), their maxima and averages, the full scale of the
// two views and which controls the choice leaves enabled. No drawing here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "records/catalogue.h"
#include "records/results.h"
#include "records/display_record.h"

namespace kr {

// Master sections (the cycle index + 1).
namespace master {
constexpr int32_t kKelvaRanks = 1, kProcessor = 2, kMemory = 3, kHardDisk = 4;
}
// Draw, spline and show modes (the radio index + 1).
constexpr int32_t kDrawBlocks = 1, kDrawSplines = 2;
constexpr int32_t kSplineCover = 1, kSplineSideBySide = 2;
constexpr int32_t kShowAbsolute = 1, kShowRelative = 2;

constexpr int kMaxChartPoints = 24;  // N of the largest choice (KelvaRANKS: Memory)
constexpr int kChartSources = 5;     // the current session and slots 1..4

// The chart's own state: what the class keeps between drawings.
struct ChartState {
  int32_t masterSection = master::kKelvaRanks;
  int32_t slaveSection = 1;
  int32_t drawMode = kDrawBlocks;
  int32_t splineMode = kSplineCover;
  int32_t showMode = kShowAbsolute;
  int32_t optionA = 0, optionB = 0;  // the display record's fixed options, kept only
  int32_t fineScale = disp::kDefaultFineScale;
  int32_t roughScale = disp::kDefaultRoughScale;
  std::array<bool, 4> showModule{true, true, true, true};
  double framesPerSecond = 0.0;  // rate of the previous drawing, shown by the next
  // The relative view without the clamp at 100: a test's value is its
  // uncapped percentage of the reference (never stored in the display record).
  bool uncapped = false;
};

// The state the chart takes from the display record (cycle and radio
// indexes + 1). Values outside their control's range fall back to the first
// entry, so a damaged .def still gives a drawable chart.
ChartState ChartStateFromDisplay(const DisplayRecord& d);

// Changing the master section resets the slave section to its first entry.
void SetMasterSection(ChartState& s, int32_t master);

// The slave cycle's entries of a master section: "General", "Processor",
// "Memory", "Hard Drive" for KelvaRANKS, else the section's tests in
// catalogue order. Empty for an unknown master section.
int SlaveEntryCount(int32_t master);
std::string_view SlaveEntry(int32_t master, int slave);  // slave counted from 1

// Names for the terminal: a master section by its cycle label reduced to
// lower-case letters and digits as the settings keys reduce test labels
// ("kelvaranks", "processor", "memory", "harddisk") or its number 1..4; a
// slave entry likewise ("general", "marscipher", "cpucacheread",
// "spinupdevice") or its number from 1. 0 when the name fits nothing.
int32_t MasterSectionByName(std::string_view name);
int32_t SlaveEntryByName(int32_t master, std::string_view name);

// A choice resolved against the fixed tables.
struct ChartChoice {
  int32_t masterSection = master::kKelvaRanks;
  int32_t slaveSection = 1;
  int points = 0;           // N
  bool hasAverage = false;  // the choice ends in an "AVG" point
  std::array<const char*, kMaxChartPoints + 1> labels{};  // N labels, then "AVG"
  const char* unitTitle = "";
  bool scores = false;         // KelvaRANKS section: values are scores ("%" texts)
  double scaleMagnitude = 0;   // S: the chosen test's reference (other sections)
  bool absoluteOnly = false;   // Seek on Device, SpinUP Device
  const CatalogueEntry* test = nullptr;  // the chosen test (other sections)

  int slots() const { return points + (hasAverage ? 1 : 0); }  // N + a
};

// Resolves master and slave (out-of-range values: the first entry).
ChartChoice DescribeChoice(int32_t masterSection, int32_t slaveSection);

// The relative value of a figure x against reference ref and weight wt (in
// percent): 0 for x = 0; direction 1 (higher is better) (100/ref) x (wt/100);
// 2 (lower is better) (100/x)(wt/100); 3 (lower, quarter scale)
// (100/x) 0.25 (wt/100); clamped to 0..100 (only below 0 when capped is
// false). A figure that is not a finite positive number gives 0 for the
// lower-is-better directions and for NaN.
double RelativeValue(double x, double ref, double wt, int direction, bool capped = true);

// The N values of a choice taken from one record. Values that are not finite
// or are negative count as 0: a damaged record still draws.
struct ChartSeries {
  std::array<double, kMaxChartPoints> values{};
  int count = 0;
  double maximum = 0;  // 0 when count is 0
  double average = 0;
};
ChartSeries SeriesOf(const ChartChoice& c, const ResultsRecord& r, bool capped = true);

// Where point i of a raw-figure choice (not KelvaRANKS) lies in a record:
// the chosen test's figure layout in its catalogue row.
size_t ChoiceFigureOffset(const ChartChoice& c, int i);

// The five sources. records[0] is the current session (never null); a slot
// whose record is null holds no module. shown[i] is slot i+1's check mark.
struct ChartSources {
  std::array<const ResultsRecord*, kChartSources> records{};
  bool drawn(int i) const;  // takes part in the drawing
  std::array<bool, 4> shown{true, true, true, true};
};

struct Context;
// The sources of a running system: its results record and the comparison
// slots the module base marks as loaded, shown as the display record says.
ChartSources ChartSourcesOf(const Context& ctx);

// Everything the drawing needs besides the geometry.
struct ChartModel {
  ChartChoice choice;
  std::array<ChartSeries, kChartSources> series;  // all five, drawn or not
  std::array<bool, kChartSources> drawn{};
  int shownSlots = 0;        // V: slots that hold a module and are shown
  double largest = 0;        // M: over the current session and every loaded slot
  double relativeScale = 0;  // the relative view's full scale
  double fullScale = 0;      // F of the view actually drawn
  int drawMode = kDrawBlocks;    // effective: single-figure choices draw blocks
  int showMode = kShowAbsolute;  // effective: Seek/SpinUP draw absolute
  int splineMode = kSplineCover;
  bool scaleLabels = false;  // M and the relative full scale are not both 0
  int labelSource = 0;       // drawn source with the highest average (earliest on ties)
};
ChartModel BuildChartModel(const ChartState& s, const ChartSources& src);

// Control enabling for a choice: the show-mode radio is off for Seek on
// Device and SpinUP Device, the draw-mode radio for choices without "AVG".
bool ShowModeEnabled(const ChartState& s);
bool DrawModeEnabled(const ChartState& s);

// Value texts of bars and scale labels: "%lu.%0.1lu%%" for scores, else
// "%lu.%0.1lu" (whole part and first decimal, both truncated).
std::string ChartValueText(double v, bool scores);
// The frame-rate text: "%.3lu.%0.1lu fps".
std::string FrameRateText(double framesPerSecond);

}  // namespace kr
