// The start-up window ("Status"): one status text and one gauge while the
// start-up checks run on the GUI thread.
#pragma once

#include <QWidget>
#include <memory>

#include "shell/startup_checks.h"

class QLabel;
class QProgressBar;

namespace kr::gui {

class FontMapping;

class StartupWindow : public QWidget, public StartupProgress {
 public:
  explicit StartupWindow(const FontMapping* fonts);
  void Open() override;
  void SetText(std::string_view text) override;
  void SetGauge(int32_t percent) override;
  // Waits with the event loop running, so the window is drawn and stays
  // responsive.
  void Pause(int32_t ticks) override;
  void Close() override;
  QString text() const;
  int gauge() const;
  // Off: SetText and SetGauge only change the window (the caller runs in the
  // event loop already).
  void SetPumping(bool on) { pumping_ = on; }

 private:
  QLabel* text_;
  QProgressBar* gauge_;
  bool pumping_ = true;
};

// A progress window a run's worker thread talks to: every call is handed to
// the GUI thread, where the window shows it; the worker never waits.
class WorkerProgress : public StartupProgress {
 public:
  explicit WorkerProgress(const FontMapping* fonts);
  ~WorkerProgress() override;
  void Open() override;
  void SetText(std::string_view text) override;
  void SetGauge(int32_t percent) override;
  void Pause(int32_t) override {}
  void Close() override;
  StartupWindow* window() const { return window_; }

 private:
  template <typename F>
  void Post(F&& f);
  StartupWindow* window_;
  std::unique_ptr<QObject> anchor_;
};

}  // namespace kr::gui
