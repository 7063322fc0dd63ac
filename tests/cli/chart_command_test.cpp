#include "cli/chart_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "charts/pens.h"
#include "charts/raster_canvas.h"
#include "modules/module_base.h"
#include "modules/module_fixture.h"

namespace kr::test {
namespace {

struct ChartCli : ::testing::Test {
  ModuleContext t;
  Context& ctx = t.ctx;
  std::ostringstream out, err;
  std::string png = t.Home("chart.png");

  void SetUp() override { SetDisplayDefaults(ctx.display); }

  // A Local module whose Mars Cipher figures are a, b, c.
  std::string Store(const std::string& user, double a, double b, double c) {
    return std::string(ModuleSerial(WriteMarsModule(ctx, user, a, b, c)));
  }
  int Run(const std::vector<std::string>& words) {
    cli::ChartArgs a;
    const std::string bad = cli::ParseChart(words, a);
    EXPECT_EQ(bad, "");
    return bad.empty() ? cli::ChartCommand(ctx, a, out, err) : -1;
  }
  uint32_t Rgb(int role) const {
    const auto p = ChartPalette(ctx.display);
    return uint32_t(p[size_t(role)].r) << 16 | uint32_t(p[size_t(role)].g) << 8 | p[size_t(role)].b;
  }
};

// The pixels of a PNG file as 0xRRGGBB, read back by the PNG decoder.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  explicit Picture(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    if (!DecodePng(bytes, width, height, pixels)) width = height = 0;
  }
  uint32_t pixel(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Two modules in slots 1 and 2, Mars Cipher as blocks in a 400 x 300 PNG
// whose inner box is the whole image; the records the command used are put
// back afterwards.
TEST_F(ChartCli, DrawsTheChosenModulesIntoAPng) {
  const std::string a = Store("ann", 300, 600, 150), b = Store("bob", 900, 100, 100);
  const DisplayRecord before = ctx.display;
  ASSERT_EQ(Run({"chart", "--section", "processor", "--test", "marscipher", "--slot", "1=" + a, "--slot=2=" + b,
                 "--blocks", "--size", "400x300", "--png", png}),
            0)
      << err.str();
  EXPECT_NE(out.str().find("Mars Cipher"), std::string::npos);
  const Picture image(png);
  ASSERT_EQ(image.width, 400);
  ASSERT_EQ(image.height, 300);
  // L = 0, R = 399, B = 299: plotBottom 278, plotHeight 259; W = 297 / 4,
  // Lw = W / 3, bw = Lw - 4; M = 900.
  const double W = 297.0 / 4, Lw = W / 3, bw = Lw - 4;
  const int h1 = int(300.0 * 259 / 900), h2 = int(100.0 * 259 / 900);
  auto at = [&](double x, int y) { return image.pixel(int(x), y) & 0xFFFFFF; };
  EXPECT_EQ(at(99 + Lw, 278 - h1), Rgb(disp::kPenModule1) & 0xFFFFFF);
  EXPECT_EQ(at(99 + Lw + bw, 278), Rgb(disp::kPenModule1) & 0xFFFFFF);
  EXPECT_NE(at(99 + Lw, 278 - h1 - 1), Rgb(disp::kPenModule1) & 0xFFFFFF);
  EXPECT_EQ(at(W + 99 + 2 * Lw, 278 - h2), Rgb(disp::kPenModule2) & 0xFFFFFF);
  EXPECT_EQ(at(99, 250), Rgb(disp::kPenBackground) & 0xFFFFFF);  // the current session is all 0
  EXPECT_EQ(ctx.display.bytes, before.bytes);
  EXPECT_EQ(ctx.modules.slotLoaded, (std::array<int32_t, 4>{}));
}

// A slot whose module file has gone: the chart is still drawn without it and
// the command says so and fails.
TEST_F(ChartCli, VanishedModuleIsLeftOutAndReported) {
  const std::string a = Store("ann", 300, 600, 150);
  ctx.display.set_text(disp::kSlotPath, disp::kSlotWidth, LocalModulePath(a));
  const std::string gone = LocalModulePath("0x00000000000000000000000000000000");
  ctx.display.set_text(disp::kSlotPath + disp::kSlotWidth, disp::kSlotWidth, gone);
  EXPECT_EQ(Run({"chart", "--png", png}), 10);
  EXPECT_NE(err.str().find("slot 2"), std::string::npos) << err.str();
  EXPECT_EQ(err.str().find("slot 1"), std::string::npos) << err.str();
  const Picture image(png);
  EXPECT_EQ(image.width, 800);
  EXPECT_EQ(image.height, 600);
}

std::string CheckChartWords(const std::vector<std::string>& w) {
  cli::ChartArgs a;
  return cli::ParseChart(w, a);
}

TEST(ChartWords, CheckedBeforeStartUp) {
  const std::string s = "0x0123456789ABCDEF0123456789ABCDEF";
  EXPECT_EQ(CheckChartWords({"chart", "--png", "x.png"}), "");
  EXPECT_EQ(CheckChartWords({"chart", "--test", "spinupdevice", "--slot", "4=" + s, "--relative",
                                  "--side-by-side", "--size=1x8192", "--png=x.png"}),
            "");
  const std::vector<std::vector<std::string>> bad = {
      {"chart"},
      {"chart", "--size", "800x600"},
      {"chart", "--png", "x.png", "--size", "0x5"},
      {"chart", "--png", "x.png", "--size", "10000x10000"},
      {"chart", "--png", "x.png", "--size", "800"},
      {"chart", "--png", "x.png", "--slot", "5=" + s},
      {"chart", "--png", "x.png", "--slot", "1=" + s, "--slot", "1=" + s},
      {"chart", "--png", "x.png", "--blocks", "--splines"},
      {"chart", "--png", "x.png", "--section", "video"},
      {"chart", "--png", "x.png", "--section", "memory", "--test", "marscipher"},
      {"chart", "--png", "a:b.png"},
      {"chart", "--png", "x.png", "--colour"},
  };
  for (const auto& w : bad) EXPECT_NE(CheckChartWords(w), "") << w.back();
}

TEST_F(ChartCli, ModuleInformationAndMaximumValues) {
  const std::string a = Store("ann", 1, 2, 3);
  ASSERT_EQ(cli::ModuleInfoCommand(ctx, a, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("  Mainmodel:           Micronik - A4000 Tower\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("  Module Serial:       " + a + "\n"), std::string::npos);
  EXPECT_NE(out.str().find("Comment\n  A module of the test suite.\n"), std::string::npos);
  EXPECT_EQ(cli::ModuleInfoCommand(ctx, "0x00000000000000000000000000000000", out, err), 10);
  EXPECT_EQ(cli::ModuleInfoCommand(ctx, "nonsense", out, err), 10);

  std::ostringstream page;
  cli::MaxValuesCommand(page);
  std::istringstream lines(page.str());
  std::vector<std::string> l;
  for (std::string s; std::getline(lines, s);) l.push_back(s);
  ASSERT_EQ(l.size(), 53u);
  EXPECT_EQ(l[0], "Maximum values - Test weight");
  EXPECT_EQ(l[1].rfind("Bogomips:", 0), 0u);
  EXPECT_NE(l[1].find("5000.00 Bogomips"), std::string::npos);
  EXPECT_NE(l[52].find("Weight: 50.00%"), std::string::npos);
}

}  // namespace
}  // namespace kr::test
