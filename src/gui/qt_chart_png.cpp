#include "gui/qt_chart_png.h"

#include <QBuffer>
#include <QByteArray>

#include "gui/qt_canvas.h"
#include "util/numtext.h"

namespace kr {

bool ChartPng(int width, int height, const ChartState& state, const ChartSources& sources,
              const std::array<Rgb, disp::kPenCount>& palette, std::vector<uint8_t>& png, std::string& error) {
  if (width < 1 || height < 1 || width > kMaxChartImageSide || height > kMaxChartImageSide) {
    error = Format("chart size %dx%d: each side must be 1 to %d pixels", width, height, kMaxChartImageSide);
    return false;
  }
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) {
    error = Format("chart size %dx%d: not enough memory for the image", width, height);
    return false;
  }
  RenderChart(image, BuildChartModel(state, sources), palette, state.framesPerSecond, MappedFont(kChartFontSize));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) {
    error = "the PNG encoder failed";
    return false;
  }
  png.assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace kr
