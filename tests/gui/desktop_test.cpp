// The desktop program on the offscreen platform: its commands from their
// buttons, the settings pages into the .cfg bytes, the requests, runs on the
// worker thread, and the failure paths.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <csignal>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "records/catalogue.h"
#include "engine/errorlog.h"
#include "gui/about_window.h"
#include "gui/error_log_window.h"
#include "gui/desktop_fixture.h"
#include "support/loop_mount.h"
#include "gui/main_window.h"
#include "gui/make_module_window.h"
#include "gui/settings_window.h"
#include "gui/startup_window.h"
#include "gui/status_window.h"
#include "records/results.h"
#include "settings/config_files.h"
#include "sysinfo/hardware_tables.h"
#include "records/settings_record.h"
#include "support/test_context.h"

namespace kr::gui::test {

namespace fs = std::filesystem;

void FillValidSettings(SettingsWindow& w) {
  w.userName->setText(QStringLiteral("tester"));
  w.realName->setText(QStringLiteral("Test Person"));
  w.location->setText(QStringLiteral("Testville"));
  w.email->setText(QStringLiteral("tester@example.org"));
  w.smtpServer->setText(QStringLiteral("localhost"));
  w.homepage->setText(QString());
  w.reportFile->setText(QStringLiteral("PROGDIR:Reports/test_report.txt"));
  w.comment->setPlainText(QStringLiteral("A test machine"));
  w.SelectPartition("/tmp");
}

const std::string& TemplateHome() {
  static std::string home;
  if (!home.empty()) return home;
  home = TempHome("template");
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(home, ec);
  });
  Answerer answers;
  DesktopOptions o;
  o.home = home;
  o.quickStart = true;
  auto d = std::make_unique<Desktop>(o);
  EXPECT_EQ(d->Start(), 0);
  FillValidSettings(*d->settingsWindow());
  d->settingsWindow()->save->click();
  EXPECT_FALSE(d->settingsWindow()->isVisible());
  d->Stop();
  d.reset();
  return home;
}

Started::Started(const char* tag, DesktopOptions options) {
  home = TempHome(tag);
  fs::copy(TemplateHome(), home, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::remove(fs::path(home) / "KelvaRANK.lock");
  options.home = home;
  options.quickStart = true;
  desktop = std::make_unique<Desktop>(options);
  desktop->openReport = [this](const std::string& path) { opened.push_back(path); };
}

Started::~Started() {
  desktop.reset();
  std::error_code ec;
  fs::remove_all(home, ec);
}

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

SettingsRecord ReadConfig(const std::string& home) {
  SettingsRecord r;
  std::vector<uint8_t> b = ReadBytes(home + "/KelvaRANK.cfg");
  EXPECT_EQ(b.size(), kConfigFileSize);
  if (b.size() == kConfigFileSize) std::copy(b.begin(), b.end(), r.bytes.begin());
  return r;
}

// ---------------------------------------------------------------- texts

TEST(DesktopText, EscapeCodesAndShortcuts) {
  EXPECT_EQ(MnemonicText("_Processor"), QStringLiteral("&Processor"));
  EXPECT_EQ(MnemonicText("Make M_odule"), QStringLiteral("Make M&odule"));
  EXPECT_EQ(MnemonicText("\x1b" "b_Bang hardware!"), QStringLiteral("&Bang hardware!"));
  EXPECT_EQ(MnemonicText("Rock & Roll"), QStringLiteral("Rock && Roll"));
  EXPECT_TRUE(StartsBold("\x1b" "b_Bang hardware!"));
  QString html = RichText("No \x1b" "bProcessor\x1b" "n Benchmark <selected>\nnext");
  EXPECT_TRUE(html.contains(QStringLiteral("No <b>Processor</b> Benchmark &lt;selected&gt;<br>next")))
      << html.toStdString();
  // An unclosed bold is closed; italic and centring are kept.
  EXPECT_TRUE(RichText("\x1b" "c\x1b" "iitalic").contains(QStringLiteral("align=\"center\"")));
  EXPECT_TRUE(RichText("\x1b" "bopen").endsWith(QStringLiteral("</b></div>")));
  EXPECT_EQ(WindowTitle("Main"), QStringLiteral("KelvaRANK \u00B7 Main"));
  EXPECT_EQ(FromLatin1("\xB4"), QStringLiteral("\u00B4"));
  std::string out;
  EXPECT_FALSE(ToLatin1(QStringLiteral("\u20AC"), out));
  EXPECT_EQ(ConsoleTitle("CON:///100/KelvaRANK Errorlog/AUTO/CLOSE"), QStringLiteral("KelvaRANK Errorlog"));
  EXPECT_EQ(ConsoleTitle("CON:0/0/640/200/My Log"), QStringLiteral("My Log"));
  EXPECT_EQ(ConsoleTitle("CON:"), QStringLiteral("KelvaRANK Errorlog"));
}

TEST(DesktopArgs, LauncherWords) {
  struct Case {
    std::vector<std::string> words;
    bool ok, quick;
    std::string screen;
  } cases[] = {
      {{"QUICKSTART=TRUE"}, true, true, ""},
      {{"QUICKSTART=true"}, true, false, ""},  // case-sensitive
      {{"QUICKSTART=TRUE", "PUBSCREEN=Workbench"}, true, true, "Workbench"},
      {{"DONOTWAIT=1"}, true, false, ""},  // a launcher word of its own
      {{"--bogus"}, false, false, ""},
      {{"--home"}, false, false, ""},
  };
  for (const Case& c : cases) {
    DesktopOptions o;
    std::string error;
    EXPECT_EQ(ParseDesktopArgs(c.words, o, error), c.ok) << c.words[0];
    if (!c.ok) continue;
    EXPECT_EQ(o.quickStart, c.quick) << c.words[0];
    EXPECT_EQ(o.pubScreen, c.screen);
  }
}

// ---------------------------------------------------------- status display

TEST(DesktopStatus, CoalescedAndHeldBackWhileTiming) {
  GuiStatus status;
  std::atomic<bool> timing{true};
  status.Build(nullptr, &timing);
  std::thread worker([&] {
    status.OpenWindow(Section::Processor);
    for (int i = 0; i < 5000; ++i) status.SetText(Section::Processor, StatusField::State, "state " + std::to_string(i));
    status.SetGaugeText(Section::Processor, "3/7");
  });
  worker.join();
  // While the test is timing nothing is drawn.
  WaitFor([] { return false; }, 150);
  EXPECT_EQ(status.draws(), 0);
  EXPECT_FALSE(status.window(Section::Processor)->isVisible());
  timing = false;
  ASSERT_TRUE(WaitFor([&] { return status.draws() > 0; }, 2000));
  WaitFor([] { return false; }, 100);
  // 5002 calls, drawn once with the last content.
  EXPECT_EQ(status.calls(), 5002);
  EXPECT_LE(status.draws(), 2);
  StatusWindow* w = status.window(Section::Processor);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->ValueText(StatusField::State), QStringLiteral("state 4999"));
  EXPECT_EQ(w->GaugeText(), QStringLiteral("3/7"));
  EXPECT_EQ(w->windowTitle(), QStringLiteral("KelvaRANK \u00B7 Benchmarking Processor"));
}

