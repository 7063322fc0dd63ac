#include "gui/about_window.h"

#include <QShortcut>

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/desktop_text.h"
#include "gui/fonts.h"
#include "gui/main_window.h"
#include "modules/module_record.h"

namespace kr::gui {

QString BuildLine() { return FromLatin1(NativeBuildText()); }

AboutWindow::AboutWindow(const FontMapping* fonts) : QWidget(nullptr, Qt::Window) {
  setObjectName(QStringLiteral("About"));
  setWindowTitle(WindowTitle("About"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const QString rows[][2] = {
      {QStringLiteral("Application Name:"), RichText("\x1b" "bKelvaRANK VTS 2003\x1b" "n")},
      {QStringLiteral("Description:"), QStringLiteral("Benchmark Suite")},
      {QStringLiteral("Release:"), QStringLiteral("1.001 Final")},
      {QStringLiteral("Build:"), BuildLine()},
      {QStringLiteral("Compiled:"), QStringLiteral(__DATE__)},
      {QStringLiteral("Toolkit:"), QStringLiteral("Qt ") + QString::fromLatin1(qVersion())},
      {QStringLiteral("Rights:"), QStringLiteral("Freeware (proprietary): free to use, copy and pass on")},
  };
  int r = 0;
  for (const auto& row : rows) {
    auto* c = new QLabel(row[0], this);
    auto* v = new QLabel(row[1], this);
    v->setObjectName(row[0]);
    v->setAlignment(Qt::AlignCenter);
    if (r == 0 && fonts && fonts->open()) v->setFont(fonts->Large());
    grid->addWidget(c, r, 0);
    grid->addWidget(v, r, 1);
    ++r;
  }
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  auto* buttons = new QHBoxLayout;
  aboutToolkit = MakeButton(this, "About _MUI", "Shows about of the glory MUI");
  close = MakeButton(this, "_Close", nullptr);
  buttons->addWidget(aboutToolkit);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(aboutToolkit, &QPushButton::clicked, this, [this] { QMessageBox::aboutQt(this); });
  connect(close, &QPushButton::clicked, this, &QWidget::hide);
  // Escape is "_Close".
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::hide);
}

}  // namespace kr::gui
