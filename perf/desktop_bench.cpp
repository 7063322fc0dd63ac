// The desktop program on the offscreen platform: how long start-up takes on
// an existing home to the shown main window (with and without the quick
// start), and how long the GUI thread's longest pause between two events of
// a 5 ms timer is while one processor test runs on the worker (the counters
// longest_gap_ms and timer_events).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <string>

#include "gui/desktop_fixture.h"
#include "gui/main_window.h"
#include "gui/settings_window.h"
#include "records/settings_record.h"

namespace {

using kr::gui::Desktop;
using kr::gui::DesktopOptions;
namespace gt = kr::gui::test;

// A home that has been through its first start, with settings that pass
// the pages' checks saved; removed at exit.
const std::string& Home() {
  static std::string home;
  if (!home.empty()) return home;
  home = gt::TempHome("perf");
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
  });
  gt::Answerer answers;
  DesktopOptions o;
  o.home = home;
  o.quickStart = true;
  Desktop d(o);
  if (d.Start() != 0) return home;
  kr::gui::SettingsWindow& w = *d.settingsWindow();
  w.userName->setText(QStringLiteral("tester"));
  w.realName->setText(QStringLiteral("Test Person"));
  w.location->setText(QStringLiteral("Testville"));
  w.email->setText(QStringLiteral("tester@example.org"));
  w.smtpServer->setText(QStringLiteral("localhost"));
  w.reportFile->setText(QStringLiteral("PROGDIR:Reports/perf_report.txt"));
  w.comment->setPlainText(QStringLiteral("A test machine"));
  w.SelectPartition("/tmp");
  w.save->click();
  d.Stop();
  return home;
}

void BM_DesktopStartUp(benchmark::State& state) {
  DesktopOptions o;
  o.home = Home();
  o.quickStart = state.range(0) != 0;
  for (auto _ : state) {
    auto d = std::make_unique<Desktop>(o);
    if (d->Start() != 0 || !d->mainWindow()->isVisible()) {
      state.SkipWithError("the desktop program did not start");
      break;
    }
    QCoreApplication::processEvents();
    state.PauseTiming();
    d.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DesktopStartUp)->ArgName("quickstart")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// One Bogomips run (about two seconds) from the "_Processor" button.
void BM_DesktopProcessorRunEventGap(benchmark::State& state) {
  gt::Answerer answers;
  DesktopOptions o;
  o.home = Home();
  o.quickStart = true;
  for (auto _ : state) {
    Desktop d(o);
    if (d.Start() != 0) {
      state.SkipWithError("the desktop program did not start");
      break;
    }
    d.openReport = [](const std::string&) {};
    kr::Context& ctx = d.ctx();
    for (int k = 1; k <= 10; ++k) ctx.settings.setProcEnabled(k, k == 1);
    int done = 0;
    d.onCommandDone = [&] { ++done; };
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    long ticks = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
      ++ticks;
    });
    tick.start();
    d.mainWindow()->processor->click();
    if (!gt::WaitFor([&] { return done == 1; }, 600000)) {
      state.SkipWithError("the run did not end");
      break;
    }
    tick.stop();
    state.counters["longest_gap_ms"] = double(longest);
    state.counters["timer_events"] = double(ticks);
  }
}
BENCHMARK(BM_DesktopProcessorRunEventGap)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
