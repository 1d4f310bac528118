#include "sim/pty_server.h"
#include "sim_test_util.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>

namespace sim {
namespace {

// The program's side of the line: a raw, non-blocking open of the slave.
class Client {
public:
  explicit Client(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~Client() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
  bool Send(const std::string& text) {
    return ::write(fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  // Reads until `lines` line feeds arrived, the line hung up, or nothing came for 5 s (a failing
  // instrument must not hang the test).
  std::string ReadLines(int lines) {
    std::string got;
    int seen = 0;
    while (seen < lines) {
      pollfd pfd{fd_, POLLIN, 0};
      if (::poll(&pfd, 1, 5000) <= 0) {
        break;
      }
      if ((pfd.revents & POLLIN) == 0) {
        hungUp_ = (pfd.revents & POLLHUP) != 0;
        break;
      }
      char c = 0;
      const ssize_t n = ::read(fd_, &c, 1);
      if (n <= 0) {
        hungUp_ = n == 0 || errno == EIO;
        break;
      }
      got += c;
      seen += c == '\n' ? 1 : 0;
    }
    return got;
  }
  // Whatever one read returns within 5 s.
  std::string ReadSome() {
    pollfd pfd{fd_, POLLIN, 0};
    std::array<char, 64> buf{};
    if (::poll(&pfd, 1, 5000) <= 0) {
      return "<nothing>";
    }
    const ssize_t n = ::read(fd_, buf.data(), buf.size());
    return n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : std::string("<closed>");
  }
  [[nodiscard]] bool HungUp() const { return hungUp_; }

private:
  int fd_;
  bool hungUp_ = false;
};

PtyServer StartedServer(const Faults& faults = {}) {
  Instrument instr = test::MakeInstrument(test::Generated(3, 20));
  instr.SetFaults(faults);
  return PtyServer(std::move(instr));
}

TEST(SimPtyServer, AnswersOverARealPseudoTerminalAndLogsTheCommands) {
  PtyServer server(test::MakeInstrument(test::Generated(3, 20)));
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  ASSERT_FALSE(server.SlavePath().empty());
  const auto logPath = std::filesystem::temp_directory_path() / ("sim_log_" + std::to_string(::getpid()));
  ASSERT_TRUE(server.SetLogFile(logPath.string()));
  {
    Client client(server.SlavePath());
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(client.Send("AA\r"));
    EXPECT_EQ(client.ReadLines(1), "TBR4470 Rain Gauge\r\n");
    ASSERT_TRUE(client.Send("RZ\rKR0001\r"));
    const std::string page = client.ReadLines(66);
    EXPECT_EQ(test::ReplyLines(page).size(), 66U);
    EXPECT_EQ(page.substr(0, 7), "2\r\nZ0\r\n");
  }
  // A second client, through a link as the program's port, is served as well.
  nimbrel::test::TempDir dir;
  dir.Write("COM2", "a file");
  EXPECT_FALSE(server.LinkAs((dir / "COM2").string()));
  EXPECT_EQ(dir.Read("COM2"), "a file") << "only a link is ever replaced";
  ASSERT_TRUE(server.LinkAs((dir / "COM1").string(), &error)) << error;
  {
    Client again((dir / "COM1").string());
    ASSERT_TRUE(again.Send("RB\r"));
    EXPECT_EQ(again.ReadLines(1), "0\r\n");
  }
  const auto received = server.Received();
  ASSERT_EQ(received.size(), 4U);
  EXPECT_EQ(received[0].text, "AA");
  EXPECT_EQ(received[2].text, "KR0001");
  EXPECT_EQ(received[3].text, "RB");
  EXPECT_LE(received[0].seconds, received[3].seconds);
  server.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "COM1")));
  std::ifstream log(logPath);
  std::stringstream text;
  text << log.rdbuf();
  std::filesystem::remove(logPath);
  const auto logged = text.str();
  EXPECT_NE(logged.find(" AA\n"), std::string::npos) << logged;
  EXPECT_LT(logged.find(" RZ\n"), logged.find(" KR0001\n")) << logged;
}

TEST(SimPtyServer, SplitGarbledRepliesArriveWholeAndAHangUpClosesTheLine) {
  Faults f;
  f.splitBytes = 3;
  f.splitDelayMs = 1;
  f.garbage = "\x07";
  f.garbageEvery = 2;
  f.hangUpAfterPages = 1;
  PtyServer server = StartedServer(f);
  ASSERT_TRUE(server.Start());
  Client client(server.SlavePath());
  ASSERT_TRUE(client.Send("AA\r"));
  EXPECT_EQ(client.ReadLines(1), "TBR4470 Rain Gauge\r\n");
  ASSERT_TRUE(client.Send("RB\r"));
  EXPECT_EQ(client.ReadLines(1), "\x07"
                                 "0\r\n");
  ASSERT_TRUE(client.Send("KR0001\r"));
  EXPECT_EQ(test::ReplyLines(client.ReadLines(65)).size(), 65U) << "the last page arrives before the line goes";
  ASSERT_TRUE(server.WaitHangUp(std::chrono::seconds(5)));
  EXPECT_EQ(client.ReadLines(1), "");
  EXPECT_TRUE(client.HungUp());
  server.Stop();
}

TEST(SimPtyServer, StopsPromptlyWhileAPacedReplyIsGoingOut) {
  Faults f;
  f.splitBytes = 1;
  f.splitDelayMs = 60000; // a minute between bytes: only the stop request ends this
  PtyServer server = StartedServer(f);
  ASSERT_TRUE(server.Start());
  Client client(server.SlavePath());
  ASSERT_TRUE(client.Send("AA\r"));
  EXPECT_EQ(client.ReadSome(), "T");
  server.Stop(); // interrupts the minute-long pause; the line closes
  EXPECT_EQ(client.ReadLines(1), "");
  EXPECT_TRUE(client.HungUp());
}

} // namespace
} // namespace sim
