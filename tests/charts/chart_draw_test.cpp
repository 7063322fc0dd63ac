#include "charts/chart_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/fake/fake_timer.h"
#include "recording_canvas.h"

namespace kr::test {
namespace {

using namespace master;
constexpr int kThis = disp::kPenThisSession, kMod1 = disp::kPenModule1, kMod2 = disp::kPenModule2;
constexpr int kBack = disp::kPenBackground, kChart = disp::kPenChart;

// The geometry, written out again from its definition.
struct Geo {
  int L, T, R, B, plotTop, plotBottom, plotHeight;
  double W, Lw, bw;
  Geo(int l, int t, int r, int b, int slots, int shown)
      : L(l), T(t), R(r), B(b), plotTop(t + 20), plotBottom(b - 21), plotHeight(b - t - 40) {
    W = double(r - l - 102) / slots;
    Lw = W / (shown + 1);
    bw = Lw - 4;
  }
  int X(double fromLeft) const { return L + int(fromLeft); }
  int GridY(double f) const { return int(plotBottom - plotHeight * f); }
};

const RecordingCanvas::TextOp* TextWithPen(const RecordingCanvas& cv, std::string_view t, int pen) {
  for (const auto& op : cv.texts)
    if (op.text == t && op.pen == pen) return &op;
  return nullptr;
}
int TextIndex(const RecordingCanvas& cv, std::string_view t) {
  for (size_t i = 0; i < cv.texts.size(); ++i)
    if (cv.texts[i].text == t) return int(i);
  return -1;
}

// The filled rectangle (x0,y0)-(x1,y1) in pen: its corners hold the pen, the
// pixels just outside its top-left and bottom-right corners do not.
void ExpectRect(const RecordingCanvas& cv, int x0, int y0, int x1, int y1, int pen) {
  SCOPED_TRACE(testing::Message() << "rect " << x0 << "," << y0 << " - " << x1 << "," << y1 << " pen " << pen);
  EXPECT_EQ(cv.At(x0, y0), pen);
  EXPECT_EQ(cv.At(x1, y0), pen);
  EXPECT_EQ(cv.At(x0, y1), pen);
  EXPECT_EQ(cv.At(x1, y1), pen);
  EXPECT_NE(cv.At(x0 - 1, y0), pen);
  EXPECT_NE(cv.At(x0, y0 - 1), pen);
  EXPECT_NE(cv.At(x1 + 1, y1), pen);
}

struct Chart : ::testing::Test {
  ResultsRecord current, slot[4];
  ChartSources src;
  ChartState state;
  RecordingCanvas cv{800, 600};
  const ChartBox box{0, 0, 799, 599};

