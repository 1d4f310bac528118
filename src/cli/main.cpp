#include "cli/commands.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

void PrintUsage(std::FILE* to) {
  std::fprintf(to, "Usage: nimbrel-cli COMMAND [OPTIONS]\n       nimbrel-cli --version\n\nThe Nimbrel engine "
                   "without windows.\n\nCommands:\n");
  for (const auto& c : nimbrel::cli::Commands()) {
    std::fprintf(to, "  %-16s %s\n", c.name, c.summary);
  }
  std::fprintf(to, "\n'nimbrel-cli COMMAND --help' describes a command. Exit codes: 0 done, 1 failed, 2 bad "
                   "arguments or a choice to make, 3 instrument memory empty, 4 download incomplete.\n");
}

} // namespace

int main(int argc, char** argv) {
  // Printing measures fonts, which takes a GUI application; it needs no display.
  const bool print = argc > 1 && std::strcmp(argv[1], "print") == 0;
  if (print && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  std::unique_ptr<QCoreApplication> app =
      print ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
  QCoreApplication::setApplicationName("nimbrel-cli");
  QCoreApplication::setApplicationVersion(NIMBREL_VERSION);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() < 2) {
    PrintUsage(stderr);
    return nimbrel::cli::kExitUsage;
  }
  if (args[1] == "--help" || args[1] == "-h" || args[1] == "help") {
    PrintUsage(stdout);
    return nimbrel::cli::kExitOk;
  }
  if (args[1] == "--version" || args[1] == "-v" || args[1] == "version") {
    std::printf("nimbrel-cli " NIMBREL_VERSION "\n");
    return nimbrel::cli::kExitOk;
  }
  for (const auto& c : nimbrel::cli::Commands()) {
    if (args[1] == QLatin1String(c.name)) {
      QStringList rest = args.mid(2);
      rest.prepend(QStringLiteral("nimbrel-cli ") + args[1]);
      return c.run(rest);
    }
  }
  std::fprintf(stderr, "nimbrel-cli: unknown command '%s'\n\n", args[1].toLocal8Bit().constData());
  PrintUsage(stderr);
  return nimbrel::cli::kExitUsage;
}
