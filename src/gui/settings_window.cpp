#include "gui/settings_window.h"

#include <QCheckBox>
#include <QApplication>
#include <QWheelEvent>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <functional>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QValidator>
#include <QVBoxLayout>

#include "records/catalogue.h"
#include "run/sections.h"
#include "gui/desktop_text.h"
#include "gui/main_window.h"
#include "platform/linux/linux_partition.h"
#include "settings/config_files.h"
#include "shell/commands.h"
#include "shell/make_module.h"
#include "sysinfo/hardware_tables.h"
#include "util/latin1.h"

namespace kr::gui {
namespace {

// Text fields take only characters the Latin-1 settings file can hold, and
// no control characters.
// A refused character outside Latin-1 is reported through `refused` (the
// window shows its hint).
class Latin1Validator : public QValidator {
 public:
  explicit Latin1Validator(QObject* parent, std::function<void()> refused)
      : QValidator(parent), refused_(std::move(refused)) {}
  State validate(QString& s, int&) const override {
    for (QChar c : s) {
      if (c.unicode() > 0xFF) {
        if (refused_) refused_();
        return Invalid;
      }
      if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0)) return Invalid;
    }
    return Acceptable;
  }

 private:
  std::function<void()> refused_;
};

// Sliders, spin boxes and choosers take the mouse wheel only when they have
// the focus; otherwise the wheel scrolls the page they are on.
class WheelGuard : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() != QEvent::Wheel) return false;
    auto* w = static_cast<QWidget*>(o);
    if (w->hasFocus()) return false;
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
      if (auto* area = qobject_cast<QScrollArea*>(p)) {
        // Scrolled here (the area would hand an event back to its child).
        const QPoint delta = static_cast<QWheelEvent*>(e)->angleDelta();
        QScrollBar* bar = delta.y() != 0 ? area->verticalScrollBar() : area->horizontalScrollBar();
        const int notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120;
        bar->setValue(bar->value() - notches * QApplication::wheelScrollLines() * bar->singleStep());
        break;
      }
    return true;
  }
};

// The hint of the settings window being built (its fields keep a copy).
std::function<void()> gRefused;

QLineEdit* Field(QWidget* parent, size_t limit, const char* help, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setMaxLength(int(limit));
  e->setValidator(new Latin1Validator(e, gRefused));
  if (help) e->setToolTip(FromLatin1(help));
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

std::string Latin1Of(const QString& s) {
  std::string out;
  if (ToLatin1(s, out)) return out;
  // Only a program can put such text into a field; what Latin-1 cannot
  // hold is left out.
  out.clear();
  for (QChar c : s)
    if (c.unicode() <= 0xFF) out += char(c.unicode());
  return out;
}

QCheckBox* Check(QWidget* parent, const QString& text, const char* help = nullptr) {
  auto* c = new QCheckBox(text, parent);
  if (help) c->setToolTip(FromLatin1(help));
  c->setObjectName(text);
  return c;
}


}  // namespace

ValueSlider::ValueSlider(QWidget* parent, Range range, const QString& suffix) : QWidget(parent), suffix_(suffix) {
  auto* l = new QHBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setRange(range.min, range.max);
  slider_->setMinimumWidth(70);
  label_ = new QLabel(this);
  label_->setMinimumWidth(QFontMetrics(label_->font()).horizontalAdvance(QStringLiteral("00000")));
  label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  l->addWidget(slider_, 1);
  l->addWidget(label_);
  connect(slider_, &QSlider::valueChanged, this, [this](int v) { label_->setText(QString::number(v) + suffix_); });
  label_->setText(QString::number(slider_->value()) + suffix_);
}
int ValueSlider::value() const { return slider_->value(); }
QString ValueSlider::text() const { return label_->text(); }
void ValueSlider::setValue(int v) {
  slider_->setValue(v);
  label_->setText(QString::number(slider_->value()) + suffix_);
}

