#pragma once

// STAND-IN: a minimal data window that shows the file's path, until the real data window
// (src/ui/viewer/) replaces it in MakeDataWindow.

#include "ui/app/data_window.h"

class QLabel;

namespace nimbrel {

class CDataWindowStandIn : public QWidget {
  Q_OBJECT
public:
  CDataWindowStandIn(std::filesystem::path file, IDataWindowHost& host);
  [[nodiscard]] const std::filesystem::path& File() const { return file_; }

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  std::filesystem::path file_;
  IDataWindowHost& host_;
};

} // namespace nimbrel
