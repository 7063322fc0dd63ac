#include "gui/qt_canvas.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "charts/chart_draw.h"
#include "gui/qt_chart_png.h"

namespace kr::test {
namespace {

using namespace master;

struct QtChart : ::testing::Test {
  ResultsRecord current, slot1;
  ChartSources src;
  ChartState state;
  ChartPaletteColors palette;
  QImage image{800, 600, QImage::Format_RGB32};
  const int L = 0, T = 0, R = 799, B = 599;
  const int plotTop = T + 20, plotBottom = B - 21, plotHeight = B - T - 40;

  void SetUp() override {
    DisplayRecord d;
    SetDisplayDefaults(d);
    palette = ChartPalette(d);
    src.records = {&current, &slot1, nullptr, nullptr, nullptr};
  }
  QRgb Color(int role) const { return qRgb(palette[size_t(role)].r, palette[size_t(role)].g, palette[size_t(role)].b); }
  QRgb Px(int x, int y) const { return image.pixel(x, y) & 0xFFFFFF; }
  bool Is(int x, int y, int role) const { return Px(x, y) == (Color(role) & 0xFFFFFF); }
  void Render() {
    RenderChart(image, BuildChartModel(state, src), palette, 0.0, MappedFont(kChartFontSize));
  }
};

TEST(FontMapping, DejaVuSansAtTheTwoPixelSizes) {
  ASSERT_TRUE(FontAvailable()) << "install fonts-dejavu-core";
  for (int size : {kSmallFontSize, kLargeFontSize}) {
    const QFont f = MappedFont(size);
    EXPECT_EQ(QFontInfo(f).family(), "DejaVu Sans");
    EXPECT_EQ(QFontInfo(f).pixelSize(), size);
  }
  EXPECT_FALSE(FontAvailable(FontMapping{"No Such Family 1234"}));
}

// Mars Cipher blocks on a QImage: bar corners, ticks and grid ends sit on the
// pixels the geometry gives; lines include both end points.
TEST_F(QtChart, BarsTicksAndGridOnTheImage) {
  SetMasterSection(state, kProcessor);
  state.slaveSection = cpu::kMars;
  const double a[3] = {300, 600, 150}, b[3] = {100, 200, 900};
  for (int i = 0; i < 3; ++i) {
    current.setFigure(0x188 + 8 * size_t(i), a[i]);
    slot1.setFigure(0x188 + 8 * size_t(i), b[i]);
  }
  Render();
  const double W = (R - L - 102) / 4.0, Lw = W / 2, bw = Lw - 4, M = 900;
  for (int f4 : {4, 3, 2, 1, 0}) {
    const int y = int(plotBottom - plotHeight * (f4 / 4.0));
    EXPECT_TRUE(Is(L + 10, y, disp::kPenChart)) << f4;
    EXPECT_TRUE(Is(L + 9, y, disp::kPenBackground)) << f4;
  }
  EXPECT_TRUE(Is(R - 10, plotTop - 1, disp::kPenChart));
  EXPECT_TRUE(Is(R - 9, plotTop - 1, disp::kPenBackground));
  for (int c = 0; c < 4; ++c) {
    const int t0 = L + int(c * W + 97), t1 = L + int(c * W + 99);
    EXPECT_TRUE(Is(t0, plotBottom + 4, disp::kPenChart)) << c;
    EXPECT_TRUE(Is(t1, plotBottom + 4, disp::kPenChart)) << c;
    EXPECT_TRUE(Is(t0 - 1, plotBottom + 4, disp::kPenBackground)) << c;
    EXPECT_TRUE(Is(t1 + 1, plotBottom + 4, disp::kPenBackground)) << c;
    EXPECT_TRUE(Is(t1, plotBottom + 5, disp::kPenBackground)) << c;
  }
  const int roles[2] = {disp::kPenThisSession, disp::kPenModule1};
  const double* values[2] = {a, b};
  for (int k = 0; k < 2; ++k) {
    for (int c = 0; c < 3; ++c) {
      const int h = int(values[k][c] * plotHeight / M);
      const double x0 = c * W + 99 + k * Lw;
      const int left = L + int(x0), right = L + int(x0 + bw), top = plotBottom - h;
      SCOPED_TRACE(testing::Message() << "k " << k << " c " << c);
      // The cut bar's top is under its box: look at its lower corners there.
      const int y = top < plotTop ? plotTop + 12 : top;
      EXPECT_TRUE(Is(left, y, roles[k]));
      EXPECT_TRUE(Is(right, y, roles[k]));
      EXPECT_TRUE(Is(left, plotBottom, roles[k]));
      EXPECT_TRUE(Is(right, plotBottom, roles[k]));
      EXPECT_FALSE(Is(left - 1, y, roles[k]));
      EXPECT_FALSE(Is(right + 1, y, roles[k]));
      if (top >= plotTop) {
        EXPECT_FALSE(Is(left, top - 1, roles[k]));
      }
    }
  }
  // 900 = M: drawn to the top line with the cut box and its text in the box.
  const double x0 = 2 * W + 99 + Lw;
  EXPECT_TRUE(Is(L + int(x0), plotTop - 1, disp::kPenModule1));
  EXPECT_TRUE(Is(L + int(x0 + 2), plotTop + 1, disp::kPenBackground) ||
              Is(L + int(x0 + 2), plotTop + 1, disp::kPenChart));
  int ink = 0;
  for (int y = plotTop + 1; y <= plotTop + 11; ++y)
    for (int x = L + int(x0 + 2); x <= L + int(x0 + bw - 2); ++x) ink += Is(x, y, disp::kPenChart);
  EXPECT_GT(ink, 10) << "the value text stands in the cut box";
}

// The unit title ends at R; the curve starts and ends in its outer control
// points.
TEST_F(QtChart, TextAndCurveEnds) {
  SetMasterSection(state, kMemory);
  state.slaveSection = 1;
  state.drawMode = kDrawSplines;
  src.records[1] = nullptr;
  for (int i = 0; i < 17; ++i) current.setFigure(0x300 + 8 * size_t(i), 100.0 + 10 * i);
  Render();
  const double W = (R - L - 102) / 18.0, M = 260;
  EXPECT_TRUE(Is(L + 99, plotBottom - int(100 * plotHeight / M), disp::kPenThisSession));
  const int lastY = plotBottom - int(260 * plotHeight / M);
  EXPECT_EQ(lastY, plotTop - 1);  // the largest value is cut: the curve is clamped to T + 20
  EXPECT_TRUE(Is(L + int(16 * W + 99), T + 20, disp::kPenThisSession));

  QFont font = MappedFont(kChartFontSize);
  font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::NoAntialias));
  const int width = QFontMetrics(font).horizontalAdvance("MB/sec");
  int ink = 0, beyond = 0;
  for (int y = 0; y <= plotTop - 6; ++y) {
    for (int x = R - width; x <= R; ++x) ink += Is(x, y, disp::kPenChart);
    for (int x = R - width - 3; x < R - width - 1; ++x) beyond += Is(x, y, disp::kPenChart);
  }
  EXPECT_GT(ink, 10);
  EXPECT_EQ(beyond, 0);
}

TEST_F(QtChart, PngOfEverySizeOrAClearError) {
  std::vector<uint8_t> png;
  std::string error;
  for (auto [w, h] : {std::pair{1, 1}, {2, 300}, {640, 480}}) {
    ASSERT_TRUE(ChartPng(w, h, state, src, palette, png, error)) << error;
    const QImage decoded = QImage::fromData(png.data(), int(png.size()), "PNG");
    EXPECT_EQ(decoded.width(), w);
    EXPECT_EQ(decoded.height(), h);
    if (w == 640) {
      QImage direct(640, 480, QImage::Format_RGB32);
      RenderChart(direct, BuildChartModel(state, src), palette, 0.0, MappedFont(kChartFontSize));
      EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB32), direct);
    }
  }
  for (auto [w, h] : {std::pair{10000, 10000}, {0, 10}, {10, -1}}) {
    png.clear();
    EXPECT_FALSE(ChartPng(w, h, state, src, palette, png, error));
    EXPECT_NE(error.find("1 to 8192"), std::string::npos) << error;
    EXPECT_TRUE(png.empty());
  }
}

}  // namespace
}  // namespace kr::test