SettingsWindow::SettingsWindow(Context& ctx) : QWidget(nullptr, Qt::Window), ctx_(ctx) {
  setObjectName(QStringLiteral("Settings"));
  setWindowTitle(WindowTitle("Settings"));
  gRefused = [w = QPointer<SettingsWindow>(this)] {
    if (w) w->ShowLatin1Hint();
  };
  auto* layout = new QVBoxLayout(this);
  pages = new QTabWidget(this);
  pages->addTab(BuildGeneral(), QStringLiteral("General"));
  pages->addTab(BuildProcessor(), QStringLiteral("Processor"));
  pages->addTab(BuildMemory(), QStringLiteral("Memory"));
  pages->addTab(BuildDrive(), QStringLiteral("Hard Disk"));
  layout->addWidget(pages, 1);
  auto* row = new QHBoxLayout;
  save = MakeButton(this, "_Save", "Save and use the current settings");
  use = MakeButton(this, "_Use", "Use the current settings but don\xB4t save");
  cancel = MakeButton(this, "_Cancel", "Cancel the current settings");
  row->addWidget(save);
  row->addStretch(1);
  row->addWidget(use);
  row->addStretch(1);
  row->addWidget(cancel);
  layout->addLayout(row);
  latin1Hint = new QLabel(
      QStringLiteral("Only Latin-1 characters can be stored in the settings: the character was refused."), this);
  latin1Hint->setObjectName(QStringLiteral("latin1Hint"));
  latin1Hint->setWordWrap(true);
  {
    QFont f = latin1Hint->font();
    f.setBold(true);
    latin1Hint->setFont(f);
  }
  latin1Hint->setVisible(false);
  layout->insertWidget(1, latin1Hint);
  hintTimer_ = new QTimer(this);
  hintTimer_->setSingleShot(true);
  hintTimer_->setInterval(6000);
  connect(hintTimer_, &QTimer::timeout, latin1Hint, &QWidget::hide);
  auto* guard = new WheelGuard(this);
  for (QWidget* w : findChildren<QWidget*>()) {
    if (!qobject_cast<QAbstractSlider*>(w) && !qobject_cast<QAbstractSpinBox*>(w) && !qobject_cast<QComboBox*>(w))
      continue;
    w->setFocusPolicy(Qt::StrongFocus);
    w->installEventFilter(guard);
  }
  // Escape is "_Cancel" (refused on the first run, like the close gadget).
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] { Cancel(); });
  connect(save, &QPushButton::clicked, this, [this] { Save(); });
  connect(use, &QPushButton::clicked, this, [this] { Use(); });
  connect(cancel, &QPushButton::clicked, this, [this] { Cancel(); });
}

