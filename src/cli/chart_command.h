// The terminal's chart, module-information and maximum-values commands:
//   chart [--section S] [--test T] [--slot N=SERIAL ...] [--blocks|--splines]
//         [--cover|--side-by-side] [--absolute|--relative] [--size WxH] --png FILE
//   modules info SERIAL
//   max-values
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kr {
struct Context;
}

namespace kr::cli {

extern const char kChartUsage[];

// The words of "chart" (w[0] == "chart"), checked before start-up: empty
// when usable, else the usage message.
std::string CheckChartWords(const std::vector<std::string>& w);
// Draws the chart of the chosen section and test (default: the choice saved
// in the display record) with the chosen modules (default: the slots the
// display record names) into a PNG whose inner box is the whole image. The
// display record is left as it was. Starts Qt on its offscreen platform.
int ChartCommand(Context& ctx, const std::vector<std::string>& w, std::ostream& out, std::ostream& err);

// "modules info SERIAL": the module information window of a Local module.
int ModuleInfoCommand(Context& ctx, const std::string& serial, std::ostream& out, std::ostream& err);

// "max-values": the page "Maximum values - Test weight".
int MaxValuesCommand(std::ostream& out);

}  // namespace kr::cli
