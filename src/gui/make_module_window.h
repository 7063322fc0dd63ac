// The "Make Module" window: the warning, the options and the two buttons.
#pragma once

#include <QWidget>

#include "shell/make_module.h"

class QCheckBox;
class QPushButton;

namespace kr::gui {

class Desktop;

class MakeModuleWindow : public QWidget {
 public:
  explicit MakeModuleWindow(Desktop& desktop);
  MakeModuleOptions Options() const;
  // After "Bang hardware!" or "Abort": CHIP-ram tests on (after a start), the
  // two device boxes off.
  void ResetBoxes(bool started);

  QCheckBox* chipRam = nullptr;
  QCheckBox* writeDevice = nullptr;
  QCheckBox* spinUpDevice = nullptr;
  QCheckBox* multitasking = nullptr;
  QPushButton* bang = nullptr;
  QPushButton* abort = nullptr;

 private:
  Desktop& desktop_;
};

}  // namespace kr::gui