QWidget* SettingsWindow::BuildGeneral() {
  auto* page = new QWidget;
  auto* columns = new QHBoxLayout(page);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);

  auto* personal = new QGroupBox(QStringLiteral("Personal"), page);
  auto* pf = new QFormLayout(personal);
  userName = Field(personal, limit::kName, "Enter your nick-/username", "Username");
  realName = Field(personal, limit::kName, "Enter your realname", "Realname");
  location = Field(personal, limit::kName, "Enter your location", "Location");
  email = Field(personal, limit::kEmail, "Enter your E-Mail address", "E-Mail");
  smtpServer = Field(personal, limit::kSmtp, "Enter YOUR Mail-/SMTP-Server.\nThis is needed to send/upload your module.",
                     "SMTP server");
  smtpPort = new QSpinBox(personal);
  smtpPort->setRange(kSmtpPortRange.min, kSmtpPortRange.max);
  smtpPort->setToolTip(QStringLiteral("Enter the port of your SMTP-Server.\nDefault is 25."));
  smtpPort->setObjectName(QStringLiteral("SMTP port"));
  homepage = Field(personal, limit::kPath,
                   "Enter the address of your homepage, if you have one,\nwith its \"http://\" in front", "Homepage");
  pf->addRow(QStringLiteral("Username:"), userName);
  pf->addRow(QStringLiteral("Realname:"), realName);
  pf->addRow(QStringLiteral("Location:"), location);
  pf->addRow(QStringLiteral("E-Mail:"), email);
  pf->addRow(QStringLiteral("SMTP server:"), smtpServer);
  pf->addRow(QStringLiteral("SMTP port:"), smtpPort);
  pf->addRow(QStringLiteral("Homepage:"), homepage);
  left->addWidget(personal);

  auto* hardware = new QGroupBox(QStringLiteral("Hardware"), page);
  auto* hg = new QGridLayout(hardware);
  static const char* const kGroups[4] = {"Amiga Model", "Busboard", "Accelerator", "SCSI/IDE Controler"};
  static const char* const kOtherHelp[4] = {
      "Enter your model if it\xB4s not in the list", "Enter your busboard if it\xB4s not in the list",
      "Enter your accelerator if he\xB4s not in the list", "Enter your controler if he\xB4s not in the list"};
  for (int g = 0; g < 4; ++g) {
    auto* box = new QGroupBox(QString::fromLatin1(kGroups[g]), hardware);
    auto* f = new QFormLayout(box);
    vendor[size_t(g)] = new QComboBox(box);
    vendor[size_t(g)]->setObjectName(QString::fromLatin1(kGroups[g]) + QStringLiteral(" Vendor"));
    for (int v = 0; v < VendorCount(g); ++v) vendor[size_t(g)]->addItem(FromLatin1(VendorName(g, v)));
    model[size_t(g)] = new QComboBox(box);
    model[size_t(g)]->setObjectName(QString::fromLatin1(kGroups[g]) + QStringLiteral(" Model"));
    other[size_t(g)] = Field(box, limit::kOther, kOtherHelp[g], kGroups[g]);
    f->addRow(QStringLiteral("Vendor:"), vendor[size_t(g)]);
    f->addRow(QStringLiteral("Model:"), model[size_t(g)]);
    f->addRow(QStringLiteral("Other:"), other[size_t(g)]);
    hg->addWidget(box, g / 2, g % 2);
    connect(vendor[size_t(g)], &QComboBox::currentIndexChanged, this, [this, g](int) {
      if (filling_) return;
      FillModels(g, 0);
      UpdateEnabling();
    });
  }
  overclocked = Check(hardware, QStringLiteral("&Overclocked"), "Check this if you are use a overclocked processor");
  hg->addWidget(overclocked, 2, 0, 1, 2);
  left->addWidget(hardware);
  left->addStretch(1);

  auto* report = new QGroupBox(QStringLiteral("Benchmark Report"), page);
  auto* rl = new QGridLayout(report);
  reportEnabled = Check(report, QStringLiteral("Write a report"));
  reportFile = Field(report, limit::kPath, "Here you can define a output where the\nbenchmarks will be reported/loged",
                     "Benchmark-Report");
  pickReport = new QPushButton(QStringLiteral("\u2026"), report);
  pickReport->setToolTip(QStringLiteral("Select File for Benchmark-Report"));
  pickReport->setObjectName(QStringLiteral("pickReport"));
  pickReport->setFixedWidth(pickReport->fontMetrics().horizontalAdvance(QStringLiteral("\u2026")) + 24);
  makeReportName = MakeButton(report, "Make", "Makes a filename of the current date&time");
  rl->addWidget(reportEnabled, 0, 0, 1, 3);
  rl->addWidget(reportFile, 1, 0);
  rl->addWidget(pickReport, 1, 1);
  rl->addWidget(makeReportName, 1, 2);
  rl->setColumnStretch(0, 1);
  right->addWidget(report);

  auto* errors = new QGroupBox(QStringLiteral("Errorlog"), page);
  auto* el = new QGridLayout(errors);
  errorLogEnabled = Check(errors, QStringLiteral("Keep an errorlog"));
  errorLogOutput = Field(errors, limit::kPath, "Here you can define a output for the errorlog", "Errorlog");
  pickErrorLog = new QPushButton(QStringLiteral("\u2026"), errors);
  pickErrorLog->setToolTip(QStringLiteral("Select File for Error-Report"));
  pickErrorLog->setObjectName(QStringLiteral("pickErrorLog"));
  pickErrorLog->setFixedWidth(pickErrorLog->fontMetrics().horizontalAdvance(QStringLiteral("\u2026")) + 24);
  defaultErrorLog = MakeButton(errors, "Default", "Insert default errorlog-output");
  appendErrorLog = Check(errors, QStringLiteral("Append errorlog to report"),
                         "If checked, any errors that may apear while\nbenchmarking will be added to the report");
  el->addWidget(errorLogEnabled, 0, 0, 1, 3);
  el->addWidget(errorLogOutput, 1, 0);
  el->addWidget(pickErrorLog, 1, 1);
  el->addWidget(defaultErrorLog, 1, 2);
  el->addWidget(appendErrorLog, 2, 0, 1, 3);
  el->setColumnStretch(0, 1);
  right->addWidget(errors);

  auto* misc = new QGroupBox(QStringLiteral("Misc"), page);
  auto* ml = new QVBoxLayout(misc);
  flushResults = Check(misc, QStringLiteral("&Flush results between tests"),
                       "If checked, KelvaRANK will flush the last results out of memory before\na new benchmark will "
                       "started");
  saveAtExit = Check(misc, QStringLiteral("Save settings at &exit"), "Autosaves current settings at exit");
  ml->addWidget(flushResults);
  ml->addWidget(saveAtExit);
  right->addWidget(misc);

  auto* commentBox = new QGroupBox(QStringLiteral("Module Comment"), page);
  auto* cl = new QVBoxLayout(commentBox);
  comment = new QPlainTextEdit(commentBox);
  comment->setObjectName(QStringLiteral("Module Comment"));
  comment->setToolTip(QStringLiteral("Enter a comment here witch would be save to your module if you make one"));
  comment->setMinimumHeight(QFontMetrics(comment->font()).lineSpacing() * 4);
  cl->addWidget(comment);
  right->addWidget(commentBox, 1);
  // The comment keeps only what Latin-1 holds (its length is checked by the
  // validation, with its message).
  connect(comment, &QPlainTextEdit::textChanged, this, [this] {
    QString t = comment->toPlainText();
    std::string latin1;
    if (ToLatin1(t, latin1)) return;
    ShowLatin1Hint();
    QString kept = FromLatin1(Latin1Of(t));
    comment->blockSignals(true);
    comment->setPlainText(kept);
    comment->moveCursor(QTextCursor::End);
    comment->blockSignals(false);
  });

  connect(makeReportName, &QPushButton::clicked, this, [this] {
    reportFile->setText(FromLatin1(MakeStamp(ctx_, StampKind::ReportName)));
  });
  connect(defaultErrorLog, &QPushButton::clicked, this,
          [this] { errorLogOutput->setText(FromLatin1(kDefaultErrorLogOutput)); });
  connect(pickReport, &QPushButton::clicked, this, [this] { OpenPicker(true); });
  connect(pickErrorLog, &QPushButton::clicked, this, [this] { OpenPicker(false); });
  return page;
}

