// The main window: the logo, the system-information display and the
// command buttons.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace kr::gui {

class Desktop;

class MainWindow : public QWidget {
 public:
  explicit MainWindow(Desktop& desktop);
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

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  Desktop& desktop_;
  QLabel* info_[8]{};
};

// A push button from a system label ("_Processor", ESC b "_Bang hardware!")
// with its help text as tooltip.
QPushButton* MakeButton(QWidget* parent, const char* label, const char* help);

}  // namespace kr::gui