// A window is painted when it opens and when its state line changes (before
// a test starts timing): the worker goes on only then. While timing nothing
// waits and nothing is drawn.
TEST(DesktopStatus, PaintedWhenOpenedAndBeforeTiming) {
  GuiStatus status;
  std::atomic<bool> timing{false};
  status.Build(nullptr, &timing);
  struct PaintCounter : QObject {
    std::atomic<int> paints{0};
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  status.window(Section::Memory)->installEventFilter(&counter);
  std::atomic<bool> done{false};
  int atOpen = -1, atState = -1, drawsInTiming = -1;
  std::thread worker([&] {
    status.OpenWindow(Section::Memory);
    atOpen = counter.paints.load();
    status.SetText(Section::Memory, StatusField::State, "Benchmarking...");
    atState = counter.paints.load();
    timing = true;
    const long draws = status.draws();
    status.SetText(Section::Memory, StatusField::State, "Calibrating...");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    drawsInTiming = int(status.draws() - draws);
    timing = false;
    done = true;
  });
  ASSERT_TRUE(WaitFor([&] { return done.load(); }, 5000));
  worker.join();
  EXPECT_GE(atOpen, 1);
  EXPECT_GT(atState, atOpen);
  EXPECT_EQ(drawsInTiming, 0);
  EXPECT_EQ(status.syncWaits(), 2);  // not the one made while timing
  EXPECT_EQ(status.syncTimeouts(), 0);
  ASSERT_TRUE(WaitFor([&] {
    return status.window(Section::Memory)->ValueText(StatusField::State) == QStringLiteral("Calibrating...");
  }, 2000));
}

// ------------------------------------------------------------- start-up

TEST(DesktopStartup, FirstRunOffersOnlySave) {
  std::string home = TempHome("first");
  Answerer answers;
  DesktopOptions o;
  o.home = home;
  o.quickStart = true;
  Desktop d(o);
  ASSERT_EQ(d.Start(), 0);
  // The install-marker request came first and was answered "Continue".
  ASSERT_FALSE(answers.seen.empty());
  EXPECT_EQ(answers.seen[0].title, "INFORMATION");
  SettingsWindow& s = *d.settingsWindow();
  EXPECT_TRUE(s.isVisible());
  EXPECT_TRUE(s.save->isEnabled());
  EXPECT_FALSE(s.use->isEnabled());
  EXPECT_FALSE(s.cancel->isEnabled());
  // The rest sleeps meanwhile; only "_Quit" is offered.
  for (QPushButton* b : d.mainWindow()->findChildren<QPushButton*>())
    EXPECT_EQ(b->isEnabled(), b == d.mainWindow()->quit) << b->objectName().toStdString();
  // Closing the window does not get round the first settings.
  s.close();
  EXPECT_TRUE(s.isVisible());
  // The placeholders are refused with the pages' own message.
  s.save->click();
  EXPECT_EQ(answers.Last(), "Change the default in General/Username:");
  EXPECT_TRUE(s.isVisible());
  FillValidSettings(s);
  s.save->click();
  EXPECT_FALSE(s.isVisible());
  EXPECT_TRUE(d.mainWindow()->isEnabled());
  EXPECT_EQ(ReadConfig(home).text(cfg::kUserName, cfg::kNameWidth), "tester");
  // Opened again, all three buttons are offered.
  d.mainWindow()->settings->click();
  EXPECT_TRUE(s.use->isEnabled());
  EXPECT_TRUE(s.cancel->isEnabled());
  s.cancel->click();
  d.Stop();
  fs::remove_all(home);
}

// Quitting during the first settings: the quit button, the main window's
// close gadget, SIGTERM and SIGINT end the main loop at once; nothing typed
// is saved and the next start is a first run again.
TEST(DesktopStartup, QuitDuringTheFirstSettings) {
  const struct {
    const char* how;
    std::function<void(Desktop&)> quit;
  } ways[] = {
      {"SIGTERM", [](Desktop&) { std::raise(SIGTERM); }},
      {"SIGINT", [](Desktop&) { std::raise(SIGINT); }},
      {"close gadget", [](Desktop& d) { d.mainWindow()->close(); }},
      {"quit button", [](Desktop& d) { d.mainWindow()->quit->click(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    std::string home = TempHome("firstquit");
    Answerer answers;
    DesktopOptions o;
    o.home = home;
    o.quickStart = true;
    {
      Desktop d(o);
      ASSERT_EQ(d.Start(), 0);
      ASSERT_TRUE(InstallQuitSignals(d));
      ASSERT_TRUE(d.settingsWindow()->isVisible());
      d.settingsWindow()->userName->setText(QStringLiteral("halfway"));
      d.settingsWindow()->saveAtExit->setChecked(true);
      bool hung = false;
      QTimer::singleShot(20, [&] { way.quit(d); });
      QTimer guard;
      guard.setSingleShot(true);
      QObject::connect(&guard, &QTimer::timeout, [&] {
        hung = true;
        QCoreApplication::exit(1);
      });
      guard.start(6000);
      QApplication::exec();
      EXPECT_FALSE(hung);
      EXPECT_TRUE(d.quitRequested());
      d.Stop();
    }
    EXPECT_FALSE(fs::exists(home + "/KelvaRANK.cfg"));
    {
      Desktop again(o);
      ASSERT_EQ(again.Start(), 0);
      EXPECT_TRUE(again.settingsWindow()->isVisible());  // the first settings once more
      EXPECT_NE(again.settingsWindow()->userName->text(), QStringLiteral("halfway"));
      again.Stop();
    }
    fs::remove_all(home);
  }
}

// Start-up on an existing home reaches the shown main window, with and
// without the quick start, in this process (the QApplication exists
// already). How long it takes is measured in perf/desktop_bench.cpp.
TEST(DesktopStartup, AnExistingHomeStartsToTheMainWindow) {
  Started s("existing");
  s.desktop.reset();
  for (bool quick : {true, false}) {
    SCOPED_TRACE(quick);
    DesktopOptions o;
    o.home = s.home;
    o.quickStart = quick;
    auto d = std::make_unique<Desktop>(o);
    ASSERT_EQ(d->Start(), 0);
    ASSERT_TRUE(d->mainWindow()->isVisible());
    QCoreApplication::processEvents();
    d.reset();
  }
}

TEST(DesktopStartup, MissingFontFailsStartUp) {
  DesktopOptions o;
  o.fontFamily = QStringLiteral("No Such Family 1234");
  Started s("font", o);
  EXPECT_EQ(s.desktop->Start(), kExitStartup);
  EXPECT_EQ(s.desktop->startupState().failedStep, "InitFonts");
  ASSERT_FALSE(s.ctx().errorLog.entries.empty());
  EXPECT_STREQ(s.ctx().errorLog.entries[0].reason, "Error loading Font 'xen/11'. Please install");
}

TEST(DesktopStartup, UnreadableLogoShowsTheName) {
  Started s("logo");
  { std::ofstream(s.home + "/Data/logo.pic", std::ios::trunc) << "not a picture"; }
  ASSERT_EQ(s.desktop->Start(), 0);
  MainWindow* m = s.desktop->mainWindow();
  EXPECT_TRUE(m->isVisible());
  EXPECT_TRUE(m->logo->pixmap().isNull());
  EXPECT_TRUE(m->logo->text().contains(QStringLiteral("KelvaRANK VTS 2003")));
  bool logged = false;
  for (const ErrorEntry& e : s.ctx().errorLog.entries) logged |= std::string(e.function) == "LoadLogo";
  EXPECT_TRUE(logged);
}

// A check that stops the start-up: after its own request, a last one names
// the file and the reason (a program started from a menu has no terminal).
TEST(DesktopStartup, FailureNamesTheFileAndTheReason) {
  Started s("mp3");
  fs::resize_file(s.home + "/Data/mp3cdda.mp3", 1000);
  EXPECT_EQ(s.desktop->Start(), kExitStartup);
  EXPECT_EQ(s.desktop->startupState().failedStep, "RunStartupChecks");
  EXPECT_TRUE(s.answers.Saw("seems wrong filelen")) << s.answers.Last();
  EXPECT_EQ(s.answers.Last(), "KelvaRANK could not start.\n\n'" + s.home +
                                  "/Data/mp3cdda.mp3'\n\nit is 1000 bytes long, 596940 expected");
}

TEST(DesktopStartup, SecondProgramOnOneHomeIsRefused) {
  Started a("lock");
  ASSERT_EQ(a.desktop->Start(), 0);
  DesktopOptions o;
  o.home = a.home;
  Desktop b(o);
  EXPECT_EQ(b.Start(), kExitStartup);
  EXPECT_TRUE(a.answers.Saw("already running"));
}

// ------------------------------------------------------------ main window

TEST(DesktopMainWindow, ShowsTheSystemAndItsButtons) {
  Started s("main");
  ASSERT_EQ(s.desktop->Start(), 0);
  MainWindow* m = s.desktop->mainWindow();
  EXPECT_EQ(m->windowTitle(), QStringLiteral("KelvaRANK \u00B7 Main"));
  EXPECT_FALSE(m->logo->pixmap().isNull());
  struct {
    QPushButton* b;
    const char* text;
    const char* help;
  } rows[] = {{m->processor, "&Processor", "Starts the selected processor tests"},
              {m->memory, "&Memory", "Starts the selected memory tests"},
              {m->hardDisk, "&Hard Disk", "Starts the selected hard-disk tests"},
              {m->makeModule, "Make M&odule", "Makes a module"},
              {m->moduleBase, "Module &Base", "Opens the module-/data-base"},
              {m->settings, "&Settings", "Opens the settings"},
              {m->about, "&About", "Shows some informations"},
              {m->quit, "&Quit", "Quits application and returns to workbench"}};
  for (auto& r : rows) {
    EXPECT_EQ(r.b->text(), QString::fromLatin1(r.text));
    EXPECT_EQ(r.b->toolTip(), QString::fromLatin1(r.help));
  }
  auto* cpu = m->findChild<QLabel*>(QStringLiteral("CPU:"));
  ASSERT_TRUE(cpu);
  EXPECT_EQ(cpu->text(), FromLatin1(s.ctx().sysinfo.field(sysrec::kCpu)));
  EXPECT_FALSE(cpu->text().isEmpty());
  // The hardware page names this host's machine as the main model.
  if (std::string label = HostMainModelLabel(s.ctx()); !label.empty()) {
    SettingsWindow* w = s.desktop->settingsWindow();
    EXPECT_EQ(w->vendor[0]->currentText(), QStringLiteral("Other"));
    EXPECT_EQ(w->other[0]->text(), FromLatin1(label.substr(0, 31)));
  }
}

TEST(DesktopMainWindow, NoBenchmarkSelectedRequestsFromTheWorker) {
  Started s("none");
  ASSERT_EQ(s.desktop->Start(), 0);
  MainWindow* m = s.desktop->mainWindow();
  // The drive gathering decides about "_Hard Disk"; here it is offered so
  // that the command itself is reached.
  s.ctx().drive.hardDiskEnabled = true;
  m->hardDisk->setEnabled(true);
  struct {
    QPushButton* b;
    const char* text;
  } rows[] = {{m->processor, "No Processor Benchmark selected"},
              {m->memory, "No Memory Benchmark selected"},
              {m->hardDisk, "No Harddrive Benchmark selected"}};
  for (auto& r : rows) {
    size_t before = s.answers.seen.size();
    int done = 0;
    s.desktop->onCommandDone = [&] { ++done; };
    r.b->click();
    EXPECT_FALSE(r.b->isEnabled());  // busy while the command runs
    ASSERT_TRUE(WaitFor([&] { return done == 1; }));
    ASSERT_EQ(s.answers.seen.size(), before + 1);
    EXPECT_EQ(s.answers.seen.back().title, "ERROR");
    EXPECT_EQ(s.answers.seen.back().text, r.text);
    EXPECT_NE(s.answers.seen.back().textHtml.find("<b>"), std::string::npos);
    EXPECT_FALSE(s.desktop->lastOutcome().has_value());  // nothing ran
    EXPECT_TRUE(r.b->isEnabled());
  }
  EXPECT_FALSE(s.desktop->asleep());
}

TEST(DesktopMainWindow, AboutSettingsAndModuleBaseFromTheirButtons) {
  Started s("buttons");
  ASSERT_EQ(s.desktop->Start(), 0);
  MainWindow* m = s.desktop->mainWindow();
  m->about->click();
  AboutWindow* a = s.desktop->aboutWindow();
  EXPECT_TRUE(a->isVisible());
  auto* build = a->findChild<QLabel*>(QStringLiteral("Build:"));
  ASSERT_TRUE(build);
  EXPECT_TRUE(build->text().startsWith(QStringLiteral("Linux (")));
  EXPECT_EQ(a->aboutToolkit->text(), QStringLiteral("About &MUI"));
  a->close->click();
  EXPECT_FALSE(a->isVisible());

  m->settings->click();
  EXPECT_TRUE(s.desktop->settingsWindow()->isVisible());
  EXPECT_FALSE(m->isEnabled());
  s.desktop->settingsWindow()->cancel->click();
  EXPECT_TRUE(m->isEnabled());

  size_t before = s.answers.seen.size();
  int windowsBefore = int(QApplication::topLevelWidgets().size());
  m->moduleBase->click();
  // Either the Module Base window opened or this build says it has none.
  bool opened = int(QApplication::topLevelWidgets().size()) > windowsBefore;
  EXPECT_TRUE(opened || s.answers.seen.size() == before + 1);
}

TEST(DesktopMainWindow, MakeModuleWindowAbortRunsNothing) {
  Started s("makemodule");
  ASSERT_EQ(s.desktop->Start(), 0);
  s.desktop->OpenMakeModule();
  MakeModuleWindow* w = s.desktop->makeModuleWindow();
  ASSERT_TRUE(w->isVisible());
  EXPECT_TRUE(w->chipRam->isChecked());
  EXPECT_EQ(w->bang->text(), QStringLiteral("&Bang hardware!"));
  EXPECT_TRUE(w->bang->font().bold());
  // The device boxes warn when switched on.
  w->writeDevice->click();
  EXPECT_TRUE(s.answers.Saw("Test is now ENABLED !"));
  w->spinUpDevice->click();
  EXPECT_TRUE(s.answers.Saw("spin-up"));
  // "Are you sure?" answered "Abort": nothing runs, the device boxes go off.
  s.answers.Queue(1);
  int done = 0;
  s.desktop->onCommandDone = [&] { ++done; };
  w->bang->click();
  ASSERT_TRUE(WaitFor([&] { return done == 1; }));
  EXPECT_TRUE(s.answers.Saw("Are you sure? - You can't (yet) abort this action"));
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(w->writeDevice->isChecked());
  EXPECT_FALSE(w->spinUpDevice->isChecked());
  EXPECT_FALSE(s.desktop->lastOutcome().has_value());
}

// Make Module with quick section runs that leave valid totals: the module
// goes into the Local database and the user's settings come back.
SectionResults QuickSection(Context& ctx, int totalSlot) {
  ctx.results.setScore(totalSlot, {42.0, 1.0});
  return {};
}
SectionResults QuickProcessor(Context& ctx) { return QuickSection(ctx, slot::kProcessorTotal); }
SectionResults QuickMemory(Context& ctx) { return QuickSection(ctx, slot::kMemoryTotal); }
SectionResults QuickDrive(Context& ctx) { return QuickSection(ctx, slot::kDriveTotal); }

TEST(DesktopMainWindow, MakeModuleFromItsButtonsStoresTheModule) {
  Started s("makemodule2");
  ASSERT_EQ(s.desktop->Start(), 0);
  s.desktop->SetSectionRuns({QuickProcessor, QuickMemory, QuickDrive});
  Context& ctx = s.ctx();
  const SettingsRecord before = ctx.settings;
  const size_t modules = ctx.modules.local.size();
  MainWindow* m = s.desktop->mainWindow();
  m->makeModule->setEnabled(true);  // the partition decides it; here the command is reached
  m->makeModule->click();
  MakeModuleWindow* w = s.desktop->makeModuleWindow();
  ASSERT_TRUE(w->isVisible());
  w->chipRam->setChecked(false);
  int done = 0;
  s.desktop->onCommandDone = [&] { ++done; };
  w->bang->click();  // "Are you sure?" answered "Continue"
  EXPECT_FALSE(w->isVisible());
  ASSERT_TRUE(WaitFor([&] { return done == 1; }));
  ASSERT_TRUE(s.desktop->lastOutcome().has_value());
  EXPECT_EQ(s.desktop->lastOutcome()->module, RunOutcome::Module::Stored) << s.answers.Last();
  EXPECT_EQ(ctx.modules.local.size(), modules + 1);
  EXPECT_TRUE(fs::exists(s.home + "/Database/Local/" + s.desktop->lastOutcome()->moduleSerial + ".dbe"));
  EXPECT_TRUE(w->chipRam->isChecked());  // back on after a start
  // The module came from the default test pages; the user's are back.
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(ctx.settings.procEnabled(k), before.procEnabled(k));
  EXPECT_TRUE(m->isEnabled());
}

TEST(DesktopMainWindow, QuitRefusedWhileAFilePickerIsOpen) {
  Started s("quit");
  ASSERT_EQ(s.desktop->Start(), 0);
  s.desktop->mainWindow()->settings->click();
  SettingsWindow* w = s.desktop->settingsWindow();
  w->pickReport->click();
  ASSERT_TRUE(w->PickerOpen());
  EXPECT_EQ(w->reportPicker->windowTitle(), QStringLiteral("Select File for Benchmark-Report"));
  // The main window's close gadget is the quit command.
  s.desktop->mainWindow()->close();
  EXPECT_EQ(s.answers.Last(), "Cannot quit now, still some ASL popups opened");
  EXPECT_FALSE(s.desktop->quitRequested());
  w->reportPicker->reject();
  ASSERT_TRUE(WaitFor([&] { return !w->PickerOpen(); }));
  s.desktop->mainWindow()->close();
  EXPECT_TRUE(s.desktop->quitRequested());
  // From the button, once the settings window is closed.
  Started t("quit2");
  ASSERT_EQ(t.desktop->Start(), 0);
  t.desktop->mainWindow()->quit->click();
  EXPECT_TRUE(t.desktop->quitRequested());
  EXPECT_TRUE(s.desktop->quitRequested());
}

TEST(DesktopMainWindow, SaveAtExitAndDefaultsAtQuit) {
  Started s("exit");
  ASSERT_EQ(s.desktop->Start(), 0);
  fs::remove(s.home + "/KelvaRANK.def");
  s.ctx().settings.set_text(cfg::kLocation, cfg::kNameWidth, "Elsewhere");
  s.desktop->Stop();
  EXPECT_EQ(fs::file_size(s.home + "/KelvaRANK.def"), kDefaultsFileSize);
  EXPECT_EQ(ReadConfig(s.home).text(cfg::kLocation, cfg::kNameWidth), "Elsewhere");
}

// ------------------------------------------------------------- settings

TEST(DesktopSettings, RoundTripIntoTheConfigBytes) {
  Started s("roundtrip");
  ASSERT_EQ(s.desktop->Start(), 0);
  s.desktop->mainWindow()->settings->click();
  SettingsWindow* w = s.desktop->settingsWindow();
  w->userName->setText(QStringLiteral("J\u00FCrgen"));  // Latin-1 is kept as its byte
  w->smtpPort->setValue(587);
  w->overclocked->setChecked(true);
  w->vendor[1]->setCurrentIndex(10);  // busboard "Other"
  EXPECT_TRUE(w->other[1]->isEnabled());
  w->other[1]->setText(QStringLiteral("Homemade"));
  w->procEnabled[3]->setChecked(true);
  EXPECT_TRUE(w->procCache[3]->isEnabled());
  EXPECT_FALSE(w->procCache[4]->isEnabled());
  w->procMultitasking[3]->setChecked(true);
  w->memEnabled[5]->setChecked(true);
  w->memLoopSize[5]->setValue(128);
  w->memStart[7]->setValue(10);  // start above stop: both back to the defaults
  w->memStop[7]->setValue(4);
  w->driveCount[0]->setValue(3);
  EXPECT_EQ(w->driveCount[0]->text(), QStringLiteral("3000"));  // shown in thousands
  w->accessMode->setCurrentIndex(1);
  w->driveEnabled[4]->click();  // Write to Device: warned, never saved as on
  EXPECT_TRUE(s.answers.Saw("Test is now ENABLED !"));
  w->save->click();
  ASSERT_FALSE(w->isVisible()) << s.answers.Last();

  SettingsRecord r = ReadConfig(s.home);
  EXPECT_EQ(r.text(cfg::kUserName, cfg::kNameWidth), "J\xFCrgen");
  EXPECT_EQ(r.s32(cfg::kSmtpPort), 587);
  EXPECT_EQ(r.s32(cfg::kOverclocked), 1);
  EXPECT_EQ(r.s32(cfg::kBusVendor), 10);
  EXPECT_EQ(r.text(cfg::kBusOther, cfg::kOtherWidth), "Homemade");
  EXPECT_EQ(r.procEnabled(3), 1);
  EXPECT_EQ(r.procMultitasking(3), 1);
  EXPECT_EQ(r.procEnabled(4), 0);
  EXPECT_EQ(r.memEnabled(5), 1);
  EXPECT_EQ(r.memLoopSize(5), 128);
  EXPECT_EQ(r.memSweepStart(7), 1);
  EXPECT_EQ(r.memSweepStop(7), 14);
  EXPECT_EQ(w->memStop[7]->value(), 14);  // the sliders show the repair
  EXPECT_EQ(r.driveCount(0), 3);
  EXPECT_EQ(r.s32(cfg::kAccessMode), 1);
  EXPECT_EQ(r.driveEnabled(4), 0);
  EXPECT_EQ(s.ctx().settings.driveEnabled(4), 1);  // on for this session
  EXPECT_EQ(r.partition(), "/tmp");

  // Cancel discards edits; the pages show the record again.
  s.desktop->mainWindow()->settings->click();
  w->userName->setText(QStringLiteral("changed"));
  w->cancel->click();
  EXPECT_EQ(w->userName->text(), QStringLiteral("J\u00FCrgen"));
  EXPECT_EQ(ReadConfig(s.home).text(cfg::kUserName, cfg::kNameWidth), "J\xFCrgen");
}

TEST(DesktopSettings, PageButtonsAndReportNames) {
  Started s("pages");
  ASSERT_EQ(s.desktop->Start(), 0);
  SettingsWindow* w = s.desktop->settingsWindow();
  s.desktop->mainWindow()->settings->click();
  w->all[0]->click();
  for (int k = 1; k <= 10; ++k) EXPECT_TRUE(w->procEnabled[size_t(k)]->isChecked());
  w->none[1]->click();
  for (QCheckBox* c : w->memEnabled) EXPECT_FALSE(c->isChecked());
  w->all[2]->click();
  EXPECT_TRUE(w->driveEnabled[0]->isChecked());
  EXPECT_FALSE(w->driveEnabled[4]->isChecked());  // never switched on in bulk
  EXPECT_FALSE(w->driveEnabled[6]->isChecked());
  w->memLoopSize[0]->setValue(1024);
  w->defaults[1]->click();
  EXPECT_EQ(w->memLoopSize[0]->value(), 256);
  EXPECT_TRUE(w->procEnabled[1]->isChecked());  // other pages untouched
  w->makeReportName->click();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^PROGDIR:Reports/KR_Report_\\d\\d\\.\\d\\d\\.\\d\\d_\\d\\d\\.\\d\\d\\.\\d\\d\\.txt$"))
                  .match(w->reportFile->text())
                  .hasMatch())
      << w->reportFile->text().toStdString();
  w->errorLogOutput->clear();
  w->defaultErrorLog->click();
  EXPECT_EQ(w->errorLogOutput->text(), QStringLiteral("CON:///100/KelvaRANK Errorlog/AUTO/CLOSE"));
  w->cancel->click();
  // "_Use": taken for this session, the file keeps what it held.
  const std::vector<uint8_t> file = ReadBytes(s.home + "/KelvaRANK.cfg");
  s.desktop->mainWindow()->settings->click();
  w->location->setText(QStringLiteral("Somewhere"));
  w->use->click();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(s.ctx().settings.text(cfg::kLocation, cfg::kNameWidth), "Somewhere");
  EXPECT_EQ(ReadBytes(s.home + "/KelvaRANK.cfg"), file);
}

// Every text field with bad input: the field refuses it or the validation
// says why, and the saved file stays whole and unchanged.
TEST(DesktopSettings, BadInputNeverReachesTheFile) {
  Started s("bad");
  ASSERT_EQ(s.desktop->Start(), 0);
  SettingsWindow* w = s.desktop->settingsWindow();
  const std::vector<uint8_t> before = ReadBytes(s.home + "/KelvaRANK.cfg");
  struct Field {
    QLineEdit* edit;
    int limit;
    const char* emptyMessage;  // null: empty is accepted
  } fields[] = {
      {w->userName, 32, "Enter your Username"},
      {w->realName, 32, "Enter your Realname"},
      {w->location, 32, "Enter your Location"},
      {w->email, 127, "Enter your General/E-Mail address"},
      {w->smtpServer, 63, "Enter your General/SMTP Server.\nIf you don't enter one you will be not able to send a module!"},
      {w->homepage, 255, nullptr},
      {w->reportFile, 255, "Choose a Benchmark-Report-Filename or press Make"},
      {w->errorLogOutput, 255, "Choose a Errorlog-File or press Default"},
  };
  for (Field& f : fields) {
    s.desktop->mainWindow()->settings->click();
    const QString name = f.edit->objectName();
    // Over-long: typing stops at the limit.
    f.edit->clear();
    QTest::keyClicks(f.edit, QString(f.limit + 40, QLatin1Char('x')));
    EXPECT_EQ(f.edit->text().size(), f.limit) << name.toStdString();
    // Characters outside Latin-1 and control characters are refused.
    f.edit->setText(QStringLiteral("ab"));
    f.edit->insert(QStringLiteral("\u20AC"));
    f.edit->insert(QStringLiteral("\u4E2D"));
    f.edit->insert(QStringLiteral("\t"));
    f.edit->insert(QStringLiteral("\u00E9"));  // Latin-1: taken
    EXPECT_EQ(f.edit->text(), QStringLiteral("ab\u00E9")) << name.toStdString();
    // Empty: the pages' message, nothing saved.
    f.edit->clear();
    size_t seen = s.answers.seen.size();
    w->save->click();
    if (f.emptyMessage) {
      ASSERT_EQ(s.answers.seen.size(), seen + 1) << name.toStdString();
      EXPECT_EQ(s.answers.Last(), f.emptyMessage);
      EXPECT_TRUE(w->isVisible());
      w->cancel->click();
    } else {
      EXPECT_FALSE(w->isVisible()) << name.toStdString();
    }
  }
  // "Other:" of a vendor "Other", empty; then over-long.
  s.desktop->mainWindow()->settings->click();
  w->vendor[0]->setCurrentIndex(12);
  w->other[0]->clear();
  w->save->click();
  EXPECT_EQ(s.answers.Last(), "Enter your Main Model or select one.");
  QTest::keyClicks(w->other[0], QString(50, QLatin1Char('m')));
  EXPECT_EQ(w->other[0]->text().size(), 31);
  w->cancel->click();
  // The comment: non-Latin-1 dropped as typed, 201 bytes refused.
  s.desktop->mainWindow()->settings->click();
  w->comment->clear();
  w->comment->insertPlainText(QStringLiteral("ok\u20AC"));
  EXPECT_EQ(w->comment->toPlainText(), QStringLiteral("ok"));
  w->comment->setPlainText(QString(201, QLatin1Char('c')));
  w->save->click();
  EXPECT_EQ(s.answers.Last(), "The comment you entered is too long. Maximal 200 Bytes.");
  w->comment->setPlainText(QString(200, QLatin1Char('c')));  // exactly 200 passes
  // Out of range numbers: the port field and the sliders stay in range.
  w->smtpPort->clear();
  QTest::keyClicks(w->smtpPort, QStringLiteral("99999"));
  EXPECT_LE(w->smtpPort->value(), 65535);
  w->memLoopSize[0]->setValue(5000);
  EXPECT_EQ(w->memLoopSize[0]->value(), 1024);
  w->driveCount[0]->setValue(-3);
  EXPECT_EQ(w->driveCount[0]->value(), 1);
  w->save->click();
  EXPECT_FALSE(w->isVisible()) << s.answers.Last();
  SettingsRecord r = ReadConfig(s.home);
  EXPECT_EQ(r.memLoopSize(0), 1024);
  EXPECT_EQ(r.driveCount(0), 1);
  EXPECT_GE(r.s32(cfg::kSmtpPort), 1);
  EXPECT_LE(r.s32(cfg::kSmtpPort), 65535);
  EXPECT_NE(ReadBytes(s.home + "/KelvaRANK.cfg"), before);
}

// ------------------------------------------------------------ real runs

// One short processor test from the "_Processor" button: the report is
// written while the GUI thread keeps processing events (a 5 ms timer keeps
// firing during the run). How long the longest gap between its events is,
// is measured in perf/desktop_bench.cpp.
TEST(DesktopRun, ProcessorRunKeepsTheWindowResponsive) {
  Started s("run");
  ASSERT_EQ(s.desktop->Start(), 0);
  Context& ctx = s.ctx();
  const char* pick = getenv("KR_DESKTOP_RUN_TEST");
  const int chosen = pick ? atoi(pick) : 1;  // Bogomips, about two seconds
  for (int k = 1; k <= 10; ++k) ctx.settings.setProcEnabled(k, k == chosen);
  if (getenv("KR_DESKTOP_RUN_MT")) ctx.settings.setProcMultitasking(chosen, 1);
  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:Reports/run_report.txt");
  struct Counter : RunListener {
    int runs = 0;
    void RunStarted(RunMode) override { ++runs; }
  } counter;
  ctx.listeners.push_back(&counter);
  int done = 0;
  s.desktop->onCommandDone = [&] { ++done; };

  long ticks = 0;  // timer events while the run is on
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] { ticks += done == 0; });
  tick.start();
  MainWindow* m = s.desktop->mainWindow();
  m->processor->click();
  m->processor->click();  // pressed twice: the button is off while it runs
  EXPECT_TRUE(s.desktop->asleep());
  EXPECT_FALSE(m->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor,
            Qt::BusyCursor);
  ASSERT_TRUE(WaitFor([&] { return done == 1; }, 600000));
  tick.stop();
  std::erase(ctx.listeners, &counter);
  EXPECT_EQ(counter.runs, 1);
  EXPECT_GT(ticks, 1) << "the GUI thread handled no timer events while the run was on";
  ASSERT_TRUE(s.desktop->lastOutcome().has_value());
  EXPECT_EQ(s.desktop->lastOutcome()->report, RunOutcome::Report::Written);
  std::vector<uint8_t> report = ReadBytes(s.home + "/Reports/run_report.txt");
  EXPECT_GT(report.size(), 1000u);
  // The window after the run: the total and where the report went; its
  // first button opened the report.
  ASSERT_FALSE(s.answers.seen.empty());
  EXPECT_EQ(s.answers.seen.back().title, "RUN FINISHED");
  EXPECT_NE(s.answers.Last().find("Processor total: "), std::string::npos) << s.answers.Last();
  EXPECT_NE(s.answers.Last().find(s.desktop->lastOutcome()->reportPath), std::string::npos) << s.answers.Last();
  EXPECT_EQ(s.opened, std::vector<std::string>{s.desktop->lastOutcome()->reportPath});
  EXPECT_TRUE(m->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // The status window was drawn, far less often than the engine called it.
  EXPECT_GT(s.desktop->status().draws(), 0);
  EXPECT_LT(s.desktop->status().draws(), s.desktop->status().calls());
  EXPECT_EQ(s.desktop->status().window(Section::Processor)->GaugeText(), QStringLiteral("1/1"));
}

TEST(DesktopRun, ClosingTheMainWindowMidRunQuitsAfterTheTest) {
  Started s("close");
  ASSERT_EQ(s.desktop->Start(), 0);
  Context& ctx = s.ctx();
  for (int k = 1; k <= 10; ++k) ctx.settings.setProcEnabled(k, k == 1 || k == 10);
  ctx.settings.set_text(cfg::kReportFile, cfg::kPathWidth, "PROGDIR:Reports/close_report.txt");
  struct Started1 : RunListener {
    std::atomic<int> tests{0};
    void TestStarted(const CatalogueEntry&) override { ++tests; }
  } started;
  ctx.listeners.push_back(&started);
  int done = 0;
  s.desktop->onCommandDone = [&] { ++done; };
  s.desktop->mainWindow()->processor->click();
  ASSERT_TRUE(WaitFor([&] { return started.tests.load() >= 1; }));
  s.desktop->mainWindow()->close();
  // The stop shows at once, while the test still runs.
  EXPECT_TRUE(s.desktop->status().window(Section::Processor)->stopping());
  EXPECT_EQ(done, 0);
  s.desktop->status().window(Section::Processor)->close();  // closing a status window mid-run
  EXPECT_TRUE(s.desktop->quitRequested());
  ASSERT_TRUE(WaitFor([&] { return done == 1; }, 600000));
  std::erase(ctx.listeners, &started);
  ASSERT_TRUE(s.desktop->lastOutcome().has_value());
  EXPECT_TRUE(s.desktop->lastOutcome()->interrupted);
  EXPECT_EQ(started.tests.load(), 1);  // stopped after the running test
  EXPECT_EQ(s.desktop->lastOutcome()->report, RunOutcome::Report::Written);
  // The window after the run and the report say where it stopped.
  const std::string after = std::string("stopped by the user after ") + ProcessorEntry(1).label;
  EXPECT_TRUE(s.answers.Saw(after)) << s.answers.Last();
  EXPECT_TRUE(s.answers.Saw("Processor total: not valid")) << s.answers.Last();
  std::vector<uint8_t> bytes = ReadBytes(s.home + "/Reports/close_report.txt");
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(after), std::string::npos);
  // The next run starts without the stop note.
  s.desktop->RunOnWorker(nullptr, [] {}, nullptr);
  EXPECT_FALSE(s.desktop->status().window(Section::Processor)->stopping());
  ASSERT_TRUE(WaitFor([&] { return done == 2; }));
}

// ------------------------------------------------- a real drive partition

using kr::test::Shell;

// "_Hard Disk" from its button on an ext4 image on a loop device (needs
// root, mkfs.ext4 and a free loop device; skips otherwise): the partition is
// chosen on the Hard Disk page, "_Save" examines it and offers the button,
// the run writes its report. The partition is unmounted and the loop device
// detached on every way out.
class DesktopDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempHome("drive");
    const std::string why = loop_.Attach(dir_, 160ull << 20);
    if (!why.empty()) GTEST_SKIP() << why;
    mnt_ = loop_.mnt();
  }
  void TearDown() override {
    loop_.Detach();
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  std::string dir_, mnt_;
  kr::test::LoopMount loop_;
};

