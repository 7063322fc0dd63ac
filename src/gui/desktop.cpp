#include "gui/desktop.h"

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QScreen>
#include <QDesktopServices>
#include <QUrl>
#include <QVariant>
#include <QSocketNotifier>
#include <QWidget>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iostream>

#include "bench/drive/drive_access.h"
#include "engine/errorlog.h"
#include "gui/about_window.h"
#include "gui/desktop_text.h"
#include "gui/main_window.h"
#include "gui/make_module_window.h"
#include "gui/module_base_window.h"
#include "gui/settings_window.h"
#include "gui/startup_window.h"
#include "settings/config_files.h"
#include "shell/commands.h"
#include "sysinfo/hardware_tables.h"
#include "util/latin1.h"

namespace kr::gui {
namespace {

const char kUsage[] =
    "Usage: kelvarank [--home DIR] [QUICKSTART=TRUE] [PUBSCREEN=NAME]\n"
    "\n"
    "The desktop program of KelvaRANK VTS (the terminal program is kelvarank-cli).\n"
    "\n"
    "  --home DIR        the program home (default $XDG_DATA_HOME/kelvarank or\n"
    "                    ~/.local/share/kelvarank)\n"
    "  QUICKSTART=TRUE   start without the pauses between the start-up checks\n"
    "  PUBSCREEN=NAME    open the windows on the screen of that name (as Qt names\n"
    "                    screens); with an unknown name the window system places them\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "Exit codes: 0 success, 2 bad usage, 20 start-up failure.\n";

// The processors of a run: a test that switches multitasking off holds its
// processor alone (the platform pins it there at real-time priority), so the
// worker keeps to the last allowed processor and the GUI thread to the
// others while a run lasts. One processor: nothing is changed.
class ProcessorSplit {
 public:
  void Begin() {
    active_ = false;
    if (pthread_getaffinity_np(pthread_self(), sizeof gui_, &gui_) != 0 || CPU_COUNT(&gui_) < 2) return;
    int last = -1;
    for (int c = 0; c < CPU_SETSIZE; ++c)
      if (CPU_ISSET(c, &gui_)) last = c;
    cpu_set_t rest = gui_;
    CPU_CLR(last, &rest);
    CPU_ZERO(&worker_);
    CPU_SET(last, &worker_);
    active_ = pthread_setaffinity_np(pthread_self(), sizeof rest, &rest) == 0;
  }
  // On the worker thread.
  void Worker() {
    if (active_) pthread_setaffinity_np(pthread_self(), sizeof worker_, &worker_);
  }
  void End() {
    if (active_) pthread_setaffinity_np(pthread_self(), sizeof gui_, &gui_);
    active_ = false;
  }

 private:
  cpu_set_t gui_{}, worker_{};
  bool active_ = false;
};

ProcessorSplit gSplit;

// SIGINT and SIGTERM (a terminal's Ctrl-C, the session ending) become the
// quit command, so the settings are saved as at a normal end: the handler
// only writes a byte that the main loop reads.
int gSignalPipe[2] = {-1, -1};
void OnQuitSignal(int) {
  char c = 1;
  (void)!write(gSignalPipe[1], &c, 1);
}


}  // namespace

bool ParseDesktopArgs(const std::vector<std::string>& args, DesktopOptions& out, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out.help = true;
    } else if (a == "--version") {
      out.version = true;
    } else if (a == "--home" || a.rfind("--home=", 0) == 0) {
      std::string v = a == "--home" ? (i + 1 < args.size() ? args[++i] : std::string()) : a.substr(7);
      if (v.empty()) {
        error = "--home needs a folder";
        return false;
      }
      out.home = v;
    } else if (a.rfind("QUICKSTART=", 0) == 0) {
      // On only for exactly "TRUE".
      out.quickStart = a.substr(11) == "TRUE";
    } else if (a.rfind("PUBSCREEN=", 0) == 0) {
      out.pubScreen = a.substr(10);
    } else if (a.find('=') != std::string::npos && a[0] != '-') {
      // A start-up option of the launcher's that this program does not know.
    } else {
      error = "unknown word " + a;
      return false;
    }
  }
  return true;
}

