#include "gui/chart_widget.h"

#include <QPaintEvent>
#include <QPainter>

#include "charts/chart_draw.h"
#include "records/display_record.h"

namespace kr {

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent), font_(MappedFont(kChartFontSize)) {
  DisplayRecord d;
  SetDisplayDefaults(d);
  colors_ = ChartPalette(d);
  // The chart fills every pixel of its box itself.
  setAttribute(Qt::WA_OpaquePaintEvent);
  static const ResultsRecord kEmpty{};
  sources_.records[0] = &kEmpty;
}

void ChartWidget::setChartState(const ChartState& state) {
  const double fps = state_.framesPerSecond;
  state_ = state;
  state_.framesPerSecond = fps;
  update();
}

void ChartWidget::setSources(const ChartSources& sources) {
  if (sources.records[0]) sources_ = sources;  // the current session is never missing
  update();
}

void ChartWidget::setColors(const ChartPaletteColors& colors) {
  colors_ = colors;
  update();
}

void ChartWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!isEnabled()) {
    // Never the records: the picture drawn last, the rest of a grown widget
    // in the window's colour.
    p.fillRect(rect(), palette().window());
    if (!last_.isNull()) p.drawImage(0, 0, last_);
    return;
  }
  if (last_.size() != size()) last_ = QImage(size(), QImage::Format_RGB32);
  {
    QPainter ip(&last_);
    QtChartCanvas canvas(ip, colors_, font_);
    const ChartBox box{0, 0, width() - 1, height() - 1};
    if (timer_) {
      DrawChartTimed(canvas, box, state_, sources_, *timer_);
    } else {
      DrawChart(canvas, box, BuildChartModel(state_, sources_), state_.framesPerSecond);
    }
  }
  p.drawImage(0, 0, last_);
}

}  // namespace kr
