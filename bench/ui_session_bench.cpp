// The desktop program's main window while the instrument session works, timed against the
// program's own figures. A 10 ms timer measures its own lateness: the longest gap beyond 10 ms is
// the longest stall of the window's event loop (the window could not paint or answer for that long).
//
//   ui_session_bench    1. Connect with automatic detection and nothing attached: port.ini's COM3
//                          and the scan's COM1 and COM2 are pseudo-terminals nobody answers on
//                          (the product's timing); the scan's duration beside its longest stall.
//                       2. A download of a simulated memory of about 100 pages through the main
//                          window with the session's timing divided by 10: its longest stall, and
//                          its duration beside the pacing the timing prescribes (see download_bench):
//                          prescribed = (9 + pages + (pages - 2) x ceil(pageGap / sendTick)) x sendTick
// Goals: no stall over 100 ms; the download within 1.05 x the prescribed pacing.

#include "sim/pty_server.h"
#include "ui/app/main_frame.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

namespace {

using namespace nimbrel;
namespace fs = std::filesystem;

class QuietPrompts final : public IPrompts {
public:
  void Message(const std::string& /*text*/, Icon /*icon*/) override {}
  Answer Question(const std::string& /*text*/, Buttons /*buttons*/, Icon /*icon*/, Answer /*defaultAnswer*/) override {
    return Answer::No;
  }
};

// The longest lateness of a 10 ms timer while it runs.
class StallMeter {
public:
  StallMeter() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kPeriodMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      worstNs_ = std::max(worstNs_, now - last_ - kPeriodMs * 1'000'000LL);
      last_ = now;
    });
  }
  void Start() {
    worstNs_ = 0;
    clock_.start();
    last_ = 0;
    timer_.start();
  }
  double StopMs() {
    timer_.stop();
    return static_cast<double>(worstNs_) / 1e6;
  }

private:
  static constexpr int kPeriodMs = 10;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 worstNs_ = 0;
};

bool RunUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  return true;
}

struct ProgramDirectory {
  ProgramDirectory() {
    path = fs::temp_directory_path() / ("nimbrel-ui-bench-" + std::to_string(getpid()));
    fs::create_directories(path);
    std::ofstream(path / "Nimbrel.ini", std::ios::binary) << "HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\n";
  }
  ~ProgramDirectory() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  ProgramDirectory(const ProgramDirectory&) = delete;
  ProgramDirectory& operator=(const ProgramDirectory&) = delete;
  void PortIni(int port, bool autoDetect) const {
    std::ofstream(path / "port.ini", std::ios::binary)
        << "AUTODETECT=" << (autoDetect ? 1 : 0) << "\r\nCOM= COM" << port
        << "\r\nBAUDRATE= 9600\r\nPARITY= N\r\nNUMBIT= 8\r\nBITSTOP= 1\r\nFLOW_CTRL= H\r\n";
  }
  fs::path path;
};

MainFrameOptions Options(const ProgramDirectory& dir, IPrompts& prompts, const SessionTiming& timing) {
  MainFrameOptions o;
  o.programDirectory = dir.path;
  (void)CPortIniStore(dir.path).Read(o.portConfig);
  o.timing = timing;
  o.prompts = &prompts;
  return o;
}

// A pseudo-terminal that nobody answers on.
struct SilentPort {
  SilentPort() : master(posix_openpt(O_RDWR | O_NOCTTY)) {
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
      name = ptsname(master);
    }
  }
  ~SilentPort() {
    if (master >= 0) {
      close(master);
    }
  }
  SilentPort(const SilentPort&) = delete;
  SilentPort& operator=(const SilentPort&) = delete;
  int master;
  std::string name;
};

int Scan() {
  ProgramDirectory dir;
  dir.PortIni(3, true);
  const SilentPort ports[3];
  for (int i = 0; i < 3; ++i) {
    fs::create_symlink(ports[i].name, dir.path / ("COM" + std::to_string(i + 1)));
  }
  QuietPrompts prompts;
  CMainFrame frame(Options(dir, prompts, SessionTiming{}));
  frame.show();
  StallMeter meter;
  meter.Start();
  QElapsedTimer t;
  t.start();
  frame.Run(ShellCommand::Connect);
  const bool ended = RunUntil([&] { return !frame.Session()->Connecting(); }, 60'000);
  const double seconds = static_cast<double>(t.elapsed()) / 1000.0;
  const double stall = meter.StopMs();
  std::printf("port scan, nothing attached (COM3 of port.ini, then COM1 and COM2), product timing:\n"
              "  duration %.2f s%s, longest event-loop stall %.1f ms (limit 100 ms)\n",
              seconds, ended ? "" : " (did not end)", stall);
  std::fflush(stdout);
  return ended && stall <= 100.0 ? 0 : 1;
}

int Download() {
  ProgramDirectory dir;
  dir.PortIni(1, false);
  sim::GeneratorOptions g;
  g.seed = 5;
  g.days = 23;
  const std::int64_t now = sim::HostLocalNow();
  g.start = now - static_cast<std::int64_t>(g.days) * 86400;
  sim::PtyServer server(sim::Instrument(sim::MakeInstrumentState(g, {}, now)));
  if (!server.Start() || !server.LinkAs((dir.path / "COM1").string())) {
    std::printf("download: the simulated instrument did not start\n");
    return 1;
  }
  const int pages = server.WithInstrument([](sim::Instrument& i) {
    const sim::Memory& m = i.State().memory;
    return m.rain.Distance(m.rain.read, m.rain.write) + m.temp.Distance(m.temp.read, m.temp.write);
  });
  const SessionTiming timing = SessionTiming{}.Scaled(10);
  QuietPrompts prompts;
  CMainFrame frame(Options(dir, prompts, timing));
  frame.show();
  frame.Run(ShellCommand::Connect);
  if (!RunUntil([&] { return frame.Session()->Connected() && frame.Session()->Idle(); }, 60'000)) {
    std::printf("download: no connection\n");
    return 1;
  }
  StallMeter meter;
  meter.Start();
  QElapsedTimer t;
  t.start();
  frame.Run(ShellCommand::Download);
  const bool ended = RunUntil([&] { return frame.LastDownloadEnd().has_value(); }, 600'000);
  const double seconds = static_cast<double>(t.elapsed()) / 1000.0;
  const double stall = meter.StopMs();
  const double tick = std::chrono::duration<double>(timing.sendTick).count();
  const auto gapTicks = (timing.pageGap.count() + timing.sendTick.count() - 1) / timing.sendTick.count();
  const double prescribed = (9.0 + pages + static_cast<double>(pages - 2) * static_cast<double>(gapTicks)) * tick;
  const bool complete = frame.LastDownloadEnd() == DownloadEnd::Complete;
  std::printf("download through the main window, %d pages, timing / 10 (send tick %lld ms):\n"
              "  %s, duration %.2f s beside prescribed %.2f s: %.3f x (goal <= 1.05)\n"
              "  longest event-loop stall %.1f ms (limit 100 ms)\n",
              pages, static_cast<long long>(timing.sendTick.count()),
              complete ? "complete" : (ended ? "NOT complete" : "did not end"), seconds, prescribed,
              seconds / prescribed, stall);
  return complete && stall <= 100.0 && seconds <= 1.05 * prescribed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  // The instrument's identity opens "Instrument Info": its OK is pressed as soon as it shows.
  QTimer ok;
  QObject::connect(&ok, &QTimer::timeout, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      dialog->accept();
    }
  });
  ok.start(20);
  const int scan = Scan();
  const int download = Download();
  return scan != 0 || download != 0 ? 1 : 0;
}