TEST_F(DesktopDrive, HardDiskFromItsButtonOnARealPartition) {
  Started s("harddisk");
  ASSERT_EQ(s.desktop->Start(), 0);
  MainWindow* m = s.desktop->mainWindow();
  EXPECT_FALSE(m->hardDisk->isEnabled());  // the template's partition cannot be measured
  m->settings->click();
  SettingsWindow* w = s.desktop->settingsWindow();
  const QString part = QString::fromStdString(mnt_);
  ASSERT_GE(w->partition->findText(part), 0) << "the partition list offers the mounted image";
  w->partition->setCurrentIndex(w->partition->findText(part));
  w->pages->setCurrentIndex(3);
  w->none[2]->click();
  w->driveEnabled[1]->click();  // Read from File, a short sweep
  w->driveCount[1]->setValue(8);
  w->driveStart[0]->setValue(1);
  w->driveStop[0]->setValue(6);
  w->reportFile->setText(QStringLiteral("PROGDIR:Reports/drive_report.txt"));
  w->save->click();
  ASSERT_FALSE(w->isVisible()) << s.answers.Last();
  ASSERT_TRUE(m->hardDisk->isEnabled()) << s.answers.Last();

  int done = 0;
  s.desktop->onCommandDone = [&] { ++done; };
  // The copy window: seen while the run prepares its files.
  StartupWindow* copy = s.desktop->status().copyProgress()->window();
  std::vector<std::string> copyTexts;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!copy->isVisible()) return;
    const std::string t = copy->text().toStdString();
    if (copyTexts.empty() || copyTexts.back() != t) copyTexts.push_back(t);
  });
  watch.start(1);
  m->hardDisk->click();
  ASSERT_TRUE(WaitFor([&] { return done == 1; }, 600000));
  watch.stop();
  EXPECT_FALSE(copy->isVisible());
  EXPECT_EQ(copy->text(), QStringLiteral("Delete Benchmark files..."));  // the last it showed
  EXPECT_FALSE(copyTexts.empty());
  ASSERT_TRUE(s.desktop->lastOutcome().has_value());
  EXPECT_EQ(s.desktop->lastOutcome()->report, RunOutcome::Report::Written);
  std::vector<uint8_t> bytes = ReadBytes(s.home + "/Reports/drive_report.txt");
  std::string report(bytes.begin(), bytes.end());
  EXPECT_NE(report.find("|   Read from FILE - ["), std::string::npos) << report;
  EXPECT_EQ(s.desktop->status().window(Section::Drive)->GaugeText(), QStringLiteral("1/1"));
  // Nothing of the run is left on the partition.
  EXPECT_FALSE(fs::exists(mnt_ + "/KelvaRANK_bench"));
  EXPECT_FALSE(fs::exists(s.home + "/KelvaRANK.pid"));
}

