#include "charts/raster_canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cstdlib>

namespace kr {

struct RasterFont::Library {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  ~Library() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
};

RasterFont::RasterFont() : ft_(std::make_unique<Library>()) {}
RasterFont::~RasterFont() = default;

bool RasterFont::Load(const std::string& path, int pixelSize, std::string& error) {
  if (!ft_->lib && FT_Init_FreeType(&ft_->lib) != 0) {
    error = "the font rasteriser could not be started";
    return false;
  }
  if (FT_New_Face(ft_->lib, path.c_str(), 0, &ft_->face) != 0) {
    ft_->face = nullptr;
    error = std::string("the chart font \"") + kChartFontFamily + "\" is not installed (Debian: fonts-dejavu-core)";
    return false;
  }
  if (FT_Set_Pixel_Sizes(ft_->face, 0, FT_UInt(pixelSize)) != 0) {
    error = "the chart font cannot be drawn at " + std::to_string(pixelSize) + " pixels";
    return false;
  }
  return true;
}

const RasterFont::Glyph& RasterFont::GlyphOf(uint8_t latin1) {
  std::unique_ptr<Glyph>& slot = glyphs_[latin1];
  if (slot) return *slot;
  slot = std::make_unique<Glyph>();
  FT_Face face = ft_->face;
  // Latin-1 code points are the first 256 of Unicode.
  if (face && FT_Load_Char(face, FT_ULong(latin1), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
    const FT_GlyphSlot g = face->glyph;
    slot->advance = int((g->advance.x + 32) >> 6);
    slot->left = g->bitmap_left;
    slot->top = g->bitmap_top;
    slot->width = int(g->bitmap.width);
    slot->rows = int(g->bitmap.rows);
    slot->ink.assign(size_t(slot->width) * size_t(slot->rows), 0);
    for (int y = 0; y < slot->rows; ++y) {
      const unsigned char* row = g->bitmap.buffer + ptrdiff_t(y) * g->bitmap.pitch;
      for (int x = 0; x < slot->width; ++x) {
        const bool on = g->bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1
                                                                   : row[x] >= 128;
        slot->ink[size_t(y) * size_t(slot->width) + size_t(x)] = on ? 1 : 0;
      }
    }
  }
  return *slot;
}

RasterCanvas::RasterCanvas(int width, int height, const std::array<Rgb, disp::kPenCount>& palette, RasterFont& font)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), font_(font),
      pixels_(size_t(width_) * size_t(height_), 0) {
  for (size_t i = 0; i < palette.size(); ++i)
    colors_[i] = uint32_t(palette[i].r) << 16 | uint32_t(palette[i].g) << 8 | palette[i].b;
}

void RasterCanvas::SetPen(int role) {
  if (role >= 0 && size_t(role) < disp::kPenCount) color_ = colors_[size_t(role)];
}

void RasterCanvas::FillRect(int x0, int y0, int x1, int y1) {
  if (x1 < x0 || y1 < y0) return;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width_ - 1);
  y1 = std::min(y1, height_ - 1);
  for (int y = y0; y <= y1; ++y)
    std::fill(pixels_.begin() + ptrdiff_t(y) * width_ + x0, pixels_.begin() + ptrdiff_t(y) * width_ + x1 + 1, color_);
}

// Bresenham's line, both end points included.
void RasterCanvas::Line(int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    Plot(x0, y0);
    if (x0 == x1 && y0 == y1) return;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

void RasterCanvas::Text(int x, int baseline, std::string_view latin1) {
  for (char ch : latin1) {
    const RasterFont::Glyph& g = font_.GlyphOf(uint8_t(ch));
    for (int y = 0; y < g.rows; ++y)
      for (int gx = 0; gx < g.width; ++gx)
        if (g.ink[size_t(y) * size_t(g.width) + size_t(gx)]) Plot(x + g.left + gx, baseline - g.top + y);
    x += g.advance;
  }
}

int RasterCanvas::TextWidth(std::string_view latin1) {
  int w = 0;
  for (char ch : latin1) w += font_.GlyphOf(uint8_t(ch)).advance;
  return w;
}

bool EncodePng(const RasterCanvas& image, std::vector<uint8_t>& png, std::string& error) {
  std::vector<uint8_t> rgb(size_t(image.width()) * size_t(image.height()) * 3);
  for (size_t i = 0; i < image.pixels().size(); ++i) {
    const uint32_t p = image.pixels()[i];
    rgb[3 * i] = uint8_t(p >> 16);
    rgb[3 * i + 1] = uint8_t(p >> 8);
    rgb[3 * i + 2] = uint8_t(p);
  }
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(image.width());
  img.height = png_uint_32(image.height());
  img.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&img, nullptr, &size, 0, rgb.data(), 0, nullptr)) {
    error = std::string("the PNG encoder failed: ") + img.message;
    return false;
  }
  png.resize(size);
  if (!png_image_write_to_memory(&img, png.data(), &size, 0, rgb.data(), 0, nullptr)) {
    error = std::string("the PNG encoder failed: ") + img.message;
    return false;
  }
  png.resize(size);
  return true;
}

bool DecodePng(const std::vector<uint8_t>& png, int& width, int& height, std::vector<uint32_t>& pixels) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, png.data(), png.size())) return false;
  img.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&img);
    return false;
  }
  width = int(img.width);
  height = int(img.height);
  pixels.resize(size_t(width) * size_t(height));
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
  return true;
}

}  // namespace kr
