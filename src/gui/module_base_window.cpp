#include "gui/module_base_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QShortcut>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QTabWidget>
#include <QThread>
#include <QAbstractTableModel>
#include <QTreeView>
#include <QVBoxLayout>
#include <chrono>

#include "charts/chart_model.h"
#include "charts/pens.h"
#include "engine/context.h"
#include "gui/chart_widget.h"
#include "gui/desktop_text.h"
#include "gui/max_values_window.h"
#include "gui/module_info_window.h"
#include "gui/qt_canvas.h"
#include "modules/module_base.h"
#include "modules/transfer_rules.h"
#include "net/download.h"
#include "net/net.h"
#include "net/smtp.h"
#include "platform/linux/linux_socket.h"
#include "records/display_record.h"

namespace kr {

namespace {



// The list columns: title, entry offset and field width, in entry order.
struct Column {
  const char* title;
  size_t offset, width;
};
constexpr Column kColumns[] = {
    {"Username", idx::kUserName, 32},        {"Realname", idx::kRealName, 32},
    {"Model Vendor", 80, 32},                {"Model Product", 112, 32},
    {"Busboard Vendor", 144, 32},            {"Busboard Product", 176, 32},
    {"Accelerator Vendor", 208, 32},         {"Accelerator Product", 240, 32},
    {"Controler Vendor", 272, 32},           {"Controler Product", 304, 32},
    {"CPU", idx::kCpu, 32},                  {"FPU", idx::kFpu, 32},
    {"MMU", idx::kMmu, 32},                  {"FAST Ram", idx::kFast, 32},
    {"CHIP Ram", idx::kChip, 32},            {"OS", idx::kOs, 32},
    {"KS", idx::kKs, 32},                    {"WB", idx::kWb, 32},
    {"Overclocked", idx::kOverclocked, 16},  {"Disk Vendor", idx::kDiskVendor, 64},
    {"Disk Product", idx::kDiskProduct, 64}, {"Size", idx::kDriveSize, 8},
    {"Device", idx::kDevice, 64},            {"Filesystem", idx::kFileSystem, 64},
    {"Date", idx::kDate, 32},                {"Time", idx::kTime, 32},
    {"Serial", idx::kSerial, 35},            {"Build", idx::kBuild, 32},
};
static_assert(std::size(kColumns) == 28);

QString Latin1(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

// A database list: a copy of the entries (the worker of a transfer may
// change the module base meanwhile), texts made when they are shown.
class IndexListModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;
  void SetEntries(const std::vector<IndexEntry>& entries) {
    beginResetModel();
    entries_ = entries;
    endResetModel();
  }
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(entries_.size()); }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(std::size(kColumns)); }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= int(entries_.size())) return {};
    const IndexEntry& e = entries_[size_t(index.row())];
    if (role == Qt::DisplayRole) {
      const Column& c = kColumns[index.column()];
      return Latin1(e.text(c.offset, c.width));
    }
    if (role == Qt::UserRole) return Latin1(e.serial());
    return {};
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < int(std::size(kColumns)))
      return QString::fromLatin1(kColumns[section].title);
    return {};
  }

 private:
  std::vector<IndexEntry> entries_;
};

