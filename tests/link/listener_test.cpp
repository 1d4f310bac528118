#include "link/serial.h"
#include "link_test_util.h"
#include "support/pty_pair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <stop_token>
#include <thread>
#include <unistd.h>

namespace nimbrel {
namespace {

using test::EventLog;
using test::PtyPair;
using namespace std::chrono_literals;

class ListenerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(port.Open(pty.DeviceName(), log.Sink(), 2048, 2048), 0U);
    LetListenerLook(0);
  }

  // Returns once the listener has gone back to waiting `times` more times than `since`.
  void LetListenerLook(std::uint64_t since, std::uint64_t times = 1) {
    ASSERT_TRUE(test::WaitCount([this] { return port.ListenerWakeups(); }, since + times));
  }
  // Sends bytes and returns once the listener has seen them.
  void SendSeen(const std::string& bytes) {
    const std::uint64_t since = port.ListenerWakeups();
    pty.Send(bytes);
    LetListenerLook(since);
  }
  void Enable() { port.Shared().ReceiveEnabled = true; }

  PtyPair pty;
  EventLog log;
  CSerialWnd port;
};

TEST_F(ListenerTest, OfTwoLinesInOneBurstTheSecondWaitsForNewBytesOrIsPurged) {
  Enable();
  pty.Send("A1\r\nB2\r\n");
  ASSERT_TRUE(log.WaitFor(1));
  // The rest stays in the driver queue, also once reception is enabled again, until more comes.
  LetListenerLook(port.ListenerWakeups(), 3);
  Enable();
  LetListenerLook(port.ListenerWakeups(), 3);
  EXPECT_EQ(log.Events().size(), 1U);
  pty.Send("CCC");
  ASSERT_TRUE(log.WaitFor(2));
  EXPECT_EQ(log.Events()[1].line, "B2\r\n");
  LetListenerLook(port.ListenerWakeups(), 2);

  // "CCC" is still queued: the purge before a send drops it, and the shorter line after it is new.
  EXPECT_EQ(port.Purge(), 0U);
  Enable();
  pty.Send("D\n");
  ASSERT_TRUE(log.WaitFor(3));
  EXPECT_EQ(log.Events()[2].line, "D\n");
}

TEST_F(ListenerTest, PageLinesFlowWithoutStopsAndCloseEndsTheListenerFirst) {
  port.Shared().Downloading = true;
  Enable();
  // A jthread, so that a failed assertion below still stops and joins the instrument.
  std::jthread instrument([&](const std::stop_token& stop) {
    const std::string line = "0B5C2E41\r\n";
    while (!stop.stop_requested()) {
      // Non-blocking: once the listener is gone the queue fills and the writes are refused.
      static_cast<void>(::write(pty.InstrumentFd(), line.data(), line.size()));
      std::this_thread::sleep_for(1ms);
    }
  });
  ASSERT_TRUE(log.WaitFor(5));
  EXPECT_EQ(port.Close(), 0U);
  const std::size_t atClose = log.Events().size();
  std::this_thread::sleep_for(30ms); // the instrument keeps sending meanwhile
  instrument.request_stop();
  instrument.join();
  const auto events = log.Events();
  EXPECT_EQ(events.size(), atClose);
  for (const auto& e : events) {
    EXPECT_EQ(e.kind, LinkEvent::Kind::PageLine);
    EXPECT_EQ(e.line, "0B5C2E41\r\n");
  }
}

TEST_F(ListenerTest, AHangUpIsReportedOnceWithThePartialLineAndTheListenerIdles) {
  Enable();
  SendSeen("RZ");
  pty.HangUp();
  ASSERT_TRUE(log.WaitFor(1));
  const std::uint64_t before = port.ListenerWakeups();
  std::this_thread::sleep_for(300ms);
  // A listener spinning on the dead port would wake thousands of times here.
  EXPECT_LE(port.ListenerWakeups() - before, 2U);
  const auto events = log.Events();
  ASSERT_EQ(events.size(), 1U);
  EXPECT_EQ(events[0].kind, LinkEvent::Kind::HangUp);
  EXPECT_EQ(events[0].line, "RZ");
  EXPECT_EQ(events[0].code, static_cast<std::uint32_t>(EIO));
}

TEST_F(ListenerTest, BytesWaitingWhileReceptionIsOffNeitherSpinNorGetLostAndAHangUpStillCounts) {
  SendSeen("XYZ\n");
  const std::uint64_t before = port.ListenerWakeups();
  std::this_thread::sleep_for(200ms);
  // Only the periodic look at the queue (every 20 ms), not a loop on the ready port.
  EXPECT_LE(port.ListenerWakeups() - before, 30U);
  EXPECT_TRUE(log.Events().empty());
  Enable();
  pty.Send("W\n");
  ASSERT_TRUE(log.WaitFor(1));
  EXPECT_EQ(log.Events()[0].line, "XYZ\n");

  EXPECT_EQ(port.Purge(), 0U);
  pty.HangUp(); // reception is off again after the reply
  ASSERT_TRUE(log.WaitFor(2));
  EXPECT_EQ(log.Events()[1].kind, LinkEvent::Kind::HangUp);
  char byte = 0;
  EXPECT_NE(port.Read(&byte, 1), 0U); // the port itself says so too
}

} // namespace
} // namespace nimbrel
