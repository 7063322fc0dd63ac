// The "Make Module" window: the warning, the options and the two buttons.
#pragma once

#include <QWidget>

#include "engine/context.h"
#include "shell/make_module.h"

class QCheckBox;
class QPushButton;

namespace kr::gui {

class MakeModuleWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MakeModuleWindow(Context& ctx);
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

 Q_SIGNALS:
  // "Bang hardware!" with the boxes' options.
  void bangRequested(const kr::MakeModuleOptions& options);

 private:
  Context& ctx_;
};

}  // namespace kr::gui
