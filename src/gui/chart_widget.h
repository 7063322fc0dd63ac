// The comparison chart as a widget: the chart code draws through the Qt
// canvas into the widget's own rectangle, which is the chart's inner box.
//
// The records it draws belong to the context, and a benchmark run on the
// desktop's worker thread writes the current session's record. The desktop
// disables every other window while a run goes on, so a disabled chart shows
// the picture it drew last instead of reading the records again.
#pragma once

#include <QImage>
#include <QWidget>

#include "charts/chart_model.h"
#include "gui/qt_canvas.h"

namespace kr {

class Timer;

class ChartWidget : public QWidget {
  Q_OBJECT

 public:
  explicit ChartWidget(QWidget* parent = nullptr);

  // What to draw. The records the sources point to must live as long as the
  // widget draws them (the context's results record and comparison slots).
  // Each setter redraws.
  void setChartState(const ChartState& state);  // keeps the frame rate measured so far
  void setSources(const ChartSources& sources);
  void setColors(const ChartPaletteColors& colors);
  // The clock that times each drawing for the frame-rate text of the next
  // one; null draws without timing (the text then shows 0).
  void setTimer(Timer* timer) { timer_ = timer; }

  const ChartState& chartState() const { return state_; }
  const ChartSources& sources() const { return sources_; }
  const ChartPaletteColors& colors() const { return colors_; }

  QSize sizeHint() const override { return {720, 360}; }
  QSize minimumSizeHint() const override { return {420, 220}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ChartState state_;
  ChartSources sources_;
  ChartPaletteColors colors_{};
  Timer* timer_ = nullptr;
  QFont font_;
  QImage last_;  // the chart drawn last, shown while the widget is disabled
};

}  // namespace kr
