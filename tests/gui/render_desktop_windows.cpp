// Renders every window of the desktop program to PNG pictures on the
// offscreen platform (scripts/render-desktop-windows puts them under
// docs/images/ for the user guide docs/desktop.md).
//   render_desktop_windows OUTDIR
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "engine/errorlog.h"
#include "engine/status_ops.h"
#include "gui/about_window.h"
#include "gui/app.h"
#include "gui/error_log_window.h"
#include "gui/main_window.h"
#include "gui/make_module_window.h"
#include "gui/request_window.h"
#include "gui/settings_window.h"
#include "gui/startup_window.h"
#include "gui/status_window.h"

using namespace kr;
using namespace kr::gui;

namespace {

void Settle(int ms = 150) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget* w, const QString& dir, const char* name) {
  w->show();
  w->adjustSize();
  Settle();
  QString path = dir + QStringLiteral("/desktop-") + QString::fromLatin1(name) + QStringLiteral(".png");
  bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
  return ok;
}

// Answers every request window with its first button (the first start).
void AutoAnswer() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* r = dynamic_cast<RequestWindow*>(w); r && r->isVisible() && r->answer() < 0)
      if (auto* b = r->findChild<QPushButton*>(QStringLiteral("button0"))) b->click();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fputs("usage: render_desktop_windows OUTDIR\n", stderr);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  std::string home = std::filesystem::temp_directory_path() / "kr_render_desktop_XXXXXX";
  if (!mkdtemp(home.data())) return 1;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, &AutoAnswer);
  answer.start(10);

  DesktopOptions o;
  o.home = home;
  o.quickStart = true;
  bool ok = true;
  {
    Desktop d(o);
    StartupWindow* startup = nullptr;
    if (d.Start() != 0) return 1;
    Context& ctx = d.ctx();
    SettingsWindow* s = d.settingsWindow();
    s->userName->setText(QStringLiteral("kelva"));
    s->realName->setText(QStringLiteral("Kim Example"));
    s->location->setText(QStringLiteral("Bremen"));
    s->email->setText(QStringLiteral("kim@example.org"));
    s->smtpServer->setText(QStringLiteral("mail.example.org"));
    s->homepage->setText(QStringLiteral("https://example.org/~kim"));
    s->reportFile->setText(QStringLiteral("PROGDIR:Reports/KR_Report_10.12.26_18.00.00.txt"));
    s->comment->setPlainText(QStringLiteral("Desktop machine, fresh boot, network off."));
    s->vendor[0]->setCurrentIndex(12);
    s->other[0]->setText(QStringLiteral("Tower PC"));
    for (int k : {1, 2, 3, 7}) s->procEnabled[size_t(k)]->setChecked(true);
    for (int p : {0, 1, 2, 3, 13, 17}) s->memEnabled[size_t(p)]->setChecked(true);
    s->driveEnabled[0]->setChecked(true);
    s->driveEnabled[1]->setChecked(true);
    s->driveEnabled[2]->setChecked(true);
    if (s->partition->findText(QStringLiteral("/tmp")) < 0) s->partition->addItem(QStringLiteral("/tmp"));
    s->partition->setCurrentIndex(s->partition->findText(QStringLiteral("/tmp")));
    s->save->click();

    startup = d.startupWindow();
    startup->SetText("Checking Datafiles...");
    startup->SetGauge(45);
    ok &= Save(startup, out, "status");
    startup->hide();

    ok &= Save(d.mainWindow(), out, "main");
    ok &= Save(d.aboutWindow(), out, "about");
    d.aboutWindow()->hide();

    d.OpenSettings();
    static const char* const kPages[4] = {"settings-general", "settings-processor", "settings-memory",
                                          "settings-harddisk"};
    s->resize(900, 640);
    for (int i = 0; i < 4; ++i) {
      s->pages->setCurrentIndex(i);
      Settle(50);
      s->show();
      Settle();
      QString path = out + QStringLiteral("/desktop-") + QString::fromLatin1(kPages[i]) + QStringLiteral(".png");
      bool saved = s->grab().save(path);
      std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toLocal8Bit().constData());
      ok &= saved;
    }
    s->cancel->click();

    ok &= Save(d.makeModuleWindow(), out, "make-module");
    d.makeModuleWindow()->hide();

    {
      RequestWindow r(nullptr, &d.fonts(), "\x1b" "bREQUEST\x1b" "n",
                      "Are you sure? - You \x1b" "bcan't\x1b" "n (yet) abort this action", "Continue|Abort");
      ok &= Save(&r, out, "request");
    }
    {
      RequestWindow r(nullptr, &d.fonts(), "\x1b" "bERROR\x1b" "n", "No \x1b" "bProcessor\x1b" "n Benchmark selected",
                      "Abort");
      ok &= Save(&r, out, "popup");
    }

    // The status windows as a run shows them.
    ctx.countProcessor = 4;
    ctx.status.OpenWindow(Section::Processor);
    ShowProcessorTest(ctx, "40th Fibonacci", "Recursive integer calculation", 1, 0, 40, true, false);
    ShowProcessorResult(ctx, 123.4567, "FiboMHZ");
    ctx.progress = {2, 0, 0};
    ctx.status.SetGauge(Section::Processor, 50);
    ctx.status.SetGaugeText(Section::Processor, "3/4");
    ctx.status.SetText(Section::Processor, StatusField::State, "Benchmarking...");
    Settle();
    ok &= Save(d.status().window(Section::Processor), out, "benchmarking-processor");
    ctx.status.CloseWindow(Section::Processor);

    ctx.countMemory = 6;
    ctx.status.OpenWindow(Section::Memory);
    ShowMemoryTest(ctx, "Read FAST long", "exec.lib - CopyMem()", 1, 0, 128, 8388608, 64);
    ctx.status.SetNumber(Section::Memory, StatusField::Blocksize, 65536);
    ctx.status.SetNumber(Section::Memory, StatusField::Passes, 2048);
    ShowMemoryLast(ctx, 9876.54);
    ShowMemoryMin(ctx, 5123.1);
    ShowMemoryMax(ctx, 10234.5);
    ShowMemoryAverage(ctx, 8765.25);
    ctx.status.SetText(Section::Memory, StatusField::State, "Benchmarking...");
    ctx.status.SetGauge(Section::Memory, 32);
    ctx.status.SetGaugeText(Section::Memory, "3/6");
    Settle();
    ok &= Save(d.status().window(Section::Memory), out, "benchmarking-memory");
    ctx.status.CloseWindow(Section::Memory);

    ctx.countDrive = 3;
    ctx.status.OpenWindow(Section::Drive);
    ShowDriveTest(ctx, "Read from File", "dos.lib - Read()", "Blocksize low:", "Blocksize high:", "Blocksize:", 1, 1,
                  128, 8388608, 262144, 16, 0);
    ctx.status.SetNumber(Section::Drive, StatusField::Passes, 64);
    ShowDriveLast(ctx, 812.25);
    ShowDriveMin(ctx, 120.5);
    ShowDriveMax(ctx, 1530.75);
    ShowDriveAverage(ctx, 790.0);
    ctx.status.SetText(Section::Drive, StatusField::State, "Benchmarking...");
    ctx.status.SetGauge(Section::Drive, 33);
    ctx.status.SetGaugeText(Section::Drive, "1/3");
    Settle();
    ok &= Save(d.status().window(Section::Drive), out, "benchmarking-harddrive");
    ctx.status.CloseWindow(Section::Drive);

    LogError(ctx, "DRIVE", "CheckFreeSpace", "Not enough free space on the partition");
    LogError(ctx, "CPU", "MP3toCDDA", "Could not open the MP3 stream");
    Settle();
    ok &= Save(d.errorLogWindow(), out, "errorlog");
    d.Stop();
  }
  std::filesystem::remove_all(home);
  return ok ? 0 : 1;
}