Desktop::Desktop(DesktopOptions options)
    : options_(std::move(options)),
      host_(options_.home),
      ctx_(host_.exec, host_.timer, host_.dos, requester_, status_),
      fonts_(options_.fontFamily),
      anchor_(std::make_unique<QObject>()) {
  host_.Attach(ctx_);
  ctx_.log = &log_;
  ctx_.interrupt = &interrupt_;
}

Desktop::~Desktop() {
  if (worker_.joinable()) worker_.join();
  if (state_.started) Stop();
  delete startup_;
  delete main_;
  delete settings_;
  delete makeModule_;
  delete about_;
  delete errorLog_;
}

int Desktop::Start() {
  const std::string& home = host_.home();
  HomeLock::Outcome locked = host_.LockHome(false);
  if (locked != HomeLock::kTaken) {
    std::string why = locked == HomeLock::kBusy ? "KelvaRANK is already running with the home\n'" + home + "'."
                                                : "Cannot lock the home:\n" + host_.lockError();
    std::cerr << "kelvarank: start-up failed: " << why << "\n";
    std::string latin1;
    if (!Utf8ToLatin1(why, latin1)) latin1 = "Cannot lock the home.";
    requester_.Request(kErrorTitle, latin1, "Abort");
    return kExitStartup;
  }
  if (StartUp(ctx_, host_.probe, *this, state_) != kStartupOk) {
    // The path is the host's bytes; the reason the system's message.
    const QString path = PathText(state_.failedPath);
    std::cerr << "kelvarank: "
              << StartupFailureLine(
                     state_, [&path](std::string_view) { return path.toUtf8().toStdString(); },
                     [](std::string_view reason) { return Latin1ToUtf8(reason); })
              << "\n";
    // Started from a menu nobody sees the line: a request says it too.
    if (!state_.failedPath.empty() || !state_.failedReason.empty()) {
      QString text = QStringLiteral("KelvaRANK could not start.");
      if (!state_.failedPath.empty()) text += QStringLiteral("\n\n'") + path + QStringLiteral("'");
      if (!state_.failedReason.empty()) text += QStringLiteral("\n\n") + FromLatin1(state_.failedReason);
      // Latin-1 request text: a character outside it shows as '?'.
      const QByteArray latin1 = text.toLatin1();
      requester_.Request(kErrorTitle, std::string(latin1.constData(), size_t(latin1.size())), "Abort");
    }
    return kExitStartup;
  }
  return kStartupOk;
}

void Desktop::Stop() {
  if (worker_.joinable()) worker_.join();
  if (quitInFirstRun_ && state_.started) {
    // Not "save at exit" for settings the user never confirmed; the file
    // the start-up made goes too, so the next start is a first run again.
    ctx_.settings.set_s32(cfg::kSaveAtExit, 0);
    (void)ctx_.dos.DeleteFile(kConfigFile);
  }
  ShutDown(ctx_, *this, state_);
  host_.UnlockHome();
}

StartupProgress& Desktop::Progress() { return *startup_; }

bool Desktop::InitFonts(Context& ctx) {
  if (!fonts_.Open(ctx)) return false;
  QApplication::setFont(fonts_.Small());
  requester_.SetFonts(&fonts_);
  return true;
}

void Desktop::CloseFonts(Context&) {}

bool Desktop::BuildGui(Context&) {
  startup_ = new StartupWindow(&fonts_);
  status_.Build(&fonts_, &ctx_.timingOpen);
  status_.onBusy = [this](bool busy) { Sleep(busy); };
  errorLog_ = new ErrorLogWindow(&fonts_);
  main_ = new MainWindow(ctx_);
  settings_ = new SettingsWindow(ctx_);
  makeModule_ = new MakeModuleWindow(ctx_);
  about_ = new AboutWindow(&fonts_);
  ConnectWindows();
  PlaceOnScreen(startup_);
  return true;
}

void Desktop::ConnectWindows() {
  QObject* a = anchor_.get();
  QObject::connect(main_, &MainWindow::runRequested, a,
                   [this](RunMode mode, QPushButton* pressed) { RunSection(mode, pressed); });
  QObject::connect(main_, &MainWindow::makeModuleRequested, a, [this] { OpenMakeModule(); });
  QObject::connect(main_, &MainWindow::moduleBaseRequested, a, [this] { OpenModuleBaseWindow(); });
  QObject::connect(main_, &MainWindow::settingsRequested, a, [this] { OpenSettings(); });
  QObject::connect(main_, &MainWindow::aboutRequested, a, [this] { OpenAbout(); });
  QObject::connect(main_, &MainWindow::quitRequested, a, [this] { RequestQuit(); });
  QObject::connect(settings_, &SettingsWindow::settingsTaken, a, [this] { RefreshDrive(); });
  QObject::connect(settings_, &SettingsWindow::closed, a, [this] { Sleep(false); });
  QObject::connect(makeModule_, &MakeModuleWindow::bangRequested, a,
                   [this](const MakeModuleOptions& options) { BangHardware(options); });
}

