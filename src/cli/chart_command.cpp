#include "cli/chart_command.h"

#include <limits.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>

#include "charts/chart_model.h"
#include "charts/chart_png.h"
#include "charts/module_info.h"
#include "charts/pens.h"
#include "cli/program.h"
#include "cli/text.h"
#include "engine/context.h"
#include "charts/raster_canvas.h"
#include "modules/module_base.h"

namespace kr::cli {

const char kChartUsage[] =
    "chart takes --png FILE and optionally --section S, --test T, --slot N=SERIAL (N 1..4, up to four),\n"
    "--blocks or --splines, --cover or --side-by-side, --absolute or --relative, --uncapped, --size WxH (1..8192)";

namespace {

bool ParseInt(std::string_view s, int& out) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

const char* ReadFailure(ModuleRead r) {
  switch (r) {
    case ModuleRead::OpenFailed: return "its module file cannot be read";
    case ModuleRead::ShortFile: return "its module file is too short";
    case ModuleRead::Invalid: return "it is not a valid module";
    default: return "";
  }
}

}  // namespace

std::string ParseChart(const std::vector<std::string>& w, ChartArgs& a) {
  auto once = [](int32_t& field, int32_t v) {
    if (field != 0 && field != v) return false;
    field = v;
    return true;
  };
  for (size_t i = 1; i < w.size(); ++i) {
    const std::string& word = w[i];
    std::string v;
    if (word == "--blocks" || word == "--splines") {
      if (!once(a.drawMode, word == "--blocks" ? kDrawBlocks : kDrawSplines)) return "--blocks and --splines exclude each other";
    } else if (word == "--cover" || word == "--side-by-side") {
      if (!once(a.splineMode, word == "--cover" ? kSplineCover : kSplineSideBySide))
        return "--cover and --side-by-side exclude each other";
    } else if (word == "--absolute" || word == "--relative") {
      if (!once(a.showMode, word == "--absolute" ? kShowAbsolute : kShowRelative))
        return "--absolute and --relative exclude each other";
    } else if (word == "--uncapped") {
      a.uncapped = true;
    } else if (word.rfind("--section", 0) == 0) {
      if (!OptionValue(w, i, "--section", v) || MasterSectionByName(v) == 0)
        return "--section takes kelvaranks, processor, memory, harddisk or 1..4";
      a.section = v;
    } else if (word.rfind("--test", 0) == 0) {
      if (!OptionValue(w, i, "--test", v) || v.empty()) return "--test needs a test name or number";
      a.test = v;
    } else if (word.rfind("--slot", 0) == 0) {
      const size_t eq = OptionValue(w, i, "--slot", v) ? v.find('=') : std::string::npos;
      int n = 0;
      if (eq == std::string::npos || !ParseInt(std::string_view(v).substr(0, eq), n) || n < 1 || n > 4 ||
          eq + 1 == v.size())
        return "--slot takes N=SERIAL with N from 1 to 4";
      for (const auto& s : a.slots)
        if (s.first == n) return "--slot " + std::to_string(n) + " is given twice";
      a.slots.emplace_back(n, v.substr(eq + 1));
    } else if (word.rfind("--size", 0) == 0) {
      const size_t x = OptionValue(w, i, "--size", v) ? v.find('x') : std::string::npos;
      if (x == std::string::npos || !ParseInt(std::string_view(v).substr(0, x), a.width) ||
          !ParseInt(std::string_view(v).substr(x + 1), a.height) || a.width < 1 || a.height < 1 ||
          a.width > kMaxChartImageSide || a.height > kMaxChartImageSide)
        return "--size takes WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxChartImageSide) + " pixels";
    } else if (word.rfind("--png", 0) == 0) {
      if (!OptionValue(w, i, "--png", v) || v.empty()) return "--png needs a file name";
      std::string path = AbsolutePath(v);
      // A colon would read as a partition or volume name.
      if (path.find(':') != std::string::npos) return "--png: a file name with ':' cannot be used";
      a.png = path;
    } else {
      return kChartUsage;
    }
  }
  if (a.png.empty()) return kChartUsage;
  // A test name is checked against its section: the given one, else every
  // section (the saved one is not known before start-up).
  if (!a.test.empty()) {
    bool found = false;
    for (int32_t m = 1; m <= 4 && !found; ++m) {
      if (!a.section.empty() && m != MasterSectionByName(a.section)) continue;
      found = SlaveEntryByName(m, a.test) != 0;
    }
    if (!found) return "--test: no such test in " + (a.section.empty() ? std::string("any section") : a.section);
  }
  return {};
}

int ChartCommand(Context& ctx, const ChartArgs& a, std::ostream& out, std::ostream& err) {
  // The command draws; it changes no setting: slots it loads are put back.
  const DisplayRecord savedDisplay = ctx.display;
  const auto savedCompare = ctx.compare;
  const auto savedLoaded = ctx.modules.slotLoaded;
  int code = kExitOk;

  ChartState state = ChartStateFromDisplay(ctx.display);
  if (!a.section.empty()) SetMasterSection(state, MasterSectionByName(a.section));
  if (!a.test.empty()) {
    int32_t slave = SlaveEntryByName(state.masterSection, a.test);
    for (int32_t m = 1; m <= 4 && slave == 0 && a.section.empty(); ++m) {
      if ((slave = SlaveEntryByName(m, a.test)) != 0) SetMasterSection(state, m);
    }
    state.slaveSection = slave;
  }
  if (a.drawMode) state.drawMode = a.drawMode;
  if (a.splineMode) state.splineMode = a.splineMode;
  if (a.showMode) state.showMode = a.showMode;
  state.uncapped = a.uncapped;

  if (a.slots.empty()) {
    ReloadSlots(ctx);  // as opening the chart window does
    for (int i = 0; i < 4; ++i) {
      if (savedDisplay.slotPath(i).empty() || ctx.modules.slotLoaded[size_t(i)] != 0) continue;
      err << "kelvarank-cli: slot " << i + 1 << ": " << PlainText(savedDisplay.slotPath(i), false)
          << " not loaded; the chart is drawn without it\n";
      code = kExitFailed;
    }
  } else {
    for (int i = 0; i < 4; ++i) ctx.modules.slotLoaded[size_t(i)] = 0;
    for (const auto& [n, serial] : a.slots) {
      state.showModule[size_t(n - 1)] = true;
      const bool wellFormed = !LocalModulePath(serial).empty();
      const ModuleRead r = wellFormed ? LoadModuleIntoSlot(ctx, n, serial) : ModuleRead::Invalid;
      if (r != ModuleRead::Ok) {
        err << "kelvarank-cli: slot " << n << ": module " << TerminalText(serial) << " not loaded ("
            << (wellFormed ? ReadFailure(r) : "not a module serial") << "); the chart is drawn without it\n";
        code = kExitFailed;
      }
    }
  }
  ChartSources drawn = ChartSourcesOf(ctx);
  drawn.shown = state.showModule;

  // Drawn into a pixel buffer (texts by FreeType) and encoded by libpng: no
  // display and no windowing toolkit are needed.
  std::vector<uint8_t> png;
  std::string error;
  if (!ChartPng(a.width, a.height, state, drawn, ChartPalette(ctx.display), kChartFontFile, png, error)) {
    err << "kelvarank-cli: " << TerminalText(error) << "\n";
    code = kExitFailed;
  } else if (!ctx.dos.WriteFileAtomic(a.png, png.data(), png.size())) {
    err << "kelvarank-cli: the chart could not be written to " << TerminalText(a.png) << ": "
        << TerminalText(ctx.dos.LastErrorReason()) << "\n";
    code = kExitFailed;
  } else {
    const ChartChoice c = DescribeChoice(state.masterSection, state.slaveSection);
    out << "Chart: " << TerminalText(a.png) << " (" << a.width << "x" << a.height << ", "
        << Latin1ToUtf8(SlaveEntry(c.masterSection, c.slaveSection)) << ")\n";
  }
  ctx.display = savedDisplay;
  ctx.compare = savedCompare;
  ctx.modules.slotLoaded = savedLoaded;
  return code;
}

int ModuleInfoCommand(Context& ctx, const std::string& serial, std::ostream& out, std::ostream& err) {
  const std::string path = LocalModulePath(serial);
  if (path.empty()) {
    err << "kelvarank-cli: " << TerminalText(serial) << " is not a module serial (0x and 32 hexadecimal digits)\n";
    return kExitFailed;
  }
  ModuleRecord m;
  const ModuleRead r = ctx.dos.FileSize(path) < 0 ? ModuleRead::OpenFailed : ReadModuleFile(ctx, path, m);
  if (r == ModuleRead::OpenFailed) {
    err << "kelvarank-cli: no module " << TerminalText(serial) << " in the Local database\n";
    return kExitFailed;
  }
  if (r != ModuleRead::Ok) {
    err << "kelvarank-cli: module " << TerminalText(serial) << ": " << ReadFailure(r) << "\n";
    return kExitFailed;
  }
  const ModuleInformation info = ComposeModuleInformation(DescribeModule(m));
  std::string group = "";
  for (const InfoLine& l : info.lines) {
    if (group != l.group) {
      group = l.group;
      out << "\n" << group << "\n";
    }
    std::string label = l.label;
    label.resize(21, ' ');
    out << "  " << label << PlainText(l.text, false) << "\n";
  }
  out << "\nComment\n";
  std::string comment = PlainText(info.comment, false);
  size_t start = 0;
  while (start <= comment.size()) {
    size_t end = comment.find('\n', start);
    if (end == std::string::npos) end = comment.size();
    out << "  " << comment.substr(start, end - start) << "\n";
    start = end + 1;
  }
  return kExitOk;
}

int MaxValuesCommand(std::ostream& out) {
  out << "Maximum values - Test weight\n";
  for (const MaxValueLine& l : MaximumValueLines()) {
    std::string label = l.label, ref = l.reference;
    label.resize(23, ' ');
    ref.resize(28, ' ');
    out << label << ref << "Weight: " << l.weight << "\n";
  }
  return kExitOk;
}

}  // namespace kr::cli
