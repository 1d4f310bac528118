// nimbrel-cli download against the simulated instrument on a pseudo-terminal: the file written and
// the commands sent, for the shapes of memory the procedure distinguishes.

#include "e2e_support.h"

#include <gtest/gtest.h>

namespace nimbrel::test::e2e {
namespace {

using Strings = std::vector<std::string>;

std::string StoredRainPage(const sim::Memory& memory, int page) {
  std::string text;
  for (const auto& line : memory.RainPageLines(page)) {
    text += Stored(line);
  }
  return text;
}

// `whole` without the one occurrence of `part`.
std::string Without(std::string whole, const std::string& part) {
  const auto at = whole.find(part);
  EXPECT_NE(at, std::string::npos);
  EXPECT_EQ(whole.find(part, at + 1), std::string::npos) << "the removed text must be unique";
  if (at != std::string::npos) {
    whole.erase(at, part.size());
  }
  return whole;
}

struct Case {
  const char* name = "";
  MemoryShape shape{};
  std::function<void(sim::InstrumentState&)> tweak{};
  sim::Faults faults{};
  QStringList flags{};
  int exit = 0;
  // The file expected from the simulator's account (none: no file at all).
  std::function<std::optional<std::string>(SimRig&, const sim::Memory&)> file{};
  Strings commands{};
  Strings err{};
  Strings errNot{};
};

std::optional<std::string> NewData(SimRig& rig, const sim::Memory& /*memory*/) {
  return rig.Expected(false);
}

const std::string kNoClear = "WARNING\nDo you want to clear instrument memory ? No\n";

TEST(DownloadEndToEnd, FileMatchesTheInstrumentMemoryAndCommandsFollowTheProcedure) {
  const MemoryShape plain;                            // rain 11..13 new, temperature 1461..1462 new
  const MemoryShape wrapStart{1452, 100, 2000, 100};  // rain 0, 1; temperature 1453, 1454
  const MemoryShape wrapInside{1451, 150, 1999, 100}; // rain 1452, 0, 1; temperature 2000, 1453
  const MemoryShape empty{5, 0, 1460, 0};             // nothing logged since the last release
  auto noNewRain = [](sim::InstrumentState& s) { s.memory.rain.read = s.memory.rain.write; };
  auto noNewTemp = [](sim::InstrumentState& s) { s.memory.temp.read = s.memory.temp.write; };
  const auto base = Concat({ConnectCommands(), PointerCommands()});

  sim::Faults refuseTemp;
  refuseTemp.refusePage[1461] = 1;
  sim::Faults refuseRain;
  refuseRain.refusePage[12] = 4;

  const Case cases[] = {
      {.name = "new rain and temperature",
       .shape = plain,
       .file = NewData,
       .commands = Concat({base, PageCommands("KR", 10, 13), PageCommands("KS", 1460, 1462)}),
       .err = {"Download Complete\n", kNoClear},
       .errNot = {"WARNING: Overrun"}},
      {.name = "read pointers on the last pages: the first pages follow",
       .shape = wrapStart,
       .file = NewData,
       .commands = Concat({base, {"KR0000", "KR0001", "KS1453", "KS1454"}}),
       .err = {"Download Complete\n"}},
      {.name = "the pages wrap inside the download",
       .shape = wrapInside,
       .file = NewData,
       .commands = Concat({base, {"KR1452", "KR0000", "KR0001", "KS2000", "KS1453"}}),
       .err = {"Download Complete\n"}},
      {.name = "memory empty",
       .shape = empty,
       .exit = 3,
       .commands = base,
       .err = {"Memory Empty\n"},
       .errNot = {"Download Complete"}},
      {.name = "no new rain: only the new temperature",
       .shape = plain,
       .tweak = noNewRain,
       .file = NewData,
       .commands = Concat({base, PageCommands("KS", 1460, 1462)}),
       .err = {"NO NEW RAIN DATA FOUND.\nOld data\n(3 Rain Pages - 2 Temp.Pages)\n",
               "Download only new Temperature data\n", "Download Complete\n", kNoClear}},
      {.name = "no new rain, old data asked for",
       .shape = plain,
       .tweak = noNewRain,
       .flags = {"--old-data"},
       .file = [](SimRig& rig, const sim::Memory&) { return rig.Expected(true); },
       .commands = Concat({base, PageCommands("KR", 10, 13), PageCommands("KS", 1460, 1462)}),
       .err = {"Download Complete\n"},
       .errNot = {"Do you want to clear instrument memory"}},
      {.name = "only old data and no --old-data: nothing fetched",
       .shape = plain,
       .tweak =
           [&](sim::InstrumentState& s) {
             noNewRain(s);
             noNewTemp(s);
           },
       .exit = 1,
       .commands = base,
       .err = {"NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n(3 Rain Pages - 2 Temp.Pages)\n", "add --old-data"}},
      {.name = "new rain, no new temperature: the release names the temperature history",
       .shape = plain,
       .tweak = noNewTemp,
       .flags = {"--clear-memory"},
       .file = NewData,
       .commands = Concat({base, PageCommands("KR", 10, 13), {"WN0013", "WW1460"}}),
       .err = {"Download Complete\n", "Clear memory successfull.\n"}},
      {.name = "a refused temperature page is skipped",
       .shape = plain,
       .faults = refuseTemp,
       .file = [](SimRig& rig, const sim::Memory& m) { return Without(*rig.Expected(false), StoredTempPage(m, 1461)); },
       .commands = Concat({base, PageCommands("KR", 10, 13), PageCommands("KS", 1460, 1462)}),
       .err = {"Download Complete\n"}},
      {.name = "a rain page refused four times ends the rain phase",
       .shape = plain,
       .faults = refuseRain,
       .file =
           [](SimRig& rig, const sim::Memory& m) {
             return Without(*rig.Expected(false), StoredRainPage(m, 12) + StoredRainPage(m, 13));
           },
       .commands = Concat({base, {"KR0011", "KR0012", "KR0012", "KR0012", "KR0012"}, PageCommands("KS", 1460, 1462)}),
       .err = {"WARNING : Command not recognized.\n\n(Command = 13 ,param = 0012)\n", "Download Complete\n"}},
      {.name = "memory released afterwards",
       .shape = plain,
       .flags = {"--clear-memory"},
       .file = NewData,
       .commands = Concat({base, PageCommands("KR", 10, 13), PageCommands("KS", 1460, 1462), {"WN0013", "WW1462"}}),
       .err = {"Download Complete\n", "Do you want to clear instrument memory ? Yes\n", "Clear memory successfull.\n"}},
      {.name = "both overrun flags",
       .shape = plain,
       .tweak = [](sim::InstrumentState& s) { s.memory.rain.overrun = s.memory.temp.overrun = true; },
       .file = NewData,
       .commands = Concat({base, PageCommands("KR", 10, 13), PageCommands("KS", 1460, 1462)}),
       .err = {"Download Complete\nWARNING: Overrun detected in Rain memory.\nWARNING: Overrun detected in "
               "Temperature memory.\n",
               kNoClear}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::InstrumentState state = MakeState(c.shape);
    if (c.tweak) {
      c.tweak(state);
    }
    const sim::Memory memory = state.memory;
    SimRig rig(std::move(state));
    rig.server.SetFaults(c.faults);
    rig.Link("COM2");
    rig.WritePortIni(2, 9600, false);
    const auto expected = c.file ? c.file(rig, memory) : std::nullopt;

    const Result r = RunInProcess(rig.dir.Path(), "download", c.flags);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exit, c.exit) << r.err;
    if (expected) {
      EXPECT_EQ(rig.Dump(), *expected);
    } else {
      EXPECT_FALSE(rig.DumpExists());
    }
    EXPECT_EQ(rig.Commands(), c.commands);
    ExpectInOrder(r.err, c.err);
    for (const auto& t : c.errNot) {
      EXPECT_EQ(r.err.find(t), std::string::npos) << t;
    }
  }
}

TEST(DownloadEndToEnd, ReleasedMemoryLeavesNothingNewForTheNextDownload) {
  SimRig rig(MakeState({}));
  rig.Link("COM2");
  rig.WritePortIni(2, 9600, false);
  const auto firstFile = rig.Expected(false);
  ASSERT_EQ(RunInProcess(rig.dir.Path(), "download", {"--clear-memory"}).exit, 0);
  EXPECT_EQ(rig.Dump(), firstFile);
  const auto pointers = rig.server.WithInstrument([](sim::Instrument& i) {
    const auto& m = i.State().memory;
    return std::vector<int>{m.rain.read, m.temp.read};
  });
  EXPECT_EQ(pointers, (std::vector<int>{13, 1462}));
  // The next download finds only old data: without --old-data nothing is fetched and the file stays.
  const Result again = RunInProcess(rig.dir.Path(), "download", {});
  EXPECT_EQ(again.exit, 1) << again.err;
  EXPECT_NE(again.err.find("NO NEW RAIN AND TEMP. DATA FOUND."), std::string::npos) << again.err;
  EXPECT_EQ(rig.Dump(), firstFile);
}

// The real program with the product's timing, on the two outcomes a user meets every day.
TEST(DownloadEndToEnd, RealProgramWithProductTiming) {
  {
    SimRig rig(MakeState({10, 100, 1460, 60})); // rain 11, 12; temperature 1461
    rig.Link("COM1");
    rig.WritePortIni(1, 9600, false);
    const auto expected = rig.Expected(false);
    const Result r = RunProgram(rig.dir.Path(), "download", {"--clear-memory", "--output", "kept.rlg"});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(rig.Dump(), expected);
    EXPECT_EQ(ReadFileBytes(rig.dir / "kept.rlg"), expected);
    EXPECT_EQ(rig.Commands(),
              Concat({ConnectCommands(), PointerCommands(), {"KR0011", "KR0012", "KS1461", "WN0012", "WW1461"}}));
    ExpectInOrder(r.err, {"Connected to COM1 9600 8,N,1\n", "Download Complete\n", "Clear memory successfull.\n"});
    // The trace of the download is in the program directory.
    const std::string trace = ReadFileBytes(rig.dir / "debug.txt");
    EXPECT_NE(trace.find("start download"), std::string::npos);
  }
  {
    SimRig rig(MakeState({5, 0, 1460, 0}));
    rig.Link("COM1");
    rig.WritePortIni(1, 9600, false);
    const Result r = RunProgram(rig.dir.Path(), "download", {});
    EXPECT_EQ(r.exit, 3) << r.err;
    EXPECT_NE(r.err.find("Memory Empty\n"), std::string::npos) << r.err;
    EXPECT_FALSE(rig.DumpExists());
    EXPECT_EQ(rig.Commands(), Concat({ConnectCommands(), PointerCommands()}));
  }
}

} // namespace
} // namespace nimbrel::test::e2e
