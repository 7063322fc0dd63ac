// A canvas for tests: a raster of pen roles (one byte per pixel, kNone where
// nothing was drawn), the texts with their positions, and the order of the
// calls. Text is not rasterised; every character is kGlyph pixels wide.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "charts/canvas.h"

namespace kr::test {

class RecordingCanvas : public ChartCanvas {
 public:
  static constexpr uint8_t kNone = 0xFF;
  static constexpr int kGlyph = 6;

  struct TextOp {
    int x, baseline, pen;
    std::string text;
  };
  struct RectOp {
    int x0, y0, x1, y1, pen;
  };
  struct LineOp {
    int x0, y0, x1, y1, pen;
  };

  RecordingCanvas(int w, int h) : w_(w), h_(h), pixels_(size_t(std::max(w, 0)) * size_t(std::max(h, 0)), kNone) {}

  void SetPen(int role) override { pen_ = role; }
  void FillRect(int x0, int y0, int x1, int y1) override {
    rects.push_back({x0, y0, x1, y1, pen_});
    for (int y = std::max(y0, 0); y <= std::min(y1, h_ - 1); ++y)
      for (int x = std::max(x0, 0); x <= std::min(x1, w_ - 1); ++x) Plot(x, y);
  }
  void Line(int x0, int y0, int x1, int y1) override {
    lines.push_back({x0, y0, x1, y1, pen_});
    // Bresenham; both ends included.
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      if (x0 >= 0 && y0 >= 0 && x0 < w_ && y0 < h_) Plot(x0, y0);
      if (x0 == x1 && y0 == y1) break;
      int e2 = 2 * err;
      if (e2 >= dy) { err += dy; x0 += sx; }
      if (e2 <= dx) { err += dx; y0 += sy; }
    }
  }
  void Text(int x, int baseline, std::string_view t) override { texts.push_back({x, baseline, pen_, std::string(t)}); }
  int TextWidth(std::string_view t) override { return int(t.size()) * kGlyph; }

  uint8_t At(int x, int y) const { return pixels_[size_t(y) * size_t(w_) + size_t(x)]; }
  const TextOp* FindText(std::string_view t) const {
    for (const TextOp& op : texts)
      if (op.text == t) return &op;
    return nullptr;
  }
  int CountTexts(std::string_view t) const {
    return int(std::count_if(texts.begin(), texts.end(), [&](const TextOp& op) { return op.text == t; }));
  }

  std::vector<TextOp> texts;
  std::vector<RectOp> rects;
  std::vector<LineOp> lines;

 private:
  void Plot(int x, int y) { pixels_[size_t(y) * size_t(w_) + size_t(x)] = uint8_t(pen_); }
  int w_, h_;
  int pen_ = 0;
  std::vector<uint8_t> pixels_;
};

}  // namespace kr::test
