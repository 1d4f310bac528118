#include "link/serial.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <string>

namespace nimbrel {
namespace {

using namespace serial_result;
using test::PtyPair;

TEST(Serial, OpenIsExclusiveAndAClosedPortRefusesEveryOperation) {
  test::TempDir dir;
  dir.Write("plain.txt", "not a port");
  CSerial port;
  EXPECT_EQ(port.Open((dir / "COM9").string()), static_cast<std::uint32_t>(ENOENT));
  EXPECT_EQ(port.Open((dir / "plain.txt").string()), static_cast<std::uint32_t>(ENOTTY));
  EXPECT_EQ(port.LastError(), static_cast<std::uint32_t>(ENOTTY));
  EXPECT_FALSE(port.IsOpen());
  char byte = 0;
  std::size_t count = 99;
  for (const std::uint32_t code :
       {port.Configure(9600, 8, 0, 0), port.SetFlowControl(CSerial::FlowHardware), port.WaitForEvent(10),
        port.WriteString("AA\r", &count), port.Read(&byte, 1), port.Purge()}) {
    EXPECT_EQ(code, kInvalidHandle);
  }
  EXPECT_EQ(count, 0U);
  EXPECT_EQ(port.Close(), kOk);

  PtyPair pty;
  CSerial second;
  ASSERT_EQ(port.Open(pty.DeviceName()), kOk);
  EXPECT_EQ(port.Open(pty.DeviceName()), kAlreadyInitialized);
  EXPECT_EQ(second.Open(pty.DeviceName()), static_cast<std::uint32_t>(EBUSY));
  EXPECT_EQ(port.Close(), kOk);
  EXPECT_EQ(second.Open(pty.DeviceName()), kOk); // free again once closed
}

class OpenPort : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(port.Open(pty.DeviceName(), 2048, 2048), kOk); }
  using Line = std::array<int, 5>; // baud, data bits, parity, stop bits, flow
  Line Current() {
    return {port.GetBaudRate(), port.GetDataBits(), port.GetParity(), port.GetStopBits(), port.GetFlowControl()};
  }
  PtyPair pty;
  CSerial port;
};

TEST_F(OpenPort, ConfigureAndFlowControlRefuseBadValuesLeavingTheLineAlone) {
  EXPECT_EQ(Current(), (Line{9600, 8, 0, 0, CSerial::FlowNone})); // the defaults of Open
  for (const Line& l : {Line{1200, 5, 1, 1, 0}, Line{300, 6, 3, 0, 0}, Line{19200, 7, 2, 2, 0}}) {
    EXPECT_EQ(port.Configure(static_cast<std::uint32_t>(l[0]), l[1], l[2], l[3]), kOk);
    EXPECT_EQ(Current(), l);
  }
  ASSERT_EQ(port.SetFlowControl(CSerial::FlowSoftware), kOk);
  const Line kept{19200, 7, 2, 2, CSerial::FlowSoftware};
  for (const Line& l : {Line{12345, 8, 0, 0}, Line{9600, 9, 0, 0}, Line{9600, 4, 0, 0}, Line{9600, 8, 5, 0},
                        Line{9600, 8, -1, 0}, Line{9600, 8, 0, 3}}) {
    EXPECT_EQ(port.Configure(static_cast<std::uint32_t>(l[0]), l[1], l[2], l[3]), static_cast<std::uint32_t>(EINVAL));
  }
  EXPECT_EQ(port.SetFlowControl(-1), kInvalidArg);
  EXPECT_EQ(port.SetFlowControl(3), kInvalidArg); // 0x80070057
  EXPECT_EQ(Current(), kept);
}

TEST_F(OpenPort, ConfigureAssertsRtsSoOnlyFlowControlSetAfterItIsHardware) {
  ASSERT_EQ(port.SetFlowControl(CSerial::FlowHardware), kOk);
  ASSERT_EQ(port.Configure(9600, 8, 0, 0), kOk);
  EXPECT_EQ(port.GetFlowControl(), CSerial::FlowNone); // RTS permanently on, no longer handshake

  ASSERT_EQ(port.Configure(9600, 8, 0, 0), kOk);
  ASSERT_EQ(port.SetFlowControl(CSerial::FlowHardware), kOk);
  EXPECT_EQ(port.GetFlowControl(), CSerial::FlowHardware);
}

TEST_F(OpenPort, WritesAndReadsWaitAtMostTheirFixedTimeAndPurgeDropsInput) {
  std::size_t count = 0;
  char buf[16] = {};
  EXPECT_EQ(port.Read(buf, sizeof buf, &count), kOk); // immediate mode: nothing there, no wait
  EXPECT_EQ(count, 0U);

  ASSERT_EQ(port.SetReadMode(CSerial::ReadWaiting), kOk);
  pty.Send("OK\r");
  EXPECT_EQ(port.Read(buf, sizeof buf, &count), kTimeout);
  EXPECT_EQ(std::string(buf, count), "OK\r");

  // Nobody reads the other side: the queue fills and the write gives up.
  const std::string big(1 << 20, 'w');
  EXPECT_EQ(port.WriteString(big, &count), kTimeout);
  EXPECT_GT(count, 0U);
  EXPECT_LT(count, big.size());
  EXPECT_EQ(port.LastError(), kTimeout);

  ASSERT_EQ(port.SetReadMode(CSerial::ReadImmediate), kOk);
  pty.Send("junk");
  ASSERT_EQ(port.WaitForEvent(2000), kOk);
  EXPECT_EQ(port.TakeEventWord(), kEvRxChar);
  EXPECT_EQ(port.TakeEventWord(), 0xFFFFFFFFU);
  EXPECT_EQ(port.Purge(), kOk);
  EXPECT_EQ(port.Read(buf, sizeof buf, &count), kOk);
  EXPECT_EQ(count, 0U);
  EXPECT_EQ(port.WaitForEvent(1), kTimeout);
}

} // namespace
} // namespace nimbrel
