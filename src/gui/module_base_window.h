// The "Module Base" window: the Server and Local databases with their
// buttons, the chart page, the page of compared modules with their colours
// and "Information" buttons, the "State:" line and "Show _max-values".
//
// Threading: the network buttons ("Retrieve _List", "_Download", "_Upload")
// run their transfer on a worker thread of the window; its state texts and
// its end come back to the GUI thread as queued signals, "_Stop" (or closing
// the window) cancels it within a tenth of a second. While a transfer runs
// the worker owns the module base (ctx.modules) and the dos layer, so every
// control that touches them is disabled; the chart page stays usable. The
// questions a transfer asks (the mail log, a successful upload) go through
// ctx.requester from the worker thread, as the requester's threading
// contract allows. Local operations (import, export, remove, slot choice)
// run on the GUI thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTabWidget;
class QTreeView;

namespace kr {

struct Context;
struct IndexEntry;
class ChartWidget;

class ModuleBaseWindow : public QWidget {
  Q_OBJECT

 public:
  // A top-level window over the running system's context; `parent` only
  // ties its lifetime (and stacking) to the main window.
  explicit ModuleBaseWindow(Context& ctx, QWidget* parent = nullptr);
  // Cancels a running transfer and waits for its thread (events are still
  // processed meanwhile, so a question the worker asks can be answered).
  ~ModuleBaseWindow() override;

  // The file choosers of "_Import" (several files, empty: cancelled) and
  // "_Export" (one file, empty: cancelled), given the remembered drawer and
  // for the export the suggested name. The default opens the desktop's file
  // dialogs; tests put their own.
  struct FileChoosers {
    std::function<QStringList(QWidget* parent, const QString& drawer)> importFiles;
    std::function<QString(QWidget* parent, const QString& drawer, const QString& name)> exportFile;
  };
  void setFileChoosers(FileChoosers choosers) { choosers_ = std::move(choosers); }
  // How long a transfer waits for the server without progress (ms).
  void setNetworkTimeout(int ms) { timeoutMs_ = ms; }

  bool transferRunning() const { return worker_.joinable(); }

  // Shows the module base and the display record as the context holds them
  // now: the main program calls it after it changed them while the window is
  // open (a module made, the chart settings reset). Nothing while a transfer
  // runs (its end refreshes the lists).
  void refreshFromContext();

  // Pages, in order.
  enum Page { kServerPage, kLocalPage, kChartPage, kModulesPage };
  QTabWidget* pages() const { return pages_; }
  // Buttons by their label as the user sees it, underscore included
  // ("Retrieve _List", "_Import", "Information" + slot number "1".."4").
  QPushButton* button(const QString& label) const;
  // The lists: one row per entry, the 28 columns of the index entry; a row's
  // Qt::UserRole data is its serial.
  QTreeView* serverList() const { return serverList_; }
  QTreeView* localList() const { return localList_; }
  // Makes the entry with this serial the list's active entry; false when
  // the list has none.
  static bool SelectSerial(QTreeView* list, const QString& serial);
  ChartWidget* chart() const { return chart_; }
  QComboBox* slotPicker(int slot) const { return pickers_[size_t(slot - 1)]; }  // slot 1..4
  QLabel* slotLabel(int slot) const { return slotNames_[size_t(slot - 1)]; }
  QCheckBox* showModule(int slot) const { return shows_[size_t(slot - 1)]; }
  QComboBox* masterCycle() const { return master_; }
  QComboBox* slaveCycle() const { return slave_; }
  QButtonGroup* drawMode() const { return drawMode_; }
  QButtonGroup* splineMode() const { return splineMode_; }
  QButtonGroup* showMode() const { return showMode_; }
  QSlider* fineScale() const { return fine_; }
  QSlider* roughScale() const { return rough_; }
  // The relative view without the clamp at 100 (never stored in the display record).
  QCheckBox* uncapped() const { return uncapped_; }
  // The "State:" line without its escape codes.
  QString stateText() const;

  // Sets a chart colour (disp::Pen role) as its colour picker does.
  void setPenColor(int role, const QColor& color);
  // Chooses the Local module with this serial in slot 1..4's picker.
  bool chooseSlotModule(int slot, const QString& serial);

 Q_SIGNALS:
  // A transfer started (true) or ended (false): the main program keeps its
  // own commands off the context meanwhile.
  void busyChanged(bool busy);
  // A transfer ended; ok is what the operation returned.
  void transferFinished(bool ok);
  // From the worker thread, delivered queued.
  void workerState(const QByteArray& latin1);
  void workerDone(bool ok);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  enum class Job { FetchList, Download, Upload };

  QWidget* BuildServerPage();
  QWidget* BuildLocalPage();
  QWidget* BuildChartPage();
  QWidget* BuildModulesPage();
  QPushButton* MakeButton(const char* label, const char* help);

  // Fills the two lists and the slot pickers from ctx.modules.
  void RefreshLists();
  // The chart controls and slot labels from ctx.display; the chart's sources.
  void ShowDisplayRecord();
  void ControlsToDisplay();
  void UpdateChart();
  void UpdateColorButtons();
  void SetBusy(bool busy);
  // The serial of the list's current entry; empty when none.
  std::string ActiveSerial(QTreeView* list) const;
  void ShowState(const QByteArray& latin1);

  void RetrieveList();
  void Download();
  void Import();
  void Export();
  void Remove();
  void Upload();
  void ReloadModules();
  void StartTransfer(Job job, const std::string& serial);
  void TransferDone(bool ok);
  void PickColor(int role);

  Context& ctx_;
  FileChoosers choosers_;
  Job job_ = Job::FetchList;  // the transfer running or last run
  std::string jobSerial_;
  std::atomic<bool> failed_{false};  // written by the worker before workerDone
  int timeoutMs_ = 30000;

  QTabWidget* pages_ = nullptr;
  QTreeView* serverList_ = nullptr;
  QTreeView* localList_ = nullptr;
  ChartWidget* chart_ = nullptr;
  QComboBox* master_ = nullptr;
  QComboBox* slave_ = nullptr;
  QButtonGroup* drawMode_ = nullptr;
  QButtonGroup* splineMode_ = nullptr;
  QButtonGroup* showMode_ = nullptr;
  QWidget* drawBox_ = nullptr;
  QWidget* showBox_ = nullptr;
  QSlider* fine_ = nullptr;
  QSlider* rough_ = nullptr;
  QCheckBox* uncapped_ = nullptr;
  std::array<QComboBox*, 4> pickers_{};
  std::array<QLabel*, 4> slotNames_{};
  std::array<QCheckBox*, 4> shows_{};
  std::array<QCheckBox*, 4> chartShows_{};
  std::array<QPushButton*, 7> colorButtons_{};
  QLabel* state_ = nullptr;
  QPushButton* stop_ = nullptr;
  std::vector<QPushButton*> buttons_;
  std::vector<QWidget*> databaseControls_;  // off while a transfer runs
  bool updating_ = false;                   // controls being set from the record

  std::thread worker_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  bool destroying_ = false;
};

// Opens the Module Base window of `parent` (one per parent; made on first
// use), shows it and brings it to the front.
ModuleBaseWindow* OpenModuleBase(Context& ctx, QWidget* parent);

}  // namespace kr
