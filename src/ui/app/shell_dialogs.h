#pragma once

#include "app/nimbrel_ini.h"

#include <QDialog>
#include <QWidget>

#include <filesystem>

class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTextBrowser;

namespace nimbrel {

// "Info on Nimbrel...": the program's icon, "Nimbrel  Ver 2.5", the build's version and OK.
class CAboutDlg : public QDialog {
  Q_OBJECT
public:
  explicit CAboutDlg(QWidget* parent);
};

// "Nimbrel Licence": License.txt of the program directory, read-only, and OK.
class CLicenceDlg : public QDialog {
  Q_OBJECT
public:
  CLicenceDlg(const std::filesystem::path& programDirectory, QWidget* parent);
  [[nodiscard]] QString Text() const;

private:
  QPlainTextEdit* text_;
};

// "Handbook": the handbook page in a browser, and OK, which hides the window. The page is loaded
// once, when the window is made.
class CHandbookDlg : public QDialog {
  Q_OBJECT
public:
  CHandbookDlg(const std::filesystem::path& programDirectory, const std::string& page, QWidget* parent);
  [[nodiscard]] QTextBrowser* Browser() const { return browser_; }

private:
  QTextBrowser* browser_;
};

// The start-up picture: a borderless window that closes and destroys itself after 1500 ms.
class CSplashWnd : public QWidget {
  Q_OBJECT
public:
  explicit CSplashWnd(QWidget* over);
  static constexpr int kShownMs = 1500;
};

// "Print Graph Setting...": AUTO or CUSTOM with the graph's length and width, by the model's rules.
class CPrintGraphSizeDlg : public QDialog {
  Q_OBJECT
public:
  CPrintGraphSizeDlg(CPrintGraphSizeModel& model, QWidget* parent);

  void accept() override;

private:
  void Refresh();

  CPrintGraphSizeModel& model_;
  QRadioButton* auto_;
  QRadioButton* custom_;
  QLineEdit* width_;
  QLineEdit* length_;
};

// The handbook page's file: the program directory followed by the page, whose "\" separate folders.
std::filesystem::path HandbookFile(const std::filesystem::path& programDirectory, const std::string& page);

} // namespace nimbrel