  void Choose(int32_t m, int32_t s) {
    SetMasterSection(state, m);
    state.slaveSection = s;
  }
  ChartModel Draw(double fps = 0.0) {
    ChartModel m = BuildChartModel(state, src);
    DrawChart(cv, box, m, fps);
    return m;
  }
  void Mars(ResultsRecord& r, double a, double b, double c) {
    r.setFigure(0x188, a);
    r.setFigure(0x190, b);
    r.setFigure(0x198, c);
  }
};

// Mars Cipher, absolute view: the current session and slot 1 drawn, slot 2
// loaded but hidden with the largest figure, which still sets the scale.
TEST_F(Chart, BlocksTicksGridAndLabelsSitWhereTheGeometrySays) {
  src.records = {&current, &slot[0], &slot[1], nullptr, nullptr};
  state.showModule[1] = false;
  Choose(kProcessor, cpu::kMars);
  Mars(current, 300, 600, 150);
  Mars(slot[0], 100, 200, 900);
  Mars(slot[1], 1200, 0, 0);
  Draw();

  const Geo g(0, 0, 799, 599, 4, 1);
  const double M = 1200;
  // Background and frame.
  EXPECT_EQ(cv.rects.front().pen, kBack);
  EXPECT_EQ(cv.At(0, 0), kBack);
  EXPECT_EQ(cv.At(799, 599), kBack);
  // (The last lane's bars reach over the right-hand bar, drawn before them.)
  for (int x : {70, 80}) {
    for (int y : {g.plotTop, 300, g.plotBottom}) EXPECT_EQ(cv.At(x, y), kChart) << x << "," << y;
  }
  for (int x : {g.R - 20, g.R - 10}) {
    for (int y : {g.plotTop, 300}) EXPECT_EQ(cv.At(x, y), kChart) << x << "," << y;
  }
  for (int x : {69, 81, g.R - 21, g.R - 9}) EXPECT_EQ(cv.At(x, 300), kBack) << x;
  EXPECT_EQ(cv.At(75, g.plotBottom + 1), kBack);
  for (double f : {0.0, 1.0, 0.75, 0.5, 0.25}) {
    const int y = g.GridY(f);
    EXPECT_EQ(cv.At(10, y), kChart) << f;
    EXPECT_EQ(cv.At(9, y), kBack) << f;
    if (f >= 0.5) {
      EXPECT_EQ(cv.At(g.R - 10, y), kChart) << f;
      EXPECT_EQ(cv.At(g.R - 9, y), kBack) << f;
    }
  }
  EXPECT_EQ(cv.At(40, g.GridY(0.75) + 1), kBack);

  // Ticks and centred labels, the AVG slot included.
  const char* labels[] = {"Setup", "Encrypting", "Decrypting", "AVG"};
  for (int c = 0; c < 4; ++c) {
    const int t0 = g.X(c * g.W + 97), t1 = g.X(c * g.W + 99);
    EXPECT_EQ(cv.At(t0, g.plotBottom + 1), kChart) << c;
    EXPECT_EQ(cv.At(t1, g.plotBottom + 4), kChart) << c;
    EXPECT_EQ(cv.At(t0 - 1, g.plotBottom + 2), kBack) << c;
    EXPECT_EQ(cv.At(t1 + 1, g.plotBottom + 2), kBack) << c;
    EXPECT_EQ(cv.At(t0, g.plotBottom + 5), kBack) << c;
    const auto* t = cv.FindText(labels[c]);
    ASSERT_NE(t, nullptr) << labels[c];
    const double w = RecordingCanvas::kGlyph * double(std::strlen(labels[c]));
    EXPECT_EQ(t->x, g.X(c * g.W + 99 + g.W / 2 - w / 2)) << labels[c];
    EXPECT_EQ(t->baseline, g.B - 6);
  }

  // Bars: lane 0 the current session, lane 1 slot 1; the averages in slot N.
  const double values[2][4] = {{300, 600, 150, 350}, {100, 200, 900, 400}};
  const int pens[2] = {kThis, kMod1};
  for (int k = 0; k < 2; ++k) {
    for (int c = 0; c < 4; ++c) {
      const double v = values[k][c];
      const int h = int(v * g.plotHeight / M);
      const double x0 = c * g.W + 99 + k * g.Lw;
      ExpectRect(cv, g.X(x0), g.plotBottom - h, g.X(x0 + g.bw), g.plotBottom, pens[k]);
      const auto* t = cv.FindText(ChartValueText(v, false));
      ASSERT_NE(t, nullptr) << v;
      EXPECT_EQ(t->x, g.X(x0 + 2));
      EXPECT_EQ(t->baseline, g.plotBottom - h + 9);
      EXPECT_EQ(t->pen, kChart);
    }
  }
  // The hidden slot leaves no pixel.
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) ASSERT_NE(cv.At(x, y), kMod2) << x << "," << y;

