#include "gui/main_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/errorlog.h"
#include "gui/desktop_text.h"
#include "shell/startup_checks.h"
#include "records/sysinfo_record.h"

namespace kr::gui {

QPushButton* MakeButton(QWidget* parent, const char* label, const char* help) {
  auto* b = new QPushButton(MnemonicText(label), parent);
  b->setObjectName(PlainText(label).remove(QLatin1Char('_')));
  if (help) b->setToolTip(FromLatin1(help));
  if (StartsBold(label)) {
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
  }
  return b;
}

MainWindow::MainWindow(Context& ctx) : QWidget(nullptr, Qt::Window), ctx_(ctx) {
  setObjectName(QStringLiteral("Main"));
  setWindowTitle(WindowTitle("Main"));
  auto* layout = new QVBoxLayout(this);

  logo = new QLabel(this);
  logo->setAlignment(Qt::AlignCenter);
  logo->setFrameShape(QFrame::StyledPanel);
  logo->setFrameShadow(QFrame::Sunken);
  layout->addWidget(logo);

  auto* box = new QGroupBox(QStringLiteral("System"), this);
  auto* grid = new QGridLayout(box);
  static const char* const kCaptions[8] = {"CPU:", "FPU:", "MMU:", "FAST Ram:", "CHIP Ram:", "OS:", "KS:", "WB:"};
  for (int i = 0; i < 8; ++i) {
    auto* c = new QLabel(QString::fromLatin1(kCaptions[i]), box);
    c->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    info_[i] = new QLabel(box);
    info_[i]->setObjectName(QString::fromLatin1(kCaptions[i]));
    info_[i]->setFrameShape(QFrame::StyledPanel);
    info_[i]->setFrameShadow(QFrame::Sunken);
    info_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(c, i, 0);
    grid->addWidget(info_[i], i, 1);
  }
  grid->setColumnStretch(1, 1);
  layout->addWidget(box);

  auto* buttons = new QGridLayout;
  processor = MakeButton(this, "_Processor", "Starts the selected processor tests");
  memory = MakeButton(this, "_Memory", "Starts the selected memory tests");
  hardDisk = MakeButton(this, "_Hard Disk", "Starts the selected hard-disk tests");
  makeModule = MakeButton(this, "Make M_odule", "Makes a module");
  moduleBase = MakeButton(this, "Module _Base", "Opens the module-/data-base");
  settings = MakeButton(this, "_Settings", "Opens the settings");
  about = MakeButton(this, "_About", "Shows some informations");
  quit = MakeButton(this, "_Quit", "Quits application and returns to workbench");
  buttons->addWidget(processor, 0, 0);
  buttons->addWidget(memory, 0, 1);
  buttons->addWidget(hardDisk, 0, 2);
  buttons->addWidget(makeModule, 1, 0);
  buttons->addWidget(moduleBase, 1, 1);
  buttons->addWidget(settings, 1, 2);
  buttons->addWidget(about, 2, 0);
  buttons->addWidget(quit, 2, 2);
  layout->addLayout(buttons);

  connect(processor, &QPushButton::clicked, this, [this] { Q_EMIT runRequested(RunMode::Processor, processor); });
  connect(memory, &QPushButton::clicked, this, [this] { Q_EMIT runRequested(RunMode::Memory, memory); });
  connect(hardDisk, &QPushButton::clicked, this, [this] { Q_EMIT runRequested(RunMode::Drive, hardDisk); });
  connect(makeModule, &QPushButton::clicked, this, &MainWindow::makeModuleRequested);
  connect(moduleBase, &QPushButton::clicked, this, &MainWindow::moduleBaseRequested);
  connect(settings, &QPushButton::clicked, this, &MainWindow::settingsRequested);
  connect(about, &QPushButton::clicked, this, &MainWindow::aboutRequested);
  connect(quit, &QPushButton::clicked, this, &MainWindow::quitRequested);
}

void MainWindow::ShowSystemInfo() {
  const SystemInfo& s = ctx_.sysinfo;
  static const int kFields[8] = {sysrec::kCpu, sysrec::kFpu,  sysrec::kMmu, sysrec::kTotalFast,
                                 sysrec::kTotalChip, sysrec::kOs, sysrec::kKs, sysrec::kWb};
  for (int i = 0; i < 8; ++i) info_[i]->setText(FromLatin1(s.field(kFields[i])));
}

bool MainWindow::LoadLogo() {
  Context& ctx = ctx_;
  QPixmap pix;
  if (pix.load(QString::fromStdString(ctx.dos.HostPath(kLogoFile)))) {
    logo->setPixmap(pix);
    return true;
  }
  // The start-up checks found the file; a picture that does not decode is
  // noted and the program's name shown instead.
  LogError(ctx, "MAIN", "LoadLogo", "Could not read 'PROGDIR:Data/logo.pic'");
  logo->setTextFormat(Qt::RichText);
  logo->setText(RichText("\x1b" "bKelvaRANK VTS 2003\x1b" "n"));
  logo->setMinimumHeight(80);
  return false;
}

void MainWindow::closeEvent(QCloseEvent* e) {
  // The window's close gadget is the "_Quit" command.
  e->ignore();
  Q_EMIT quitRequested();
}

}  // namespace kr::gui
