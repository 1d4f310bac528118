#pragma once

#include "setup/wait_progress.h"

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;

namespace nimbrel {

class IPrompts;
class IScheduler;

// The connecting dialog: "Connecting to..." with the port and speed being tried, and a bar that
// steps while the attempt runs. Made on first use, hidden after each attempt.
class CTryConnDlg : public QDialog {
  Q_OBJECT
public:
  CTryConnDlg(IScheduler& scheduler, IPrompts& prompts, QWidget* parent);
  ~CTryConnDlg() override;

  // Shows the dialog with `text` (the bar starts again when it was hidden).
  void ShowText(const std::string& text);
  void HideDialog();
  [[nodiscard]] QString Text() const;
  [[nodiscard]] const CWaitProgress& Progress() const { return progress_; }

protected:
  void hideEvent(QHideEvent* event) override; // the steps run only while it shows

private:
  CWaitProgress progress_;
  QLabel* text_;
  QProgressBar* bar_;
};

// "Nimbrel Setup": the wait dialog of the setup read and write, with its text, a stepping bar and
// Cancel. A new dialog counts its steps from 0.
class CWaitGetStatusDlg : public QDialog {
  Q_OBJECT
public:
  CWaitGetStatusDlg(IScheduler& scheduler, IPrompts& prompts, std::function<void()> onCancel, QWidget* parent);
  ~CWaitGetStatusDlg() override;

  void ShowText(const std::string& text);
  [[nodiscard]] QString Text() const;
  [[nodiscard]] const CWaitProgress& Progress() const { return progress_; }

  void reject() override; // Cancel and Escape

protected:
  void hideEvent(QHideEvent* event) override; // the steps run only while it shows

private:
  CWaitProgress progress_;
  std::function<void()> onCancel_;
  QPlainTextEdit* text_;
  QProgressBar* bar_;
};

// "Instrument Info": the instrument's type, serial number and firmware, and OK.
class CInstrInfoDlg : public QDialog {
  Q_OBJECT
public:
  CInstrInfoDlg(const std::string& text, QWidget* parent);
};

// The serial number dialog: the prompt and a field of at most 8 characters.
class CSetSerialNumDlg : public QDialog {
  Q_OBJECT
public:
  CSetSerialNumDlg(const std::string& prompt, QWidget* parent);
  [[nodiscard]] std::string Value() const;

private:
  QLineEdit* field_;
};

} // namespace nimbrel
