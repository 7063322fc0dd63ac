#include "gui/max_values_window.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "charts/module_info.h"
#include "records/catalogue.h"
#include "gui/desktop_text.h"
#include "gui/fit_screen.h"
#include "gui/qt_canvas.h"

namespace kr {

MaxValuesWindow::MaxValuesWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(gui::WindowTitle("Maximum Values"));
  setObjectName("maximumValues");
  setFont(DesktopFont(kSmallFontSize));
  auto* top = new QVBoxLayout(this);
  auto* page = new QGroupBox("Maximum values - Test weight");
  auto* columns = new QHBoxLayout(page);

  const std::vector<MaxValueLine> lines = MaximumValueLines();
  // The three sections side by side, each in catalogue order.
  const struct {
    const char* name;
    int first, count;
  } sections[] = {{"Processor", 0, kProcessorTests},
                  {"Memory", kProcessorTests, kMemoryTests},
                  {"Hard Disk", kProcessorTests + kMemoryTests, kDriveTests}};
  for (const auto& s : sections) {
    auto* box = new QGroupBox(s.name, page);
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(8);
    for (int i = 0; i < s.count && size_t(s.first + i) < lines.size(); ++i) {
      const MaxValueLine& l = lines[size_t(s.first + i)];
      Row row{QString::fromLatin1(l.label.data(), qsizetype(l.label.size())),
              QString::fromLatin1(l.reference.data(), qsizetype(l.reference.size())),
              QString::fromLatin1(l.weight.data(), qsizetype(l.weight.size()))};
      auto* label = new QLabel(row.label, box);
      auto* reference = new QLabel(row.reference, box);
      auto* weight = new QLabel(row.weight, box);
      for (QLabel* t : {label, reference, weight}) t->setTextFormat(Qt::PlainText);
      reference->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      weight->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid->addWidget(label, i, 0);
      grid->addWidget(reference, i, 1);
      grid->addWidget(new QLabel("Weight:", box), i, 2);
      grid->addWidget(weight, i, 3);
      rows_.push_back(row);
    }
    grid->setRowStretch(s.count, 1);
    columns->addWidget(box, 0, Qt::AlignTop);
  }

  auto* buttons = new QDialogButtonBox(this);
  top->addWidget(gui::ScrollToFit(this, page, QSize(60, buttons->sizeHint().height() + 90)), 1);
  QPushButton* close = buttons->addButton(gui::MnemonicText("_Close"), QDialogButtonBox::RejectRole);
  close->setToolTip("Closes the window");
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  top->addWidget(buttons);
}

}  // namespace kr