QTreeView* MakeList(QWidget* parent) {
  auto* list = new QTreeView(parent);
  list->setModel(new IndexListModel(list));
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setAlternatingRowColors(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->header()->setSectionResizeMode(QHeaderView::Interactive);
  list->header()->setStretchLastSection(false);
  return list;
}

void FillList(QTreeView* list, std::vector<IndexEntry>& entries) {
  const QString current = list->currentIndex().data(Qt::UserRole).toString();
  AssignDisplayPositions(entries);  // the list shows them now
  static_cast<IndexListModel*>(list->model())->SetEntries(entries);
  if (!current.isEmpty()) ModuleBaseWindow::SelectSerial(list, current);
  for (int c = 0; c < list->model()->columnCount(); ++c) list->resizeColumnToContents(c);
}

// Slot pickers show the entry as a slot label would name it, with its date.
QString PickerText(const IndexEntry& e) {
  return Latin1(e.realName()) + " (" + Latin1(e.userName()) + ")  " + Latin1(e.date()) + " " + Latin1(e.time());
}

// The state line of a transfer on the worker thread: each text goes to the
// window as a queued signal.
class SignalStateLine : public StateLine {
 public:
  explicit SignalStateLine(std::function<void(const QByteArray&)> emit) : emit_(std::move(emit)) {}
  void ShowState(std::string_view text) override { emit_(QByteArray(text.data(), qsizetype(text.size()))); }

 private:
  std::function<void(const QByteArray&)> emit_;
};

const char* const kMasterLabels[] = {"KelvaRANKS", "Processor", "Memory", "Hard Disk"};

// The import and export file choosers: the dialog of this toolkit (its
// button texts can be set), accept "Import"/"Export", reject "Abort".
void LabelChooser(QFileDialog& d, const char* accept) {
  d.setObjectName(QString::fromLatin1(accept).toLower() + QStringLiteral("Chooser"));
  d.setOption(QFileDialog::DontUseNativeDialog);
  d.setLabelText(QFileDialog::Accept, QString::fromLatin1(accept));
  d.setLabelText(QFileDialog::Reject, QStringLiteral("Abort"));
}

// The folder a chooser opens in: a drawer of the home, made when missing.
QString ChooserDrawer(const Context& ctx, const std::string& drawer) {
  const QString path =
      QDir(QString::fromStdString(ctx.dos.HostPath("PROGDIR:"))).filePath(QString::fromStdString(drawer));
  QDir().mkpath(path);
  return path;
}

// A 32-bit pen component from an 8-bit channel.
uint32_t Component(int c) { return uint32_t(c) * 0x01010101u; }

}  // namespace

ModuleBaseWindow::ModuleBaseWindow(Context& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), cancel_(std::make_shared<std::atomic<bool>>(false)) {
  setWindowTitle(gui::WindowTitle("Module Base"));
  setObjectName("moduleBase");
  setFont(DesktopFont(kSmallFontSize));

  choosers_.importFiles = [](QWidget* p, const QString& drawer) {
    QFileDialog d(p, "Import", drawer, "All files (*)");
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setFileMode(QFileDialog::ExistingFiles);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    LabelChooser(d, "Import");
    return d.exec() == QDialog::Accepted ? d.selectedFiles() : QStringList();
  };
  choosers_.exportFile = [](QWidget* p, const QString& drawer, const QString& name) {
    QFileDialog d(p, "Export", drawer, "All files (*)");
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setFileMode(QFileDialog::AnyFile);
    d.setAcceptMode(QFileDialog::AcceptSave);
    LabelChooser(d, "Export");
    d.selectFile(name);
    return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first() : QString();
  };

  // Escape closes the window, as its close gadget does.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
  auto* top = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->addTab(BuildServerPage(), "Server Database");
  pages_->addTab(BuildLocalPage(), "Local Database");
  pages_->addTab(BuildChartPage(), "Charts");
  pages_->addTab(BuildModulesPage(), "Modules/Colors - Moduleinformation");
  top->addWidget(pages_, 1);

  auto* stateRow = new QHBoxLayout;
  auto* stateCaption = new QLabel("State:", this);
  state_ = new QLabel(this);
  state_->setObjectName("state");
  state_->setTextFormat(Qt::RichText);
  state_->setFrameShape(QFrame::StyledPanel);
  state_->setToolTip("Shows current network-state");
  state_->setMinimumWidth(300);
  state_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  stateRow->addWidget(stateCaption);
  stateRow->addWidget(state_, 1);
  stop_ = MakeButton("_Stop", "Stops the current transfer");
  stop_->setEnabled(false);
  connect(stop_, &QPushButton::clicked, this, [this] { cancel_->store(true); });
  stateRow->addWidget(stop_);
  top->addLayout(stateRow);

  auto* bottom = new QHBoxLayout;
  QPushButton* maxValues = MakeButton("Show _max-values", "Shows the maximum values");
  connect(maxValues, &QPushButton::clicked, this, [this] {
    auto* w = findChild<MaxValuesWindow*>();
    if (!w) {
      w = new MaxValuesWindow(this);
      w->setWindowFlag(Qt::Window);
    }
    w->show();
    w->raise();
  });
  QPushButton* close = MakeButton("_Close", "Closes the module base");
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  bottom->addWidget(maxValues);
  bottom->addStretch(1);
  bottom->addWidget(close);
  top->addLayout(bottom);

  connect(this, &ModuleBaseWindow::workerState, this, &ModuleBaseWindow::ShowState, Qt::QueuedConnection);
  connect(this, &ModuleBaseWindow::workerDone, this, &ModuleBaseWindow::TransferDone, Qt::QueuedConnection);

  RefreshLists();
  ShowDisplayRecord();
  resize(900, 620);
}

