#pragma once

#include "download/download_view.h"

#include <QDialog>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace nimbrel {

inline constexpr const char* kNewTemperatureOnlyText = "Download only new Temperature data";
inline constexpr const char* kOldDataText = "Download Rain and Temperature  old data";

// The download options dialog: the message about the old data and the two choices; with old
// temperature data only the second can be chosen.
class CDownloadOptDlg : public QDialog {
  Q_OBJECT
public:
  CDownloadOptDlg(const std::string& message, bool oldTemperature, QWidget* parent);
  [[nodiscard]] DownloadOption Choice() const;

private:
  QRadioButton* newOnly_;
  QRadioButton* oldData_;
};

// "Download Status": the page being read and its lines, the activity bar that cycles while pages
// arrive, how many pages are done of how many and the time left, and "Stop Download".
class CDownloadStatusDlg : public QDialog {
  Q_OBJECT
public:
  CDownloadStatusDlg(std::function<void()> onStop, QWidget* parent);

  void Show(const DownloadStatusValues& values);
  void Update(const DownloadStatusValues& values);
  // The download cannot go on by itself: the window says so until Stop ends it.
  void SetStalled();

  [[nodiscard]] QString PageNum() const;
  [[nodiscard]] QString DataDownloaded() const;
  [[nodiscard]] QString PagesText() const;
  [[nodiscard]] QString TimeLeftText() const;
  [[nodiscard]] bool Stalled() const { return stalled_; }

  void reject() override; // closing the window asks to stop, as the button does

private:
  std::function<void()> onStop_;
  QLineEdit* pageNum_;
  QLineEdit* lines_;
  QProgressBar* activity_;
  QProgressBar* pages_;
  QLabel* pagesText_;
  QLabel* timeLeft_;
  QLabel* waiting_;
  bool stalled_ = false;
};

// "m:ss" for a time left, "h:mm:ss" from an hour on.
QString TimeLeft(std::chrono::milliseconds left);

} // namespace nimbrel