// Makes `w` the active window (the offscreen platform activates on request).
bool Activate(QWidget* w) {
  w->show();
  w->activateWindow();
  QApplication::setActiveWindow(w);
  return WaitFor([&] { return QApplication::activeWindow() == w; }, 2000);
}

// The totals as the window after a run shows them: two truncated decimals,
// "not valid" for a total that does not count, every total of a module.
TEST(DesktopRun, OutcomeTextTable) {
  RunOutcome o;
  o.mode = RunMode::Memory;
  o.memoryTotal = {87.659, 1.0};
  o.report = RunOutcome::Report::Written;
  o.reportPath = "/home/kim/KR_Report.txt";
  EXPECT_EQ(OutcomeText(o), "Memory total: \x1b" "b87.65 KelvaRANKS\x1b" "n\n\nThe report is in\n'/home/kim/KR_Report.txt'.");
  o.report = RunOutcome::Report::Off;
  o.interrupted = true;
  o.stoppedAfter = "Read FAST long";
  o.memoryTotal = {};
  EXPECT_EQ(OutcomeText(o), "The run was stopped by the user after Read FAST long.\n\nMemory total: \x1b" "bnot valid\x1b" "n\n"
                            "\nThe report is switched off in the settings.");
  o.stoppedAfter.clear();
  EXPECT_EQ(OutcomeText(o).rfind("The run was stopped by the user before its first test ended.", 0), 0u);
}