QWidget* SettingsWindow::PageButtons(int pageIndex) {
  auto* w = new QWidget;
  auto* l = new QHBoxLayout(w);
  all[size_t(pageIndex)] = MakeButton(w, "_All", "Enable all tests in this page");
  none[size_t(pageIndex)] = MakeButton(w, "_None", "Disable all tests in this page");
  defaults[size_t(pageIndex)] = MakeButton(w, "_Default", "Set the defaults in this page");
  l->addWidget(all[size_t(pageIndex)]);
  l->addStretch(1);
  l->addWidget(none[size_t(pageIndex)]);
  l->addStretch(1);
  l->addWidget(defaults[size_t(pageIndex)]);
  auto setAll = [this, pageIndex](bool on) {
    filling_ = true;
    if (pageIndex == 0)
      for (int k = 1; k <= 10; ++k) procEnabled[size_t(k)]->setChecked(on);
    if (pageIndex == 1)
      for (QCheckBox* c : memEnabled) c->setChecked(on);
    if (pageIndex == 2)
      for (int i = 0; i < int(driveEnabled.size()); ++i)
        if (!on || BulkEnableDriveTest(i)) driveEnabled[size_t(i)]->setChecked(on);
    filling_ = false;
    UpdateEnabling();
  };
  connect(all[size_t(pageIndex)], &QPushButton::clicked, this, [setAll] { setAll(true); });
  connect(none[size_t(pageIndex)], &QPushButton::clicked, this, [setAll] { setAll(false); });
  connect(defaults[size_t(pageIndex)], &QPushButton::clicked, this, [this, pageIndex] {
    const Context& ctx = ctx_;
    SettingsForm f;
    ReadForm(f);
    static const ResetScope kScopes[3] = {ResetScope::Processor, ResetScope::Memory, ResetScope::Drive};
    ResetForm(f, kScopes[pageIndex], ctx.run.amithlon != 0 || ctx.run.noChipMemory != 0);
    ShowForm(f);
  });
  return w;
}

QWidget* SettingsWindow::BuildProcessor() {
  auto* page = new QWidget;
  auto* l = new QVBoxLayout(page);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("CPU Cache")), 0, 1, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Multitasking")), 0, 2, Qt::AlignHCenter);
  for (int k = 1; k <= 10; ++k) {
    size_t i = size_t(k);
    procEnabled[i] = Check(page, QString::fromLatin1(ProcessorEntry(k).pageLabel));
    procCache[i] = new QCheckBox(page);
    procMultitasking[i] = new QCheckBox(page);
    procCache[i]->setObjectName(QStringLiteral("cache%1").arg(k));
    procMultitasking[i]->setObjectName(QStringLiteral("multitasking%1").arg(k));
    grid->addWidget(procEnabled[i], k, 0);
    grid->addWidget(procCache[i], k, 1, Qt::AlignHCenter);
    grid->addWidget(procMultitasking[i], k, 2, Qt::AlignHCenter);
    connect(procEnabled[i], &QCheckBox::toggled, this, [this] {
      if (!filling_) UpdateEnabling();
    });
  }
  grid->setColumnStretch(0, 1);
  l->addLayout(grid);
  l->addStretch(1);
  l->addWidget(PageButtons(0));
  return page;
}

