// The console of the error-log output: a window with the console's title,
// opened at its first output. The log sink may be called on the worker
// thread; the text is handed to the GUI thread.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include "engine/run_events.h"

namespace kr {
struct Context;
}

namespace kr::gui {

class FontMapping;

class ErrorLogWindow : public QWidget {
 public:
  explicit ErrorLogWindow(const FontMapping* fonts);
  void Append(const QString& title, const QString& text);
  QString text() const { return view_->toPlainText(); }

 private:
  QPlainTextEdit* view_;
};

// The title a console output name gives its window: the fifth field of
// "CON:x/y/w/h/title/options"; a name without one gives "KelvaRANK Errorlog".
QString ConsoleTitle(std::string_view outputName);

class GuiLogSink : public LogSink {
 public:
  GuiLogSink(Context& ctx, ErrorLogWindow*& window) : ctx_(ctx), window_(window), anchor_(new QObject) {}
  ~GuiLogSink() override { delete anchor_; }
  void Write(Kind kind, std::string_view text) override;

 private:
  Context& ctx_;
  ErrorLogWindow*& window_;
  QObject* anchor_;  // context of the queued appends: dropped when the sink ends
};

}  // namespace kr::gui
