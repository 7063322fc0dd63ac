// Pictures of the desktop program's windows for the user guide
// (docs/desktop.md), taken from the real program: a fresh home started the
// way a user starts it, its buttons pressed, real runs with their status
// windows, real requests. scripts/render-desktop-windows runs it under Xvfb
// with a window manager, so the pictures show the window frame and title;
// on the offscreen platform they show the window's inside only.
//   render_desktop_windows OUTDIR [PARTITION]
// PARTITION: a mounted partition for the harddrive picture (skipped without).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "engine/run_events.h"
#include "gui/about_window.h"
#include "gui/desktop.h"
#include "gui/error_log_window.h"
#include "gui/main_window.h"
#include "gui/make_module_window.h"
#include "gui/request_window.h"
#include "gui/settings_window.h"
#include "gui/startup_window.h"
#include "gui/status_window.h"
#include "records/catalogue.h"
#include "records/settings_record.h"

using namespace kr;
using namespace kr::gui;

namespace {

QString gOut;
bool gOk = true;
bool gFramed = false;  // a window manager draws frames (xcb)

void Settle(int ms = 150) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The window as the screen shows it: with its frame where a window manager
// draws one, else its inside.
QPixmap Shot(QWidget* w, int settleMs = 400) {
  if (!gFramed) return w->grab();
  if (settleMs > 0) {
    w->raise();
    w->activateWindow();
    Settle(settleMs);
  }
  const QRect f = w->frameGeometry();
  return w->screen()->grabWindow(0, f.x(), f.y(), f.width(), f.height());
}

void Save(const QPixmap& p, const char* name) {
  const QString path = gOut + QStringLiteral("/desktop-") + QString::fromLatin1(name) + QStringLiteral(".png");
  const bool ok = !p.isNull() && p.save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
  gOk &= ok;
}

void SaveShown(QWidget* w, const char* name) {
  if (!w->isVisible()) w->show();
  Settle(gFramed ? 500 : 150);
  Save(Shot(w), name);
}

// Calls `grab` on the GUI thread while `until` is false, every `ms`.
struct Poll {
  QTimer timer;
  Poll(int ms, std::function<void()> grab) {
    QObject::connect(&timer, &QTimer::timeout, grab);
    timer.start(ms);
  }
};

// The visible request window, if any.
RequestWindow* OpenRequest() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* r = dynamic_cast<RequestWindow*>(w); r && r->isVisible() && r->answer() < 0) return r;
  return nullptr;
}

// Answers requests with their first button, except while `hold` is set.
struct Answerer {
  bool hold = false;
  QTimer timer;
  Answerer() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      if (hold) return;
      if (RequestWindow* r = OpenRequest())
        if (auto* b = r->findChild<QPushButton*>(QStringLiteral("button0"))) b->click();
    });
    timer.start(20);
  }
};

