#include "gui/make_module_window.h"

#include <QShortcut>

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/desktop_text.h"
#include "gui/main_window.h"

namespace kr::gui {

MakeModuleWindow::MakeModuleWindow(Context& ctx) : QWidget(nullptr, Qt::Window), ctx_(ctx) {
  setObjectName(QStringLiteral("Make Module"));
  setWindowTitle(WindowTitle("Make Module"));
  auto* layout = new QVBoxLayout(this);
  auto* warning = new QLabel(this);
  warning->setTextFormat(Qt::RichText);
  warning->setText(RichText(
      "\x1b" "bWARNING:\x1b" "n\n"
      "\x1b" "b*\x1b" "n Making a module can take up 1-3 hours on slow machines!\n"
      "\x1b" "b*\x1b" "n Make sure that you have a fresh booted system running.\n"
      "\x1b" "b*\x1b" "n Disable all network connections.\n"
      "\n"
      "\x1b" "b*\x1b" "n Your machine will frezze complete during the processor and memory tests!\n"
      "\x1b" "b*\x1b" "n You can not abort the benchmark!"));
  warning->setFrameShape(QFrame::StyledPanel);
  warning->setMargin(8);
  layout->addWidget(warning);

  auto* include = new QGroupBox(QStringLiteral("Include to module"), this);
  auto* il = new QVBoxLayout(include);
  chipRam = new QCheckBox(QStringLiteral("CHIP-ram tests"), include);
  chipRam->setChecked(true);
  writeDevice = new QCheckBox(QStringLiteral("Write to DEVICE"), include);
  spinUpDevice = new QCheckBox(QStringLiteral("SpinUP DEVICE"), include);
  il->addWidget(chipRam);
  il->addWidget(writeDevice);
  il->addWidget(spinUpDevice);
  layout->addWidget(include);
  auto* other = new QGroupBox(QStringLiteral("Other"), this);
  auto* ol = new QVBoxLayout(other);
  multitasking = new QCheckBox(QStringLiteral("Enable Multitasking at all [JIT]"), other);
  ol->addWidget(multitasking);
  layout->addWidget(other);

  auto* row = new QHBoxLayout;
  bang = MakeButton(this, "\x1b" "b_Bang hardware!", "Don't be angry!");
  abort = MakeButton(this, "_Abort", nullptr);
  row->addWidget(bang);
  row->addStretch(1);
  row->addWidget(abort);
  layout->addLayout(row);

  // The warnings when a device box is switched on by the user.
  connect(writeDevice, &QCheckBox::clicked, this, [this](bool on) {
    if (on) ShowWriteDeviceWarning(ctx_, WriteDeviceFor::MakeModule);
  });
  connect(spinUpDevice, &QCheckBox::clicked, this, [this](bool on) {
    if (on) ShowSpinUpDeviceWarning(ctx_);
  });
  connect(bang, &QPushButton::clicked, this, [this] { Q_EMIT bangRequested(Options()); });
  connect(abort, &QPushButton::clicked, this, [this] {
    hide();
    ResetBoxes(false);
  });
  // Escape is "_Abort".
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, abort, &QPushButton::click);
}

MakeModuleOptions MakeModuleWindow::Options() const {
  MakeModuleOptions o;
  o.chipRamTests = chipRam->isChecked();
  o.writeDevice = writeDevice->isChecked();
  o.spinUpDevice = spinUpDevice->isChecked();
  o.multitaskingAtAll = multitasking->isChecked();
  return o;
}

void MakeModuleWindow::ResetBoxes(bool started) {
  if (started) chipRam->setChecked(true);
  writeDevice->setChecked(false);
  spinUpDevice->setChecked(false);
}

}  // namespace kr::gui