QWidget* SettingsWindow::BuildMemory() {
  auto* page = new QWidget;
  auto* l = new QVBoxLayout(page);
  auto* scroll = new QScrollArea(page);
  scroll->setWidgetResizable(true);
  auto* inner = new QWidget;
  auto* grid = new QGridLayout(inner);
  const char* const kHeads[] = {"CPU Cache", "Multitasking", "Loopsize", "Start", "Stop"};
  for (int c = 0; c < 5; ++c) grid->addWidget(new QLabel(QString::fromLatin1(kHeads[c])), 0, c + 1, Qt::AlignHCenter);
  for (int p = 0; p < 24; ++p) {
    size_t i = size_t(p);
    memEnabled[i] = Check(inner, QString::fromLatin1(MemoryEntry(p).pageLabel));
    memCache[i] = new QCheckBox(inner);
    memMultitasking[i] = new QCheckBox(inner);
    memLoopSize[i] = new ValueSlider(inner, MemLoopSizeRange(p));
    memStart[i] = new ValueSlider(inner, MemSweepRange(p));
    memStop[i] = new ValueSlider(inner, MemSweepRange(p));
    memCache[i]->setObjectName(QStringLiteral("memcache%1").arg(p));
    memStart[i]->setObjectName(QStringLiteral("memstart%1").arg(p));
    memStop[i]->setObjectName(QStringLiteral("memstop%1").arg(p));
    grid->addWidget(memEnabled[i], p + 1, 0);
    grid->addWidget(memCache[i], p + 1, 1, Qt::AlignHCenter);
    grid->addWidget(memMultitasking[i], p + 1, 2, Qt::AlignHCenter);
    grid->addWidget(memLoopSize[i], p + 1, 3);
    grid->addWidget(memStart[i], p + 1, 4);
    grid->addWidget(memStop[i], p + 1, 5);
    connect(memEnabled[i], &QCheckBox::toggled, this, [this] {
      if (!filling_) UpdateEnabling();
    });
  }
  scroll->setWidget(inner);
  l->addWidget(scroll, 1);
  l->addWidget(PageButtons(1));
  return page;
}

QWidget* SettingsWindow::BuildDrive() {
  auto* page = new QWidget;
  auto* l = new QVBoxLayout(page);

  auto* dosBox = new QGroupBox(QStringLiteral("dos.library"), page);
  auto* dl = new QGridLayout(dosBox);
  driveEnabled[drive_switch::kFileSystem] = Check(dosBox, QStringLiteral("File system operations"));
  driveCount[0] = new ValueSlider(dosBox, kDriveFilesRange, QStringLiteral("000"));
  driveCount[0]->setObjectName(QStringLiteral("Files"));
  dl->addWidget(driveEnabled[drive_switch::kFileSystem], 0, 0);
  dl->addWidget(new QLabel(QStringLiteral("Files")), 0, 1, Qt::AlignRight);
  dl->addWidget(driveCount[0], 0, 2, 1, 2);
  auto* cacheRow = new QGridLayout;
  cacheRow->addWidget(new QLabel(QStringLiteral("CPU Cache:")), 0, 0, 2, 1);
  for (int d = 3; d <= 14; ++d) {
    const CatalogueEntry& e = DriveEntry(d);
    auto* c = new QCheckBox(QString::fromLatin1(e.pageLabel), dosBox);
    c->setToolTip(QString::fromLatin1(e.label));
    c->setObjectName(QString::fromLatin1(e.label));
    driveCache[size_t(e.driveCache)] = c;
    cacheRow->addWidget(c, (d - 3) / 6, 1 + (d - 3) % 6);
  }
  dl->addLayout(cacheRow, 1, 0, 1, 6);

  // The rows of the tests that have a switch of their own.
  auto sweepRows = [this](QGroupBox* box, QGridLayout* g, int firstRow, int fromTest, int toTest) {
    const char* const kHeads[] = {"CPU Cache", "Loopsize", "Start", "Stop"};
    for (int c = 0; c < 4; ++c) g->addWidget(new QLabel(QString::fromLatin1(kHeads[c])), firstRow, c + 1, Qt::AlignHCenter);
    int row = firstRow + 1;
    for (int d = fromTest; d <= toTest; ++d) {
      const CatalogueEntry& e = DriveEntry(d);
      auto* en = new QCheckBox(QString::fromLatin1(e.pageLabel), box);
      en->setToolTip(QString::fromLatin1(e.label));
      en->setObjectName(QString::fromLatin1(e.label));
      driveEnabled[size_t(e.driveSwitch)] = en;
      auto* cache = new QCheckBox(box);
      cache->setObjectName(QString::fromLatin1(e.label) + QStringLiteral(" cache"));
      driveCache[size_t(e.driveCache)] = cache;
      g->addWidget(en, row, 0);
      g->addWidget(cache, row, 1, Qt::AlignHCenter);
      if (e.driveSweep >= 0) {
        size_t s = size_t(e.driveSweep);
        driveCount[s + 1] = new ValueSlider(box, kDriveLoopSizeRange);
        driveStart[s] = new ValueSlider(box, DriveSweepRange(int(s)));
        driveStop[s] = new ValueSlider(box, DriveSweepRange(int(s)));
        g->addWidget(driveCount[s + 1], row, 2);
        g->addWidget(driveStart[s], row, 3);
        g->addWidget(driveStop[s], row, 4);
      }
      connect(en, &QCheckBox::toggled, this, [this] {
        if (!filling_) UpdateEnabling();
      });
      ++row;
    }
  };
  sweepRows(dosBox, dl, 2, 1, 2);
  l->addWidget(dosBox);

  auto* devBox = new QGroupBox(QStringLiteral("Device"), page);
  auto* vl = new QGridLayout(devBox);
  sweepRows(devBox, vl, 0, 15, 18);
  l->addWidget(devBox);
  connect(driveEnabled[drive_switch::kFileSystem], &QCheckBox::toggled, this, [this] {
    if (!filling_) UpdateEnabling();
  });
  // The two tests that write to or stop the device warn when switched on.
  connect(driveEnabled[drive_switch::kWriteDevice], &QCheckBox::clicked, this, [this](bool on) {
    if (on) ShowWriteDeviceWarning(ctx_);
  });
  connect(driveEnabled[drive_switch::kSpinUp], &QCheckBox::clicked, this, [this](bool on) {
    if (on) ShowSpinUpDeviceWarning(ctx_);
  });

  auto* access = new QFormLayout;
  accessMode = new QComboBox(page);
  accessMode->addItems({QStringLiteral("Direct-SCSI"), QStringLiteral("NSD-64")});
  accessMode->setToolTip(QStringLiteral("Selects the 64bit disk-access mode"));
  accessMode->setObjectName(QStringLiteral("Accessmode"));
  partition = new QComboBox(page);
  partition->setToolTip(QStringLiteral("Here you can select the partition\nwitch is used for the hard-drive benchmarks"));
  partition->setObjectName(QStringLiteral("Partition"));
  // A chosen folder the program's paths cannot hold (a ':', a control
  // character, too long) is refused with its reason; the last one stays.
  connect(partition, &QComboBox::activated, this, [this](int index) {
    const std::string raw = PartitionAt(index);
    const std::string why = HostPathProblem(raw, limit::kPartition);
    if (why.empty()) {
      chosenPartition_ = raw;
    } else {
      ShowHint(QStringLiteral("The partition ") + PathText(raw) + QStringLiteral(" cannot be used: ") +
               QString::fromUtf8(why.data(), qsizetype(why.size())) + QLatin1Char('.'));
      const bool was = filling_;
      filling_ = true;
      SelectPartition(chosenPartition_);
      filling_ = was;
    }
    if (!filling_) UpdateEnabling();
  });
  access->addRow(QStringLiteral("Accessmode"), accessMode);
  access->addRow(QStringLiteral("Partition"), partition);
  l->addLayout(access);
  l->addStretch(1);
  l->addWidget(PageButtons(2));
  return page;
}

