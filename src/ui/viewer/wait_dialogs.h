#pragma once

#include <QDialog>

#include <atomic>

class QPushButton;

namespace nimbrel {

// "Processing info...please wait" while a data file is read and grouped. Its "Cancel" sets the main
// window's cancel request, which the reading looks at every few thousand lines. While it shows, it
// holds the input of the whole program, so nothing can start a second reading or touch the rows
// being rebuilt; every window keeps painting.
class CWaitElabInfoDlg final : public QDialog {
  Q_OBJECT

public:
  CWaitElabInfoDlg(std::atomic<bool>& cancelRequest, QWidget* parent = nullptr);

  [[nodiscard]] QPushButton* CancelButton() const { return cancel_; }

protected:
  void closeEvent(QCloseEvent* event) override; // closing the box is a Cancel
  void reject() override;

private:
  std::atomic<bool>& cancelRequest_;
  QPushButton* cancel_; // owned by the dialog
};

// "Export to excel": a notice shown while the sheet is written, which stays until the user closes
// it with "OK". It has no cancel function.
class CWaitExportingToExcelDlg final : public QDialog {
  Q_OBJECT

public:
  explicit CWaitExportingToExcelDlg(QWidget* parent = nullptr);
};

} // namespace nimbrel
