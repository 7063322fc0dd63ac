// The surface the chart draws on: a few primitives in pixel coordinates,
// chosen by pen role. The desktop widget and the PNG export implement it;
// tests record what is drawn.
#pragma once

#include <string_view>

namespace kr {

struct CanvasPoint {
  int x = 0, y = 0;
};

class ChartCanvas {
 public:
  virtual ~ChartCanvas() = default;
  // Selects the pen for what follows: a role of disp::Pen (module 1..4,
  // background, chart, THIS Session).
  virtual void SetPen(int role) = 0;
  // Fills the rectangle with both corners included; nothing when x1 < x0 or
  // y1 < y0. Pixels outside the surface are clipped.
  virtual void FillRect(int x0, int y0, int x1, int y1) = 0;
  // A one-pixel line with both end points included.
  virtual void Line(int x0, int y0, int x1, int y1) = 0;
  // Joins the points by one-pixel lines (a move to the first, then draws).
  virtual void Polyline(const CanvasPoint* points, int count) {
    for (int i = 1; i < count; ++i) Line(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
  }
  // Latin-1 text starting at x with its baseline at y; the background
  // between the glyphs is left as it is.
  virtual void Text(int x, int baseline, std::string_view latin1) = 0;
  // The width in pixels Text would cover.
  virtual int TextWidth(std::string_view latin1) = 0;
};

}  // namespace kr
