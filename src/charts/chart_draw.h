// Drawing the comparison chart onto a canvas: the geometry of the inner box
// and the drawing steps in their fixed order.
#pragma once

#include "charts/canvas.h"
#include "charts/chart_model.h"
#include "platform/timer.h"

namespace kr {

// The chart's inner box: left, top, right and bottom pixel, all included.
struct ChartBox {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Positions derived from the box. x positions of slots, lanes and bars are
// measured from the left edge in real numbers and truncated when drawn.
struct ChartLayout {
  int plotTop = 0;      // top + 20
  int plotBottom = 0;   // bottom - 21
  int plotHeight = 0;   // (bottom - top) - 40
  double slotWidth = 0;   // W = ((right - left) - 102) / (N + a)
  double laneWidth = 0;   // Lw = W / (V + 1)
  double barWidth = 0;    // bw = Lw - 4
};
ChartLayout LayoutChart(const ChartBox& box, const ChartModel& m);

// The height in pixels of value v: v x plotHeight / F truncated; a positive
// value above the plotting area (or any positive value when F is 0 or less)
// is drawn plotHeight high and counts as cut.
struct BarHeight {
  int h = 0;
  bool cut = false;
};
BarHeight HeightOf(double v, const ChartLayout& g, double fullScale);

// Draws the chart: background and frame, ticks and category labels, the
// frame-rate text (framesPerSecond of the previous drawing), the sources'
// bars or curves with their averages, the unit title and the scale labels.
void DrawChart(ChartCanvas& canvas, const ChartBox& box, const ChartModel& m, double framesPerSecond);

// Builds the model, draws it and keeps 1 / duration of this drawing (timer
// of the engine) in state.framesPerSecond for the next one.
void DrawChartTimed(ChartCanvas& canvas, const ChartBox& box, ChartState& state, const ChartSources& src,
                    Timer& timer);

}  // namespace kr
