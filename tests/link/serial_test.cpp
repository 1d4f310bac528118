#include "link/serial.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace nimbrel {
namespace {

using namespace serial_result;
using test::PtyPair;

TEST(Serial, OpenRefusesWhatIsNotAFreeSerialPort) {
  test::TempDir dir;
  dir.Write("plain.txt", "not a port");
  struct Case {
    std::string device;
    std::uint32_t code;
  };
  const std::vector<Case> cases{{(dir / "COM9").string(), static_cast<std::uint32_t>(ENOENT)},
                                {(dir / "plain.txt").string(), static_cast<std::uint32_t>(ENOTTY)},
                                {"/dev/null", static_cast<std::uint32_t>(ENOTTY)}};
  for (const auto& c : cases) {
    CSerial port;
    EXPECT_EQ(port.Open(c.device), c.code) << c.device;
    EXPECT_EQ(port.LastError(), c.code);
    EXPECT_FALSE(port.IsOpen());
  }

  PtyPair pty;
  CSerial first;
  CSerial second;
  ASSERT_EQ(first.Open(pty.DeviceName()), kOk);
  EXPECT_EQ(first.Open(pty.DeviceName()), kAlreadyInitialized);
  EXPECT_TRUE(first.IsOpen());
  EXPECT_EQ(second.Open(pty.DeviceName()), static_cast<std::uint32_t>(EBUSY));
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(first.Close(), kOk);
  EXPECT_EQ(second.Open(pty.DeviceName()), kOk); // free again once closed
}

TEST(Serial, EveryOperationOnAClosedPortReturnsInvalidHandle) {
  CSerial port;
  char byte = 0;
  std::size_t count = 99;
  const std::vector<std::pair<const char*, std::uint32_t>> codes{
      {"Configure", port.Configure(9600, 8, 0, 0)},
      {"SetFlowControl", port.SetFlowControl(CSerial::FlowHardware)},
      {"SetReadMode", port.SetReadMode(CSerial::ReadWaiting)},
      {"SetEventMask", port.SetEventMask(1)},
      {"SetEventCharacter", port.SetEventCharacter('\n')},
      {"WaitForEvent", port.WaitForEvent(10)},
      {"WriteString", port.WriteString("AA\r", &count)},
      {"Read", port.Read(&byte, 1)},
      {"Purge", port.Purge()}};
  for (const auto& [name, code] : codes) {
    EXPECT_EQ(code, kInvalidHandle) << name;
  }
  EXPECT_EQ(count, 0U);
  EXPECT_EQ(port.GetBaudRate(), -1);
  EXPECT_EQ(port.GetFlowControl(), -1);
  EXPECT_EQ(port.GetEventMask(), 0U);
  EXPECT_EQ(port.LastError(), kInvalidHandle);
  EXPECT_EQ(port.Close(), kOk);
  EXPECT_EQ(port.LastError(), kOk);
}

class OpenPort : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(port.Open(pty.DeviceName(), 2048, 2048), kOk); }
  struct Line {
    int baud, dataBits, parity, stopBits, flow;
  };
  Line Current() {
    return {port.GetBaudRate(), port.GetDataBits(), port.GetParity(), port.GetStopBits(), port.GetFlowControl()};
  }
  static void ExpectLine(const Line& got, const Line& want) {
    EXPECT_EQ(got.baud, want.baud);
    EXPECT_EQ(got.dataBits, want.dataBits);
    EXPECT_EQ(got.parity, want.parity);
    EXPECT_EQ(got.stopBits, want.stopBits);
    EXPECT_EQ(got.flow, want.flow);
  }
  PtyPair pty;
  CSerial port;
};

TEST_F(OpenPort, ConfigureTakesValidLineSettingsAndRefusesOthersUnchanged) {
  ExpectLine(Current(), {9600, 8, 0, 0, CSerial::FlowNone}); // the defaults of Open
  EXPECT_EQ(port.GetEventMask(), 0xC1U);

  const std::vector<Line> valid{
      {19200, 7, 2, 2, 0}, {1200, 5, 1, 1, 0}, {300, 6, 3, 0, 0}, {2400, 8, 4, 2, 0}, {115200, 8, 0, 0, 0}};
  for (const auto& l : valid) {
    SCOPED_TRACE(l.baud);
    EXPECT_EQ(port.Configure(static_cast<std::uint32_t>(l.baud), l.dataBits, l.parity, l.stopBits), kOk);
    ExpectLine(Current(), l);
  }
  const std::vector<Line> invalid{{12345, 8, 0, 0, 0}, {9600, 9, 0, 0, 0}, {9600, 4, 0, 0, 0},
                                  {9600, 8, 5, 0, 0},  {9600, 8, 0, 3, 0}, {9600, 8, -1, 0, 0}};
  for (const auto& l : invalid) {
    SCOPED_TRACE(l.baud);
    EXPECT_EQ(port.Configure(static_cast<std::uint32_t>(l.baud), l.dataBits, l.parity, l.stopBits),
              static_cast<std::uint32_t>(EINVAL));
    ExpectLine(Current(), valid.back());
  }
}

TEST_F(OpenPort, FlowControlModesAndUnknownModesLeaveTheLineAlone) {
  for (const int mode : {CSerial::FlowHardware, CSerial::FlowSoftware, CSerial::FlowNone, CSerial::FlowSoftware}) {
    EXPECT_EQ(port.SetFlowControl(mode), kOk);
    EXPECT_EQ(port.GetFlowControl(), mode);
  }
  ASSERT_EQ(port.Configure(19200, 7, 2, 2), kOk);
  ASSERT_EQ(port.SetFlowControl(CSerial::FlowSoftware), kOk);
  for (const int bad : {3, -1, 100}) {
    EXPECT_EQ(port.SetFlowControl(bad), kInvalidArg);
    EXPECT_EQ(port.LastError(), kInvalidArg);
    ExpectLine(Current(), {19200, 7, 2, 2, CSerial::FlowSoftware});
  }
  EXPECT_EQ(port.SetReadMode(2), kInvalidArg);
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
  EXPECT_EQ(port.WriteString("AA\r", &count), kOk);
  EXPECT_EQ(count, 3U);
  EXPECT_EQ(pty.Receive(3, std::chrono::seconds(2)), "AA\r");

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

TEST_F(OpenPort, EventCharacterAddsItsBitToTheMaskWhenAsked) {
  EXPECT_EQ(port.SetEventCharacter('\n', false), kOk);
  EXPECT_EQ(port.GetEventMask(), 0xC1U);
  EXPECT_EQ(port.SetEventCharacter('\r', true), kOk);
  EXPECT_EQ(port.GetEventMask(), 0xC3U);
  EXPECT_EQ(port.GetEventCharacter(), '\r');
}

} // namespace
} // namespace nimbrel
