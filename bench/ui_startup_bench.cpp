// Start-up of the desktop program: the time from starting the process to the main window's first
// paint, beside the same time of a bare QMainWindow program started the same way in the same run.
// Each program is started 15 times in turn; the medians and their ratio are printed (goal: 1.5 x).
// A third program, a QMainWindow with the menu titles and the status text, shows what drawing the
// first text costs (a window without text never loads a font).
// nimbrel runs in a prepared program directory (Nimbrel.ini, port.ini: no start-up message) and
// reports its first paint when NIMBREL_REPORT_FIRST_PAINT is set; `ui_startup_bench --bare` is the
// bare program.
//
//   ui_startup_bench            (offscreen unless DISPLAY is set)
//   xvfb-run -a ui_startup_bench   (through an X server, as a user starts it: the figure that counts,
//                                   since offscreen leaves out the display connection both programs pay)

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class BareWindow : public QMainWindow {
protected:
  bool event(QEvent* e) override {
    const bool handled = QMainWindow::event(e);
    if (e->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      std::fputs("painted\n", stdout);
      std::fflush(stdout);
      QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }
    return handled;
  }

private:
  bool painted_ = false;
};

int Bare(int argc, char** argv, bool text) {
  QApplication app(argc, argv);
  BareWindow window;
  if (text) {
    for (const char* title : {"&File", "&Instrument", "&View", "&Option", "&?"}) {
      window.menuBar()->addMenu(QString::fromLatin1(title));
    }
    window.statusBar()->showMessage(QStringLiteral("Ready"));
  }
  window.setWindowTitle(QStringLiteral("Nimbrel"));
  window.resize(900, 600);
  window.showMaximized();
  return QApplication::exec();
}

// Starts `argv` in `dir` and returns the milliseconds until it wrote its "painted" line (-1: never).
double TimeToPaint(const std::vector<std::string>& args, const fs::path& dir) {
  int out[2];
  if (pipe(out) != 0) {
    return -1;
  }
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(out[0]);
    dup2(out[1], STDOUT_FILENO);
    const int quiet = open("/dev/null", O_WRONLY); // Qt's platform notes would bury the figures
    if (quiet >= 0) {
      dup2(quiet, STDERR_FILENO);
    }
    if (chdir(dir.c_str()) != 0) {
      _exit(127);
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args) {
      argv.push_back(const_cast<char*>(a.c_str())); // NOLINT(cppcoreguidelines-pro-type-const-cast): execv's type
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string seen;
  char buf[64];
  double ms = -1;
  ssize_t n = 0;
  while ((n = read(out[0], buf, sizeof buf)) > 0) {
    seen.append(buf, static_cast<std::size_t>(n));
    if (seen.find("painted\n") != std::string::npos) {
      ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      break;
    }
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  if (argc > 1 && (std::strcmp(argv[1], "--bare") == 0 || std::strcmp(argv[1], "--bare-text") == 0)) {
    return Bare(argc, argv, std::strcmp(argv[1], "--bare-text") == 0);
  }
  const fs::path dir = fs::temp_directory_path() / ("nimbrel-startup-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "Nimbrel.ini", std::ios::binary) << "HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\n"
                                                          "PRINT_GRAPH_TYPE=AUTO\r\n";
  std::ofstream(dir / "port.ini", std::ios::binary)
      << "AUTODETECT=0\r\nCOM= COM1\r\nBAUDRATE= 9600\r\nPARITY= N\r\nNUMBIT= 8\r\nBITSTOP= 1\r\nFLOW_CTRL= H\r\n";
  setenv("NIMBREL_REPORT_FIRST_PAINT", "1", 1);
  const std::string self = fs::canonical("/proc/self/exe").string();
  std::vector<double> bare, text, nimbrel;
  constexpr int kRuns = 15;
  for (int i = 0; i < kRuns; ++i) {
    bare.push_back(TimeToPaint({self, "--bare"}, dir));
    text.push_back(TimeToPaint({self, "--bare-text"}, dir));
    nimbrel.push_back(TimeToPaint({NIMBREL_PROGRAM}, dir));
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  const double b = Median(bare);
  const double t = Median(text);
  const double n = Median(nimbrel);
  std::printf("start-up to the first paint of the main window (median of %d, %s):\n"
              "  bare QMainWindow %.1f ms, nimbrel %.1f ms: %.2f x (goal <= 1.5)\n"
              "  (a QMainWindow with the five menu titles and \"Ready\", which loads and draws fonts as nimbrel "
              "does: %.1f ms; nimbrel %.2f x of it)\n",
              kRuns, std::getenv("QT_QPA_PLATFORM") != nullptr ? std::getenv("QT_QPA_PLATFORM") : "xcb", b, n,
              b > 0 ? n / b : 0.0, t, t > 0 ? n / t : 0.0);
  return b > 0 && n > 0 && n <= 1.5 * b ? 0 : 1;
}
