// The "Module Information" window: the descriptive part of the module in a
// comparison slot, read-only, in the groups "Hardware", "System" and
// "Module" with the comment box below.
#pragma once

#include <QDialog>
#include <QString>
#include <map>

#include "modules/module_record.h"

class QLabel;
class QPlainTextEdit;

namespace kr {

struct Context;

class ModuleInfoWindow : public QDialog {
  Q_OBJECT

 public:
  // Shows `module` (a zero-filled record gives an all-empty window).
  explicit ModuleInfoWindow(const ModuleRecord& module, QWidget* parent = nullptr);

  // The text shown after a label such as "Mainmodel:" (empty when there is
  // no such label), and the comment box.
  QString fieldText(const QString& label) const;
  QString comment() const;

 private:
  std::map<QString, QLabel*> fields_;
  QPlainTextEdit* comment_ = nullptr;
};

// The record of comparison slot 1..4, or a zero-filled one when the slot
// holds no module.
ModuleRecord SlotRecord(const Context& ctx, int slot);

// Opens the window for comparison slot 1..4 and returns when the user has
// closed it; the rest of the program takes no input meanwhile.
void ShowModuleInformation(const Context& ctx, int slot, QWidget* parent);

}  // namespace kr
