#pragma once

#include <QCoreApplication>

namespace nimbrel::test {

// The one application object of a test program, created on first use: QCommandLineParser, Qt
// timers and queued hand-overs need it.
QCoreApplication& TestApp();

} // namespace nimbrel::test
