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

// The link replaces only a link; split, garbled replies arrive whole; the page that was the last
// allowed arrives before the hang-up closes the line.
TEST(SimPtyServer, ServesOnItsLinkUntilItHangsUp) {
  Faults f;
  f.splitBytes = 3;
  f.splitDelayMs = 1;
  f.garbage = "\x07";
  f.garbageEvery = 2;
  f.hangUpAfterPages = 1;
  PtyServer server = StartedServer(f);
  ASSERT_TRUE(server.Start());
  nimbrel::test::TempDir dir;
  dir.Write("COM2", "a file");
  EXPECT_FALSE(server.LinkAs((dir / "COM2").string()));
  EXPECT_EQ(dir.Read("COM2"), "a file");
  std::filesystem::create_symlink("/nonexistent", dir / "COM1");
  ASSERT_TRUE(server.LinkAs((dir / "COM1").string()));
  test::Client client((dir / "COM1").string());
  ASSERT_TRUE(client.Send("AA\r"));
  EXPECT_EQ(client.Read(1), "TBR4470 Rain Gauge\r\n");
  ASSERT_TRUE(client.Send("RB\r"));
  EXPECT_EQ(client.Read(1), "\x07"
                            "0\r\n");
  ASSERT_TRUE(client.Send("KR9999\r")); // a refusal is not a page
  EXPECT_EQ(client.Read(1), "?\r\n");
  ASSERT_TRUE(client.Send("KR0001\r"));
  EXPECT_EQ(test::ReplyLines(client.Read(65)).size(), 65U);
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
