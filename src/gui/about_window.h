// The "About" window: program information, "About _MUI" (the toolkit's own
// about box) and "_Close".
#pragma once

#include <QWidget>

class QPushButton;

namespace kr::gui {

class FontMapping;

// "Linux (" + the uname machine + ")": the build line of this host.
QString BuildLine();

class AboutWindow : public QWidget {
 public:
  explicit AboutWindow(const FontMapping* fonts);
  QPushButton* aboutToolkit = nullptr;
  QPushButton* close = nullptr;
};

}  // namespace kr::gui
