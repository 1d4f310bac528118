#include "ui/app/nimbrel_app.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

int gStopPipe[2] = {-1, -1};

void OnStopSignal(int /*signal*/) {
  const char byte = 1;
  (void)!write(gStopPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Nimbrel"));
  QApplication::setApplicationVersion(QStringLiteral(NIMBREL_VERSION));
  // Ctrl+C, SIGTERM and SIGHUP end the program as its own teardown does (the port closed, the
  // simulated instrument's link removed), without the exit question.
  std::unique_ptr<QSocketNotifier> stop;
  if (pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    stop = std::make_unique<QSocketNotifier>(gStopPipe[0], QSocketNotifier::Read);
    QObject::connect(stop.get(), &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      std::signal(signal, OnStopSignal);
    }
  }
  nimbrel::CNimbrelApp nimbrel;
  if (!nimbrel.InitInstance(QApplication::arguments())) {
    return 1;
  }
  return QApplication::exec();
}