// A request belongs to the window that raised it; Escape is Cancel/Abort in
// the windows and the last button in a request.
TEST(DesktopWindows, RequestsOnTheirWindowAndEscape) {
  Started s("owner");
  ASSERT_EQ(s.desktop->Start(), 0);
  SettingsWindow* w = s.desktop->settingsWindow();
  s.desktop->mainWindow()->settings->click();
  ASSERT_TRUE(Activate(w));
  w->userName->clear();
  w->save->click();  // refused with a request
  EXPECT_EQ(s.answers.Last(), "Enter your Username");
  EXPECT_EQ(s.desktop->requester().lastParent(), w);
  EXPECT_TRUE(w->isVisible());
  // Escape is "_Cancel".
  ASSERT_TRUE(Activate(w));
  QTest::keyClick(w, Qt::Key_Escape);
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(s.desktop->mainWindow()->isEnabled());

  MakeModuleWindow* mm = s.desktop->makeModuleWindow();
  mm->show();
  ASSERT_TRUE(Activate(mm));
  mm->writeDevice->click();  // its warning
  EXPECT_EQ(s.desktop->requester().lastParent(), mm);
  ASSERT_TRUE(Activate(mm));
  QTest::keyClick(mm, Qt::Key_Escape);  // "_Abort"
  EXPECT_FALSE(mm->isVisible());
  EXPECT_FALSE(mm->writeDevice->isChecked());

  s.desktop->OpenAbout();
  ASSERT_TRUE(Activate(s.desktop->aboutWindow()));
  QTest::keyClick(s.desktop->aboutWindow(), Qt::Key_Escape);
  EXPECT_FALSE(s.desktop->aboutWindow()->isVisible());

  // In a request, Escape answers with the last button.
  s.answers.hold = true;
  int answer = -2;
  QTimer::singleShot(50, [&] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* r = dynamic_cast<RequestWindow*>(top); r && r->isVisible()) QTest::keyClick(r, Qt::Key_Escape);
  });
  answer = s.desktop->requester().Request("\x1b" "bREQUEST\x1b" "n", "Sure?", "Yes|Maybe|No");
  EXPECT_EQ(answer, 2);
}