  // Frame rate, unit title and the scale in slot 1's pen (highest average).
  const auto* fps = cv.FindText("000.0 fps");
  ASSERT_NE(fps, nullptr);
  EXPECT_EQ(fps->x, 10);
  EXPECT_EQ(fps->baseline, g.plotTop - 6);
  const auto* unit = cv.FindText("MBits/sec");
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(unit->x, g.R - 9 * RecordingCanvas::kGlyph);
  EXPECT_EQ(unit->baseline, g.plotTop - 6);
  for (double f : {1.0, 0.75, 0.5, 0.25}) {
    const std::string text = ChartValueText(M * f, false);
    const auto* t = TextWithPen(cv, text, kMod1);
    ASSERT_NE(t, nullptr) << text;
    EXPECT_EQ(t->x + RecordingCanvas::kGlyph * int(text.size()), 68);
    EXPECT_EQ(t->baseline, int(g.plotBottom - g.plotHeight * f + 12));
  }
  const auto* zero = TextWithPen(cv, "0.0", kMod1);
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(zero->x, 46);
  EXPECT_EQ(zero->baseline, g.plotBottom + 10);
  // Order of the steps: labels, frame rate, values, unit title, scale.
  EXPECT_LT(TextIndex(cv, "AVG"), TextIndex(cv, "000.0 fps"));
  EXPECT_LT(TextIndex(cv, "000.0 fps"), TextIndex(cv, "350.0"));
  EXPECT_LT(TextIndex(cv, "400.0"), TextIndex(cv, "MBits/sec"));
  EXPECT_LT(TextIndex(cv, "MBits/sec"), TextIndex(cv, "1200.0"));
}

// Relative view (F = 0.2 x 5 x 50 x 0.01 x 1000 = 500): a value above the
// plotting area is drawn to the top with the cut box and its true value; a
// bar of 10 pixels or less has no text.
TEST_F(Chart, CutBoxAndValueTextRules) {
  src.records = {&current, nullptr, nullptr, nullptr, nullptr};
  Choose(kProcessor, cpu::kMars);
  state.showMode = kShowRelative;
  Mars(current, 800, 8, 12);
  Draw();
  const Geo g(0, 0, 799, 599, 4, 0);
  const double F = 500;

  const int x0 = g.X(99), x1 = g.X(99 + g.bw);
  ExpectRect(cv, x0, g.plotBottom - g.plotHeight, x1, g.plotBottom, kThis);
  EXPECT_EQ(g.plotBottom - g.plotHeight, g.plotTop - 1);
  // The box, in the background pen, and the text over it.
  EXPECT_EQ(cv.At(g.X(99 + 2), g.plotTop + 1), kBack);
  EXPECT_EQ(cv.At(g.X(99 + g.bw - 2), g.plotTop + 11), kBack);
  EXPECT_EQ(cv.At(g.X(99 + 2) - 1, g.plotTop + 1), kThis);
  EXPECT_EQ(cv.At(g.X(99 + 2), g.plotTop), kThis);
  EXPECT_EQ(cv.At(g.X(99 + 2), g.plotTop + 12), kThis);
  EXPECT_EQ(cv.At(g.X(99 + g.bw - 2) + 1, g.plotTop + 11), kThis);
  const auto* t = cv.FindText("800.0");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->x, g.X(99 + 2));
  EXPECT_EQ(t->baseline, g.plotTop - 1 + 9);

  // 8 -> h = 8: no text; 12 -> h = 13: text.
  ASSERT_EQ(int(8 * g.plotHeight / F), 8);
  ExpectRect(cv, g.X(g.W + 99), g.plotBottom - 8, g.X(g.W + 99 + g.bw), g.plotBottom, kThis);
  EXPECT_EQ(cv.FindText("8.0"), nullptr);
  EXPECT_NE(cv.FindText("12.0"), nullptr);
  // The scale shows the relative full scale.
  EXPECT_NE(TextWithPen(cv, "500.0", kThis), nullptr);
  EXPECT_NE(TextWithPen(cv, "125.0", kThis), nullptr);
}

// Four shown slots make the bars too narrow for "800.0" (30 pixels is not
// below bw - 4): no text, but the cut box stays.
TEST_F(Chart, NarrowBarsHaveNoText) {
  src.records = {&current, &slot[0], &slot[1], &slot[2], &slot[3]};
  Choose(kProcessor, cpu::kMars);
  state.showMode = kShowRelative;
  Mars(current, 800, 0, 0);
  Draw();
  const Geo g(0, 0, 799, 599, 4, 4);
  ASSERT_FALSE(30 < g.bw - 4);
  EXPECT_EQ(cv.FindText("800.0"), nullptr);
  EXPECT_EQ(cv.At(g.X(99 + 2), g.plotTop + 1), kBack);
  EXPECT_EQ(cv.At(g.X(99 + 2), g.plotTop + 12), kThis);
}

