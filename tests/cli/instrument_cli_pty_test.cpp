#include "cli/commands.h"
#include "cli/instrument_commands.h"
#include "link/serial_session_port.h"
#include "support/pty_pair.h"
#include "support/session_fakes.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace nimbrel::test {
namespace {

// The fake instrument behind a pseudo-terminal, answering on its own thread.
class PtyInstrument {
public:
  explicit PtyInstrument(FakeInstrument instrument) : instrument_(std::move(instrument)) {
    thread_ = std::thread([this] { Serve(); });
  }
  ~PtyInstrument() {
    stop_ = true;
    thread_.join();
  }
  PtyInstrument(const PtyInstrument&) = delete;
  PtyInstrument& operator=(const PtyInstrument&) = delete;
  [[nodiscard]] const std::string& DeviceName() const { return pty_.DeviceName(); }

private:
  void Serve() {
    std::string pending;
    while (!stop_) {
      pollfd p{pty_.InstrumentFd(), POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0 || (p.revents & POLLIN) == 0) {
        continue;
      }
      char buffer[256];
      const ssize_t n = ::read(pty_.InstrumentFd(), buffer, sizeof buffer);
      if (n <= 0) {
        continue;
      }
      pending.append(buffer, static_cast<std::size_t>(n));
      for (auto cr = pending.find('\r'); cr != std::string::npos; cr = pending.find('\r')) {
        const std::string command = pending.substr(0, cr + 1);
        pending.erase(0, cr + 1);
        const std::string reply = instrument_.Answer(command);
        if (!reply.empty()) {
          pty_.Send(reply);
        }
      }
    }
  }

  PtyPair pty_;
  FakeInstrument instrument_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "test_cli";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// The product's path: the real port and its listener thread, the queued hand-over, Qt timers
// and the event loop, with the timing scaled down.
TEST(CliOverPty, DownloadsThroughTheRealPortAndEventLoop) {
  App();
  FakeInstrument fake;
  fake.writeR = 11, fake.readR = 10, fake.histR = 3;
  fake.writeT = 1454, fake.readT = 1453, fake.histT = 1455;
  PtyInstrument instrument(fake);
  TempDir dir;
  cli::InstrumentEnv env;
  env.programDirectory = dir.Path();
  env.makePort = [](const std::filesystem::path& d) { return std::make_unique<CSerialSessionPort>(d); };
  env.timing = SessionTiming{}.Scaled(10);
  std::string out, err;
  env.out = [&out](const std::string& s) { out += s; };
  env.err = [&err](const std::string& s) { err += s; };
  const std::string copy = (dir / "copy.rlg").string();
  const QStringList args{"nimbrel-cli download", "--port",   QString::fromStdString(instrument.DeviceName()),
                         "--clear-memory",       "--output", QString::fromStdString(copy)};
  ASSERT_EQ(cli::RunInstrumentCommand("download", args, env), cli::kExitOk) << err;
  const std::string header = "********** Nimbrel   -TBR4470-   Serial Num:12345678 **********\r\r\n\r\r\n"
                             "mm H2O per tip = 0.20000\r\r\nUnit Meas =0\r\r\n";
  const std::string file = ReadFileBytes(copy);
  EXPECT_EQ(file.substr(0, header.size()), header);
  EXPECT_NE(file.find("TEMPERATURE (-TBR4470- Serial Num: 12345678)\r\r\n"), std::string::npos);
  EXPECT_EQ(file, ReadFileBytes(dir / "DumpFile.rlg"));
  EXPECT_NE(err.find("Connected to " + instrument.DeviceName() + " 9600 8,N,1\n"), std::string::npos);
  EXPECT_NE(err.find("Download Complete\n"), std::string::npos);
  EXPECT_NE(err.find("Clear memory successfull.\n"), std::string::npos);
}

} // namespace
} // namespace nimbrel::test