void SettingsWindow::FillModels(int family, int modelIndex) {
  QComboBox* m = model[size_t(family)];
  const bool was = filling_;
  filling_ = true;
  m->clear();
  int v = vendor[size_t(family)]->currentIndex();
  for (int k = 0; k < ModelCount(family, v); ++k) m->addItem(FromLatin1(ModelName(family, v, k)));
  m->setCurrentIndex(std::clamp(modelIndex, 0, std::max(0, m->count() - 1)));
  filling_ = was;
}

void SettingsWindow::FillPartitions() {
  const bool was = filling_;
  filling_ = true;
  const std::string current = PartitionAt(partition->currentIndex());
  partition->clear();
  // Host paths keep their bytes; one the settings cannot take is listed all
  // the same and refused with its reason when chosen.
  for (const PartitionChoice& c : ListPartitions())
    partition->addItem(PathText(c.path), QByteArray(c.path.data(), qsizetype(c.path.size())));
  if (!current.empty()) SelectPartition(current);
  filling_ = was;
}

std::string SettingsWindow::PartitionAt(int index) const {
  if (index < 0 || index >= partition->count()) return {};
  return partition->itemData(index).toByteArray().toStdString();
}

void SettingsWindow::SelectPartition(const std::string& raw) {
  const QByteArray bytes(raw.data(), qsizetype(raw.size()));
  int at = partition->findData(bytes);
  if (at < 0) {
    partition->insertItem(0, PathText(raw), bytes);
    at = 0;
  }
  partition->setCurrentIndex(at);
  chosenPartition_ = raw;
}

