// The "Maximum Values" window: the page "Maximum values - Test weight", one
// line per catalogue test with its "100 Percent at" figure and unit and its
// score weight.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

namespace kr {

class MaxValuesWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MaxValuesWindow(QWidget* parent = nullptr);

  // The shown lines in catalogue order: label, reference text, weight text.
  struct Row {
    QString label, reference, weight;
  };
  const std::vector<Row>& rows() const { return rows_; }

 private:
  std::vector<Row> rows_;
};

}  // namespace kr
