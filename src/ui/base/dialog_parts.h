#pragma once

#include <QMessageBox>
#include <QString>

class QLabel;
class QWidget;

namespace nimbrel {

// The program's picture, or a message box's icon, in a label of 32 x 32 pixels that a screen reader
// names.
QLabel* ProgramIconLabel(QWidget* parent);
QLabel* StandardIconLabel(QMessageBox::Icon icon, const QString& accessibleName, QWidget* parent);

} // namespace nimbrel
