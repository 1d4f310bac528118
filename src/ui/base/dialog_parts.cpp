#include "ui/base/dialog_parts.h"

#include "ui/widgets/pictures.h"

#include <QApplication>
#include <QLabel>
#include <QStyle>

namespace nimbrel {

namespace {
constexpr int kIconSide = 32;
} // namespace

QLabel* ProgramIconLabel(QWidget* parent) {
  auto* label = new QLabel(parent); // NOLINT(cppcoreguidelines-owning-memory): owned by its parent
  label->setPixmap(pictures::Pixmap(pictures::Id::Program, {kIconSide, kIconSide}, label->devicePixelRatioF()));
  label->setFixedSize(kIconSide, kIconSide);
  label->setAccessibleName(QStringLiteral("Nimbrel"));
  return label;
}

QLabel* StandardIconLabel(QMessageBox::Icon icon, const QString& accessibleName, QWidget* parent) {
  auto* label = new QLabel(parent); // NOLINT(cppcoreguidelines-owning-memory): owned by its parent
  QStyle::StandardPixmap which = QStyle::SP_MessageBoxInformation;
  switch (icon) {
  case QMessageBox::Warning:
    which = QStyle::SP_MessageBoxWarning;
    break;
  case QMessageBox::Critical:
    which = QStyle::SP_MessageBoxCritical;
    break;
  case QMessageBox::Question:
    which = QStyle::SP_MessageBoxQuestion;
    break;
  default:
    break;
  }
  label->setPixmap(QApplication::style()->standardIcon(which).pixmap(kIconSide, kIconSide));
  label->setFixedSize(kIconSide, kIconSide);
  label->setAccessibleName(accessibleName);
  return label;
}

} // namespace nimbrel
