#include "charts/chart_png.h"

#include "charts/chart_draw.h"
#include "charts/raster_canvas.h"
#include "util/numtext.h"

namespace kr {

bool ChartPng(int width, int height, const ChartState& state, const ChartSources& sources,
              const std::array<Rgb, disp::kPenCount>& palette, const std::string& fontFile, std::vector<uint8_t>& png,
              std::string& error) {
  if (width < 1 || height < 1 || width > kMaxChartImageSide || height > kMaxChartImageSide) {
    error = Format("chart size %dx%d: each side must be 1 to %d pixels", width, height, kMaxChartImageSide);
    return false;
  }
  RasterFont font;
  if (!font.Load(fontFile, kChartFontPixels, error)) return false;
  RasterCanvas canvas(width, height, palette, font);
  DrawChart(canvas, ChartBox{0, 0, width - 1, height - 1}, BuildChartModel(state, sources), state.framesPerSecond);
  return EncodePng(canvas, png, error);
}

}  // namespace kr