// Scrolling the Memory page with the wheel scrolls the page; a slider takes
// the wheel only once it has the focus.
// The windows know only the context: their commands leave as signals, so
// each works without the program.
TEST(DesktopWindows, CommandsLeaveAsSignals) {
  kr::test::TestContext t;
  MainWindow main(t.ctx);
  std::vector<std::pair<RunMode, QPushButton*>> runs;
  int quits = 0, settings = 0;
  QObject::connect(&main, &MainWindow::runRequested,
                   [&](RunMode mode, QPushButton* pressed) { runs.emplace_back(mode, pressed); });
  QObject::connect(&main, &MainWindow::quitRequested, [&] { ++quits; });
  QObject::connect(&main, &MainWindow::settingsRequested, [&] { ++settings; });
  main.processor->click();
  main.memory->click();
  main.hardDisk->click();
  main.settings->click();
  main.quit->click();
  main.show();
  main.close();  // the close gadget is "_Quit"; the window stays
  const std::vector<std::pair<RunMode, QPushButton*>> expected = {
      {RunMode::Processor, main.processor}, {RunMode::Memory, main.memory}, {RunMode::Drive, main.hardDisk}};
  EXPECT_EQ(runs, expected);
  EXPECT_EQ(settings, 1);
  EXPECT_EQ(quits, 2);
  EXPECT_TRUE(main.isVisible());

  MakeModuleWindow make(t.ctx);
  std::vector<MakeModuleOptions> bangs;
  QObject::connect(&make, &MakeModuleWindow::bangRequested, [&](const MakeModuleOptions& o) { bangs.push_back(o); });
  make.chipRam->setChecked(false);
  make.multitasking->setChecked(true);
  make.bang->click();
  ASSERT_EQ(bangs.size(), 1u);
  EXPECT_FALSE(bangs[0].chipRamTests);
  EXPECT_TRUE(bangs[0].multitaskingAtAll);
  EXPECT_FALSE(bangs[0].writeDevice);

  SettingsWindow page(t.ctx);
  int closed = 0, taken = 0;
  QObject::connect(&page, &SettingsWindow::closed, [&] { ++closed; });
  QObject::connect(&page, &SettingsWindow::settingsTaken, [&] { ++taken; });
  page.ShowForm(t.ctx.form);
  page.cancel->click();  // not open: nothing to wake
  EXPECT_EQ(closed, 0);
  page.show();
  // "_All" on the drive page leaves Write to Device and SpinUP Device off.
  page.all[2]->click();
  for (size_t i = 0; i < page.driveEnabled.size(); ++i)
    EXPECT_EQ(page.driveEnabled[i]->isChecked(), i != 4 && i != 6) << "switch " << i;
  page.cancel->click();
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(taken, 0);
  EXPECT_FALSE(page.isVisible());
}

