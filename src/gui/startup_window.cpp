#include "gui/startup_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/desktop_text.h"
#include "gui/fonts.h"

namespace kr::gui {

StartupWindow::StartupWindow(const FontMapping* fonts) : QWidget(nullptr, Qt::Window) {
  setObjectName(QStringLiteral("Status"));
  setWindowTitle(WindowTitle("Status"));
  if (fonts && fonts->open()) setFont(fonts->Small());
  auto* layout = new QVBoxLayout(this);
  text_ = new QLabel(this);
  text_->setMinimumWidth(320);
  text_->setAlignment(Qt::AlignCenter);
  layout->addWidget(text_);
  gauge_ = new QProgressBar(this);
  gauge_->setRange(0, 100);
  gauge_->setTextVisible(false);
  layout->addWidget(gauge_);
}

void StartupWindow::Open() {
  show();
  QCoreApplication::processEvents();
}

void StartupWindow::SetText(std::string_view text) {
  text_->setText(PlainText(text));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void StartupWindow::SetGauge(int32_t percent) {
  gauge_->setValue(std::clamp(percent, 0, 100));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void StartupWindow::Pause(int32_t ticks) {
  if (ticks <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ticks * 20, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void StartupWindow::Close() { hide(); }

QString StartupWindow::text() const { return text_->text(); }

}  // namespace kr::gui
