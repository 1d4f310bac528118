#include "ui/base/modal.h"

#include "base/gate.h"
#include "ui/base/qt_text.h"

#include <QDialog>

namespace nimbrel {

int ExecModal(QDialog& dialog, CGate* gate) {
  const CGateClosed closed(gate);
  return dialog.exec();
}

QString Lines(const std::string& text) {
  QString out = Q(text);
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

} // namespace nimbrel
