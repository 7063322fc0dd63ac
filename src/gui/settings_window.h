// The "Settings" window: the General, Processor, Memory and Hard Disk pages
// and "_Save", "_Use", "_Cancel". The window mirrors the settings form
// (settings/settings_form.h): ShowForm puts a form into the controls,
// ReadForm takes the controls into a form; validation, copy into the record
// and the messages are the form's, shared with the terminal front end.
#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <vector>

#include "engine/context.h"
#include "settings/settings_form.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTimer;

namespace kr::gui {

// A slider with its value shown beside it, followed by `suffix` ("000" shows
// the files count as thousands).
class ValueSlider : public QWidget {
 public:
  ValueSlider(QWidget* parent, Range range, const QString& suffix = QString());
  int value() const;
  void setValue(int v);
  QSlider* slider() const { return slider_; }
  QString text() const;  // the value as shown

 private:
  QSlider* slider_;
  QLabel* label_;
  QString suffix_;
};

class SettingsWindow : public QWidget {
  Q_OBJECT

 public:
  explicit SettingsWindow(Context& ctx);

  void ShowForm(const SettingsForm& form);
  void ReadForm(SettingsForm& form) const;
  // UpdateSettingsEnabling on the controls.
  void UpdateEnabling();
  // First run: only "_Save" is offered.
  void SetFirstRun(bool on);
  bool firstRun() const { return firstRun_; }
  // The partition chooser from the partition list (and the current name).
  void FillPartitions();
  // A file picker of the report or error-log field is open.
  bool PickerOpen() const;

  // The three window buttons' commands.
  void Save();
  void Use();
  void Cancel();

  // Controls (tests reach them by these names).
  QTabWidget* pages = nullptr;
  QPushButton *save = nullptr, *use = nullptr, *cancel = nullptr;
  QLineEdit *userName = nullptr, *realName = nullptr, *location = nullptr, *email = nullptr, *smtpServer = nullptr,
            *homepage = nullptr, *reportFile = nullptr, *errorLogOutput = nullptr;
  QSpinBox* smtpPort = nullptr;
  QCheckBox *reportEnabled = nullptr, *errorLogEnabled = nullptr, *appendErrorLog = nullptr, *flushResults = nullptr,
            *saveAtExit = nullptr, *overclocked = nullptr;
  std::array<QComboBox*, 4> vendor{}, model{};
  std::array<QLineEdit*, 4> other{};
  QPlainTextEdit* comment = nullptr;
  QPushButton *makeReportName = nullptr, *defaultErrorLog = nullptr, *pickReport = nullptr, *pickErrorLog = nullptr;
  std::array<QCheckBox*, 11> procEnabled{}, procCache{}, procMultitasking{};
  std::array<QCheckBox*, 24> memEnabled{}, memCache{}, memMultitasking{};
  std::array<ValueSlider*, 24> memLoopSize{}, memStart{}, memStop{};
  std::array<QCheckBox*, 7> driveEnabled{};
  std::array<QCheckBox*, 18> driveCache{};
  std::array<ValueSlider*, 5> driveCount{};
  std::array<ValueSlider*, 4> driveStart{}, driveStop{};
  QComboBox* accessMode = nullptr;
  // Items show a partition's folder (PathText); their data holds its raw bytes.
  QComboBox* partition = nullptr;
  // Per test page (0 Processor, 1 Memory, 2 Hard Disk): _All, _None, _Default.
  std::array<QPushButton*, 3> all{}, none{}, defaults{};
  QPointer<QFileDialog> reportPicker, errorLogPicker;
  // Shown for a while when a typed character outside Latin-1 or a chosen
  // partition was refused.
  QLabel* latin1Hint = nullptr;
  void ShowLatin1Hint();
  void ShowHint(const QString& text);
  // The partition of item `index`, as its raw path.
  std::string PartitionAt(int index) const;
  // Selects the item of `raw`, adding it in front when it is not listed.
  void SelectPartition(const std::string& raw);

 Q_SIGNALS:
  // "_Save" or "_Use" took the pages into the settings: the partition may
  // have changed.
  void settingsTaken();
  // The window was open and is closed: the rest of the program wakes.
  void closed();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  QWidget* BuildGeneral();
  QWidget* BuildProcessor();
  QWidget* BuildMemory();
  QWidget* BuildDrive();
  QWidget* PageButtons(int page);
  void FillModels(int family, int model);
  void OpenPicker(bool report);
  bool Apply(bool save);
  void Close();  // hides the window and wakes the program

  Context& ctx_;
  bool filling_ = false;
  bool firstRun_ = false;
  QTimer* hintTimer_ = nullptr;
  std::string chosenPartition_;  // the last partition taken (a refused choice goes back to it)
};

}  // namespace kr::gui
