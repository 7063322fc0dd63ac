#include "charts/chart_model.h"

#include <cmath>

#include "engine/context.h"
#include "util/numtext.h"

namespace kr {
namespace {

constexpr const char* kAvg = "AVG";

constexpr const char* kOverviewGeneral[] = {"Processor", "Memory", "Hard Drive"};
constexpr int kGeneralSlots[] = {slot::kProcessorTotal, slot::kMemoryTotal, slot::kDriveTotal};

constexpr const char* kOverviewProcessor[] = {"Bogomips", "Dhrystones", "Fibonacci", "FPU",     "LibJPEG",
                                              "Mars",     "MD5",        "MP3CDDA",   "Serpent", "ZLib"};
constexpr const char* kOverviewMemory[] = {"CR",  "RFb", "RFw", "RFl", "WFb", "WFw", "WFl", "RCb",
                                           "RCw", "RCl", "WCb", "WCw", "WCl", "F2F", "F2C", "C2F",
                                           "C2C", "AMF", "AMC", "IMF", "IMC", "RRb", "RRw", "RRl"};
// The drive overview has its own order; each label names a drive test.
constexpr const char* kOverviewDrive[] = {"Read",   "Write",  "Create", "CloseW", "Open",   "CloseR",
                                          "Prot.",  "Comment", "FileS.", "Date",  "Delete", "Rename",
                                          "Seek",   "DirScan", "ReadD",  "WriteD", "SeekD", "SpinUP"};
constexpr int kOverviewDriveTests[] = {1, 2, 3, 6, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

constexpr const char* kSlaveKelvaRanks[] = {"General", "Processor", "Memory", "Hard Drive"};

constexpr const char* kBlockLabels[17] = {"128B", "256B", "512B", "1K",   "2K",   "4K", "8K", "16K", "32K",
                                          "64K",  "128K", "256K", "512K", "1M",   "2M", "4M", "8M"};

constexpr const char* kFpuLabels[] = {"M1", "M2", "M3", "M4", "M5", "M6", "M7", "M8",
                                      "MFlops1", "MFlops2", "MFlops3", "MFlops4"};
constexpr const char* kJpegLabels[] = {"wRGB",  "rRGB",  "wYUV",  "rYUV",  "wCMYK",
                                       "rCMYK", "wYCCK", "rYCCK", "wGRAY", "rGRAY"};
constexpr const char* kMarsLabels[] = {"Setup", "Encrypting", "Decrypting"};
constexpr const char* kSerpentLabels[] = {"Encrypting", "Decrypting"};
constexpr const char* kZLibLabels[] = {"dDD", "iDD", "dSD", "iSD", "dCD", "iCD", "dDF", "iDF", "dSF",
                                       "iSF", "dCF", "iCF", "dDH", "iDH", "dSH", "iSH", "dCH", "iCH"};
constexpr const char* kSeekLabels[] = {"RND B", "RND T", "RND C", "B 2 B", "T 2 T", "C 2 C", "F<->L"};
// The twelve file-system operations, drive positions 3..14.
constexpr const char* kFileSystemLabels[] = {
    "Create",         "Open",        "Close from READ opened", "Close from WRITE opened",
    "Set Protection", "Set Comment", "Set File-Size",          "Set Date",
    "Delete",         "Rename",      "Seek in File",           "Directory Scan"};
constexpr const char* kProcessorSingle[] = {"BogoMIPS", "Dhrystones", "FiboMHZ", nullptr, nullptr,
                                            nullptr,    "MD5",        "MP3 2 CDDA"};
// Chart unit titles of the processor tests in catalogue order.
constexpr const char* kProcessorUnits[] = {"BogoMIPS",  "Dhrystones/sec", "FiboMHZ",   "MFlops",    "MBits/sec",
                                           "MBits/sec", "MBits/sec",      "Frames/sec", "MBits/sec", "MB/sec"};

// Seek on Device takes the quarter-scale direction, SpinUP Device the plain
// lower-is-better one (its card score is 50 / seconds, which direction 2
// with weight 50 gives exactly).
int DirectionOf(const CatalogueEntry& e) {
  if (e.higherBetter) return 1;
  return e.section == Section::Drive && e.position == 17 ? 3 : 2;
}

double Clean(double v) { return std::isfinite(v) && v > 0.0 ? v : 0.0; }

void SetLabels(ChartChoice& c, const char* const* labels, int n) {
  c.points = n;
  for (int i = 0; i < n; ++i) c.labels[size_t(i)] = labels[i];
}

}  // namespace

int SlaveEntryCount(int32_t m) {
  switch (m) {
    case master::kKelvaRanks: return 4;
    case master::kProcessor: return kProcessorTests;
    case master::kMemory: return kMemoryTests;
    case master::kHardDisk: return kDriveTests;
    default: return 0;
  }
}

std::string_view SlaveEntry(int32_t m, int slave) {
  if (slave < 1 || slave > SlaveEntryCount(m)) return {};
  switch (m) {
    case master::kKelvaRanks: return kSlaveKelvaRanks[slave - 1];
    case master::kProcessor: return ProcessorEntry(slave).label;
    case master::kMemory: return MemoryEntry(slave - 1).label;
    default: return DriveEntry(slave).label;
  }
}

namespace {
constexpr const char* kMasterLabels[] = {"KelvaRANKS", "Processor", "Memory", "Hard Disk"};

// A whole number 1..limit written in decimal, else 0.
int32_t Ordinal(std::string_view s, int32_t limit) {
  if (s.empty() || s.size() > 3) return 0;
  int32_t v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') return 0;
    v = v * 10 + (ch - '0');
  }
  return v >= 1 && v <= limit ? v : 0;
}
}  // namespace

int32_t MasterSectionByName(std::string_view name) {
  if (int32_t n = Ordinal(name, 4)) return n;
  const std::string key = TestKeyName(name);
  for (int32_t m = 1; m <= 4; ++m)
    if (!key.empty() && key == TestKeyName(kMasterLabels[m - 1])) return m;
  return 0;
}

int32_t SlaveEntryByName(int32_t m, std::string_view name) {
  const int count = SlaveEntryCount(m);
  if (int32_t n = Ordinal(name, count)) return n;
  const std::string key = TestKeyName(name);
  for (int s = 1; s <= count; ++s)
    if (!key.empty() && key == TestKeyName(SlaveEntry(m, s))) return s;
  return 0;
}

ChartState ChartStateFromDisplay(const DisplayRecord& d) {
  auto radio = [](int32_t v) { return v == 1 ? 2 : 1; };
  ChartState s;
  s.drawMode = radio(d.drawMode());
  s.showMode = radio(d.showMode());
  s.splineMode = radio(d.splineMode());
  s.optionA = d.s32(disp::kOptionA);
  s.optionB = d.s32(disp::kOptionB);
  s.masterSection = d.masterSection() + 1;
  if (SlaveEntryCount(s.masterSection) == 0) s.masterSection = master::kKelvaRanks;
  s.slaveSection = d.slaveSection() + 1;
  if (s.slaveSection < 1 || s.slaveSection > SlaveEntryCount(s.masterSection)) s.slaveSection = 1;
  s.fineScale = d.fineScale();
  s.roughScale = d.roughScale();
  for (int i = 0; i < 4; ++i) s.showModule[size_t(i)] = d.showModule(i) != 0;
  return s;
}

void SetMasterSection(ChartState& s, int32_t m) {
  s.masterSection = SlaveEntryCount(m) ? m : master::kKelvaRanks;
  s.slaveSection = 1;
}

ChartChoice DescribeChoice(int32_t m, int32_t slave) {
  ChartChoice c;
  if (SlaveEntryCount(m) == 0) m = master::kKelvaRanks;
  if (slave < 1 || slave > SlaveEntryCount(m)) slave = 1;
  c.masterSection = m;
  c.slaveSection = slave;
  c.hasAverage = true;

  if (m == master::kKelvaRanks) {
    c.scores = true;
    c.unitTitle = "Percent/KelvaRANKS";
    switch (slave) {
      case 1: SetLabels(c, kOverviewGeneral, 3); break;
      case 2: SetLabels(c, kOverviewProcessor, 10); break;
      case 3: SetLabels(c, kOverviewMemory, 24); break;
      default: SetLabels(c, kOverviewDrive, 18); break;
    }
  } else if (m == master::kProcessor) {
    c.test = &ProcessorEntry(slave);
    c.unitTitle = kProcessorUnits[slave - 1];
    switch (slave) {
      case cpu::kFpu: SetLabels(c, kFpuLabels, 12); break;
      case cpu::kJpeg: SetLabels(c, kJpegLabels, 10); break;
      case cpu::kMars: SetLabels(c, kMarsLabels, 3); break;
      case cpu::kSerpent: SetLabels(c, kSerpentLabels, 2); break;
      case cpu::kZLib: SetLabels(c, kZLibLabels, 18); break;
      default:
        SetLabels(c, &kProcessorSingle[slave - 1], 1);
        c.hasAverage = false;
        break;
    }
  } else if (m == master::kMemory) {
    c.test = &MemoryEntry(slave - 1);
    c.unitTitle = "MB/sec";
    SetLabels(c, kBlockLabels, c.test->figures.count);
  } else {
    c.test = &DriveEntry(slave);
    if (slave == 1 || slave == 2) {
      c.unitTitle = "MB/sec";
      SetLabels(c, kBlockLabels, 17);
    } else if (slave <= 14) {
      c.unitTitle = "OP/sec";
      SetLabels(c, &kFileSystemLabels[slave - 3], 1);
      c.hasAverage = false;
    } else if (slave <= 16) {
      // From the first block-size step the device tests measure (512 bytes).
      const int first = c.test->sweepRange.min - 1;
      c.unitTitle = "MB/sec";
      SetLabels(c, kBlockLabels + first, c.test->figures.count - first);
    } else if (slave == 17) {
      c.unitTitle = "msecs";
      SetLabels(c, kSeekLabels, 7);
      c.absoluteOnly = true;
    } else {
      // The figure is a time in seconds; the catalogue's unit caption says so.
      c.unitTitle = "secs";
      static constexpr const char* kSpinUp[] = {"SpinUP"};
      SetLabels(c, kSpinUp, 1);
      c.hasAverage = false;
      c.absoluteOnly = true;
    }
  }
  if (c.test) c.scaleMagnitude = c.test->reference;
  if (c.hasAverage) c.labels[size_t(c.points)] = kAvg;
  return c;
}

double RelativeValue(double x, double ref, double wt, int direction, bool capped) {
  if (x == 0.0 || std::isnan(x)) return 0.0;
  double v;
  if (direction == 1) {
    v = (100.0 / ref) * x * (wt * 0.01);
  } else {
    if (!(x > 0.0) || !std::isfinite(x)) return 0.0;
    v = (100.0 / x) * (direction == 3 ? 0.25 : 1.0) * (wt * 0.01);
  }
  if (!(v > 0.0)) return 0.0;  // negative and NaN (a reference of 0)
  if (!std::isfinite(v)) return capped ? 100.0 : 0.0;
  return capped && v > 100.0 ? 100.0 : v;
}

ChartSeries SeriesOf(const ChartChoice& c, const ResultsRecord& r, bool capped) {
  ChartSeries s;
  s.count = c.points;
  for (int i = 0; i < c.points; ++i) {
    double v = 0.0;
    if (c.masterSection == master::kKelvaRanks) {
      const CatalogueEntry* e = nullptr;
      switch (c.slaveSection) {
        case 1: {
          ScoreSlot total = r.score(kGeneralSlots[i]);
          v = total.counts() ? Clean(total.percent) : 0.0;
          if (v > 100.0) v = 100.0;
          break;
        }
        case 2: e = &ProcessorEntry(i + 1); break;
        case 3: e = &MemoryEntry(i); break;
        default: e = &DriveEntry(kOverviewDriveTests[i]); break;
      }
      if (e) v = RelativeValue(r.figure(e->figures.score), e->reference, e->weight, DirectionOf(*e), capped);
    } else {
      v = Clean(r.figure(ChoiceFigureOffset(c, i)));
    }
    s.values[size_t(i)] = v;
  }
  double sum = 0.0;
  for (int i = 0; i < s.count; ++i) {
    sum += s.values[size_t(i)];
    if (s.values[size_t(i)] > s.maximum) s.maximum = s.values[size_t(i)];
  }
  if (s.count > 0) s.average = sum / s.count;
  if (!std::isfinite(s.average)) s.average = 0.0;  // a sum of huge figures
  return s;
}

size_t ChoiceFigureOffset(const ChartChoice& c, int i) {
  // A sweep the chart shows from a later step starts its points there.
  const CatalogueEntry& e = *c.test;
  const int first = e.figures.sweep ? e.figures.count - c.points : 0;
  return e.figures.at(first + i);
}

bool ChartSources::drawn(int i) const {
  if (i == 0) return records[0] != nullptr;
  return records[size_t(i)] != nullptr && shown[size_t(i - 1)];
}

ChartSources ChartSourcesOf(const Context& ctx) {
  ChartSources s;
  s.records[0] = &ctx.results;
  for (size_t i = 0; i < 4; ++i) {
    s.records[i + 1] = ctx.modules.slotLoaded[i] != 0 ? &ctx.compare[i] : nullptr;
    s.shown[i] = ctx.display.showModule(int(i)) != 0;
  }
  return s;
}

ChartModel BuildChartModel(const ChartState& s, const ChartSources& src) {
  ChartModel m;
  m.choice = DescribeChoice(s.masterSection, s.slaveSection);
  const ChartChoice& c = m.choice;
  ChartSources sources = src;
  for (int i = 0; i < 4; ++i) sources.shown[size_t(i)] = s.showModule[size_t(i)];

  for (int i = 0; i < kChartSources; ++i) {
    const ResultsRecord* r = sources.records[size_t(i)];
    if (r) {
      m.series[size_t(i)] = SeriesOf(c, *r, !s.uncapped);
      // Hidden slots count as well: hiding a module does not rescale.
      if (m.series[size_t(i)].maximum > m.largest) m.largest = m.series[size_t(i)].maximum;
    }
    m.drawn[size_t(i)] = sources.drawn(i);
    if (i > 0 && m.drawn[size_t(i)]) ++m.shownSlots;
  }

  const double sliders = 0.2 * s.roughScale * s.fineScale;
  m.relativeScale = c.scores ? sliders : sliders * 0.01 * c.scaleMagnitude;
  m.showMode = (c.absoluteOnly || s.showMode != kShowRelative) ? kShowAbsolute : kShowRelative;
  m.drawMode = (!c.hasAverage || s.drawMode != kDrawSplines) ? kDrawBlocks : kDrawSplines;
  m.splineMode = s.splineMode == kSplineSideBySide ? kSplineSideBySide : kSplineCover;
  m.fullScale = m.showMode == kShowAbsolute ? m.largest : m.relativeScale;
  m.scaleLabels = !(m.largest == 0.0 && m.relativeScale == 0.0);

  double best = -1.0;
  for (int i = 0; i < kChartSources; ++i) {
    if (!m.drawn[size_t(i)]) continue;
    if (m.series[size_t(i)].average > best) {
      best = m.series[size_t(i)].average;
      m.labelSource = i;
    }
  }
  return m;
}

bool ShowModeEnabled(const ChartState& s) { return !DescribeChoice(s.masterSection, s.slaveSection).absoluteOnly; }
bool DrawModeEnabled(const ChartState& s) { return DescribeChoice(s.masterSection, s.slaveSection).hasAverage; }

std::string ChartValueText(double v, bool scores) {
  FixedSplit f = SplitFixed(v, 10);
  return scores ? Format("%u.%u%%", f.whole, f.frac) : Format("%u.%u", f.whole, f.frac);
}

std::string FrameRateText(double fps) {
  FixedSplit f = SplitFixed(fps, 10);
  return Format("%.3u.%u fps", f.whole, f.frac);
}

}  // namespace kr
