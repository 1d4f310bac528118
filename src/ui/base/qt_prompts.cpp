#include "ui/base/qt_prompts.h"

#include "base/gate.h"
#include "ui/base/qt_text.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace nimbrel {

namespace {

QMessageBox::Icon BoxIcon(Icon icon) {
  switch (icon) {
  case Icon::Information:
    return QMessageBox::Information;
  case Icon::Warning:
  case Icon::Exclamation:
    return QMessageBox::Warning;
  case Icon::Error:
    return QMessageBox::Critical;
  case Icon::Question:
    return QMessageBox::Question;
  case Icon::None:
    break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ButtonOf(Answer answer) {
  switch (answer) {
  case Answer::Ok:
    return QMessageBox::Ok;
  case Answer::Cancel:
    return QMessageBox::Cancel;
  case Answer::Yes:
    return QMessageBox::Yes;
  case Answer::No:
    return QMessageBox::No;
  }
  return QMessageBox::NoButton;
}

QMessageBox::StandardButtons ButtonsOf(Buttons buttons) {
  switch (buttons) {
  case Buttons::Ok:
    return QMessageBox::Ok;
  case Buttons::YesNo:
    return QMessageBox::Yes | QMessageBox::No;
  case Buttons::YesNoCancel:
    return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  case Buttons::OkCancel:
    return QMessageBox::Ok | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

// The answer a box closed without a button (Escape, the window's close button) gives.
Answer EscapeAnswer(Buttons buttons) {
  switch (buttons) {
  case Buttons::Ok:
    return Answer::Ok;
  case Buttons::YesNo:
    return Answer::No;
  case Buttons::YesNoCancel:
  case Buttons::OkCancel:
    return Answer::Cancel;
  }
  return Answer::Cancel;
}

} // namespace

QStringList QtNameFilters(const std::string& filter) {
  const QStringList parts = Q(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) {
      break; // the closing "||"
    }
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
    }
    QString description = parts[i];
    description.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)\\s*$")));
    filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
  }
  return filters;
}

void CQtPrompts::Message(const std::string& text, Icon icon) {
  QMessageBox box(BoxIcon(icon), QStringLiteral("Nimbrel"), Lines(text), QMessageBox::Ok, parent_);
  const CGateClosed closed(gate_);
  box.exec();
}

Answer CQtPrompts::Question(const std::string& text, Buttons buttons, Icon icon, Answer defaultAnswer) {
  QMessageBox box(BoxIcon(icon), QStringLiteral("Nimbrel"), Lines(text), ButtonsOf(buttons), parent_);
  box.setDefaultButton(ButtonOf(defaultAnswer));
  const CGateClosed closed(gate_);
  switch (box.exec()) {
  case QMessageBox::Ok:
    return Answer::Ok;
  case QMessageBox::Yes:
    return Answer::Yes;
  case QMessageBox::No:
    return Answer::No;
  case QMessageBox::Cancel:
    return Answer::Cancel;
  default:
    return EscapeAnswer(buttons);
  }
}

std::optional<std::filesystem::path> CQtPrompts::ChooseFile(const FileChoice& choice) {
  const bool save = choice.kind == FileChoice::Kind::Save;
  QFileDialog dialog(parent_, save ? QStringLiteral("Save As") : QStringLiteral("Open"));
  dialog.setOption(QFileDialog::DontUseNativeDialog); // the same dialog, and the same gate, everywhere
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(QtNameFilters(choice.filter));
  dialog.setDefaultSuffix(Q(choice.defaultSuffix));
  if (!choice.start.empty()) {
    dialog.setDirectory(QString::fromStdString(choice.start.string()));
  }
  if (!choice.defaultName.empty()) {
    dialog.selectFile(Q(choice.defaultName));
  }
  const CGateClosed closed(gate_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return std::filesystem::path(dialog.selectedFiles().constFirst().toStdString());
}

} // namespace nimbrel
