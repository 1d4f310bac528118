#include "link/port_name.h"
#include "link/queued_sink.h"
#include "link/serial_session_port.h"
#include "link_test_util.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "support/test_app.h"

#include <QObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <thread>

namespace nimbrel {
namespace {

using test::EventLog;
using test::PtyPair;
using test::TempDir;

TEST(PortName, ComNamesPreferTheProgramDirectoryThenTheSerialDevices) {
  TempDir dir;
  std::filesystem::create_symlink("/nonexistent/ttyUSB7", dir / "COM3"); // device not plugged in
  dir.Write("COM12", "");
  const std::vector<std::pair<std::string, std::string>> cases{
      {"COM1", "/dev/ttyS0"},
      {"COM10", "/dev/ttyS9"},
      {"COM3", (dir / "COM3").string()},
      {"COM12", (dir / "COM12").string()},
      {"COM0", (dir / "COM0").string()}, // no such port: fails on open
      {"/dev/pts/4", "/dev/pts/4"},
      {"com1", "com1"},
      {"COM1x", "COM1x"},
      {"COM99999999999999", "COM99999999999999"}};
  for (const auto& [name, resolved] : cases) {
    EXPECT_EQ(ResolvePortName(dir.Path(), name), resolved) << name;
  }
}

class SessionPort : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_symlink(pty.DeviceName(), dir / "COM1");
    ASSERT_TRUE(port.Open("COM1", log.Sink()).ok());
  }
  std::uint64_t Wakeups() { return port.Port().ListenerWakeups(); }
  PtyPair pty;
  TempDir dir;
  EventLog log;
  CSerialSessionPort port{dir.Path()};
};

TEST_F(SessionPort, OpensComNamesThroughTheProgramDirectoryAndSilenceIsATimeout) {
  EXPECT_EQ(port.Open("COM1", log.Sink()).code(), StatusCode::Busy);
  std::filesystem::create_symlink(dir / "missing", dir / "COM2");
  CSerialSessionPort other(dir.Path());
  const Status missing = other.Open("COM2", {});
  EXPECT_EQ(missing.code(), StatusCode::NotFound);
  EXPECT_NE(missing.message().find("COM2"), std::string::npos) << missing.message();

  // The connection's probe reads directly (the end-to-end download shows an answer read); silence is
  // a time-out, which a scan takes for "not this port".
  std::string got;
  EXPECT_EQ(port.Read(got, 64).code(), StatusCode::Timeout);
}

// Before every send the session purges and empties the line buffer: what a late reply left there
// must not start the next line.
TEST_F(SessionPort, APurgeBeforeASendDropsThePartialLine) {
  port.SetReceiveEnabled(true);
  ASSERT_TRUE(test::WaitCount([this] { return Wakeups(); }, 1));
  const std::uint64_t since = Wakeups();
  pty.Send("stale");
  ASSERT_TRUE(test::WaitCount([this] { return Wakeups(); }, since + 1));
  ASSERT_TRUE(port.Purge().ok());
  port.EmptyReceiveBuffer();
  ASSERT_TRUE(port.WriteString("AA\r").ok());
  pty.Send("OK\r\n");
  ASSERT_TRUE(log.WaitFor(1));
  EXPECT_EQ(log.Events()[0].line, "OK\r\n");
}

// Events reach the receiver's thread in order, and not at all once it is gone.
TEST(QueuedSink, DeliversInOrderOnTheReceiversThreadAndOnlyWhileItLives) {
  test::TestApp();
  auto receiver = std::make_unique<QObject>();
  std::vector<std::string> lines;
  std::vector<std::thread::id> threads;
  const LinkEventSink sink = MakeQueuedSink(receiver.get(), [&](const LinkEvent& e) {
    lines.push_back(e.line);
    threads.push_back(std::this_thread::get_id());
  });
  std::thread listener([&] {
    for (int i = 0; i < 50; ++i) {
      sink(LinkEvent{LinkEvent::Kind::Reply, std::to_string(i), 0});
    }
  });
  listener.join();
  EXPECT_TRUE(lines.empty()); // queued, not called on the listener's thread
  QCoreApplication::processEvents();
  ASSERT_EQ(lines.size(), 50U);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], std::to_string(i));
  }
  EXPECT_EQ(std::set(threads.begin(), threads.end()), std::set{std::this_thread::get_id()});

  // Once the port lets go of its sink, the helper object leaves the receiver.
  {
    const LinkEventSink copy = MakeQueuedSink(receiver.get(), [](const LinkEvent&) {});
    EXPECT_EQ(receiver->children().size(), 2);
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(receiver->children().size(), 1);

  sink(LinkEvent{LinkEvent::Kind::Reply, "pending", 0});
  receiver.reset();
  sink(LinkEvent{LinkEvent::Kind::Reply, "late", 0});
  QCoreApplication::processEvents();
  EXPECT_EQ(lines.size(), 50U);
}

} // namespace
} // namespace nimbrel