// A section run from its button; the status window is taken while the test
// named `test` runs (a while after it started, so its fields are filled).
void RunAndShoot(Desktop& d, QPushButton* button, Section s, const char* test, int delayMs, const char* name) {
  struct Started : RunListener {
    std::atomic<const char*> label{nullptr};
    void TestStarted(const CatalogueEntry& e) override {
      label.store(e.label);
      std::printf("  running %s\n", e.label);
    }
  } started;
  d.ctx().listeners.push_back(&started);
  int done = 0;
  d.onCommandDone = [&] { ++done; };
  // Taken again and again while the test runs: the last picture shows the
  // window as full as the test makes it.
  QPixmap last, inside;
  QElapsedTimer since;
  button->click();
  while (done == 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const char* now = started.label.load();
    if (now && std::string(now) == test) {
      if (!since.isValid()) since.start();
      if (since.elapsed() >= delayMs && d.status().window(s)->isVisible()) {
        d.status().Flush();
        QCoreApplication::processEvents();
        QPixmap p = Shot(d.status().window(s), 0);
        // A window the window manager has not framed yet is not taken.
        const bool framed = !gFramed || (p.width() > 150 && p.height() > 150 && p.toImage().pixel(p.width() / 2, 8) != qRgb(0, 0, 0));
        // Not the cleared window at the test's end (its state line blank).
        const bool filled = !d.status().window(s)->ValueText(StatusField::State).trimmed().isEmpty();
        if (framed && filled && (last.isNull() || (done == 0 && std::string(started.label.load()) == test))) last = p;
        // The window's inside, should the window manager not have framed it in time.
        if (!framed && last.isNull() && inside.isNull()) inside = d.status().window(s)->grab();
        since.restart();
        delayMs = 30;
      }
    }
  }
  if (last.isNull() && !inside.isNull()) {
    std::printf("note: %s without its frame (not framed while its test ran)\n", name);
    last = inside;
  }
  std::printf("  status display: %ld calls, %ld draws, %ld waits for a paint (%ld ran out of time)\n",
              d.status().calls(), d.status().draws(), d.status().syncWaits(), d.status().syncTimeouts());
  const bool shot = !last.isNull();
  if (shot) Save(last, name);
  std::erase(d.ctx().listeners, &started);
  d.onCommandDone = nullptr;
  if (!shot) {
    std::printf("FAILED %s: the test %s never ran\n", name, test);
    gOk = false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2 || argc > 3) {
    std::fputs("usage: render_desktop_windows OUTDIR [PARTITION]\n", stderr);
    return 2;
  }
  SetApplicationNames();
  QApplication::setQuitOnLastWindowClosed(false);
  gOut = QString::fromLocal8Bit(argv[1]);
  const std::string partition = argc == 3 ? argv[2] : "";
  gFramed = QGuiApplication::platformName() == QLatin1String("xcb");
  std::string home = std::filesystem::temp_directory_path() / "kr_render_desktop_XXXXXX";
  if (!mkdtemp(home.data())) return 1;

  DesktopOptions o;
  o.home = home;
  o.quickStart = false;  // the start-up window with its pauses, as a user sees it
  {
    Answerer answers;
    Desktop d(o);
    d.openReport = [](const std::string&) {};
    // The start-up window while the first start makes the data files.
    QPixmap startup;
    Poll watch(50, [&] {
      StartupWindow* w = d.startupWindow();
      if (startup.isNull() && w && w->isVisible() && w->text().startsWith(QStringLiteral("Generating")))
        startup = Shot(w);
    });
    if (d.Start() != 0) return 1;
    watch.timer.stop();
    if (startup.isNull()) std::printf("note: the start-up window was not caught while it made the data files\n");
    Save(startup, "status");

    // The first settings, filled in as a user would.
    SettingsWindow* s = d.settingsWindow();
    s->userName->setText(QStringLiteral("kelva"));
    s->realName->setText(QStringLiteral("Kim Example"));
    s->location->setText(QStringLiteral("Bremen"));
    s->email->setText(QStringLiteral("kim@example.org"));
    s->smtpServer->setText(QStringLiteral("mail.example.org"));
    s->homepage->setText(QStringLiteral("https://example.org/~kim"));
    s->makeReportName->click();
    s->comment->setPlainText(QStringLiteral("Desktop machine, fresh boot, network off."));
    s->errorLogEnabled->setChecked(true);
    s->pages->setCurrentIndex(1);
    s->none[0]->click();
    for (int k : {1, 3, 4}) s->procEnabled[size_t(k)]->setChecked(true);
    s->pages->setCurrentIndex(2);
    s->none[1]->click();
    s->memEnabled[size_t(mem::kReadFastLong)]->setChecked(true);
    s->memEnabled[size_t(mem::kWriteFastLong)]->setChecked(true);
    s->pages->setCurrentIndex(3);
    s->none[2]->click();
    s->driveEnabled[1]->setChecked(true);
    s->driveCount[1]->setValue(64);
    if (!partition.empty()) {
      s->SelectPartition(partition);
    }
    s->pages->setCurrentIndex(0);
    s->resize(900, 640);
    static const char* const kPages[4] = {"settings-general", "settings-processor", "settings-memory",
                                          "settings-harddisk"};
    for (int i = 0; i < 4; ++i) {
      s->pages->setCurrentIndex(i);
      SaveShown(s, kPages[i]);
    }
    s->pages->setCurrentIndex(0);
    s->save->click();
    Settle();

    MainWindow* m = d.mainWindow();
    SaveShown(m, "main");
    m->about->click();
    SaveShown(d.aboutWindow(), "about");
    d.aboutWindow()->hide();

    // A two-button request: "_Bang hardware!" in Make Module asks first; it
    // is answered "Abort" (needs a measurable partition for the button).
    if (m->makeModule->isEnabled()) {
      m->makeModule->click();
      SaveShown(d.makeModuleWindow(), "make-module");
      answers.hold = true;
      QPixmap request;
      Poll grab(50, [&] {
        if (RequestWindow* r = OpenRequest(); r && request.isNull()) {
          Settle(300);
          request = Shot(r);
          auto* abort = r->findChild<QPushButton*>(QStringLiteral("button1"));
          (abort ? abort : r->findChild<QPushButton*>(QStringLiteral("button0")))->click();
        }
      });
      int done = 0;
      d.onCommandDone = [&] { ++done; };
      d.makeModuleWindow()->bang->click();
      QElapsedTimer waited;
      waited.start();
      while (request.isNull() && waited.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      while (done == 0 && waited.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      d.onCommandDone = nullptr;
      answers.hold = false;
      Save(request, "request");
      d.makeModuleWindow()->hide();
    } else {
      std::printf("note: no partition, Make Module and its request are not taken\n");
    }

    // A one-button popup: Processor with no test selected.
    {
      SettingsRecord kept = d.ctx().settings;
      for (int k = 1; k <= kProcessorTests; ++k) d.ctx().settings.setProcEnabled(k, 0);
      answers.hold = true;
      QPixmap popup;
      bool answered = false;
      Poll grab(50, [&] {
        if (RequestWindow* r = OpenRequest(); r && popup.isNull()) {
          Settle(300);
          popup = Shot(r);
          r->findChild<QPushButton*>(QStringLiteral("button0"))->click();
          answered = true;
        }
      });
      int done = 0;
      d.onCommandDone = [&] { ++done; };
      m->processor->click();
      while (done == 0 || !answered) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      d.onCommandDone = nullptr;
      answers.hold = false;
      Save(popup, "popup");
      d.ctx().settings = kept;
    }

    // Real runs, each window taken while its second test runs.
    RunAndShoot(d, m->processor, Section::Processor, ProcessorEntry(4).label, 300, "benchmarking-processor");
    RunAndShoot(d, m->memory, Section::Memory, MemoryEntry(mem::kWriteFastLong).label, 0, "benchmarking-memory");
    if (m->hardDisk->isEnabled())
      RunAndShoot(d, m->hardDisk, Section::Drive, DriveEntry(1).label, 0, "benchmarking-harddrive");
    else
      std::printf("note: no partition, the harddrive window is not taken\n");

    // The error log: a report that cannot be written, as its window shows it.
    d.ctx().settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:NoSuchFolder/report.txt");
    {
      int done = 0;
      d.onCommandDone = [&] { ++done; };
      for (int k = 1; k <= kProcessorTests; ++k) d.ctx().settings.setProcEnabled(k, k == 1);
      m->processor->click();
      while (done == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      d.onCommandDone = nullptr;
    }
    Settle(300);
    if (d.errorLogWindow()->isVisible())
      SaveShown(d.errorLogWindow(), "errorlog");
    else {
      std::printf("FAILED the error log window did not open\n");
      gOk = false;
    }
    d.Stop();
  }
  std::filesystem::remove_all(home);
  return gOk ? 0 : 1;
}
