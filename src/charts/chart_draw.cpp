#include "charts/chart_draw.h"

#include <cmath>
#include <string>

#include "charts/bspline.h"

namespace kr {
namespace {

// Truncates a position towards zero; anything outside +-2^30 (or NaN) is
// pinned, so a degenerate box never overflows an int.
int Px(double v) {
  if (!(v == v)) return 0;
  if (v > 1073741824.0) return 1073741824;
  if (v < -1073741824.0) return -1073741824;
  return int(v);
}

int PenOfSource(int i) { return i == 0 ? disp::kPenThisSession : disp::kPenModule1 + (i - 1); }

constexpr double kGridFractions[4] = {1.0, 0.75, 0.5, 0.25};

// A bar in slot c and lane k: the block of one value or of an average.
void DrawBar(ChartCanvas& cv, const ChartBox& box, const ChartLayout& g, const ChartModel& m, int pen, int c,
             int k, double v) {
  if (!(v > 0.0)) return;
  const BarHeight bh = HeightOf(v, g, m.fullScale);
  const double x0 = c * g.slotWidth + 99 + k * g.laneWidth;
  const int left = box.left + Px(x0);
  cv.SetPen(pen);
  cv.FillRect(left, g.plotBottom - bh.h, box.left + Px(x0 + g.barWidth), g.plotBottom);
  if (bh.cut) {
    // The box goes under the text, so a cut bar still shows its true value.
    cv.SetPen(disp::kPenBackground);
    cv.FillRect(box.left + Px(x0 + 2), g.plotTop + 1, box.left + Px(x0 + g.barWidth - 2), g.plotTop + 11);
  }
  const std::string text = ChartValueText(v, m.choice.scores);
  if (cv.TextWidth(text) < g.barWidth - 4 && bh.h > 10) {
    cv.SetPen(disp::kPenChart);
    cv.Text(box.left + Px(x0 + 2), g.plotBottom - bh.h + 9, text);
  }
}

}  // namespace

ChartLayout LayoutChart(const ChartBox& b, const ChartModel& m) {
  ChartLayout g;
  g.plotTop = b.top + 20;
  g.plotBottom = b.bottom - 21;
  g.plotHeight = (b.bottom - b.top) - 40;
  const int slots = m.choice.slots();
  g.slotWidth = slots > 0 ? double((b.right - b.left) - 102) / slots : 0.0;
  g.laneWidth = g.slotWidth / (m.shownSlots + 1);
  g.barWidth = g.laneWidth - 4;
  return g;
}

BarHeight HeightOf(double v, const ChartLayout& g, double fullScale) {
  BarHeight r;
  if (!(v > 0.0)) return r;
  const double h = fullScale > 0.0 ? v * g.plotHeight / fullScale : INFINITY;
  if (h >= double(g.plotHeight) + 1.0 || !std::isfinite(h)) {
    r.cut = true;  // beyond the plotting area however it is truncated
  } else {
    r.h = Px(h);
    r.cut = g.plotBottom - r.h < g.plotTop;
  }
  if (r.cut) r.h = g.plotHeight;
  return r;
}

void DrawChart(ChartCanvas& cv, const ChartBox& box, const ChartModel& m, double framesPerSecond) {
  const int L = box.left, T = box.top, R = box.right, B = box.bottom;
  const ChartLayout g = LayoutChart(box, m);
  const ChartChoice& c = m.choice;

  // 1. Background, the two side bars and the grid.
  cv.SetPen(disp::kPenBackground);
  cv.FillRect(L, T, R, B);
  cv.SetPen(disp::kPenChart);
  cv.FillRect(L + 70, g.plotTop, L + 80, g.plotBottom);
  cv.FillRect(R - 20, g.plotTop, R - 10, g.plotBottom);
  cv.Line(L + 10, g.plotBottom, R - 10, g.plotBottom);
  for (double f : kGridFractions) {
    const int y = Px(g.plotBottom - g.plotHeight * f);
    cv.Line(L + 10, y, R - 10, y);
  }

  // 2. Tick marks and category labels.
  for (int s = 0; s < c.slots(); ++s) {
    cv.FillRect(L + Px(s * g.slotWidth + 97), g.plotBottom, L + Px(s * g.slotWidth + 99), g.plotBottom + 4);
    const char* label = c.labels[size_t(s)];
    const int w = cv.TextWidth(label);
    cv.Text(L + Px(s * g.slotWidth + 99 + g.slotWidth / 2 - w / 2.0), B - 6, label);
  }

  // 3. The previous drawing's frame rate.
  cv.Text(L + 10, g.plotTop - 6, FrameRateText(framesPerSecond));

  // 4. The sources, each in its own lane.
  int k = 0;
  for (int i = 0; i < kChartSources; ++i) {
    if (!m.drawn[size_t(i)]) continue;
    const ChartSeries& s = m.series[size_t(i)];
    const int pen = PenOfSource(i);
    if (m.drawMode == kDrawBlocks) {
      for (int p = 0; p < s.count; ++p) DrawBar(cv, box, g, m, pen, p, k, s.values[size_t(p)]);
    } else if (s.maximum > 0.0) {
      std::array<SplinePoint, kMaxChartPoints> control{};
      const double lane = m.splineMode == kSplineSideBySide ? k * g.laneWidth : 0.0;
      for (int p = 0; p < s.count; ++p) {
        const BarHeight bh = HeightOf(s.values[size_t(p)], g, m.fullScale);
        control[size_t(p)] = {double(L + Px(p * g.slotWidth + 99 + lane)), double(g.plotBottom - bh.h)};
      }
      const auto curve = OpenUniformBSpline(control.data(), s.count);
      std::array<CanvasPoint, kSplineCurvePoints> line;
      for (int j = 0; j < kSplineCurvePoints; ++j) {
        double x = curve[size_t(j)].x, y = curve[size_t(j)].y;
        if (x < L + 80) x = L + 80;
        if (y < T + 20) y = T + 20;
        if (y > B - 20) y = B - 20;
        line[size_t(j)] = {Px(x), Px(y)};
      }
      cv.SetPen(pen);
      cv.Polyline(line.data(), kSplineCurvePoints);
    }
    if (c.hasAverage && s.average > 0.0) DrawBar(cv, box, g, m, pen, c.points, k, s.average);
    ++k;
  }

  // 5. The unit title.
  cv.SetPen(disp::kPenChart);
  cv.Text(R - cv.TextWidth(c.unitTitle), g.plotTop - 6, c.unitTitle);

  // 6. Scale labels in the pen of the source with the highest average.
  if (m.scaleLabels) {
    cv.SetPen(PenOfSource(m.labelSource));
    for (double f : kGridFractions) {
      const std::string text = ChartValueText(m.fullScale * f, c.scores);
      cv.Text(L + 68 - cv.TextWidth(text), Px(g.plotBottom - g.plotHeight * f + 12), text);
    }
    if (c.scores)
      cv.Text(L + 40, g.plotBottom + 10, "0.0%");
    else
      cv.Text(L + 46, g.plotBottom + 10, "0.0");
  }
}

void DrawChartTimed(ChartCanvas& canvas, const ChartBox& box, ChartState& state, const ChartSources& src,
                    Timer& timer) {
  TimeVal start, end;
  timer.GetSysTime(start);
  DrawChart(canvas, box, BuildChartModel(state, src), state.framesPerSecond);
  timer.GetSysTime(end);
  const double seconds = double(end.secs) - double(start.secs) + (double(end.micro) - double(start.micro)) * 1e-6;
  // A drawing quicker than the timer's resolution keeps the previous rate.
  if (seconds > 0.0) state.framesPerSecond = 1.0 / seconds;
}

}  // namespace kr