void Desktop::DisposeGui(Context&) {
  // The windows stay until the program object ends: the main loop has
  // ended, nothing is shown any more.
  for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
}

bool Desktop::OpenMainWindow(Context&) {
  startup_->hide();
  main_->LoadLogo();
  main_->ShowSystemInfo();
  settings_->FillPartitions();
  // On an AmigaXL/Amithlon or no-chip-memory host (this one) the main model
  // is the host's own label whatever is chosen; the hardware page shows it.
  if (std::string label = HostMainModelLabel(ctx_); !label.empty()) {
    HardwareChoice& main = ctx_.form.hardware[kHwMainModel];
    main.vendor = kOtherVendorIndex[kHwMainModel];
    main.model = 0;
    main.other = label.substr(0, limit::kOther);
  }
  settings_->ShowForm(ctx_.form);
  UpdateMainButtons();
  PlaceOnScreen(main_);
  main_->show();
  requester_.SetParent(main_);
  return true;
}

void Desktop::OpenFirstRunSettings(Context&) {
  settings_->SetFirstRun(true);
  OpenSettings();
  // The program sleeps, but "_Quit" stays: it can be left before the first
  // settings are made.
  main_->setEnabled(true);
  for (QPushButton* b : main_->findChildren<QPushButton*>())
    if (b != main_->quit && b->isEnabled()) {
      b->setEnabled(false);
      firstRunOff_.emplace_back(b);
    }
}

void Desktop::GatherDriveInfo(Context& ctx) {
  StartupHooks::GatherDriveInfo(ctx);
  UpdateMainButtons();
}

void Desktop::RefreshDrive() {
  kr::GatherDriveInfo(ctx_);
  UpdateMainButtons();
}

void Desktop::UpdateMainButtons() {
  if (!main_ || running_) return;
  const bool free = !moduleBaseBusy_;
  main_->processor->setEnabled(free);
  main_->memory->setEnabled(free);
  main_->hardDisk->setEnabled(free && ctx_.drive.hardDiskEnabled);
  main_->makeModule->setEnabled(free && ctx_.drive.makeModuleEnabled);
  main_->settings->setEnabled(free);
}

void Desktop::SetModuleBaseBusy(bool busy) {
  moduleBaseBusy_ = busy;
  UpdateMainButtons();
}

void Desktop::PlaceOnScreen(QWidget* w) {
  if (options_.pubScreen.empty()) return;
  for (QScreen* s : QGuiApplication::screens()) {
    if (s->name() != QString::fromStdString(options_.pubScreen)) continue;
    w->adjustSize();
    QRect r = w->frameGeometry();
    r.moveCenter(s->availableGeometry().center());
    w->move(r.topLeft());
    return;
  }
}

void Desktop::Sleep(bool on, QWidget* awake, bool busyPointer) {
  if (on) {
    if (sleepDepth_++ > 0) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w == awake || !w->isEnabled()) continue;
      if (dynamic_cast<StatusWindow*>(w) || dynamic_cast<RequestWindow*>(w) || dynamic_cast<ErrorLogWindow*>(w) ||
          dynamic_cast<QFileDialog*>(w) || w->isModal())
        continue;
      w->setEnabled(false);
      sleeping_.emplace_back(w);
    }
    busyPointer_ = busyPointer;
    if (busyPointer_) QApplication::setOverrideCursor(Qt::BusyCursor);
    return;
  }
  if (sleepDepth_ == 0 || --sleepDepth_ > 0) return;
  for (QPointer<QWidget>& w : sleeping_)
    if (w) w->setEnabled(true);
  sleeping_.clear();
  for (QPointer<QPushButton>& b : firstRunOff_)
    if (b) b->setEnabled(true);
  firstRunOff_.clear();
  UpdateMainButtons();
  if (busyPointer_) QApplication::restoreOverrideCursor();
  busyPointer_ = false;
}

