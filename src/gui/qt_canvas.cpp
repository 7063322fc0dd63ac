#include "gui/qt_canvas.h"

#include <QFontDatabase>
#include <QPoint>
#include <algorithm>
#include <vector>

#include "charts/chart_draw.h"

namespace kr {

QFont MappedFont(int pixelSize, const FontMapping& m) {
  QFont f(m.family);
  f.setPixelSize(pixelSize);
  f.setStyleStrategy(QFont::NoFontMerging);
  return f;
}

QFont DesktopFont(int designPixels, const FontMapping& m) {
  const QFont desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  QFont f(m.family);
  if (desktop.pointSizeF() > 0)
    f.setPointSizeF(desktop.pointSizeF() * designPixels / kSmallFontSize);
  else
    f.setPixelSize(std::max(1, desktop.pixelSize()) * designPixels / kSmallFontSize);
  return f;
}

bool FontAvailable(const FontMapping& m) { return QFontDatabase::families().contains(m.family); }

namespace {
// The chart draws like the bitmap fonts it was made for: every text pixel is
// in its pen's colour, none blended.
QFont Aliased(QFont f) {
  f.setStyleStrategy(QFont::StyleStrategy(f.styleStrategy() | QFont::NoAntialias));
  return f;
}
}  // namespace

QtChartCanvas::QtChartCanvas(QPainter& p, const ChartPaletteColors& palette, const QFont& font)
    : p_(p), metrics_(Aliased(font)) {
  for (size_t i = 0; i < palette.size(); ++i) colors_[i] = QColor(palette[i].r, palette[i].g, palette[i].b);
  p_.setRenderHint(QPainter::Antialiasing, false);
  p_.setRenderHint(QPainter::TextAntialiasing, false);
  p_.setFont(Aliased(font));
  SetPen(disp::kPenChart);
}

void QtChartCanvas::SetPen(int role) {
  color_ = role >= 0 && role < int(colors_.size()) ? colors_[size_t(role)] : QColor(Qt::black);
  QPen pen(color_, 0);  // cosmetic: one pixel whatever the transform
  pen.setCapStyle(Qt::SquareCap);
  p_.setPen(pen);
}

void QtChartCanvas::FillRect(int x0, int y0, int x1, int y1) {
  if (x1 < x0 || y1 < y0) return;
  p_.fillRect(QRect(QPoint(x0, y0), QPoint(x1, y1)), color_);
}

void QtChartCanvas::Line(int x0, int y0, int x1, int y1) { p_.drawLine(x0, y0, x1, y1); }

void QtChartCanvas::Polyline(const CanvasPoint* points, int count) {
  if (count <= 0) return;
  std::vector<QPoint> q(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) q[size_t(i)] = QPoint(points[i].x, points[i].y);
  p_.drawPolyline(q.data(), count);
}

void QtChartCanvas::Text(int x, int baseline, std::string_view t) {
  p_.drawText(QPoint(x, baseline), QString::fromLatin1(t.data(), qsizetype(t.size())));
}

int QtChartCanvas::TextWidth(std::string_view t) {
  return metrics_.horizontalAdvance(QString::fromLatin1(t.data(), qsizetype(t.size())));
}

void RenderChart(QImage& image, const ChartModel& m, const ChartPaletteColors& palette, double fps,
                 const QFont& font) {
  QPainter p(&image);
  QtChartCanvas canvas(p, palette, font);
  DrawChart(canvas, ChartBox{0, 0, image.width() - 1, image.height() - 1}, m, fps);
}

}  // namespace kr
