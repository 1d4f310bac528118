// A misbehaving instrument during nimbrel-cli download: every fault ends with its message or a
// clear error, never a crash or a hang, and every line received before the fault is in the file.

#include "e2e_support.h"

#include <gtest/gtest.h>

#include <csignal>

namespace nimbrel::test::e2e {
namespace {

using Strings = std::vector<std::string>;

std::string StoredRainLines(const sim::Memory& memory, int page, std::size_t count) {
  std::string text;
  const auto lines = memory.RainPageLines(page);
  for (std::size_t i = 0; i < count && i < lines.size(); ++i) {
    text += Stored(lines[i]);
  }
  return text;
}

// The expected file up to the end of `part` (which must be in it).
std::string UpTo(const std::string& file, const std::string& part) {
  const auto at = file.find(part);
  EXPECT_NE(at, std::string::npos);
  return at == std::string::npos ? std::string() : file.substr(0, at + part.size());
}

struct Rig {
  explicit Rig(const sim::Faults& faults) : memory(MakeState({}).memory), sim(MakeState({})) {
    sim.server.SetFaults(faults);
    sim.Link("COM2");
    sim.WritePortIni(2, 9600, false);
    expected = sim.Expected(false).value_or("");
  }
  sim::Memory memory; // rain 11..13, temperature 1461..1462, all new
  SimRig sim;
  std::string expected;
};

const Strings kBase = Concat({ConnectCommands(), PointerCommands()});

TEST(FaultsEndToEnd, GivenUpCommandsAndAHangUpEndTheDownloadKeepingWhatCame) {
  struct Case {
    const char* name;
    sim::Faults faults;
    int exit;
    std::function<std::optional<std::string>(const Rig&)> file; // nullopt: no file
    Strings commands;
    Strings err;
  };
  sim::Faults pageUnanswered; // the 16th command is the first page request; the second is never answered
  pageUnanswered.silentAfterCommands = 16;
  sim::Faults flagsUnanswered;
  flagsUnanswered.silent["RQ"] = -1;
  sim::Faults hangUp;
  hangUp.hangUpAfterPages = 2;
  sim::Faults silentInPage;
  silentInPage.silentInPageAfterLines = 10;

  const Case cases[] = {
      {"a page request never answered",
       pageUnanswered,
       1,
       [](const Rig& r) { return UpTo(r.expected, StoredRainLines(r.memory, 11, 65)); },
       Concat({kBase, {"KR0011", "KR0012", "KR0012", "KR0012", "KR0012"}}),
       {"Command 13 : Timeout Expired\n", "Download Interrupted\n"}},
      {"GET_FLAGS never answered: no decision",
       flagsUnanswered,
       1,
       [](const Rig&) { return std::optional<std::string>(); },
       Concat({ConnectCommands(), {"RA", "RB", "RM", "RN", "RS", "RT", "RU", "RW", "RQ", "RQ", "RQ", "RQ"}}),
       {"Command 9 : Timeout Expired\n", "ERROR: the download cannot go on; it was stopped.\n"}},
      {"the line hangs up after two pages",
       hangUp,
       1,
       [](const Rig& r) { return UpTo(r.expected, StoredRainLines(r.memory, 12, 65)); },
       Concat({kBase, {"KR0011", "KR0012"}}),
       {"ERROR: the instrument is no longer connected (the port was closed).\n", "Download Interrupted\n"}},
      {"silence inside a page, nobody stops it",
       silentInPage,
       1,
       [](const Rig& r) { return UpTo(r.expected, StoredRainLines(r.memory, 11, 10)); },
       Concat({kBase, {"KR0011"}}),
       {"ERROR: the instrument stopped sending during page 11.\n", "Confirm stop downloading ? Yes\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(c.faults);
    const Result r = RunInProcess(rig.sim.dir.Path(), "download", {});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exit, c.exit) << r.err;
    const auto file = c.file(rig);
    if (file) {
      EXPECT_EQ(rig.sim.Dump(), *file);
    } else {
      EXPECT_FALSE(rig.sim.DumpExists());
    }
    EXPECT_EQ(rig.sim.Commands(), c.commands);
    ExpectInOrder(r.err, c.err);
  }
}

TEST(FaultsEndToEnd, BytesOutsideTheRepliesAndSplitLinesLoseNothing) {
  {
    // Noise before the first page: the listener keeps it with the line it precedes.
    sim::Faults noise;
    noise.garbage = std::string("\x00\xff\x1b", 3);
    noise.garbageEvery = 16;
    Rig rig(noise);
    const Result r = RunInProcess(rig.sim.dir.Path(), "download", {});
    EXPECT_EQ(r.exit, 0) << r.err;
    std::string expected = rig.expected;
    const auto page = expected.find(Stored("Z0"));
    ASSERT_NE(page, std::string::npos);
    expected.insert(page, noise.garbage);
    EXPECT_EQ(rig.sim.Dump(), expected);
    EXPECT_EQ(rig.sim.Commands(), Concat({kBase, PageCommands("KR", 10, 13), PageCommands("KS", 1460, 1462)}));
  }
  {
    // Replies in pieces of 3 bytes with pauses: the same file, the same commands.
    sim::Faults split;
    split.splitBytes = 3;
    split.splitDelayMs = 1;
    Rig rig(split);
    const Result r = RunInProcess(rig.sim.dir.Path(), "download", {});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(rig.sim.Dump(), rig.expected);
    EXPECT_EQ(rig.sim.Commands(), Concat({kBase, PageCommands("KR", 10, 13), PageCommands("KS", 1460, 1462)}));
  }
}

// Ctrl+C on the real program while the instrument has fallen silent inside a page: Stop.
TEST(FaultsEndToEnd, CtrlCStopsTheRealProgramInsideASilentPage) {
  sim::Faults silentInPage;
  silentInPage.silentInPageAfterLines = 10;
  Rig rig(silentInPage);
  const std::string tenLines = UpTo(rig.expected, StoredRainLines(rig.memory, 11, 10));
  bool sent = false;
  const Result r = RunProgram(rig.sim.dir.Path(), "download", {}, std::chrono::seconds(60), [&](int pid) {
    if (!sent && rig.sim.Dump().size() >= tenLines.size()) {
      sent = true;
      kill(pid, SIGINT);
    }
  });
  EXPECT_TRUE(sent);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exit, 1) << r.err;
  ExpectInOrder(r.err, {"Interrupted.\n", "Confirm stop downloading ? Yes\n"});
  EXPECT_EQ(rig.sim.Dump(), tenLines);
  EXPECT_EQ(rig.sim.Commands(), Concat({kBase, {"KR0011"}}));
}

} // namespace
} // namespace nimbrel::test::e2e