bool Desktop::RunOnWorker(QPushButton* pressed, std::function<void()> work, std::function<void()> done) {
  if (running_) return false;
  running_ = true;
  interrupt_.store(false);
  status_.ShowStopping(false);
  QPointer<QPushButton> button(pressed);
  if (button) button->setEnabled(false);
  Sleep(true);
  if (worker_.joinable()) worker_.join();
  gSplit.Begin();
  worker_ = std::thread([this, work = std::move(work), done = std::move(done), button] {
    gSplit.Worker();
    work();
    QMetaObject::invokeMethod(
        anchor_.get(),
        [this, done, button] {
          if (worker_.joinable()) worker_.join();
          gSplit.End();
          running_ = false;
          if (button) button->setEnabled(true);
          Sleep(false);
          UpdateMainButtons();
          if (done) done();
          if (onCommandDone) onCommandDone();
          if (quitRequested_) QCoreApplication::exit(0);  // exit, not quit: quit would first ask every window to close
        },
        Qt::QueuedConnection);
  });
  return true;
}

std::string OutcomeText(const RunOutcome& o) {
  std::string text;
  if (o.interrupted)
    text += o.stoppedAfter.empty() ? std::string("The run was stopped by the user before its first test ended.\n\n")
                                   : "The run was stopped by the user after " + o.stoppedAfter + ".\n\n";
  auto total = [&text](const char* name, const ScoreSlot& t) {
    text += std::string(name) + " total: \x1b" "b";
    if (t.counts()) {
      char buf[32];
      const double v = std::floor(t.percent * 100.0) / 100.0;  // two truncated decimals, as the report
      std::snprintf(buf, sizeof buf, "%.2f", v);
      text += std::string(buf) + " KelvaRANKS";
    } else {
      text += "not valid";
    }
    text += "\x1b" "n\n";
  };
  switch (o.mode) {
    case RunMode::Processor: total("Processor", o.processorTotal); break;
    case RunMode::Memory: total("Memory", o.memoryTotal); break;
    case RunMode::Drive: total("Harddrive", o.driveTotal); break;
    case RunMode::MakeModule:
      total("Processor", o.processorTotal);
      total("Memory", o.memoryTotal);
      total("Harddrive", o.driveTotal);
      if (o.module == RunOutcome::Module::Stored) total("System", o.systemTotal);
      break;
    default: break;
  }
  switch (o.report) {
    case RunOutcome::Report::Written: text += "\nThe report is in\n'" + o.reportPath + "'."; break;
    case RunOutcome::Report::Off: text += "\nThe report is switched off in the settings."; break;
    case RunOutcome::Report::Failed: break;
  }
  return text;
}

void Desktop::ShowOutcome(const RunOutcome& o) {
  if (o.report == RunOutcome::Report::Failed) {
    requester_.Request(kErrorTitle, "The report could not be written:\n" + o.reportError, "Ok");
    if (o.mode == RunMode::MakeModule) return;
  }
  // A Make Module run that did not store its module has said why already.
  if (o.mode == RunMode::MakeModule && o.module != RunOutcome::Module::Stored && !o.interrupted) return;
  const char* title = o.interrupted ? "\x1b" "bRUN STOPPED\x1b" "n" : "\x1b" "bRUN FINISHED\x1b" "n";
  if (o.report == RunOutcome::Report::Written) {
    if (requester_.Request(title, OutcomeText(o), "_Open report|_Ok") == 0) {
      if (openReport)
        openReport(o.reportPath);
      else
        QDesktopServices::openUrl(QUrl::fromLocalFile(FromLatin1(o.reportPath)));
    }
  } else {
    requester_.Request(title, OutcomeText(o), "_Ok");
  }
}

void Desktop::RunSection(RunMode mode, QPushButton* pressed) {
  RunOnWorker(
      pressed, [this, mode] { pending_ = RunSectionCommand(ctx_, mode, MakeRunPlan(ctx_.settings, {})); },
      [this] {
        lastOutcome_ = pending_;
        if (lastOutcome_) ShowOutcome(*lastOutcome_);
      });
}

void Desktop::OpenMakeModule() {
  settings_->ReadForm(ctx_.form);
  settings_->UpdateEnabling();
  if (!ReadSettingsFromWindow(ctx_)) return;
  settings_->ShowForm(ctx_.form);
  RefreshDrive();
  PlaceOnScreen(makeModule_);
  makeModule_->show();
  makeModule_->raise();
}

