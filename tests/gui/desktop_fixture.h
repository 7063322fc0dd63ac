// A desktop program over a home of its own, on the offscreen platform, and
// a helper that answers its request windows.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/desktop.h"
#include "gui/desktop_text.h"
#include "gui/request_window.h"

namespace kr::gui::test {

// Processes events until cond() holds or the time is up.
inline bool WaitFor(const std::function<bool()>& cond, int ms = 20000) {
  QElapsedTimer t;
  t.start();
  while (!cond()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// Answers every request window that opens: the next queued button index, or
// the first button when the queue is empty. Keeps what each one said.
class Answerer {
 public:
  struct Seen {
    std::string title, text;  // plain text, escape codes dropped
    std::string textHtml;     // the body as shown
  };
  Answerer() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  void Queue(int button) { answers_.push_back(button); }
  std::vector<Seen> seen;
  bool hold = false;  // leave windows open (a test answers them itself)

  std::string Last() const { return seen.empty() ? std::string() : seen.back().text; }
  bool Saw(const std::string& part) const {
    for (const Seen& s : seen)
      if (s.text.find(part) != std::string::npos) return true;
    return false;
  }

 private:
  void Poll() {
    if (hold) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* r = dynamic_cast<RequestWindow*>(w);
      if (!r || !r->isVisible() || r->answer() >= 0) continue;
      auto* title = r->findChild<QLabel*>(QStringLiteral("title"));
      auto* text = r->findChild<QLabel*>(QStringLiteral("text"));
      Seen s;
      s.title = Plain(title->text());
      s.text = Plain(text->text());
      s.textHtml = text->text().toStdString();
      seen.push_back(s);
      int button = 0;
      if (!answers_.empty()) {
        button = answers_.front();
        answers_.pop_front();
      }
      auto* b = r->findChild<QPushButton*>(QStringLiteral("button%1").arg(button));
      if (b) b->click();
    }
  }
  static std::string Plain(const QString& html) {
    QTextDocument d;
    d.setHtml(html);
    return d.toPlainText().toStdString();
  }
  QTimer timer_;
  std::deque<int> answers_;
};

inline std::string TempHome(const char* tag) {
  std::string base = std::filesystem::temp_directory_path() / ("kr_desktop_" + std::string(tag) + "_XXXXXX");
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return {};
  return buf.data();
}

// The settings a started program needs to pass the pages' checks.
void FillValidSettings(SettingsWindow& w);

// A home that has been through its first start, with valid settings saved
// (made once per test program, copied for every test).
const std::string& TemplateHome();

// A started program on a copy of the template home.
struct Started {
  std::string home;
  Answerer answers;
  std::unique_ptr<Desktop> desktop;
  std::vector<std::string> opened;  // reports the "Open report" answer opened
  explicit Started(const char* tag, DesktopOptions options = {});
  ~Started();
  Context& ctx() { return desktop->ctx(); }
};

}  // namespace kr::gui::test