TEST(DesktopSettings, WheelScrollsThePageNotTheSliders) {
  Started s("wheel");
  ASSERT_EQ(s.desktop->Start(), 0);
  s.desktop->mainWindow()->settings->click();
  SettingsWindow* w = s.desktop->settingsWindow();
  w->resize(700, 420);
  w->pages->setCurrentIndex(2);
  w->activateWindow();
  QCoreApplication::processEvents();
  auto* area = w->pages->currentWidget()->findChild<QScrollArea*>();
  ASSERT_NE(area, nullptr);
  ASSERT_GT(area->verticalScrollBar()->maximum(), 0);
  w->memEnabled[size_t(mem::kAllocFast)]->setChecked(true);
  w->UpdateEnabling();
  QSlider* slider = w->memStart[size_t(mem::kAllocFast)]->slider();
  ASSERT_TRUE(slider->isEnabled());
  auto wheel = [&](QWidget* target, int delta) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &e);
  };
  const int before = slider->value();
  const int scrolled = area->verticalScrollBar()->value();
  for (int i = 0; i < 3; ++i) wheel(slider, -120);
  EXPECT_EQ(slider->value(), before);
  EXPECT_GT(area->verticalScrollBar()->value(), scrolled);
  wheel(slider, 120);
  EXPECT_EQ(slider->value(), before);
  ASSERT_TRUE(Activate(w));
  slider->setFocus();
  ASSERT_TRUE(WaitFor([&] { return slider->hasFocus(); }, 2000));
  wheel(slider, 120);
  EXPECT_NE(slider->value(), before);
  w->cancel->click();
}