void SettingsWindow::ShowForm(const SettingsForm& f) {
  filling_ = true;
  userName->setText(FromLatin1(f.userName));
  realName->setText(FromLatin1(f.realName));
  location->setText(FromLatin1(f.location));
  email->setText(FromLatin1(f.email));
  smtpServer->setText(FromLatin1(f.smtpServer));
  smtpPort->setValue(f.smtpPort);
  homepage->setText(FromLatin1(f.homepage));
  reportFile->setText(FromLatin1(f.reportFile));
  errorLogOutput->setText(FromLatin1(f.errorLogOutput));
  reportEnabled->setChecked(f.reportEnabled);
  errorLogEnabled->setChecked(f.errorLogEnabled);
  appendErrorLog->setChecked(f.appendErrorLog);
  flushResults->setChecked(f.flushResults);
  saveAtExit->setChecked(f.saveAtExit);
  overclocked->setChecked(f.overclocked);
  for (int g = 0; g < 4; ++g) {
    const HardwareChoice& h = f.hardware[size_t(g)];
    vendor[size_t(g)]->setCurrentIndex(std::clamp(h.vendor, 0, vendor[size_t(g)]->count() - 1));
    FillModels(g, h.model);
    other[size_t(g)]->setText(FromLatin1(h.other));
  }
  comment->setPlainText(FromLatin1(f.comment));
  for (int k = 1; k <= 10; ++k) {
    size_t i = size_t(k);
    procEnabled[i]->setChecked(f.procEnabled[i]);
    procCache[i]->setChecked(f.procCache[i]);
    procMultitasking[i]->setChecked(f.procMultitasking[i]);
  }
  for (size_t p = 0; p < 24; ++p) {
    memEnabled[p]->setChecked(f.memEnabled[p]);
    memCache[p]->setChecked(f.memCache[p]);
    memMultitasking[p]->setChecked(f.memMultitasking[p]);
    memLoopSize[p]->setValue(f.memLoopSize[p]);
    memStart[p]->setValue(f.memSweepStart[p]);
    memStop[p]->setValue(f.memSweepStop[p]);
  }
  for (size_t i = 0; i < 7; ++i) driveEnabled[i]->setChecked(f.driveEnabled[i]);
  for (size_t i = 0; i < 18; ++i) driveCache[i]->setChecked(f.driveCache[i]);
  for (size_t i = 0; i < 5; ++i) driveCount[i]->setValue(f.driveCount[i]);
  for (size_t i = 0; i < 4; ++i) {
    driveStart[i]->setValue(f.driveSweepStart[i]);
    driveStop[i]->setValue(f.driveSweepStop[i]);
  }
  accessMode->setCurrentIndex(std::clamp(f.accessMode, 0, 1));
  SelectPartition(f.partition);
  filling_ = false;
  UpdateEnabling();
}

void SettingsWindow::ReadForm(SettingsForm& f) const {
  f.userName = Latin1Of(userName->text());
  f.realName = Latin1Of(realName->text());
  f.location = Latin1Of(location->text());
  f.email = Latin1Of(email->text());
  f.smtpServer = Latin1Of(smtpServer->text());
  f.smtpPort = smtpPort->value();
  f.homepage = Latin1Of(homepage->text());
  f.reportFile = Latin1Of(reportFile->text());
  f.errorLogOutput = Latin1Of(errorLogOutput->text());
  f.reportEnabled = reportEnabled->isChecked();
  f.errorLogEnabled = errorLogEnabled->isChecked();
  f.appendErrorLog = appendErrorLog->isChecked();
  f.flushResults = flushResults->isChecked();
  f.saveAtExit = saveAtExit->isChecked();
  f.overclocked = overclocked->isChecked();
  for (size_t g = 0; g < 4; ++g) {
    f.hardware[g].vendor = vendor[g]->currentIndex();
    f.hardware[g].model = std::max(0, model[g]->currentIndex());
    f.hardware[g].other = Latin1Of(other[g]->text());
  }
  f.comment = Latin1Of(comment->toPlainText());
  for (size_t k = 1; k <= 10; ++k) {
    f.procEnabled[k] = procEnabled[k]->isChecked();
    f.procCache[k] = procCache[k]->isChecked();
    f.procMultitasking[k] = procMultitasking[k]->isChecked();
  }
  for (size_t p = 0; p < 24; ++p) {
    f.memEnabled[p] = memEnabled[p]->isChecked();
    f.memCache[p] = memCache[p]->isChecked();
    f.memMultitasking[p] = memMultitasking[p]->isChecked();
    f.memLoopSize[p] = memLoopSize[p]->value();
    f.memSweepStart[p] = memStart[p]->value();
    f.memSweepStop[p] = memStop[p]->value();
  }
  for (size_t i = 0; i < 7; ++i) f.driveEnabled[i] = driveEnabled[i]->isChecked();
  for (size_t i = 0; i < 18; ++i) f.driveCache[i] = driveCache[i]->isChecked();
  for (size_t i = 0; i < 5; ++i) f.driveCount[i] = driveCount[i]->value();
  for (size_t i = 0; i < 4; ++i) {
    f.driveSweepStart[i] = driveStart[i]->value();
    f.driveSweepStop[i] = driveStop[i]->value();
  }
  f.accessMode = accessMode->currentIndex();
  f.partition = PartitionAt(partition->currentIndex());
}

