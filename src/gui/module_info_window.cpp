#include "gui/module_info_window.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "charts/module_info.h"
#include "engine/context.h"
#include "gui/desktop_text.h"
#include "gui/fit_screen.h"
#include "gui/qt_canvas.h"

namespace kr {

ModuleInfoWindow::ModuleInfoWindow(const ModuleRecord& module, QWidget* parent) : QDialog(parent) {
  setWindowTitle(gui::WindowTitle("Module Information"));
  setObjectName("moduleInformation");
  setModal(true);
  setFont(DesktopFont(kLargeFontSize));
  const ModuleInformation info = ComposeModuleInformation(DescribeModule(module));

  auto* outer = new QVBoxLayout(this);
  auto* content = new QWidget;
  auto* top = new QVBoxLayout(content);
  top->setContentsMargins(0, 0, 0, 0);
  QFormLayout* form = nullptr;
  std::string group = "\x01";  // no group yet
  for (const InfoLine& line : info.lines) {
    if (group != line.group) {
      group = line.group;
      QWidget* box = nullptr;
      if (group.empty()) {
        box = new QWidget(content);
      } else {
        box = new QGroupBox(QString::fromLatin1(line.group), content);
      }
      form = new QFormLayout(box);
      form->setLabelAlignment(Qt::AlignRight);
      if (group.empty()) form->setContentsMargins(0, 0, 0, 0);
      top->addWidget(box);
    }
    auto* value = new QLabel(QString::fromLatin1(line.text.data(), qsizetype(line.text.size())));
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setFrameShape(QFrame::StyledPanel);
    value->setMinimumWidth(360);
    form->addRow(QString::fromLatin1(line.label), value);
    fields_[QString::fromLatin1(line.label)] = value;
  }
  comment_ = new QPlainTextEdit(content);
  comment_->setReadOnly(true);
  comment_->setPlainText(QString::fromLatin1(info.comment.data(), qsizetype(info.comment.size())));
  comment_->setFixedHeight(comment_->fontMetrics().lineSpacing() * 5 + 12);
  top->addWidget(comment_);

  auto* buttons = new QDialogButtonBox(this);
  // Room for the buttons, the margins and a window frame.
  const QSize room(60, buttons->sizeHint().height() + 90);
  outer->addWidget(gui::ScrollToFit(this, content, room), 1);
  QPushButton* close = buttons->addButton(gui::MnemonicText("_Close"), QDialogButtonBox::RejectRole);
  close->setToolTip("Closes the window");
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  outer->addWidget(buttons);
}

QString ModuleInfoWindow::fieldText(const QString& label) const {
  auto it = fields_.find(label);
  return it == fields_.end() ? QString() : it->second->text();
}

QString ModuleInfoWindow::comment() const { return comment_->toPlainText(); }

ModuleRecord SlotRecord(const Context& ctx, int slot) {
  if (slot < 1 || slot > 4 || ctx.modules.slotLoaded[size_t(slot - 1)] == 0) return ModuleRecord{};
  return ctx.compare[size_t(slot - 1)];
}

void ShowModuleInformation(const Context& ctx, int slot, QWidget* parent) {
  ModuleInfoWindow window(SlotRecord(ctx, slot), parent);
  window.exec();
}

}  // namespace kr