// A typed character outside Latin-1 is refused with a visible hint.
TEST(DesktopSettings, NonLatin1InputShowsAHint) {
  Started s("latin1");
  ASSERT_EQ(s.desktop->Start(), 0);
  s.desktop->mainWindow()->settings->click();
  SettingsWindow* w = s.desktop->settingsWindow();
  EXPECT_FALSE(w->latin1Hint->isVisible());
  w->location->setText(QStringLiteral("Bremen"));
  w->location->setFocus();
  w->location->end(false);
  QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u20AC"));
  QCoreApplication::sendEvent(w->location, &euro);
  EXPECT_EQ(w->location->text(), QStringLiteral("Bremen"));
  EXPECT_TRUE(w->latin1Hint->isVisible());
  EXPECT_TRUE(w->latin1Hint->text().contains(QStringLiteral("Latin-1")));
  w->latin1Hint->hide();
  w->comment->setPlainText(QStringLiteral("ok \u20AC"));
  EXPECT_EQ(w->comment->toPlainText(), QStringLiteral("ok "));
  EXPECT_TRUE(w->latin1Hint->isVisible());
  w->cancel->click();
}

// The partition is a host path: its bytes are stored as they are, shown
// decoded from UTF-8 (bytes that are not UTF-8 escaped), and a folder the
// program's paths cannot hold is refused with a hint when chosen.
TEST(DesktopSettings, PartitionKeepsTheHostPathsBytes) {
  Started s("partition");
  ASSERT_EQ(s.desktop->Start(), 0);
  SettingsWindow* w = s.desktop->settingsWindow();
  struct Case {
    std::string raw;
    QString shown;
  };
  const Case cases[] = {
      {"/tmp/M\xC3\xBCller", QStringLiteral("/tmp/M\u00FCller")},
      {"/tmp/M\xFCller", QStringLiteral("/tmp/M\\xFCller")},  // Latin-1 bytes: not UTF-8
      {"/tmp/a\\b\xFF", QStringLiteral("/tmp/a\\\\b\\xFF")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw);
    // The settings record holds the path; Cancel shows the record again.
    s.ctx().settings.set_text(cfg::kPartition, cfg::kPartitionWidth, c.raw);
    s.desktop->mainWindow()->settings->click();
    w->cancel->click();
    s.desktop->mainWindow()->settings->click();
    EXPECT_EQ(w->partition->currentText(), c.shown);
    w->userName->setText(QStringLiteral("tester"));  // any edit; the partition is left as it is
    SettingsForm f;
    w->ReadForm(f);
    EXPECT_EQ(f.partition, c.raw);
    w->cancel->click();
  }

  // Saved through the window: the settings file holds the UTF-8 bytes.
  s.desktop->mainWindow()->settings->click();
  FillValidSettings(*w);
  w->SelectPartition("/tmp/M\xC3\xBCller");
  w->save->click();
  ASSERT_FALSE(w->isVisible()) << s.answers.Last();
  EXPECT_EQ(ReadConfig(s.home).partition(), "/tmp/M\xC3\xBCller");

  // A listed folder with ':' is refused when chosen: the hint says why and
  // the last partition stays.
  s.desktop->mainWindow()->settings->click();
  EXPECT_FALSE(w->latin1Hint->isVisible());
  w->partition->addItem(QStringLiteral("/mnt/a:b"), QByteArray("/mnt/a:b"));
  const int colon = w->partition->count() - 1;
  w->partition->setCurrentIndex(colon);
  Q_EMIT w->partition->activated(colon);
  EXPECT_TRUE(w->latin1Hint->isVisible());
  EXPECT_TRUE(w->latin1Hint->text().contains(QStringLiteral("':'"))) << w->latin1Hint->text().toStdString();
  EXPECT_TRUE(w->latin1Hint->text().contains(QStringLiteral("/mnt/a:b")));
  EXPECT_EQ(w->partition->currentText(), QStringLiteral("/tmp/M\u00FCller"));
  w->cancel->click();
}

// The harddrive window keeps its size when a test hides rows.
TEST(DesktopStatus, HarddriveWindowKeepsItsSizeWithRowsHidden) {
  StatusWindow w(Section::Drive, nullptr);
  StatusWindowModel m;
  m.open = true;
  for (auto& shown : m.shown) shown = true;
  w.Show(m);
  QCoreApplication::processEvents();
  const QSize all = w.sizeHint();
  int hidden = 0;
  for (const StatusRow& r : StatusRows(Section::Drive))
    if (hidden < 9 && r.field != StatusField::NowRunning && r.field != StatusField::State) {
      m.shown[size_t(r.field)] = false;
      ++hidden;
    }
  w.Show(m);
  QCoreApplication::processEvents();
  EXPECT_EQ(w.sizeHint(), all);
  EXPECT_GE(w.height(), all.height());
}

TEST(DesktopErrorLog, ConsoleOutputOpensItsWindow) {
  Started s("errlog");
  ASSERT_EQ(s.desktop->Start(), 0);
  ASSERT_TRUE(s.ctx().errorLog.outputOpen);
  EXPECT_FALSE(s.desktop->errorLogWindow()->isVisible());
  std::thread worker([&] { LogError(s.ctx(), "CPU", "TestFunction", "Something failed"); });
  worker.join();
  ASSERT_TRUE(WaitFor([&] { return s.desktop->errorLogWindow()->isVisible(); }, 2000));
  EXPECT_EQ(s.desktop->errorLogWindow()->windowTitle(), QStringLiteral("KelvaRANK Errorlog"));
  EXPECT_TRUE(s.desktop->errorLogWindow()->text().contains(QStringLiteral("Something failed")));
}

}  // namespace
}  // namespace kr::gui::test
