// The three "Benchmarking ..." status windows and the desktop's status
// display. The engine calls the display on its worker thread; the display
// keeps the windows' content under a lock and asks the GUI thread to draw it.
// Updates are coalesced: however many calls a test makes, the GUI thread
// draws at most once per kMinDrawInterval, and never while a test is timing
// (it waits for the timed region to close). So that a window is never left
// unpainted (or showing an old test) through a whole timed test, opening a
// window, changing its "State:" line (which a test does before it starts
// timing) and setting a sweep step's loop size or passes (the last thing a
// step sets before its timed span) wait, on the worker thread and outside
// timed spans, until the window is painted with the change (at most
// kSyncWait).
#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/status_model.h"
#include "gui/startup_window.h"

class QLabel;
class QProgressBar;
class QGridLayout;

namespace kr::gui {

class FontMapping;

class StatusWindow : public QWidget {
 public:
  StatusWindow(Section s, const FontMapping* fonts);
  // Shows the content of the model.
  void Show(const StatusWindowModel& m);
  QString ValueText(StatusField f) const;    // tests read it
  QString CaptionText(StatusField f) const;  // tests read it
  bool RowShown(StatusField f) const;
  QString GaugeText() const;
  // The "Stopping after this test..." line under the gauge.
  void ShowStopping(bool on);
  bool stopping() const;
  // Called after each paint of the window itself (a first paint after it
  // was shown paints all of it).
  std::function<void()> onPainted;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  Section section_;
  QLabel* stopping_ = nullptr;
  std::array<QLabel*, size_t(StatusField::kCount)> caption_{}, value_{};
  QProgressBar* gauge_ = nullptr;
};

class GuiStatus : public StatusDisplay {
 public:
  static constexpr std::chrono::milliseconds kMinDrawInterval{40};
  static constexpr std::chrono::milliseconds kTimingRetry{15};
  static constexpr std::chrono::milliseconds kSyncWait{500};

  GuiStatus();
  ~GuiStatus() override;
  // Creates the three windows (on the GUI thread). `timing` is the engine's
  // timed-region flag: no drawing while it is set.
  void Build(const FontMapping* fonts, const std::atomic<bool>* timing);
  // Called on the GUI thread when the program falls asleep or wakes up.
  std::function<void(bool)> onBusy;

  void OpenWindow(Section s) override;
  void CloseWindow(Section s) override;
  void SetText(Section s, StatusField f, std::string_view text) override;
  void SetNumber(Section s, StatusField f, int32_t value) override;
  void SetCaption(Section s, StatusField f, std::string_view caption) override;
  void ShowRow(Section s, StatusField f, bool shown) override;
  void SetGauge(Section s, int32_t current) override;
  void SetGaugeText(Section s, std::string_view text) override;
  void SetBusy(bool busy) override;
  StartupProgress* CopyProgress() override;
  // The copy window (tests read it); null before Build.
  WorkerProgress* copyProgress() { return copy_.get(); }
  // A stop was asked for: every status window says so at once, until the
  // next run opens its window.
  void ShowStopping(bool on);

  StatusWindow* window(Section s) { return windows_[size_t(s)]; }
  // Display calls received and draws made (the coalescing).
  long calls() const { return calls_.load(); }
  long draws() const { return draws_; }
  // Draws pending content now (GUI thread).
  void Flush();
  // Waits made on the worker thread for a window to be painted, and those
  // that ran out of time (tests read them).
  long syncWaits() const { return syncWaits_.load(); }
  long syncTimeouts() const { return syncTimeouts_.load(); }

 private:
  // `sync`: the worker waits until the change is painted (not on the GUI
  // thread, not while timing).
  template <typename F>
  void Change(Section s, F&& f, bool sync = false);
  void Post();
  // A draw of change `serial` is on the screen: wakes a waiting worker.
  void Drawn(uint64_t serial);

  std::mutex mutex_;
  std::array<StatusWindowModel, 3> model_;
  std::array<bool, 3> dirty_{};
  bool posted_ = false;  // a draw is scheduled on the GUI thread
  bool urgent_ = false;  // a worker waits: the draw does not keep the interval
  uint64_t serial_ = 0;  // changes made
  uint64_t drawn_ = 0;   // changes painted
  // Per window: the serial a shown but not yet painted window waits for.
  std::array<uint64_t, 3> firstPaint_{};
  std::condition_variable drawnCv_;
  std::atomic<long> syncWaits_{0}, syncTimeouts_{0};
  std::atomic<long> calls_{0};
  long draws_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
  const std::atomic<bool>* timing_ = nullptr;
  std::array<StatusWindow*, 3> windows_{};
  std::unique_ptr<WorkerProgress> copy_;
  // Context of the queued draws: they are dropped when the display ends.
  std::unique_ptr<QObject> anchor_;
};

}  // namespace kr::gui
