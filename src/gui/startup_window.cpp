#include "gui/startup_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <string>

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
  if (pumping_) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void StartupWindow::SetGauge(int32_t percent) {
  gauge_->setValue(std::clamp(percent, 0, 100));
  if (pumping_) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void StartupWindow::Pause(int32_t ticks) {
  if (ticks <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ticks * 20, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void StartupWindow::Close() { hide(); }

QString StartupWindow::text() const { return text_->text(); }
int StartupWindow::gauge() const { return gauge_->value(); }

WorkerProgress::WorkerProgress(const FontMapping* fonts)
    : window_(new StartupWindow(fonts)), anchor_(std::make_unique<QObject>()) {
  window_->setObjectName(QStringLiteral("Copy"));
  window_->SetPumping(false);
}

WorkerProgress::~WorkerProgress() {
  anchor_.reset();  // drops calls not yet shown
  delete window_;
}

template <typename F>
void WorkerProgress::Post(F&& f) {
  QMetaObject::invokeMethod(anchor_.get(), std::forward<F>(f), Qt::QueuedConnection);
}

void WorkerProgress::Open() {
  Post([w = window_] {
    w->show();
    w->raise();
  });
}
void WorkerProgress::SetText(std::string_view text) {
  Post([w = window_, t = std::string(text)] { w->SetText(t); });
}
void WorkerProgress::SetGauge(int32_t percent) {
  Post([w = window_, percent] { w->SetGauge(percent); });
}
void WorkerProgress::Close() {
  Post([w = window_] { w->hide(); });
}

}  // namespace kr::gui
