// The two request windows: "Request" (two buttons) and "Popup" (one button).
// Every message of the system reaches the user through them.
#pragma once

#include <QDialog>
#include <QPointer>
#include <string_view>

#include "platform/requester.h"

class QLabel;

namespace kr::gui {

class FontMapping;

// One request window. Its buttons are named "button0", "button1", ... (left
// to right) so that tests can answer it.
class RequestWindow : public QDialog {
 public:
  RequestWindow(QWidget* parent, const FontMapping* fonts, std::string_view title, std::string_view text,
                std::string_view buttons);
  // The button pressed; closing the window answers with the last button.
  int answer() const { return answer_; }

 private:
  int answer_ = -1;
};

// The desktop's requester. On the GUI thread it shows the window with a
// private event loop (the rest of the program takes no input meanwhile); on
// a worker thread it hands the request to the GUI thread and blocks the
// worker until the user has answered.
class GuiRequester : public Requester {
 public:
  int Request(std::string_view title, std::string_view text, std::string_view buttons) override;
  void SetParent(QWidget* parent) { parent_ = parent; }
  void SetFonts(const FontMapping* fonts) { fonts_ = fonts; }
  // Requests shown so far (tests read it).
  int shown() const { return shown_; }
  // The window the last request was shown over (tests read it).
  QWidget* lastParent() const { return lastParent_; }

 private:
  int ShowOnGuiThread(std::string_view title, std::string_view text, std::string_view buttons);
  QPointer<QWidget> parent_;
  const FontMapping* fonts_ = nullptr;
  int shown_ = 0;
  bool fromWorker_ = false;
  QPointer<QWidget> lastParent_;
};

}  // namespace kr::gui
