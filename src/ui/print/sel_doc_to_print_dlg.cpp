#include "ui/print/sel_doc_to_print_dlg.h"

#include "ui/widgets/pictures.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nimbrel {

namespace {

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents
QLabel* Picture(pictures::Id id, const QString& name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setPixmap(pictures::Icon(id).pixmap(pictures::kDataButtonSize));
  label->setAccessibleName(name);
  return label;
}

} // namespace

CSelDocToPrintDlg::CSelDocToPrintDlg(bool offerZoomedRange, QWidget* parent)
    : QDialog(parent), title_(new QLineEdit(QStringLiteral("Title"), this)),
      table_(new QRadioButton(QStringLiteral("Print Table"), this)),
      graph_(new QRadioButton(QStringLiteral("Print Graph"), this)),
      zoomedOnly_(new QCheckBox(QStringLiteral("Only the zoomed range"), this)) {
  setWindowTitle(QStringLiteral("Print"));
  setWindowIcon(pictures::Icon(pictures::Id::Print));
  title_->setAccessibleName(QStringLiteral("Title"));
  table_->setChecked(true);
  zoomedOnly_->setVisible(offerZoomedRange);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Title"), title_);

  auto* group = new QGroupBox(QStringLiteral("Select print"), this);
  auto* choices = new QGridLayout(group);
  choices->addWidget(Picture(pictures::Id::CopyTable, QStringLiteral("Table"), group), 0, 0);
  choices->addWidget(table_, 0, 1);
  choices->addWidget(Picture(pictures::Id::CopyGraph, QStringLiteral("Graph"), group), 1, 0);
  choices->addWidget(graph_, 1, 1);
  choices->setColumnStretch(1, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(group);
  layout->addWidget(zoomedOnly_);
  layout->addWidget(buttons);
  title_->selectAll();
}

// NOLINTEND(cppcoreguidelines-owning-memory)

CPrintChoice CSelDocToPrintDlg::Choice() const {
  CPrintChoice choice;
  choice.title = title_->text().toStdString();
  choice.graph = graph_->isChecked();
  choice.zoomedOnly = !zoomedOnly_->isHidden() && zoomedOnly_->isChecked();
  return choice;
}

} // namespace nimbrel
