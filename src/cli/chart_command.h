// The terminal's chart, module-information and maximum-values commands:
//   chart [--section S] [--test T] [--slot N=SERIAL ...] [--blocks|--splines]
//         [--cover|--side-by-side] [--absolute|--relative] [--size WxH] --png FILE
//   modules info SERIAL
//   max-values
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace kr {
struct Context;
}

namespace kr::cli {

extern const char kChartUsage[];

// The words of "chart", parsed once before start-up.
struct ChartArgs {
  std::string section, test;  // empty: as the display record says
  std::vector<std::pair<int, std::string>> slots;  // slot 1..4 and its module serial
  int32_t drawMode = 0, splineMode = 0, showMode = 0;  // 0: as the display record says
  bool uncapped = false;
  int width = 800, height = 600;
  std::string png;  // an absolute host path
};

// The words of "chart" (w[0] == "chart") into `out`: empty when usable,
// else the usage message.
std::string ParseChart(const std::vector<std::string>& w, ChartArgs& out);
// Draws the chart of the chosen section and test (default: the choice saved
// in the display record) with the chosen modules (default: the slots the
// display record names) into a PNG whose inner box is the whole image. The
// display record is left as it was. Drawn into a pixel buffer: no display
// and no windowing toolkit are needed.
int ChartCommand(Context& ctx, const ChartArgs& a, std::ostream& out, std::ostream& err);

// "modules info SERIAL": the module information window of a Local module.
int ModuleInfoCommand(Context& ctx, const std::string& serial, std::ostream& out, std::ostream& err);

// "max-values": the page "Maximum values - Test weight".
int MaxValuesCommand(std::ostream& out);

}  // namespace kr::cli
