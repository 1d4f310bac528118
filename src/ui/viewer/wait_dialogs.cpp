#include "ui/viewer/wait_dialogs.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace nimbrel {

namespace {

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents
// An icon beside a text, over a row with one button on the right.
QPushButton* Build(QDialog& dialog, const QIcon& icon, const QString& text, const QString& button) {
  auto* picture = new QLabel(&dialog);
  picture->setPixmap(icon.pixmap(32, 32));
  picture->setAccessibleName(QStringLiteral("Icon"));
  auto* label = new QLabel(text, &dialog);
  auto* push = new QPushButton(button, &dialog);
  auto* top = new QHBoxLayout;
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addWidget(label, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(push);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(top);
  layout->addLayout(bottom);
  return push;
}

// NOLINTEND(cppcoreguidelines-owning-memory)

} // namespace

CWaitElabInfoDlg::CWaitElabInfoDlg(std::atomic<bool>& cancelRequest, QWidget* parent)
    : QDialog(parent), cancelRequest_(cancelRequest) {
  setWindowTitle(QStringLiteral("Nimbrel"));
  setWindowModality(Qt::ApplicationModal);
  cancel_ = Build(*this, style()->standardIcon(QStyle::SP_MessageBoxInformation),
                  QStringLiteral("Processing info...please wait"), QStringLiteral("Cancel"));
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelRequest_.store(true); });
}

void CWaitElabInfoDlg::closeEvent(QCloseEvent* event) {
  cancelRequest_.store(true);
  event->ignore(); // it goes when the reading has ended
}

void CWaitElabInfoDlg::reject() {
  cancelRequest_.store(true);
}

CWaitExportingToExcelDlg::CWaitExportingToExcelDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Export to excel"));
  QPushButton* ok =
      Build(*this, style()->standardIcon(QStyle::SP_MessageBoxInformation),
            QStringLiteral("Exporting operation could take some minutes: \nplease wait...."), QStringLiteral("OK"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace nimbrel