void Desktop::BangHardware(const MakeModuleOptions& options) {
  if (running_) return;
  makeModule_->hide();
  RunOnWorker(
      makeModule_->bang,
      [this, options] { pending_ = MakeModuleCommand(ctx_, options, sectionRuns_, MakeRunPlan(ctx_.settings, {})); },
      [this] {
        lastOutcome_ = pending_;
        makeModule_->ResetBoxes(lastOutcome_.has_value());
        // The module was made with its own copy of the pages; they show the
        // user's settings as before.
        settings_->ShowForm(ctx_.form);
        if (lastOutcome_) ShowOutcome(*lastOutcome_);
      });
}

void Desktop::OpenModuleBaseWindow() {
  ModuleBaseWindow* w = OpenModuleBase(ctx_, main_);
  // While a transfer of the window owns the module base and the dos layer,
  // the main window's commands stay off the context.
  if (w && !w->property("krMainConnected").toBool()) {
    w->setProperty("krMainConnected", true);
    QObject::connect(w, &ModuleBaseWindow::busyChanged, main_, [this](bool busy) { SetModuleBaseBusy(busy); });
  }
}

void Desktop::OpenSettings() {
  if (settings_->isVisible()) {
    settings_->raise();
    return;
  }
  settings_->FillPartitions();
  settings_->UpdateEnabling();
  Sleep(true, settings_, false);
  PlaceOnScreen(settings_);
  settings_->show();
  settings_->raise();
}

void Desktop::OpenAbout() {
  PlaceOnScreen(about_);
  about_->show();
  about_->raise();
}

void Desktop::RequestQuit() {
  if (settings_ && settings_->firstRun() && settings_->isVisible()) {
    // The first settings are not finished: nothing of them is kept, and the
    // next start offers them again.
    quitRequested_ = true;
    quitInFirstRun_ = true;
    QCoreApplication::exit(0);  // exit, not quit: quit would first ask every window to close
    return;
  }
  if (settings_ && settings_->PickerOpen()) {
    requester_.Request(kErrorTitle, "Cannot quit now, still some ASL popups opened", "Ok");
    return;
  }
  quitRequested_ = true;
  if (running_) {
    // The run stops after its current test; the program then quits.
    interrupt_.store(true);
    status_.ShowStopping(true);
    return;
  }
  QCoreApplication::exit(0);  // exit, not quit: quit would first ask every window to close
}

void SetApplicationNames() {
  // No display name: the window system would append it to every title.
  // The application name is the X window class (StartupWMClass of the
  // desktop entry); the desktop file name is the Wayland application id.
  QApplication::setApplicationName(QString::fromLatin1(kWindowClass));
  QApplication::setDesktopFileName(QStringLiteral("org.kelvarank.kelvarank"));
}

bool InstallQuitSignals(Desktop& desktop) {
  static std::unique_ptr<QSocketNotifier> notifier;
  if (gSignalPipe[0] < 0 && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0) return false;
  notifier = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [&desktop] {
    char c;
    (void)!read(gSignalPipe[0], &c, 1);
    desktop.RequestQuit();
  });
  struct sigaction sa {};
  sa.sa_handler = OnQuitSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  return true;
}

int DesktopMain(int argc, char** argv) {
  // --help and --version need no display.
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return kExitOk;
    }
    if (a == "--version") {
      std::cout << "kelvarank " << KR_VERSION_TEXT << "\n";
      return kExitOk;
    }
  }
  QApplication app(argc, argv);
  // The words left after Qt took its own options (-platform, -display ...).
  std::vector<std::string> args;
  const QStringList words = QCoreApplication::arguments();
  for (qsizetype i = 1; i < words.size(); ++i) args.push_back(words[i].toStdString());
  DesktopOptions options;
  std::string error;
  if (!ParseDesktopArgs(args, options, error)) {
    std::cerr << "kelvarank: " << error << "\n" << kUsage;
    return kExitUsage;
  }
  SetApplicationNames();
  QApplication::setQuitOnLastWindowClosed(false);
  Desktop desktop(options);
  if (desktop.Start() != kStartupOk) return kExitStartup;
  InstallQuitSignals(desktop);
  app.exec();
  desktop.Stop();
  return kExitOk;
}

}  // namespace kr::gui
