// A download as the user runs it: nimbrel-cli as its own process with the product's timing, the
// real serial port and listener on a pseudo-terminal, the simulated instrument behind it.

#include "sim/pty_server.h"
#include "support/child_process.h"
#include "support/instrument_memory.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;

// The instrument served on a pseudo-terminal that the program directory's COM1 links to.
struct Rig {
  explicit Rig(const sim::Faults& faults) : server(sim::Instrument(MakePointerState({12, 10, 3, 1461, 1460, 1455}))) {
    server.SetFaults(faults); // rain pages 11, 12 and temperature page 1461 are new
    std::string error;
    EXPECT_TRUE(server.Start(&error)) << error;
    EXPECT_TRUE(server.LinkAs((dir / "COM1").string(), &error)) << error;
    dir.Write("port.ini", "AUTODETECT=0\nCOM= COM1\nBAUDRATE= 9600\nPARITY= N\nNUMBIT= 8\nBITSTOP= 1\nFLOW_CTRL= H\n");
    expected = server.WithInstrument([](sim::Instrument& i) { return i.ExpectedDump(false); }).value_or("");
  }
  Strings Commands() const {
    Strings texts;
    for (const auto& c : server.Received()) {
      texts.push_back(c.text);
    }
    return texts;
  }
  TempDir dir;
  sim::PtyServer server;
  std::string expected;
};

const Strings kConnectAndPointers{"AA", "RZ", "AA", "AS", "AG", "AH", "RA", "RB",
                                  "RM", "RN", "RS", "RT", "RU", "RW", "RQ"};

// Both runs go at once: the product's timing makes each take seconds of waiting.
TEST(EndToEnd, DownloadByTheRealProgramAndCtrlCInsideASilentPage) {
  Rig complete({});
  sim::Faults silentInPage;
  silentInPage.silentInPageAfterLines = 10;
  Rig stopped(silentInPage);
  ChildProcess run(BuiltProgram("nimbrel-cli"), {"download", "--clear-memory", "--output", "kept.rlg"},
                   complete.dir.Path());
  ChildProcess interrupted(BuiltProgram("nimbrel-cli"), {"download"}, stopped.dir.Path());

  // The four header lines and the ten page lines that came before the instrument fell silent.
  std::size_t end = 0;
  for (int line = 0; line < 14; ++line) {
    end = stopped.expected.find('\n', end) + 1;
  }
  const std::string prefix = stopped.expected.substr(0, end);
  EXPECT_TRUE(interrupted.WaitUntil([&] { return stopped.dir.Read("DumpFile.rlg").size() >= prefix.size(); }));
  interrupted.Signal(SIGTERM); // stops the download as Ctrl+C does
  const ChildResult stop = interrupted.Wait();
  EXPECT_EQ(stop.exit, 1) << stop.err;
  EXPECT_NE(stop.err.find("Interrupted.\nConfirm stop downloading ? Yes\n"), std::string::npos) << stop.err;
  EXPECT_EQ(stopped.dir.Read("DumpFile.rlg"), prefix);
  Strings sent = kConnectAndPointers;
  sent.emplace_back("KR0011");
  EXPECT_EQ(stopped.Commands(), sent);

  const ChildResult done = run.Wait();
  EXPECT_EQ(done.exit, 0) << done.err;
  ASSERT_FALSE(complete.expected.empty());
  EXPECT_EQ(complete.dir.Read("DumpFile.rlg"), complete.expected);
  EXPECT_EQ(complete.dir.Read("kept.rlg"), complete.expected);
  sent = kConnectAndPointers;
  sent.insert(sent.end(), {"KR0011", "KR0012", "KS1461", "WN0012", "WW1461"});
  EXPECT_EQ(complete.Commands(), sent);
  EXPECT_NE(done.err.find("Download Complete\n"), std::string::npos) << done.err;
  EXPECT_NE(done.err.find("Clear memory successfull.\n"), std::string::npos) << done.err;
}

} // namespace
} // namespace nimbrel::test
