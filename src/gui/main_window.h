// The main window: the logo, the system-information display and the
// command buttons.
#pragma once

#include <QWidget>

#include "engine/context.h"

class QLabel;
class QPushButton;

namespace kr::gui {

// The buttons and the close gadget emit the commands; the program connects
// them.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(Context& ctx);
  // Shows the system information (after it was collected).
  void ShowSystemInfo();
  // The logo from the home; false when the picture could not be read (the
  // program's name stands in its place).
  bool LoadLogo();

  QPushButton* processor = nullptr;
  QPushButton* memory = nullptr;
  QPushButton* hardDisk = nullptr;
  QPushButton* makeModule = nullptr;
  QPushButton* moduleBase = nullptr;
  QPushButton* settings = nullptr;
  QPushButton* about = nullptr;
  QPushButton* quit = nullptr;
  QLabel* logo = nullptr;

 Q_SIGNALS:
  // "_Processor", "_Memory" or "_Hard Disk", with the button pressed.
  void runRequested(kr::RunMode mode, QPushButton* pressed);
  void makeModuleRequested();
  void moduleBaseRequested();
  void settingsRequested();
  void aboutRequested();
  // "_Quit" or the close gadget.
  void quitRequested();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  Context& ctx_;
  QLabel* info_[8]{};
};

// A push button from a system label ("_Processor", ESC b "_Bang hardware!")
// with its help text as tooltip.
QPushButton* MakeButton(QWidget* parent, const char* label, const char* help);

}  // namespace kr::gui
