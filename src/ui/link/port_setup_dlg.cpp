#include "ui/link/port_setup_dlg.h"

#include "ui/base/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace nimbrel {

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents

CPortSetupDlg::CPortSetupDlg(bool autoDetect, QWidget* parent)
    : QDialog(parent), autoDetect_(new QCheckBox(QStringLiteral("Auto detect"), this)), port_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Port Setup"));
  auto* form = new QFormLayout;
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(autoDetect_);
  layout->addLayout(form);

  port_->setEditable(true);
  for (const char* name : kPortChoices) {
    port_->addItem(QString::fromLatin1(name));
  }
  port_->setCurrentIndex(-1);
  port_->setAccessibleName(QStringLiteral("Port"));
  form->addRow(QStringLiteral("Port"), port_);
  const auto add = [this, form](const QString& label, const char* choice) {
    auto* list = new QComboBox(this);
    list->addItem(QString::fromLatin1(choice));
    list->setCurrentIndex(0);
    list->setEnabled(false); // the connection always drives the line the same way
    list->setAccessibleName(label);
    form->addRow(label, list);
    return list;
  };
  baud_ = add(QStringLiteral("Baud Rate"), kBaudChoice);
  dataBits_ = add(QStringLiteral("Num Bit"), kDataBitsChoice);
  stopBits_ = add(QStringLiteral("Bit Stop"), kStopBitsChoice);
  parity_ = add(QStringLiteral("Parity"), kParityChoice);
  flow_ = add(QStringLiteral("Flow Control"), kFlowChoice);

  autoDetect_->setChecked(autoDetect);
  port_->setEnabled(!autoDetect);
  connect(autoDetect_, &QCheckBox::toggled, port_, [this](bool on) { port_->setEnabled(!on); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  setMinimumWidth(260);
}

PortSetupTexts CPortSetupDlg::Texts() const {
  return {Std(port_->currentText()),     Std(baud_->currentText()),   Std(dataBits_->currentText()),
          Std(stopBits_->currentText()), Std(parity_->currentText()), Std(flow_->currentText()),
          autoDetect_->isChecked()};
}

// NOLINTEND(cppcoreguidelines-owning-memory)

} // namespace nimbrel
