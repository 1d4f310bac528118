#include "support/test_app.h"

namespace nimbrel::test {

QCoreApplication& TestApp() {
  static int argc = 1;
  static char name[] = "nimbrel-test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

} // namespace nimbrel::test