// No scale labels when M and the relative full scale are both 0 (Seek on
// Device, nothing measured); with a relative scale they appear even for
// all-zero series.
TEST_F(Chart, ScaleLabelsOnlyWithAScale) {
  src.records = {&current, nullptr, nullptr, nullptr, nullptr};
  Choose(kHardDisk, 17);
  state.showMode = kShowRelative;  // ignored: Seek on Device draws absolute
  Draw();
  EXPECT_EQ(cv.CountTexts("0.0"), 0);
  EXPECT_NE(cv.FindText("msecs"), nullptr);
  EXPECT_NE(cv.FindText("F<->L"), nullptr);

  RecordingCanvas other(800, 600);
  Choose(kKelvaRanks, 2);
  DrawChart(other, box, BuildChartModel(state, src), 0.0);
  EXPECT_EQ(other.CountTexts("0.0%"), 1);  // the zero label at L + 40
  EXPECT_EQ(other.FindText("0.0%")->x, 40);
  EXPECT_NE(other.FindText("50.0%"), nullptr);
  EXPECT_NE(other.FindText("12.5%"), nullptr);
}

// B-Splines over a 17-point sweep: each drawn source's curve starts and ends
// in its first and last control point (clamped to the plotting area), lanes
// apply side by side, and the averages are still bars.
TEST_F(Chart, CurvesRunFromFirstToLastControlPoint) {
  src.records = {&current, &slot[0], nullptr, nullptr, nullptr};
  Choose(kMemory, 1);  // CPU Cache Read, base 0x300
  state.drawMode = kDrawSplines;
  state.splineMode = kSplineSideBySide;
  for (int i = 0; i < 17; ++i) {
    current.setFigure(0x300 + 8 * size_t(i), 100.0 + i);
    slot[0].setFigure(0x300 + 8 * size_t(i), 50.0 + 3 * i);
  }
  current.setFigure(0x300, 400.0);  // the largest value, first point: cut
  const ChartModel m = Draw();
  const Geo g(0, 0, 799, 599, 18, 1);
  const double M = 400.0;

  auto curveOf = [&](int pen) {
    std::vector<RecordingCanvas::LineOp> l;
    for (const auto& op : cv.lines)
      if (op.pen == pen) l.push_back(op);
    return l;
  };
  const auto a = curveOf(kThis);
  ASSERT_EQ(a.size(), 199u);
  EXPECT_EQ(a.front().x0, 99);
  EXPECT_EQ(a.front().y0, g.T + 20);  // the cut point clamped to the top
  EXPECT_EQ(a.back().x1, g.X(16 * g.W + 99));
  EXPECT_EQ(a.back().y1, g.plotBottom - int(116.0 * g.plotHeight / M));

  const auto b = curveOf(kMod1);
  ASSERT_EQ(b.size(), 199u);
  EXPECT_EQ(b.front().x0, g.X(99 + g.Lw));
  EXPECT_EQ(b.front().y0, g.plotBottom - int(50.0 * g.plotHeight / M));
  EXPECT_EQ(b.back().x1, g.X(16 * g.W + 99 + g.Lw));
  EXPECT_EQ(b.back().y1, g.plotBottom - int(98.0 * g.plotHeight / M));
  for (const auto& op : a) {
    EXPECT_GE(op.x1, 80);
    EXPECT_GE(op.y1, g.T + 20);
    EXPECT_LE(op.y1, g.B - 20);
  }

  // One bar per source: its average in slot 17.
  int bars = 0;
  for (const auto& r : cv.rects) bars += (r.pen == kThis || r.pen == kMod1);
  EXPECT_EQ(bars, 2);
  const double avg = m.series[0].average;
  ExpectRect(cv, g.X(17 * g.W + 99), g.plotBottom - int(avg * g.plotHeight / M), g.X(17 * g.W + 99 + g.bw),
             g.plotBottom, kThis);
}

