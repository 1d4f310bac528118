#include "ui/app/nimbrel_app.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Nimbrel"));
  QApplication::setApplicationVersion(QStringLiteral(NIMBREL_VERSION));
  nimbrel::CNimbrelApp nimbrel;
  if (!nimbrel.InitInstance(QApplication::arguments())) {
    return 1;
  }
  return QApplication::exec();
}
