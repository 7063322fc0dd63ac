#include "gui/status_window.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTextDocumentFragment>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/desktop_text.h"
#include "gui/fonts.h"

namespace kr::gui {

StatusWindow::StatusWindow(Section s, const FontMapping* fonts) : QWidget(nullptr, Qt::Window), section_(s) {
  static const char* const kNames[] = {"Benchmarking Processor", "Benchmarking Memory", "Benchmarking Harddrive"};
  setObjectName(QString::fromLatin1(kNames[size_t(s)]));
  setWindowTitle(WindowTitle(kNames[size_t(s)]));
  if (fonts && fonts->open()) setFont(fonts->Small());
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  int row = 0;
  for (const StatusRow& r : StatusRows(s)) {
    auto* c = new QLabel(QString::fromLatin1(r.caption), this);
    c->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* v = new QLabel(this);
    v->setTextFormat(Qt::RichText);
    v->setFrameShape(QFrame::StyledPanel);
    v->setFrameShadow(QFrame::Sunken);
    v->setMinimumWidth(260);
    v->setObjectName(QString::fromLatin1(r.caption));
    grid->addWidget(c, row, 0);
    grid->addWidget(v, row, 1);
    caption_[size_t(r.field)] = c;
    value_[size_t(r.field)] = v;
    ++row;
  }
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  gauge_ = new QProgressBar(this);
  gauge_->setRange(0, 100);
  gauge_->setValue(0);
  gauge_->setFormat(QStringLiteral("0/0"));
  gauge_->setTextVisible(true);
  gauge_->setAlignment(Qt::AlignCenter);
  layout->addWidget(gauge_);
  stopping_ = new QLabel(QStringLiteral("Stopping after this test\u2026"), this);
  stopping_->setObjectName(QStringLiteral("stopping"));
  stopping_->setAlignment(Qt::AlignCenter);
  QFont bold = stopping_->font();
  bold.setBold(true);
  stopping_->setFont(bold);
  stopping_->hide();
  layout->addWidget(stopping_);
  // Hidden rows keep their room: the window keeps its size while a test
  // hides the rows it does not use.
  for (QLabel* l : caption_)
    if (l) {
      QSizePolicy p = l->sizePolicy();
      p.setRetainSizeWhenHidden(true);
      l->setSizePolicy(p);
    }
  for (QLabel* l : value_)
    if (l) {
      QSizePolicy p = l->sizePolicy();
      p.setRetainSizeWhenHidden(true);
      l->setSizePolicy(p);
    }
}

void StatusWindow::ShowStopping(bool on) {
  stopping_->setVisible(on);
  if (on && isVisible()) raise();
}
bool StatusWindow::stopping() const { return !stopping_->isHidden(); }

void StatusWindow::paintEvent(QPaintEvent* e) {
  QWidget::paintEvent(e);
  if (onPainted) onPainted();
}

void StatusWindow::Show(const StatusWindowModel& m) {
  for (const StatusRow& r : StatusRows(section_)) {
    size_t f = size_t(r.field);
    QLabel* c = caption_[f];
    QLabel* v = value_[f];
    c->setText(m.caption[f].empty() ? QString::fromLatin1(r.caption) : FromLatin1(m.caption[f]));
    v->setText(r.kind == StatusRow::Kind::Number ? QString::number(m.number[f]) : RichText(m.text[f]));
    c->setVisible(m.shown[f]);
    v->setVisible(m.shown[f]);
  }
  gauge_->setValue(std::clamp(m.gauge, 0, 100));
  gauge_->setFormat(m.gaugeText.empty() ? QStringLiteral("0/0") : FromLatin1(m.gaugeText));
  if (m.open && !isVisible()) show();
  if (!m.open && isVisible()) hide();
}

QString StatusWindow::ValueText(StatusField f) const {
  QLabel* v = value_[size_t(f)];
  if (!v) return {};
  return QTextDocumentFragment::fromHtml(v->text()).toPlainText();
}

QString StatusWindow::CaptionText(StatusField f) const {
  QLabel* c = caption_[size_t(f)];
  return c ? c->text() : QString();
}

bool StatusWindow::RowShown(StatusField f) const {
  QLabel* v = value_[size_t(f)];
  return v && !v->isHidden();
}

QString StatusWindow::GaugeText() const { return gauge_->format(); }

GuiStatus::GuiStatus() : anchor_(std::make_unique<QObject>()) {}
GuiStatus::~GuiStatus() {
  for (StatusWindow* w : windows_) delete w;
}

void GuiStatus::Build(const FontMapping* fonts, const std::atomic<bool>* timing) {
  timing_ = timing;
  for (int s = 0; s < 3; ++s) {
    windows_[size_t(s)] = new StatusWindow(Section(s), fonts);
    windows_[size_t(s)]->onPainted = [this, s] {
      uint64_t serial = 0;
      {
        std::lock_guard lock(mutex_);
        std::swap(serial, firstPaint_[size_t(s)]);
      }
      if (serial) Drawn(serial);
    };
    if (s == 0) copy_ = std::make_unique<WorkerProgress>(fonts);
    std::lock_guard lock(mutex_);
    // The captions as the window is built until a test rewrites them.
    for (const StatusRow& r : StatusRows(Section(s))) model_[size_t(s)].caption[size_t(r.field)].clear();
  }
}

template <typename F>
void GuiStatus::Change(Section s, F&& f, bool sync) {
  calls_.fetch_add(1, std::memory_order_relaxed);
  // Waiting is for the worker: the GUI thread draws itself, and a timed
  // span is never held up (nor drawn in).
  sync = sync && QThread::currentThread() != anchor_->thread() &&
         !(timing_ && timing_->load(std::memory_order_relaxed)) && windows_[size_t(s)];
  bool post = false;
  std::unique_lock lock(mutex_);
  f(model_[size_t(s)]);
  dirty_[size_t(s)] = true;
  const uint64_t serial = ++serial_;
  if (!posted_) posted_ = post = true;
  if (sync) {
    // A draw put off by the interval may be a timer away: ask for one now.
    urgent_ = true;
    post = true;
  }
  lock.unlock();
  if (post) Post();
  if (!sync) return;
  syncWaits_.fetch_add(1, std::memory_order_relaxed);
  lock.lock();
  if (!drawnCv_.wait_for(lock, kSyncWait, [&] { return drawn_ >= serial; }))
    syncTimeouts_.fetch_add(1, std::memory_order_relaxed);
}

void GuiStatus::Drawn(uint64_t serial) {
  {
    std::lock_guard lock(mutex_);
    drawn_ = std::max(drawn_, serial);
  }
  drawnCv_.notify_all();
}

void GuiStatus::Post() {
  QMetaObject::invokeMethod(anchor_.get(), [this] { Flush(); }, Qt::QueuedConnection);
}

void GuiStatus::Flush() {
  using namespace std::chrono;
  // Nothing is drawn while a test is timing, and not more often than the
  // interval: the draw is put off and everything changed meanwhile goes into
  // that one draw.
  auto now = steady_clock::now();
  milliseconds wait{0};
  if (timing_ && timing_->load(std::memory_order_relaxed))
    wait = kTimingRetry;
  else if (!urgent_ && now - lastDraw_ < kMinDrawInterval)
    wait = duration_cast<milliseconds>(kMinDrawInterval - (now - lastDraw_)) + milliseconds(1);
  if (wait.count() > 0) {
    QTimer::singleShot(wait, anchor_.get(), [this] { Flush(); });
    return;
  }
  std::array<StatusWindowModel, 3> copy;
  std::array<bool, 3> dirty{};
  uint64_t serial = 0;
  bool urgent = false;
  {
    std::lock_guard lock(mutex_);
    urgent = urgent_;
    copy = model_;
    dirty = dirty_;
    dirty_ = {};
    posted_ = false;
    urgent_ = false;
    serial = serial_;
  }
  lastDraw_ = now;
  bool waitsForPaint = false;
  for (size_t s = 0; s < 3; ++s) {
    StatusWindow* w = windows_[s];
    if (!dirty[s] || !w) continue;
    const bool wasVisible = w->isVisible();
    w->Show(copy[s]);
    ++draws_;
    if (!w->isVisible()) continue;
    QWindow* handle = w->windowHandle();
    if (wasVisible && handle && handle->isExposed()) {
      if (urgent) w->repaint();  // on the screen before the waiting worker goes on
    } else {
      // Just shown: painted when the window system exposes it.
      std::lock_guard lock(mutex_);
      firstPaint_[s] = serial;
      waitsForPaint = true;
    }
  }
  if (!waitsForPaint) Drawn(serial);
}

void GuiStatus::OpenWindow(Section s) {
  Change(s, [](StatusWindowModel& m) { m.open = true; }, true);
}

StartupProgress* GuiStatus::CopyProgress() { return copy_.get(); }

void GuiStatus::ShowStopping(bool on) {
  for (StatusWindow* w : windows_)
    if (w) w->ShowStopping(on);
}
void GuiStatus::CloseWindow(Section s) {
  Change(s, [](StatusWindowModel& m) { m.open = false; });
}
void GuiStatus::SetText(Section s, StatusField f, std::string_view t) {
  // The state line changes before a test starts timing.
  Change(s, [&](StatusWindowModel& m) { m.text[size_t(f)].assign(t); }, f == StatusField::State);
}
void GuiStatus::SetNumber(Section s, StatusField f, int32_t v) {
  // A sweep sets its step's block size, then the loop size or passes, and
  // starts timing: the step is shown before it is timed.
  Change(s, [&](StatusWindowModel& m) { m.number[size_t(f)] = v; },
         f == StatusField::Loopsize || f == StatusField::Passes);
}
void GuiStatus::SetCaption(Section s, StatusField f, std::string_view c) {
  Change(s, [&](StatusWindowModel& m) { m.caption[size_t(f)].assign(c); });
}
void GuiStatus::ShowRow(Section s, StatusField f, bool shown) {
  Change(s, [&](StatusWindowModel& m) { m.shown[size_t(f)] = shown; });
}
void GuiStatus::SetGauge(Section s, int32_t v) {
  Change(s, [&](StatusWindowModel& m) { m.gauge = v; });
}
void GuiStatus::SetGaugeText(Section s, std::string_view t) {
  Change(s, [&](StatusWindowModel& m) { m.gaugeText.assign(t); });
}

void GuiStatus::SetBusy(bool busy) {
  if (!onBusy) return;
  QMetaObject::invokeMethod(
      anchor_.get(), [this, busy] { if (onBusy) onBusy(busy); }, Qt::QueuedConnection);
}

}  // namespace kr::gui
