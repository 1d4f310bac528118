#include "ui/viewer/sel_excel_interval.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace nimbrel {

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents
CSelExcelInterval::CSelExcelInterval(std::vector<CChunkChoice> whole, std::optional<std::vector<CChunkChoice>> zoomed,
                                     QWidget* parent)
    : QDialog(parent), whole_(std::move(whole)), zoomed_(std::move(zoomed)), list_(new QTreeWidget(this)),
      zoomedOnly_(new QCheckBox(QStringLiteral("Only the zoomed range"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("Select interval to Export"));
  auto* caption = new QLabel(QStringLiteral("Interval List"), this);
  caption->setBuddy(list_);
  list_->setAccessibleName(QStringLiteral("Interval List"));
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setHeaderLabels({QStringLiteral("Interval "), QStringLiteral("Interval Start Date-Time")});
  list_->header()->setStretchLastSection(false);
  list_->header()->resizeSection(0, 75);
  list_->header()->resizeSection(1, 250);
  list_->setMinimumWidth(75 + 250 + 2 * list_->frameWidth() + 4);
  zoomedOnly_->setVisible(zoomed_.has_value());
  ok_->setEnabled(false);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(caption);
  layout->addWidget(list_, 1);
  layout->addWidget(zoomedOnly_);
  layout->addLayout(buttons);

  connect(list_, &QTreeWidget::itemSelectionChanged, this,
          [this] { ok_->setEnabled(!list_->selectedItems().isEmpty()); });
  connect(zoomedOnly_, &QCheckBox::toggled, this, &CSelExcelInterval::Fill);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  Fill();
}

// NOLINTEND(cppcoreguidelines-owning-memory)

void CSelExcelInterval::Fill() {
  list_->clear();
  const std::vector<CChunkChoice>& choices = zoomedOnly_->isChecked() && zoomed_ ? *zoomed_ : whole_;
  for (const CChunkChoice& choice : choices) {
    new QTreeWidgetItem(list_, {QString::fromStdString(choice.name), QString::fromStdString(choice.start)});
  }
  // A single chunk needs no choosing; with several, "OK" waits for the user's pick.
  if (list_->topLevelItemCount() == 1) {
    list_->topLevelItem(0)->setSelected(true);
  }
  ok_->setEnabled(!list_->selectedItems().isEmpty());
}

CExportChunkPick CSelExcelInterval::Pick() const {
  CExportChunkPick pick;
  pick.zoomed = zoomed_.has_value() && zoomedOnly_->isChecked();
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  pick.chunk = selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
  return pick;
}

} // namespace nimbrel
