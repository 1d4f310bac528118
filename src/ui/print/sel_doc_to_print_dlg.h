#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace nimbrel {

// What the user chose to print and under which title.
struct CPrintChoice {
  std::string title;
  bool graph = false;      // "Print Graph"; otherwise "Print Table"
  bool zoomedOnly = false; // only the lines of the chart's zoomed range
};

// The data window's print choice: the "Title" box (initially "Title"), "Print Table" or "Print
// Graph" under "Select print", and, when the chart is zoomed, "Only the zoomed range".
class CSelDocToPrintDlg final : public QDialog {
  Q_OBJECT

public:
  explicit CSelDocToPrintDlg(bool offerZoomedRange, QWidget* parent = nullptr);

  [[nodiscard]] CPrintChoice Choice() const;

private:
  QLineEdit* title_;      // owned by the dialog
  QRadioButton* table_;   // owned by the dialog
  QRadioButton* graph_;   // owned by the dialog
  QCheckBox* zoomedOnly_; // owned by the dialog
};

} // namespace nimbrel
