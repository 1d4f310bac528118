#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Nimbrel");
  QMainWindow window;
  window.setWindowTitle("Nimbrel");
  window.statusBar()->addPermanentWidget(new QLabel(QObject::tr("Disconnected"))); // owned by the status bar
  window.resize(800, 600);
  window.show();
  return QApplication::exec();
}
