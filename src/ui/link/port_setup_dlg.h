#pragma once

#include "link/port_settings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;

namespace nimbrel {

// "Port Setup": the automatic detection, the port (a list of COM1 to COM10 that can also be typed,
// usable only without automatic detection) and the line settings the connection always uses, shown
// but fixed. OK hands the texts back; the caller stores them by the port settings' rules.
class CPortSetupDlg : public QDialog {
  Q_OBJECT
public:
  CPortSetupDlg(bool autoDetect, QWidget* parent);

  [[nodiscard]] PortSetupTexts Texts() const;

private:
  QCheckBox* autoDetect_;
  QComboBox* port_;
  QComboBox* baud_ = nullptr;
  QComboBox* dataBits_ = nullptr;
  QComboBox* stopBits_ = nullptr;
  QComboBox* parity_ = nullptr;
  QComboBox* flow_ = nullptr;
};

} // namespace nimbrel
