// The chart canvas without Qt: lines, fills, FreeType text and the PNG round trip.
#include <gtest/gtest.h>

#include <unistd.h>

#include "charts/raster_canvas.h"

namespace kr {
namespace {

std::array<Rgb, disp::kPenCount> Palette() {
  std::array<Rgb, disp::kPenCount> p{};
  for (size_t i = 0; i < p.size(); ++i) p[i] = {uint8_t(10 * i + 5), uint8_t(200 - 10 * i), uint8_t(40 + 7 * i)};
  return p;
}
uint32_t Packed(Rgb c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

TEST(RasterCanvas, LinesFillsAndClipping) {
  RasterFont font;
  const auto palette = Palette();
  RasterCanvas c(20, 10, palette, font);
  c.SetPen(1);
  c.FillRect(-5, -5, 2, 1);  // clipped to (0,0)-(2,1)
  c.FillRect(5, 5, 4, 6);    // x1 < x0: nothing
  c.SetPen(2);
  c.Line(19, 9, 10, 0);  // a diagonal, both ends included
  c.Line(0, 5, 30, 5);   // clipped at the right edge
  EXPECT_EQ(c.Pixel(0, 0), Packed(palette[1]));
  EXPECT_EQ(c.Pixel(2, 1), Packed(palette[1]));
  EXPECT_EQ(c.Pixel(3, 1), 0u);
  EXPECT_EQ(c.Pixel(4, 6), 0u);
  for (int i = 0; i <= 9; ++i) EXPECT_EQ(c.Pixel(10 + i, i), Packed(palette[2])) << i;
  EXPECT_EQ(c.Pixel(19, 5), Packed(palette[2]));
}

TEST(RasterCanvas, TextIsDrawnInThePenColourWithinItsWidth) {
  if (access(kChartFontFile, R_OK) != 0) GTEST_SKIP() << "no chart font (Debian: fonts-dejavu-core)";
  RasterFont font;
  std::string error;
  ASSERT_TRUE(font.Load(kChartFontFile, kChartFontPixels, error)) << error;
  const auto palette = Palette();
  RasterCanvas c(120, 20, palette, font);
  c.SetPen(3);
  const std::string text = "Mars \xC4" "1";  // Latin-1 A umlaut
  const int w = c.TextWidth(text);
  EXPECT_GT(w, 30);
  EXPECT_LT(w, 60);
  c.Text(10, 15, text);
  int ink = 0, outside = 0, other = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 120; ++x) {
      const uint32_t p = c.Pixel(x, y);
      if (p == 0) continue;
      if (p != Packed(palette[3])) ++other;
      if (x < 10 || x >= 10 + w + 1 || y > 17) ++outside;
      ++ink;
    }
  EXPECT_GT(ink, 40);  // five glyphs with ink
  EXPECT_EQ(other, 0);  // not antialiased: one colour only
  EXPECT_EQ(outside, 0);
  // The umlaut's dots sit above the capital's top.
  EXPECT_EQ(font.GlyphOf(0xC4).advance, font.GlyphOf('A').advance);
  EXPECT_GT(font.GlyphOf(0xC4).top, font.GlyphOf('A').top);

  RasterFont missing;
  EXPECT_FALSE(missing.Load("/nonexistent/font.ttf", 11, error));
  EXPECT_NE(error.find("fonts-dejavu-core"), std::string::npos) << error;
}

TEST(RasterCanvas, PngKeepsEveryPixel) {
  RasterFont font;
  const auto palette = Palette();
  RasterCanvas c(7, 5, palette, font);
  for (int i = 0; i < int(disp::kPenCount); ++i) {
    c.SetPen(i);
    c.Line(i % 7, 0, 6 - i % 7, 4);
  }
  std::vector<uint8_t> png;
  std::string error;
  ASSERT_TRUE(EncodePng(c, png, error)) << error;
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');
  int w = 0, h = 0;
  std::vector<uint32_t> pixels;
  ASSERT_TRUE(DecodePng(png, w, h, pixels));
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 5);
  EXPECT_EQ(pixels, c.pixels());
  png.resize(png.size() / 2);  // cut short
  EXPECT_FALSE(DecodePng(png, w, h, pixels));
  EXPECT_FALSE(DecodePng({1, 2, 3}, w, h, pixels));
}

}  // namespace
}  // namespace kr
