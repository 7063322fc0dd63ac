#include "gui/request_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "gui/desktop_text.h"
#include "gui/fonts.h"

namespace kr::gui {
namespace {

std::vector<std::string_view> SplitButtons(std::string_view buttons) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t bar = buttons.find('|', start);
    out.push_back(buttons.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return out;
}

}  // namespace

RequestWindow::RequestWindow(QWidget* parent, const FontMapping* fonts, std::string_view title, std::string_view text,
                             std::string_view buttons)
    : QDialog(parent) {
  std::vector<std::string_view> labels = SplitButtons(buttons);
  const bool two = labels.size() > 1;
  setObjectName(two ? QStringLiteral("Request") : QStringLiteral("Popup"));
  setWindowTitle(WindowTitle(two ? "Request" : "Popup"));
  setModal(true);
  if (fonts && fonts->open()) setFont(fonts->Small());

  auto* layout = new QVBoxLayout(this);
  auto* titleLabel = new QLabel(RichText(title), this);
  titleLabel->setObjectName(QStringLiteral("title"));
  titleLabel->setTextFormat(Qt::RichText);
  titleLabel->setAlignment(Qt::AlignHCenter);
  if (fonts && fonts->open()) titleLabel->setFont(fonts->Large());
  layout->addWidget(titleLabel);
  auto* body = new QLabel(RichText(text), this);
  body->setObjectName(QStringLiteral("text"));
  body->setTextFormat(Qt::RichText);
  body->setWordWrap(true);
  body->setFrameShape(QFrame::StyledPanel);
  body->setMargin(8);
  // Sized for five lines of 52 characters.
  QFontMetrics fm(body->font());
  body->setMinimumWidth(fm.horizontalAdvance(QString(52, QLatin1Char('n'))) + 20);
  body->setMinimumHeight(fm.lineSpacing() * 5 + 20);
  body->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(body, 1);

  auto* row = new QHBoxLayout;
  for (size_t i = 0; i < labels.size(); ++i) {
    auto* b = new QPushButton(MnemonicText(labels[i]), this);
    b->setObjectName(QStringLiteral("button%1").arg(i));
    b->setAutoDefault(i == 0);
    if (StartsBold(labels[i])) {
      QFont f = b->font();
      f.setBold(true);
      b->setFont(f);
    }
    connect(b, &QPushButton::clicked, this, [this, i] {
      answer_ = int(i);
      accept();
    });
    if (i > 0) row->addStretch(1);
    row->addWidget(b);
  }
  layout->addLayout(row);
  // Closing the window is the last button ("Cancel", "Abort", "Quit").
  connect(this, &QDialog::rejected, this, [this, n = int(labels.size())] {
    if (answer_ < 0) answer_ = n - 1;
  });
}

int GuiRequester::ShowOnGuiThread(std::string_view title, std::string_view text, std::string_view buttons) {
  ++shown_;
  // The window that raised the request owns it (it stays above that window
  // and the focus goes back there); a run's requests belong to the main
  // window.
  QWidget* parent = parent_ && parent_->isVisible() ? parent_.data() : nullptr;
  if (!fromWorker_) {
    QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible() && active->isEnabled() && !qobject_cast<QDialog*>(active)) parent = active;
    else if (active && dynamic_cast<RequestWindow*>(active)) parent = active;
  }
  RequestWindow w(parent, fonts_, title, text, buttons);
  lastParent_ = parent;
  w.exec();
  return w.answer();
}

int GuiRequester::Request(std::string_view title, std::string_view text, std::string_view buttons) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return -1;
  if (QThread::currentThread() == app->thread()) return ShowOnGuiThread(title, text, buttons);
  // A worker: the texts are valid during this call, and the call blocks
  // until the GUI thread has shown the window and the user has answered.
  int result = -1;
  QMetaObject::invokeMethod(
      app,
      [&] {
        fromWorker_ = true;
        result = ShowOnGuiThread(title, text, buttons);
        fromWorker_ = false;
      },
      Qt::BlockingQueuedConnection);
  return result;
}

}  // namespace kr::gui