ModuleBaseWindow::~ModuleBaseWindow() {
  destroying_ = true;
  if (worker_.joinable()) {
    cancel_->store(true);
    // The worker may be waiting for an answer that the GUI thread gives, so
    // events go on being processed until it has ended.
    // TransferDone joins the thread when its end arrives.
    while (worker_.joinable()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      if (worker_.joinable()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
}

QPushButton* ModuleBaseWindow::MakeButton(const char* label, const char* help) {
  auto* b = new QPushButton(gui::MnemonicText(label), this);
  b->setObjectName(QString::fromLatin1(label));
  b->setToolTip(help);
  buttons_.push_back(b);
  return b;
}

QPushButton* ModuleBaseWindow::button(const QString& label) const {
  for (QPushButton* b : buttons_)
    if (b->objectName() == label) return b;
  return nullptr;
}

QWidget* ModuleBaseWindow::BuildServerPage() {
  auto* page = new QWidget(this);
  auto* v = new QVBoxLayout(page);
  auto* box = new QGroupBox("Modules at the server", page);
  auto* bv = new QVBoxLayout(box);
  serverList_ = MakeList(box);
  bv->addWidget(serverList_);
  v->addWidget(box, 1);
  auto* row = new QHBoxLayout;
  QPushButton* list = MakeButton("Retrieve _List", "Retrieves the actual module list");
  QPushButton* download = MakeButton("_Download", "Downloads the selected module");
  connect(list, &QPushButton::clicked, this, &ModuleBaseWindow::RetrieveList);
  connect(download, &QPushButton::clicked, this, &ModuleBaseWindow::Download);
  row->addWidget(list);
  row->addWidget(download);
  v->addLayout(row);
  databaseControls_.insert(databaseControls_.end(), {list, download});
  return page;
}

QWidget* ModuleBaseWindow::BuildLocalPage() {
  auto* page = new QWidget(this);
  auto* v = new QVBoxLayout(page);
  auto* box = new QGroupBox("Modules local", page);
  auto* bv = new QVBoxLayout(box);
  localList_ = MakeList(box);
  bv->addWidget(localList_);
  v->addWidget(box, 1);
  auto* row = new QHBoxLayout;
  QPushButton* import = MakeButton("_Import", "Imports module files into the local database");
  QPushButton* exportButton = MakeButton("_Export", "Exports the selected module to a file");
  QPushButton* remove = MakeButton("_Remove", "Removes the selected module from the local database");
  QPushButton* upload = MakeButton("_Upload", "Uploads the selected module to the server");
  connect(import, &QPushButton::clicked, this, &ModuleBaseWindow::Import);
  connect(exportButton, &QPushButton::clicked, this, &ModuleBaseWindow::Export);
  connect(remove, &QPushButton::clicked, this, &ModuleBaseWindow::Remove);
  connect(upload, &QPushButton::clicked, this, &ModuleBaseWindow::Upload);
  for (QPushButton* b : {import, exportButton, remove, upload}) row->addWidget(b);
  v->addLayout(row);
  databaseControls_.insert(databaseControls_.end(), {import, exportButton, remove, upload});
  return page;
}

QWidget* ModuleBaseWindow::BuildChartPage() {
  auto* page = new QWidget(this);
  auto* v = new QVBoxLayout(page);
  auto* choice = new QHBoxLayout;
  master_ = new QComboBox(page);
  for (const char* m : kMasterLabels) master_->addItem(m);
  master_->setToolTip("Selects the master-section");
  slave_ = new QComboBox(page);
  slave_->setToolTip("Selects the slave-section");
  slave_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  choice->addWidget(master_);
  choice->addWidget(slave_);
  for (int i = 0; i < 4; ++i) {
    auto* show = new QCheckBox(QString("Module %1").arg(i + 1), page);
    show->setToolTip(QString("Shows module %1 in the chart").arg(i + 1));
    chartShows_[size_t(i)] = show;
    choice->addWidget(show);
  }
  choice->addStretch(1);
  v->addLayout(choice);

  chart_ = new ChartWidget(page);
  chart_->setTimer(&ctx_.timer);
  v->addWidget(chart_, 1);

  auto radios = [&](const char* title, const char* a, const char* b, QButtonGroup*& group) {
    auto* box = new QGroupBox(title, page);
    auto* h = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    int id = 0;
    for (const char* label : {a, b}) {
      auto* r = new QRadioButton(label, box);
      group->addButton(r, id++);
      h->addWidget(r);
    }
    return box;
  };
  auto* controls = new QHBoxLayout;
  drawBox_ = radios("Drawmode", "Blocks", "B-Splines", drawMode_);
  QWidget* splineBox = radios("Splinemode", "Cover", "Side by side", splineMode_);
  showBox_ = radios("Showmode", "Absolute", "Relative", showMode_);
  controls->addWidget(drawBox_);
  controls->addWidget(splineBox);
  controls->addWidget(showBox_);
  auto* scales = new QGroupBox("Relative-view", page);
  auto* grid = new QGridLayout(scales);
  fine_ = new QSlider(Qt::Horizontal, scales);
  rough_ = new QSlider(Qt::Horizontal, scales);
  fine_->setRange(1, 100);
  rough_->setRange(1, 100);
  fine_->setToolTip("Fine-scales the relative-view");
  rough_->setToolTip("Rough-scales the relative-view");
  auto* fineValue = new QLabel(scales);
  auto* roughValue = new QLabel(scales);
  fineValue->setMinimumWidth(fineValue->fontMetrics().horizontalAdvance("0000"));
  roughValue->setMinimumWidth(roughValue->fontMetrics().horizontalAdvance("0000"));
  connect(fine_, &QSlider::valueChanged, fineValue, [fineValue](int v) { fineValue->setNum(v); });
  connect(rough_, &QSlider::valueChanged, roughValue, [roughValue](int v) { roughValue->setNum(v); });
  grid->addWidget(new QLabel("Fine:", scales), 0, 0);
  grid->addWidget(fine_, 0, 1);
  grid->addWidget(fineValue, 0, 2);
  grid->addWidget(new QLabel("Rough:", scales), 1, 0);
  grid->addWidget(rough_, 1, 1);
  grid->addWidget(roughValue, 1, 2);
  uncapped_ = new QCheckBox("Uncapped", scales);
  uncapped_->setToolTip("Shows the percentages of the reference without their clamp at 100");
  grid->addWidget(uncapped_, 2, 0, 1, 3);
  controls->addWidget(scales, 1);
  v->addLayout(controls);

  connect(master_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (updating_ || index < 0) return;
    // A new master section refills the slave cycle and starts at its first entry.
    updating_ = true;
    slave_->clear();
    const int32_t m = index + 1;
    for (int s = 1; s <= SlaveEntryCount(m); ++s) slave_->addItem(Latin1(SlaveEntry(m, s)));
    slave_->setCurrentIndex(0);
    updating_ = false;
    ControlsToDisplay();
  });
  connect(slave_, &QComboBox::currentIndexChanged, this, [this] { ControlsToDisplay(); });
  for (QButtonGroup* g : {drawMode_, splineMode_, showMode_})
    connect(g, &QButtonGroup::idClicked, this, [this] { ControlsToDisplay(); });
  connect(fine_, &QSlider::valueChanged, this, [this] { ControlsToDisplay(); });
  connect(rough_, &QSlider::valueChanged, this, [this] { ControlsToDisplay(); });
  connect(uncapped_, &QCheckBox::toggled, this, [this] { UpdateChart(); });
  for (int i = 0; i < 4; ++i)
    connect(chartShows_[size_t(i)], &QCheckBox::toggled, this, [this, i](bool on) {
      if (updating_) return;
      shows_[size_t(i)]->setChecked(on);  // the same flag on both pages
      ControlsToDisplay();
    });
  return page;
}

QWidget* ModuleBaseWindow::BuildModulesPage() {
  auto* page = new QWidget(this);
  auto* v = new QVBoxLayout(page);
  auto* box = new QGroupBox("Compared modules", page);
  auto* grid = new QGridLayout(box);
  grid->setColumnStretch(2, 1);
  static const char* const kColorHelp[disp::kPenCount] = {
      "Selects color for module 1", "Selects color for module 2", "Selects color for module 3",
      "Selects color for module 4", "Selects background color",   "Selects color for the chart",
      "Selects color for actual machine"};
  for (int role = 0; role < int(disp::kPenCount); ++role) {
    auto* b = new QPushButton(page);
    b->setObjectName(QString("color%1").arg(role));
    b->setToolTip(kColorHelp[role]);
    b->setFixedWidth(48);
    connect(b, &QPushButton::clicked, this, [this, role] { PickColor(role); });
    colorButtons_[size_t(role)] = b;
  }
  // THIS Session first, then the four slots.
  grid->addWidget(new QLabel("THIS Session", box), 0, 0, 1, 3);
  grid->addWidget(colorButtons_[disp::kPenThisSession], 0, 3);
  for (int i = 0; i < 4; ++i) {
    const int row = i + 1;
    auto* show = new QCheckBox(QString("Module %1").arg(i + 1), box);
    show->setToolTip(QString("Shows module %1 in the chart").arg(i + 1));
    shows_[size_t(i)] = show;
    connect(show, &QCheckBox::toggled, this, [this, i](bool on) {
      if (updating_) return;
      chartShows_[size_t(i)]->setChecked(on);
    });
    auto* picker = new QComboBox(box);
    picker->setPlaceholderText("Choose a module");
    picker->setToolTip(QString("Selects the module compared in slot %1").arg(i + 1));
    picker->setMinimumWidth(260);
    pickers_[size_t(i)] = picker;
    connect(picker, &QComboBox::activated, this, [this, i](int index) {
      if (index < 0) return;
      chooseSlotModule(i + 1, pickers_[size_t(i)]->itemData(index).toString());
    });
    auto* name = new QLabel(box);
    name->setTextFormat(Qt::PlainText);
    name->setFrameShape(QFrame::StyledPanel);
    name->setMinimumWidth(200);
    slotNames_[size_t(i)] = name;
    QPushButton* info = MakeButton("Information", "Shows the information of this module");
    info->setObjectName(QString("Information%1").arg(i + 1));
    connect(info, &QPushButton::clicked, this, [this, i] { ShowModuleInformation(ctx_, i + 1, this); });
    grid->addWidget(show, row, 0);
    grid->addWidget(picker, row, 1);
    grid->addWidget(name, row, 2);
    grid->addWidget(colorButtons_[size_t(i)], row, 3);
    grid->addWidget(info, row, 4);
    databaseControls_.push_back(picker);
  }
  grid->addWidget(new QLabel("Background", box), 5, 0, 1, 3);
  grid->addWidget(colorButtons_[disp::kPenBackground], 5, 3);
  grid->addWidget(new QLabel("Chart", box), 6, 0, 1, 3);
  grid->addWidget(colorButtons_[disp::kPenChart], 6, 3);
  v->addWidget(box);
  auto* row = new QHBoxLayout;
  QPushButton* reload = MakeButton("_Reload Modules", "Reloads the compared modules");
  connect(reload, &QPushButton::clicked, this, &ModuleBaseWindow::ReloadModules);
  databaseControls_.push_back(reload);
  row->addWidget(reload);
  row->addStretch(1);
  v->addLayout(row);
  v->addStretch(1);
  return page;
}

void ModuleBaseWindow::RefreshLists() {
  if (transferRunning()) return;  // the worker owns the lists
  FillList(serverList_, ctx_.modules.server);
  FillList(localList_, ctx_.modules.local);
  for (int i = 0; i < 4; ++i) {
    QComboBox* picker = pickers_[size_t(i)];
    picker->clear();
    const std::string_view path = ctx_.display.slotPath(i);
    for (const IndexEntry& e : ctx_.modules.local) {
      picker->addItem(PickerText(e), Latin1(e.serial()));
      if (ctx_.modules.slotLoaded[size_t(i)] != 0 && path == LocalModulePath(e.serial()))
        picker->setCurrentIndex(picker->count() - 1);
    }
    if (ctx_.modules.slotLoaded[size_t(i)] == 0) picker->setCurrentIndex(-1);
  }
}

void ModuleBaseWindow::ShowDisplayRecord() {
  updating_ = true;
  const DisplayControls c = DisplayControlsFrom(ctx_.display);
  const ChartState s = ChartStateFromDisplay(ctx_.display);  // out-of-range values: first entries
  master_->setCurrentIndex(s.masterSection - 1);
  slave_->clear();
  for (int k = 1; k <= SlaveEntryCount(s.masterSection); ++k) slave_->addItem(Latin1(SlaveEntry(s.masterSection, k)));
  slave_->setCurrentIndex(s.slaveSection - 1);
  drawMode_->button(s.drawMode - 1)->setChecked(true);
  splineMode_->button(s.splineMode - 1)->setChecked(true);
  showMode_->button(s.showMode - 1)->setChecked(true);
  fine_->setValue(s.fineScale);
  rough_->setValue(s.roughScale);
  for (int i = 0; i < 4; ++i) {
    shows_[size_t(i)]->setChecked(c.showModule[size_t(i)]);
    chartShows_[size_t(i)]->setChecked(c.showModule[size_t(i)]);
    slotNames_[size_t(i)]->setText(Latin1(c.slotLabel[size_t(i)]));
  }
  updating_ = false;
  UpdateColorButtons();
  UpdateChart();
}

void ModuleBaseWindow::ControlsToDisplay() {
  if (updating_) return;
  DisplayControls c;
  c.masterSection = std::max(0, master_->currentIndex());
  c.slaveSection = std::max(0, slave_->currentIndex());
  c.drawMode = std::max(0, drawMode_->checkedId());
  c.splineMode = std::max(0, splineMode_->checkedId());
  c.showMode = std::max(0, showMode_->checkedId());
  c.fineScale = fine_->value();
  c.roughScale = rough_->value();
  for (int i = 0; i < 4; ++i) c.showModule[size_t(i)] = chartShows_[size_t(i)]->isChecked();
  // Slot labels stay empty: the slots' names are kept by the module base.
  ReadDisplaySettings(ctx_.display, c);
  UpdateChart();
}

void ModuleBaseWindow::UpdateChart() {
  ChartState s = ChartStateFromDisplay(ctx_.display);
  s.uncapped = uncapped_->isChecked();
  chart_->setChartState(s);
  chart_->setSources(ChartSourcesOf(ctx_));
  chart_->setColors(ChartPalette(ctx_.display));
  // Seek on Device and SpinUP Device draw absolute; choices without "AVG" draw blocks.
  showBox_->setEnabled(ShowModeEnabled(s));
  drawBox_->setEnabled(DrawModeEnabled(s));
}

void ModuleBaseWindow::UpdateColorButtons() {
  const auto palette = ChartPalette(ctx_.display);
  for (size_t role = 0; role < colorButtons_.size(); ++role) {
    QPixmap swatch(28, 14);
    swatch.fill(QColor(palette[role].r, palette[role].g, palette[role].b));
    QPainter p(&swatch);
    p.setPen(Qt::black);
    p.drawRect(0, 0, swatch.width() - 1, swatch.height() - 1);
    p.end();
    colorButtons_[role]->setIcon(QIcon(swatch));
    colorButtons_[role]->setIconSize(swatch.size());
  }
}

void ModuleBaseWindow::setPenColor(int role, const QColor& color) {
  if (role < 0 || role >= int(disp::kPenCount) || !color.isValid()) return;
  ctx_.display.pens[size_t(role)] = RgbPenText(Component(color.red()), Component(color.green()), Component(color.blue()));
  UpdateColorButtons();
  UpdateChart();
}

void ModuleBaseWindow::PickColor(int role) {
  const auto palette = ChartPalette(ctx_.display);
  const Rgb now = palette[size_t(role)];
  const QColor chosen = QColorDialog::getColor(QColor(now.r, now.g, now.b), this, colorButtons_[size_t(role)]->toolTip());
  setPenColor(role, chosen);
}

QString ModuleBaseWindow::stateText() const { return state_->property("plain").toString(); }

void ModuleBaseWindow::ShowState(const QByteArray& latin1) {
  const std::string_view t(latin1.constData(), size_t(latin1.size()));
  state_->setText(gui::RichText(t));
  state_->setProperty("plain", gui::PlainText(t));
}

void ModuleBaseWindow::SetBusy(bool busy) {
  for (QWidget* w : databaseControls_) w->setEnabled(!busy);
  stop_->setEnabled(busy);
  for (QTreeView* list : {serverList_, localList_}) {
    if (busy) list->setCursor(Qt::BusyCursor);
    else list->unsetCursor();
  }
  Q_EMIT busyChanged(busy);
}

std::string ModuleBaseWindow::ActiveSerial(QTreeView* list) const {
  const QModelIndex current = list->currentIndex();
  return current.isValid() ? current.data(Qt::UserRole).toString().toStdString() : std::string();
}

bool ModuleBaseWindow::SelectSerial(QTreeView* list, const QString& serial) {
  QAbstractItemModel* m = list->model();
  for (int row = 0; row < m->rowCount(); ++row) {
    const QModelIndex index = m->index(row, 0);
    if (index.data(Qt::UserRole).toString() == serial) {
      list->setCurrentIndex(index);
      return true;
    }
  }
  return false;
}

bool ModuleBaseWindow::chooseSlotModule(int slot, const QString& serial) {
  if (slot < 1 || slot > 4 || transferRunning()) return false;
  const IndexEntry* entry = FindLocal(ctx_, serial.toStdString());
  bool ok = false;
  if (entry) {
    const IndexEntry chosen = *entry;
    ok = ChooseSlotModule(ctx_, slot, chosen) == ModuleRead::Ok;
  }
  slotNames_[size_t(slot - 1)]->setText(Latin1(ctx_.display.slotName(slot - 1)));
  RefreshLists();
  UpdateChart();
  return ok;
}

void ModuleBaseWindow::ReloadModules() {
  if (transferRunning()) return;
  ReloadSlots(ctx_);
  ShowDisplayRecord();
  RefreshLists();
}

// Local operations: short, on the GUI thread; the pressed button is off
// until the operation has returned (its requests included).
namespace {
struct ButtonOff {
  explicit ButtonOff(QPushButton* b) : button(b) {
    if (button) button->setEnabled(false);
  }
  ~ButtonOff() {
    if (button) button->setEnabled(true);
  }
  QPushButton* button;
};
}  // namespace

void ModuleBaseWindow::Import() {
  if (transferRunning()) return;
  ButtonOff off(button("_Import"));
  const QString drawer = ChooserDrawer(ctx_, ctx_.modules.importDrawer);
  const QStringList chosen = choosers_.importFiles(this, drawer);
  std::vector<std::string> files;
  for (const QString& f : chosen) {
    const std::string path = QFileInfo(f).absoluteFilePath().toStdString();
    // A colon would read as a volume name.
    if (path.find(':') != std::string::npos) {
      ctx_.requester.Request(kErrorTitle, "A file name with ':' cannot be imported:\n" + path, "Ok");
      continue;
    }
    files.push_back(path);
  }
  if (files.empty()) return;
  for (const ImportOutcome& o : ImportModules(ctx_, files)) {
    // The refusals with a message of their own (length, validity, duplicate)
    // have shown it; the silent failures are said here.
    if (o.kind == ImportOutcome::Unreadable)
      ctx_.requester.Request(kErrorTitle, "Can't read the module file\n" + o.path, "Ok");
    else if (o.kind == ImportOutcome::WriteFailed)
      ctx_.requester.Request(kErrorTitle, "Can't write the module into the local database!", "Ok");
    if (!o.indexSaved) ctx_.requester.Request(kErrorTitle, "Can't save the local database index!", "Ok");
  }
  RefreshLists();
}

void ModuleBaseWindow::Export() {
  if (transferRunning()) return;
  const std::string serial = ActiveSerial(localList_);
  if (serial.empty()) return;
  ButtonOff off(button("_Export"));
  const QString drawer = ChooserDrawer(ctx_, ctx_.modules.exportDrawer);
  const QString chosen = choosers_.exportFile(this, drawer, QString::fromStdString(serial) + ".dbe");
  if (chosen.isEmpty()) return;
  const std::string path = QFileInfo(chosen).absoluteFilePath().toStdString();
  if (path.find(':') != std::string::npos) {
    ctx_.requester.Request(kErrorTitle, "A file name with ':' cannot be used:\n" + path, "Ok");
    return;
  }
  switch (ExportModule(ctx_, serial, path)) {
    case ExportResult::Exported: break;
    case ExportResult::ReadFailed:
      ctx_.requester.Request(kErrorTitle, "Can't load module from disk.\n\nThe database seems corrupt!", "Damn");
      break;
    case ExportResult::WriteFailed: ctx_.requester.Request(kErrorTitle, "Can't write the module to\n" + path, "Ok"); break;
    case ExportResult::NotLocal:
    case ExportResult::InvalidSerial: break;  // the list holds only Local modules with sound serials
  }
}

void ModuleBaseWindow::Remove() {
  if (transferRunning()) return;
  const std::string serial = ActiveSerial(localList_);
  if (serial.empty()) return;
  ButtonOff off(button("_Remove"));
  if (RemoveModule(ctx_, serial) == RemoveResult::IndexNotSaved)
    ctx_.requester.Request(kErrorTitle, "Can't save the local database index!", "Ok");
  RefreshLists();
  ShowDisplayRecord();  // a removed module leaves its slot and label empty
}

void ModuleBaseWindow::RetrieveList() { StartTransfer(Job::FetchList, {}); }

void ModuleBaseWindow::Download() {
  const std::string serial = ActiveSerial(serverList_);
  if (serial.empty() || transferRunning()) return;
  // Asked here, on the GUI thread, before any connection.
  if (const RuleOutcome may = MayDownload(ctx_, serial); !may) {
    ctx_.requester.Request(kErrorTitle, may.reason, "Ok");
    return;
  }
  StartTransfer(Job::Download, serial);
}

void ModuleBaseWindow::Upload() {
  const std::string serial = ActiveSerial(localList_);
  if (serial.empty() || transferRunning()) return;
  if (const RuleOutcome may = MayUpload(ctx_, serial); !may) {
    ctx_.requester.Request(kErrorTitle, may.reason, "Ok");
    return;
  }
  StartTransfer(Job::Upload, serial);
}

void ModuleBaseWindow::StartTransfer(Job job, const std::string& serial) {
  if (transferRunning()) return;  // one transfer at a time
  IndexEntry entry;
  if (job == Job::Download) {
    bool found = false;
    for (const IndexEntry& e : ctx_.modules.server)
      if (e.serial() == serial) {
        entry = e;
        found = true;
      }
    if (!found) return;
  }
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  job_ = job;
  jobSerial_ = serial;
  failed_ = false;
  SetBusy(true);
  ShowState({});
  Context* ctx = &ctx_;
  const int timeout = timeoutMs_;
  auto cancel = cancel_;
  worker_ = std::thread([this, ctx, job, serial, entry, timeout, cancel] {
    SocketOptions options;
    options.timeoutMs = timeout;
    options.cancel = cancel.get();
    bool ok = false;
    bool failed = false;  // a failure the state line explains (not a refusal with its own message)
    {
      LinuxSockets sockets(options);
      SignalStateLine state([this](const QByteArray& text) { Q_EMIT workerState(text); });
      Network net{sockets, state};
      switch (job) {
        case Job::FetchList:
          ok = RetrieveServerList(*ctx, net);
          failed = !ok;
          break;
        case Job::Download: {
          const DownloadResult r = DownloadModule(*ctx, net, entry);
          ok = r == DownloadResult::Downloaded;
          failed = r == DownloadResult::Failed;
          break;
        }
        case Job::Upload: {
          const UploadResult r = UploadModule(*ctx, net, serial);
          ok = r == UploadResult::Uploaded;
          failed = r == UploadResult::Failed;
          break;
        }
      }
    }
    failed_ = failed && !cancel->load();
    Q_EMIT workerDone(ok);
  });
}

void ModuleBaseWindow::TransferDone(bool ok) {
  if (worker_.joinable()) worker_.join();
  if (destroying_) return;
  SetBusy(false);
  RefreshLists();
  UpdateChart();
  if (failed_) {
    // Which transfer failed, and the state line's reason.
    std::string what = job_ == Job::FetchList ? std::string("Retrieving the server list")
                       : job_ == Job::Download ? "Downloading the module '" + jobSerial_ + "'"
                                               : "Uploading the module '" + jobSerial_ + "'";
    std::string why;
    (void)gui::ToLatin1(stateText(), why);
    ctx_.requester.Request(kErrorTitle, what + " failed." + (why.empty() ? std::string() : "\n\n" + why), "Ok");
  }
  Q_EMIT transferFinished(ok);
}

void ModuleBaseWindow::refreshFromContext() {
  if (transferRunning()) return;
  RefreshLists();
  ShowDisplayRecord();
}

void ModuleBaseWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous() || transferRunning()) return;
  // Opening the window loads the compared modules again and shows the
  // display record.
  ReloadSlots(ctx_);
  RefreshLists();
  ShowDisplayRecord();
}

void ModuleBaseWindow::closeEvent(QCloseEvent* event) {
  // A transfer ends with the window: cancelled, its thread finishes on its
  // own and its result is still taken into the lists.
  if (transferRunning()) cancel_->store(true);
  ControlsToDisplay();
  for (QWidget* w : findChildren<QDialog*>()) w->close();
  event->accept();
}

ModuleBaseWindow* OpenModuleBase(Context& ctx, QWidget* parent) {
  ModuleBaseWindow* w = parent ? parent->findChild<ModuleBaseWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!w) w = new ModuleBaseWindow(ctx, parent);
  w->show();
  w->raise();
  w->activateWindow();
  return w;
}

}  // namespace kr