void SettingsWindow::UpdateEnabling() {
  SettingsForm f;
  ReadForm(f);
  SettingsEnabling e = UpdateSettingsEnabling(f);
  for (size_t g = 0; g < 4; ++g) other[g]->setEnabled(e.other[g]);
  for (size_t k = 1; k <= 10; ++k) {
    procCache[k]->setEnabled(e.procOptions[k]);
    procMultitasking[k]->setEnabled(e.procOptions[k]);
  }
  for (size_t p = 0; p < 24; ++p) {
    for (QWidget* w : {static_cast<QWidget*>(memCache[p]), static_cast<QWidget*>(memMultitasking[p]),
                       static_cast<QWidget*>(memLoopSize[p]), static_cast<QWidget*>(memStart[p]),
                       static_cast<QWidget*>(memStop[p])})
      w->setEnabled(e.memOptions[p]);
  }
  for (int c = 0; c < 18; ++c)
    for (int i = 0; i < 7; ++i)
      if (DriveCacheBelongsTo(c, i)) driveCache[size_t(c)]->setEnabled(e.driveOptions[size_t(i)]);
  driveCount[0]->setEnabled(e.driveOptions[0]);
  static const int kSweepSwitch[4] = {1, 2, 3, 4};
  for (size_t s = 0; s < 4; ++s) {
    bool on = e.driveOptions[size_t(kSweepSwitch[s])];
    driveCount[s + 1]->setEnabled(on);
    driveStart[s]->setEnabled(on);
    driveStop[s]->setEnabled(on);
  }
}

void SettingsWindow::ShowLatin1Hint() {
  ShowHint(QStringLiteral("Only Latin-1 characters can be stored in the settings: the character was refused."));
}

void SettingsWindow::ShowHint(const QString& text) {
  latin1Hint->setText(text);
  latin1Hint->show();
  hintTimer_->start();
}

void SettingsWindow::SetFirstRun(bool on) {
  firstRun_ = on;
  use->setEnabled(!on);
  cancel->setEnabled(!on);
}

bool SettingsWindow::PickerOpen() const {
  return (reportPicker && reportPicker->isVisible()) || (errorLogPicker && errorLogPicker->isVisible());
}

void SettingsWindow::OpenPicker(bool report) {
  QPointer<QFileDialog>& slot = report ? reportPicker : errorLogPicker;
  if (slot) {
    slot->raise();
    return;
  }
  Context& ctx = ctx_;
  const QString dir = QString::fromStdString(ctx.dos.HostPath(report ? "PROGDIR:Reports" : "RAM:"));
  auto* d = new QFileDialog(this, report ? QStringLiteral("Select File for Benchmark-Report")
                                         : QStringLiteral("Select File for Error-Report"),
                            dir, QStringLiteral("*.txt"));
  d->setObjectName(report ? QStringLiteral("reportPicker") : QStringLiteral("errorLogPicker"));
  d->setAttribute(Qt::WA_DeleteOnClose);
  d->setFileMode(QFileDialog::AnyFile);
  d->setAcceptMode(QFileDialog::AcceptSave);
  d->setOption(QFileDialog::DontUseNativeDialog);
  d->setOption(QFileDialog::DontConfirmOverwrite);
  slot = d;
  connect(d, &QFileDialog::fileSelected, this, [this, report](const QString& file) {
    std::string latin1;
    std::string why;
    if (!ToLatin1(file, latin1))
      why = "has characters outside Latin-1";
    else if (const FileNameCheck check = CheckChosenFileName(latin1); !check.outcome)
      why = check.outcome.reason;
    if (!why.empty()) {
      ctx_.requester.Request(kErrorTitle,
                             "The file name\n'" + Latin1Of(file) + "'\n" + why + ".\n\nChoose another one.", "Ok");
      return;
    }
    (report ? reportFile : errorLogOutput)->setText(FromLatin1(latin1));
  });
  d->open();
}

bool SettingsWindow::Apply(bool saveFile) {
  Context& ctx = ctx_;
  ReadForm(ctx.form);
  const bool ok = ReadSettingsFromWindow(ctx);
  // The pages show what the validation left (emptied "Other:" fields) or
  // the repaired sweeps.
  ShowForm(ctx.form);
  if (!ok) return false;
  if (saveFile) (void)SaveConfig(ctx);  // a failure is in the error log; the old file stays whole
  SetFirstRun(false);
  Close();
  Q_EMIT settingsTaken();
  return true;
}

void SettingsWindow::Save() { Apply(true); }
void SettingsWindow::Use() {
  if (!firstRun_) Apply(false);
}
void SettingsWindow::Cancel() {
  if (firstRun_) return;
  ShowSettings(ctx_);
  ShowForm(ctx_.form);
  Close();
}

void SettingsWindow::Close() {
  // The rest of the program slept while the window was open.
  const bool wasOpen = isVisible();
  hide();
  if (wasOpen) Q_EMIT closed();
}

void SettingsWindow::closeEvent(QCloseEvent* e) {
  // Closing is "_Cancel"; on the first run only "_Save" leaves the window.
  e->ignore();
  Cancel();
}

}  // namespace kr::gui
