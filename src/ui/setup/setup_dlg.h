#pragma once

#include "setup/setup_model.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTimeEdit;

namespace nimbrel {

// "Nimbrel Setup": the instrument's identity and settings, its clock beside the PC's live clock,
// and Apply. Every rule is the model's: the dialog writes its controls into the model's values
// before each action and shows them again afterwards.
class CSetupDlg : public QDialog {
  Q_OBJECT
public:
  // `apply` runs the session's Apply: true when the write sequence was queued (the dialog closes).
  CSetupDlg(CSetupModel& model, std::function<bool()> apply, std::function<void()> closed, QWidget* parent);
  ~CSetupDlg() override;

  // Fills the controls from the model (the model's Show) and shows the dialog.
  void ShowSetup();

  // The controls, for tests and screenshots.
  [[nodiscard]] QComboBox* UnitCombo() const { return unit_; }
  [[nodiscard]] QLineEdit* ResolutionEdit() const { return resolution_; }
  [[nodiscard]] QLabel* ResolutionLabel() const { return resolutionLabel_; }
  [[nodiscard]] QCheckBox* UpdateClockBox() const { return updateClock_; }
  [[nodiscard]] QLabel* WarningText() const { return warning_; }
  [[nodiscard]] QTimeEdit* PcTime() const { return pcTime_; }
  [[nodiscard]] QDateEdit* PcDate() const { return pcDate_; }

  void reject() override; // "Cancel"

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void Collect();
  void Refresh();
  void Apply();
  void Close();

  CSetupModel& model_;
  std::function<bool()> apply_;
  std::function<void()> closed_;
  QLineEdit* instrType_;
  QLineEdit* serialNum_;
  QLineEdit* fwVersion_;
  QLineEdit* fwDate_;
  QDateEdit* instrDate_;
  QTimeEdit* instrTime_;
  QDateEdit* pcDate_;
  QTimeEdit* pcTime_;
  QCheckBox* updateClock_;
  QLabel* warningIcon_;
  QLabel* warning_;
  QComboBox* unit_;
  QLabel* resolutionLabel_;
  QLineEdit* resolution_;
  QComboBox* contact_;
  QComboBox* alert_;
};

} // namespace nimbrel
