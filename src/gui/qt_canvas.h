// The chart canvas on a QPainter (a widget or an image), and the one font
// mapping of the desktop: the system's "xen" fonts at sizes 11 and 13 become
// one family (default DejaVu Sans) at those pixel sizes.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <array>

#include "charts/canvas.h"
#include "charts/chart_model.h"
#include "charts/pens.h"

namespace kr {

struct FontMapping {
  QString family = QStringLiteral("DejaVu Sans");
};
constexpr int kSmallFontSize = 11, kLargeFontSize = 13;
constexpr int kChartFontSize = kSmallFontSize;  // chart labels and values

// The family at a pixel size. Needs a QGuiApplication.
QFont MappedFont(int pixelSize, const FontMapping& m = {});
// The family at the desktop's own text size for a text the design drew at
// `designPixels` (11: the desktop size, 13: titles and values, larger by the
// same ratio), so windows follow the desktop's font setting.
QFont DesktopFont(int designPixels, const FontMapping& m = {});
// The family is installed (the font failure path otherwise).
bool FontAvailable(const FontMapping& m = {});

using ChartPaletteColors = std::array<Rgb, disp::kPenCount>;

class QtChartCanvas : public ChartCanvas {
 public:
  // Draws with painter p in the colours of palette, texts in font; nothing
  // is antialiased, so every pixel drawn has its pen's exact colour. Latin-1
  // texts are converted at this boundary.
  QtChartCanvas(QPainter& p, const ChartPaletteColors& palette, const QFont& font);

  void SetPen(int role) override;
  void FillRect(int x0, int y0, int x1, int y1) override;
  void Line(int x0, int y0, int x1, int y1) override;
  void Polyline(const CanvasPoint* points, int count) override;
  void Text(int x, int baseline, std::string_view latin1) override;
  int TextWidth(std::string_view latin1) override;

 private:
  QPainter& p_;
  std::array<QColor, disp::kPenCount> colors_;
  QColor color_;
  QFontMetrics metrics_;
};

// Draws the chart into the whole image: the inner box is (0, 0) to
// (width - 1, height - 1).
void RenderChart(QImage& image, const ChartModel& m, const ChartPaletteColors& palette, double framesPerSecond,
                 const QFont& font);

}  // namespace kr
