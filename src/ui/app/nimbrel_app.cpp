#include "ui/app/nimbrel_app.h"

#include "app/nimbrel_ini.h"
#include "app/program_directory.h"
#include "link/port_settings.h"
#include "protocol/maintenance.h"
#include "ui/app/main_frame.h"
#include "ui/app/simulated_instrument.h"
#include "ui/base/qt_prompts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace nimbrel {

namespace fs = std::filesystem;

CNimbrelApp::CNimbrelApp() = default;

CNimbrelApp::~CNimbrelApp() {
  frame_.reset(); // closes the port before the simulated instrument goes
  simulated_.reset();
}

bool CNimbrelApp::InitInstance(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Nimbrel, the desktop companion of the TBR4470 rain gauge."));
  parser.addHelpOption();
  const QCommandLineOption simulate(QStringLiteral("simulate"),
                                    QStringLiteral("Run a simulated TBR4470 with a month of data on the configured "
                                                   "port of the program directory (COM1 unless port.ini names "
                                                   "another)."));
  parser.addOption(simulate);
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("a data file (.rlg) to open"),
                               QStringLiteral("[file]"));
  parser.process(arguments);

  // Messages before the main window exists have no parent and no session to hold back.
  CQtPrompts prompts(nullptr, nullptr);
  MainFrameOptions options;
  const Result<fs::path> directory = ProgramDirectoryAtStartup();
  if (!directory.ok()) {
    prompts.Message(directory.status().message(), Icon::Error);
    return false;
  }
  options.programDirectory = directory.value();
  const Result<std::string> page = ReadHandbookPage(options.programDirectory);
  if (!page.ok()) {
    prompts.Message(page.status().message(), Icon::None);
  }
  options.handbookPage = page.value();
  options.markers = FactoryMarkers::Find(options.programDirectory);
  CPortIniStore store(options.programDirectory);
  if (const Status read = store.Read(options.portConfig); !read.ok()) {
    prompts.Message(read.message(), Icon::Warning);
  }

  if (parser.isSet(simulate)) {
    std::string error;
    simulated_ = CSimulatedInstrument::Start(options.programDirectory, options.portConfig.Settings.Port, error);
    if (simulated_) {
      options.simulated = simulated_->PortName();
    } else {
      prompts.Message(error, Icon::Warning);
    }
  }

  // The view's start: the print settings are read (and their file's absence reported) here.
  const Result<CPrintGraphSettings> print = ReadPrintGraphSettings(options.programDirectory);
  if (!print.ok()) {
    prompts.Message(print.status().message(), Icon::None);
  }
  options.printSettings = print.value();

  frame_ = std::make_unique<CMainFrame>(options);
  // The start-up picture comes up once the window has painted, so that the window is not kept
  // waiting for the picture's drawing. A start-up measurement says when the window has painted and
  // ends the program.
  const bool report = std::getenv("NIMBREL_REPORT_FIRST_PAINT") != nullptr;
  frame_->onFirstPaint = [frame = frame_.get(), report] {
    if (report) {
      std::fputs("painted\n", stdout);
      std::fflush(stdout);
      QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
      return;
    }
    QTimer::singleShot(0, frame, [frame] { frame->ShowSplash(); });
  };
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) {
    frame_->OpenAtStartup(fs::path(files.constFirst().toStdString()));
  }
  frame_->showMaximized();
  return true;
}

} // namespace nimbrel