// A one-point choice draws a single bar per drawn source, as blocks even when
// curves are asked for.
TEST_F(Chart, OnePointSeriesDrawsOneBarPerSource) {
  src.records = {&current, &slot[0], &slot[1], nullptr, nullptr};
  Choose(kHardDisk, 3);  // Create Files
  state.drawMode = kDrawSplines;
  current.setFigure(0x1780, 2000);
  slot[0].setFigure(0x1780, 4000);
  slot[1].setFigure(0x1780, 1000);
  Draw();
  const Geo g(0, 0, 799, 599, 1, 2);
  int bars[7] = {};
  for (const auto& r : cv.rects) ++bars[r.pen];
  EXPECT_EQ(bars[kThis], 1);
  EXPECT_EQ(bars[kMod1], 1);
  EXPECT_EQ(bars[kMod2], 1);
  EXPECT_TRUE(cv.lines.size() == 5u);  // the grid only
  ExpectRect(cv, g.X(99 + 2 * g.Lw), g.plotBottom - int(1000.0 * g.plotHeight / 4000), g.X(99 + 2 * g.Lw + g.bw),
             g.plotBottom, kMod2);
  EXPECT_EQ(cv.CountTexts("AVG"), 0);
}

// Damaged figures, degenerate boxes and sliders: every choice still draws
// without a crash (the sanitizer build checks the arithmetic).
TEST_F(Chart, DamagedInputStillDraws) {
  const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -7.0,
                        1e308, 5e-324};
  for (size_t off = 0; off + 8 <= rec::kResultsAreaSize; off += 8) {
    current.setFigure(off, bad[(off / 8) % 5]);
    slot[0].setFigure(off, bad[(off / 8 + 1) % 5]);
  }
  src.records = {&current, &slot[0], nullptr, nullptr, nullptr};
  const ChartBox boxes[] = {{0, 0, 799, 599}, {0, 0, 0, 0}, {0, 0, 9, 9}, {5, 5, 4, 4}, {0, 0, 9999, 9999}};
  const int32_t scales[][2] = {{50, 5}, {0, 0}, {-100, 3}};
  for (int32_t m = 1; m <= 4; ++m) {
    for (int s = 1; s <= SlaveEntryCount(m); ++s) {
      for (const auto& b : boxes) {
        for (const auto& sc : scales) {
          RecordingCanvas small(1, 1);
          Choose(m, s);
          state.fineScale = sc[0];
          state.roughScale = sc[1];
          state.drawMode = (s % 2) ? kDrawSplines : kDrawBlocks;
          state.showMode = (sc[0] == 0) ? kShowRelative : kShowAbsolute;
          DrawChart(small, b, BuildChartModel(state, src), std::numeric_limits<double>::infinity());
          ASSERT_FALSE(small.rects.empty());
          EXPECT_EQ(small.rects.front().pen, kBack);
        }
      }
    }
  }
  // A huge finite figure is drawn to the top, cut.
  Choose(kProcessor, cpu::kBogomips);
  state.showMode = kShowRelative;
  state.fineScale = 50;
  state.roughScale = 5;
  current.setFigure(rec::kBogomips, 1e308);
  Draw();
  const Geo g(0, 0, 799, 599, 1, 1);
  EXPECT_EQ(cv.At(g.X(99), g.plotTop - 1), kThis);
  EXPECT_EQ(cv.At(g.X(99 + 2), g.plotTop + 1), kBack);
}

// Each drawing shows the rate of the one before: 1 / its duration on the
// engine's timer (here 2 ms, then 0.4 ms).
TEST_F(Chart, FrameRateOfThePreviousDrawing) {
  src.records = {&current, nullptr, nullptr, nullptr, nullptr};
  FakeTimer timer;
  timer.steps = {2000, 0, 400};
  DrawChartTimed(cv, box, state, src, timer);
  EXPECT_NE(cv.FindText("000.0 fps"), nullptr);
  EXPECT_DOUBLE_EQ(state.framesPerSecond, 500.0);
  RecordingCanvas second(800, 600);
  DrawChartTimed(second, box, state, src, timer);
  EXPECT_NE(second.FindText("500.0 fps"), nullptr);
  RecordingCanvas third(800, 600);
  DrawChartTimed(third, box, state, src, timer);
  EXPECT_NE(third.FindText("2500.0 fps"), nullptr);
}

}  // namespace
}  // namespace kr::test
