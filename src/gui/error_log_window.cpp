#include "gui/error_log_window.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QShortcut>
#include <QPointer>
#include <QVBoxLayout>

#include "engine/context.h"
#include "gui/desktop_text.h"
#include "gui/fonts.h"

namespace kr::gui {

ErrorLogWindow::ErrorLogWindow(const FontMapping* fonts) : QWidget(nullptr, Qt::Window) {
  setObjectName(QStringLiteral("Errorlog"));
  if (fonts && fonts->open()) setFont(fonts->Small());
  auto* layout = new QVBoxLayout(this);
  view_ = new QPlainTextEdit(this);
  view_->setReadOnly(true);
  view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont mono(QStringLiteral("DejaVu Sans Mono"));
  mono.setPointSizeF(fonts && fonts->open() ? fonts->Small().pointSizeF() : QFontInfo(font()).pointSizeF());
  view_->setFont(mono);
  layout->addWidget(view_);
  setMinimumSize(560, 220);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
  resize(560, 220);
}

void ErrorLogWindow::Append(const QString& title, const QString& text) {
  setWindowTitle(title);
  view_->moveCursor(QTextCursor::End);
  view_->insertPlainText(text);
  view_->moveCursor(QTextCursor::End);
  if (!isVisible()) show();
}

QString ConsoleTitle(std::string_view name) {
  // CON:x/y/w/h/title/options
  size_t start = name.find(':');
  if (start != std::string_view::npos) {
    std::string_view rest = name.substr(start + 1);
    for (int field = 0; field < 4; ++field) {
      size_t slash = rest.find('/');
      if (slash == std::string_view::npos) {
        rest = {};
        break;
      }
      rest = rest.substr(slash + 1);
    }
    std::string_view title = rest.substr(0, rest.find('/'));
    if (!title.empty()) return PlainText(title);
  }
  return QStringLiteral("KelvaRANK Errorlog");
}

void GuiLogSink::Write(Kind, std::string_view text) {
  // On the calling thread: the console's name as the settings hold it now.
  QString title = ConsoleTitle(ctx_.settings.errorLogOutput());
  QString body = PlainText(text);
  QMetaObject::invokeMethod(
      anchor_,
      [this, title, body] {
        if (window_) window_->Append(title, body);
      },
      Qt::QueuedConnection);
}

}  // namespace kr::gui
