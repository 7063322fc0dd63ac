// The start-up window ("Status"): one status text and one gauge while the
// start-up checks run on the GUI thread.
#pragma once

#include <QWidget>

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

 private:
  QLabel* text_;
  QProgressBar* gauge_;
};

}  // namespace kr::gui
