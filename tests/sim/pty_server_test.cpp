#include "sim/pty_server.h"
#include "sim_test_util.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace sim {
namespace {

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
  nimbrel::test::TempDir dir;
  ASSERT_TRUE(server.SetLogFile((dir / "commands.log").string()));
  {
    test::Client client(server.SlavePath());
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(client.Send("AA\r"));
    EXPECT_EQ(client.Read(1), "TBR4470 Rain Gauge\r\n");
    ASSERT_TRUE(client.Send("RZ\rKR0001\r"));
    const std::string page = client.Read(66);
    EXPECT_EQ(test::ReplyLines(page).size(), 66U);
    EXPECT_EQ(page.substr(0, 7), "2\r\nZ0\r\n");
  }
  // A second client, through a link as the program's port, is served as well.
  dir.Write("COM2", "a file");
  EXPECT_FALSE(server.LinkAs((dir / "COM2").string()));
  EXPECT_EQ(dir.Read("COM2"), "a file") << "only a link is ever replaced";
  ASSERT_TRUE(server.LinkAs((dir / "COM1").string(), &error)) << error;
  {
    test::Client again((dir / "COM1").string());
    ASSERT_TRUE(again.Send("RB\r"));
    EXPECT_EQ(again.Read(1), "0\r\n");
  }
  const auto received = server.Received();
  ASSERT_EQ(received.size(), 4U);
  EXPECT_EQ(received[2].text, "KR0001");
  EXPECT_EQ(received[3].text, "RB");
  server.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "COM1")));
  const auto logged = dir.Read("commands.log");
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
  test::Client client(server.SlavePath());
  ASSERT_TRUE(client.Send("AA\r"));
  EXPECT_EQ(client.Read(1), "TBR4470 Rain Gauge\r\n");
  ASSERT_TRUE(client.Send("RB\r"));
  EXPECT_EQ(client.Read(1), "\x07"
                            "0\r\n");
  ASSERT_TRUE(client.Send("KR0001\r"));
  EXPECT_EQ(test::ReplyLines(client.Read(65)).size(), 65U) << "the last page arrives before the line goes";
  ASSERT_TRUE(server.WaitHangUp(std::chrono::seconds(5)));
  EXPECT_EQ(client.Read(1), "");
  EXPECT_TRUE(client.HungUp());
  server.Stop();
}

TEST(SimPtyServer, StopsPromptlyWhileAPacedReplyIsGoingOut) {
  Faults f;
  f.splitBytes = 1;
  f.splitDelayMs = 60000; // a minute between bytes: only the stop request ends this
  PtyServer server = StartedServer(f);
  ASSERT_TRUE(server.Start());
  test::Client client(server.SlavePath());
  ASSERT_TRUE(client.Send("AA\r"));
  EXPECT_EQ(client.Read(1, 1), "T");
  server.Stop(); // interrupts the minute-long pause; the line closes
  EXPECT_EQ(client.Read(1), "");
  EXPECT_TRUE(client.HungUp());
}

} // namespace
} // namespace sim
