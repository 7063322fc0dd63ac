// The chart canvas on a plain RGB pixel buffer, with texts rasterised by
// FreeType: the chart as an image without a windowing toolkit (the terminal's
// `chart --png`). Nothing is antialiased, so every pixel drawn has its pen's
// exact colour.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "charts/canvas.h"
#include "charts/pens.h"

namespace kr {

// The chart font's file (DejaVu Sans, Debian package fonts-dejavu-core).
constexpr const char* kChartFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kChartFontFamily = "DejaVu Sans";
constexpr int kChartFontPixels = 11;

// A FreeType face at one pixel size. Loading fails with a message when the
// file is missing or not a font.
class RasterFont {
 public:
  RasterFont();
  ~RasterFont();
  RasterFont(const RasterFont&) = delete;
  RasterFont& operator=(const RasterFont&) = delete;
  bool Load(const std::string& path, int pixelSize, std::string& error);

  // One glyph in 1-bit form: `rows` rows of `width` pixels, set where ink is;
  // its top-left corner at (left, -top) from the pen position on the
  // baseline; the pen then moves on by `advance`.
  struct Glyph {
    int width = 0, rows = 0, left = 0, top = 0, advance = 0;
    std::vector<uint8_t> ink;
  };
  const Glyph& GlyphOf(uint8_t latin1);

 private:
  struct Library;
  std::unique_ptr<Library> ft_;
  std::array<std::unique_ptr<Glyph>, 256> glyphs_{};
};

class RasterCanvas : public ChartCanvas {
 public:
  // A width x height image (0xRRGGBB per pixel) filled with black.
  RasterCanvas(int width, int height, const std::array<Rgb, disp::kPenCount>& palette, RasterFont& font);

  void SetPen(int role) override;
  void FillRect(int x0, int y0, int x1, int y1) override;
  void Line(int x0, int y0, int x1, int y1) override;
  void Text(int x, int baseline, std::string_view latin1) override;
  int TextWidth(std::string_view latin1) override;

  int width() const { return width_; }
  int height() const { return height_; }
  uint32_t Pixel(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
  const std::vector<uint32_t>& pixels() const { return pixels_; }

 private:
  void Plot(int x, int y) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[size_t(y) * size_t(width_) + size_t(x)] = color_;
  }
  int width_, height_;
  std::array<uint32_t, disp::kPenCount> colors_{};
  uint32_t color_ = 0;
  RasterFont& font_;
  std::vector<uint32_t> pixels_;
};

// The image as a PNG file's bytes (8-bit RGB). False with a message when the
// encoder fails.
bool EncodePng(const RasterCanvas& image, std::vector<uint8_t>& png, std::string& error);
// Reads a PNG file's pixels as 0xRRGGBB (any colour type libpng converts);
// false when the bytes are not a PNG.
bool DecodePng(const std::vector<uint8_t>& png, int& width, int& height, std::vector<uint32_t>& pixels);

}  // namespace kr
