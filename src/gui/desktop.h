// The desktop program: its context on the shared host bundle (shell/host.h),
// its windows, which emit their commands as signals, and the commands.
// Start-up and shutdown go through shell/startup.h in their fixed order; the
// Qt event loop is the main loop; long commands run on a worker thread while
// the program sleeps (input off, busy pointer) and the status windows show
// what runs.
#pragma once

#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/context.h"
#include "gui/error_log_window.h"
#include "gui/fonts.h"
#include "gui/request_window.h"
#include "gui/status_window.h"
#include "shell/host.h"
#include "shell/make_module.h"
#include "shell/startup.h"

class QPushButton;
class QWidget;

namespace kr::gui {

class MainWindow;
class SettingsWindow;
class MakeModuleWindow;
class AboutWindow;
class StartupWindow;

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStartup = 20;

struct DesktopOptions {
  std::string home;        // --home DIR; empty: the default home
  bool quickStart = false;  // QUICKSTART=TRUE (exactly)
  std::string pubScreen;    // PUBSCREEN=name: the screen the windows open on
  QString fontFamily = QString::fromLatin1(kDefaultFontFamily);
  bool help = false, version = false;
};

// The launcher's words: QUICKSTART=TRUE, PUBSCREEN=name, --home DIR,
// --help, --version. Other KEY=VALUE words are ignored (a launcher may pass
// options of its own); anything else is bad usage.
bool ParseDesktopArgs(const std::vector<std::string>& args, DesktopOptions& out, std::string& error);

class Desktop : public StartupHooks {
 public:
  explicit Desktop(DesktopOptions options);
  ~Desktop() override;

  // Start-up in its fixed order; kStartupOk or kExitStartup.
  int Start();
  // After the main loop: SaveDefaults, SaveConfig with "save at exit", then
  // everything released in reverse order.
  void Stop();

  // The "_Quit" command: refused while a file picker of the settings window
  // is open; otherwise the main loop ends. During a run the program quits
  // once the run has stopped (it is asked to stop after the current test).
  void RequestQuit();
  bool quitRequested() const { return quitRequested_; }

  // Commands (the buttons call them).
  void RunSection(RunMode mode, QPushButton* pressed);
  void OpenMakeModule();
  void BangHardware(const MakeModuleOptions& options);
  void OpenModuleBaseWindow();
  void OpenSettings();
  void OpenAbout();

  // Runs `work` on the worker thread while the program sleeps and `pressed`
  // is disabled; `done` runs on the GUI thread afterwards. False (and nothing
  // runs) while another command is running.
  bool RunOnWorker(QPushButton* pressed, std::function<void()> work, std::function<void()> done);
  bool running() const { return running_; }
  // Puts the program to sleep (every window but the status, request and log
  // windows and `awake` takes no input; with busyPointer the busy pointer) or
  // wakes it. Nested: the first call's choices hold until the last wakes.
  void Sleep(bool on, QWidget* awake = nullptr, bool busyPointer = true);
  bool asleep() const { return sleepDepth_ > 0; }

  // The settings' partition may have changed: gather its drive information
  // and enable "_Hard Disk" and "Make M_odule" accordingly.
  void RefreshDrive();
  void UpdateMainButtons();
  // A transfer of the Module Base window started or ended.
  void SetModuleBaseBusy(bool busy);

  Context& ctx() { return ctx_; }
  const FontMapping& fonts() const { return fonts_; }
  GuiRequester& requester() { return requester_; }
  GuiStatus& status() { return status_; }
  MainWindow* mainWindow() { return main_; }
  SettingsWindow* settingsWindow() { return settings_; }
  MakeModuleWindow* makeModuleWindow() { return makeModule_; }
  AboutWindow* aboutWindow() { return about_; }
  StartupWindow* startupWindow() { return startup_; }
  ErrorLogWindow* errorLogWindow() { return errorLog_; }
  const StartupState& startupState() const { return state_; }
  // The last run's outcome (tests read it).
  const std::optional<RunOutcome>& lastOutcome() const { return lastOutcome_; }
  // Called on the GUI thread after a command on the worker has finished.
  std::function<void()> onCommandDone;
  // Opens a written report (the "Open report" answer after a run); unset:
  // the desktop's viewer for the file.
  std::function<void(const std::string& path)> openReport;
  // The three section runs "Make M_odule" uses (tests put quick ones).
  void SetSectionRuns(const SectionRuns& runs) { sectionRuns_ = runs; }

  // StartupHooks.
  StartupProgress& Progress() override;
  bool QuickStart() override { return options_.quickStart; }
  bool InitFonts(Context& ctx) override;
  void CloseFonts(Context& ctx) override;
  bool BuildGui(Context& ctx) override;
  void DisposeGui(Context& ctx) override;
  bool OpenMainWindow(Context& ctx) override;
  void OpenFirstRunSettings(Context& ctx) override;
  void GatherDriveInfo(Context& ctx) override;

 private:
  // The windows' commands to the program's.
  void ConnectWindows();
  void ShowOutcome(const RunOutcome& outcome);
  void PlaceOnScreen(QWidget* w);

  DesktopOptions options_;
  Host host_;
  GuiRequester requester_;
  GuiStatus status_;
  Context ctx_;
  ErrorLogWindow* errorLog_ = nullptr;
  GuiLogSink log_{ctx_, errorLog_};
  StartupState state_;
  FontMapping fonts_;

  StartupWindow* startup_ = nullptr;
  MainWindow* main_ = nullptr;
  SettingsWindow* settings_ = nullptr;
  MakeModuleWindow* makeModule_ = nullptr;
  AboutWindow* about_ = nullptr;

  std::thread worker_;
  std::unique_ptr<QObject> anchor_;  // context of the worker's end: dropped with the program
  bool running_ = false;
  std::atomic<bool> interrupt_{false};
  bool quitRequested_ = false;
  bool quitInFirstRun_ = false;
  bool moduleBaseBusy_ = false;
  int sleepDepth_ = 0;
  bool busyPointer_ = false;
  std::optional<RunOutcome> pending_;  // written by the worker, read after it ended
  std::vector<QPointer<QWidget>> sleeping_;
  std::vector<QPointer<QPushButton>> firstRunOff_;  // main buttons off during the first settings
  std::optional<RunOutcome> lastOutcome_;
  SectionRuns sectionRuns_ = kSectionRuns;
};

// The X window class of every window (StartupWMClass of the desktop entry).
inline constexpr const char* kWindowClass = "KelvaRANK";
// The application names: no display name (titles are the windows' own).
void SetApplicationNames();
// SIGINT and SIGTERM become the quit command of `desktop`.
bool InstallQuitSignals(Desktop& desktop);
// The text of the window after a run: where it stopped, the totals, where
// the report went.
std::string OutcomeText(const RunOutcome& o);

// The program: parses the words, starts, runs the main loop, stops.
int DesktopMain(int argc, char** argv);

}  // namespace kr::gui
