#include "base/text.h"
#include "support/session_rig.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;
constexpr const char* kClear = "WARNING\nDo you want to clear instrument memory ?";

// A connected session in front of an instrument whose pointers are `p`.
struct DownloadRig : SessionRig {
  explicit DownloadRig(const Pointers& p = {}, const sim::Settings& settings = {}, int tempSamples = 2)
      : SessionRig(MakePointerState(p, settings, tempSamples)) {
    ConnectAndSettle();
    prompts.shown.clear();
  }
  void Run() {
    RunUntilSent("");
    Settle();
  }
  // Starts the download and runs until `text` was written ("": only starts it).
  void RunUntilSent(const std::string& text) {
    from = port.writes.size();
    session->OnDownload();
    RunUntil([&] { return text.empty() || Sent(text) > 0; });
  }
  void RunUntil(const std::function<bool()>& done) {
    while (!done()) {
      ASSERT_TRUE(sched.RunNext());
    }
  }
  [[nodiscard]] long Sent(const std::string& text) const {
    return std::count(port.writes.begin(), port.writes.end(), text + "\r");
  }
  // What went out after the pointers and flags were read.
  [[nodiscard]] Strings Requests() const {
    Strings all = WritesFrom(from);
    auto flags = std::find(all.begin(), all.end(), "RQ");
    return flags == all.end() ? Strings{"no RQ"} : Strings(flags + 1, all.end());
  }
  [[nodiscard]] Strings Messages() const {
    Strings out;
    for (const auto& s : prompts.shown) {
      out.insert(out.end(), s.question ? 0 : 1, s.text);
    }
    return out;
  }
  std::size_t from = 0;
};

Strings Pages(const char* code, std::initializer_list<int> pages) {
  Strings out;
  for (int p : pages) {
    out.push_back(Printf("%s%04d", code, p));
  }
  return out;
}

Strings Join(Strings a, const Strings& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Download, DecisionTablePicksThePages) {
  struct Case {
    const char* name;
    Pointers p;
    std::optional<DownloadOption> option;
    std::optional<Answer> clear; // the clear-memory question, when it must be asked
    Strings requests;
    Strings messages;
    DownloadEnd end;
    std::string optionMessage; // empty: the dialog must not open
  };
  const Strings complete{"Download Complete"};
  const char* const noRain = "NO NEW RAIN DATA FOUND.\nOld data\n(2 Rain Pages - 5 Temp.Pages)";
  const auto old = DownloadOption::RainAndTemperatureOld;
  const auto newTemp = DownloadOption::NewTemperatureOnly;
  const auto done = DownloadEnd::Complete;
  // clang-format off
  const Case cases[] = {
      {"both memories wrap", {1, 1452, 3, 1454, 2000, 1455}, {}, Answer::No,
       Join(Pages("KR", {0, 1}), Pages("KS", {1453, 1454})), complete, done, ""},
      {"new rain, no new temperature: clear carries the temperature history pointer", {12, 10, 3, 1460, 1460, 1455},
       {}, Answer::Yes, Join(Pages("KR", {11, 12}), {"WN0012", "WW1455"}),
       {"Download Complete", "Clear memory successfull."}, done, ""},
      {"no new rain: only new temperature", {5, 5, 3, 1460, 1458, 1455}, newTemp, Answer::No,
       Pages("KS", {1459, 1460}), complete, done, noRain},
      {"no new rain: old data of both", {5, 5, 3, 1455, 1454, 1453}, old, {},
       Join(Pages("KR", {4, 5}), Pages("KS", {1454, 1455})), complete, done,
       "NO NEW RAIN DATA FOUND.\nOld data\n(2 Rain Pages - 2 Temp.Pages)"},
      {"nothing new: old data only, negative counts wrap", {1, 1, 1450, 1454, 1454, 1999}, old, {},
       Join(Pages("KR", {1451, 1452, 0, 1}), Pages("KS", {2000, 1453, 1454})), complete, done,
       "NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n(4 Rain Pages - 3 Temp.Pages) (old temperature)"},
      {"old data with no old rain skips the rain phase", {5, 5, 5, 1460, 1460, 1458}, old, {},
       Pages("KS", {1459, 1460}), complete, done,
       "NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n(0 Rain Pages - 2 Temp.Pages) (old temperature)"},
      {"the options dialog cancelled", {5, 5, 3, 1460, 1458, 1455}, {}, {}, {}, {}, DownloadEnd::Cancelled, noRain},
      {"only old temperature refuses the new-only choice", {5, 5, 3, 1460, 1460, 1455}, newTemp, {}, {}, {},
       DownloadEnd::Cancelled, "NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n(2 Rain Pages - 5 Temp.Pages) (old temperature)"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DownloadRig rig(c.p);
    rig.view.option = c.option;
    if (c.clear) {
      rig.prompts.ExpectQuestion(kClear, *c.clear);
    }
    rig.Run();
    EXPECT_EQ(rig.Requests(), c.requests);
    EXPECT_EQ(rig.Messages(), c.messages);
    EXPECT_TRUE(rig.prompts.AllAnswersUsed());
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{c.end});
    EXPECT_EQ(rig.view.optionAsked, c.optionMessage.empty() ? Strings{} : Strings{c.optionMessage});
    const bool finished = c.end == DownloadEnd::Complete;
    EXPECT_EQ(rig.view.opened.size(), finished ? 1U : 0U);
    EXPECT_EQ(rig.session->Menu()[ShellCommand::Download].enabled, !finished);
    EXPECT_EQ(std::filesystem::exists(rig.dir / "DumpFile.rlg"), finished);
    EXPECT_EQ(rig.session->Procedure(), ProcedureState::Idle);
  }
}

// The file is the oracle's byte for byte; the instrument's tip value in inches (unit 1) becomes
// millimetres in the header, and any other unit reads as millimetres.
TEST(Download, DumpFileIsTheInstrumentsExpectedFileWhateverItsUnit) {
  for (const int unit : {0, 1, 2}) {
    sim::Settings settings;
    settings.unit = unit;
    DownloadRig rig({11, 10, 3, 1454, 1453, 1455}, settings);
    rig.prompts.ExpectQuestion(kClear, Answer::No);
    rig.Run();
    EXPECT_EQ(rig.Dump(), rig.instrument.ExpectedDump(false)) << unit;
    EXPECT_EQ(rig.view.last.progress.pagesDone, 2);
  }
}

TEST(Download, OverrunsAreReportedAfterCompletionAndTheTraceFollowsTheProcedure) {
  DownloadRig rig;
  sim::Memory& memory = rig.instrument.MutableState().memory;
  memory.rain.overrun = memory.temp.overrun = true;
  rig.prompts.ExpectQuestion(kClear, Answer::Yes);
  rig.Run();
  EXPECT_EQ(rig.prompts.Texts(),
            (Strings{"Download Complete", "WARNING: Overrun detected in Rain memory.",
                     "WARNING: Overrun detected in Temperature memory.", kClear, "Clear memory successfull."}));
  EXPECT_EQ(rig.Requests(), Join(Join(Pages("KR", {11, 12}), Pages("KS", {1459, 1460})), {"WN0012", "WW1460"}));
  const std::string trace = rig.Trace();
  for (const char* line : {"Command GET_FLAGS ack receive 03\r\r\n", "Wait_InitDump_R: send  DUMP_PAGE_R 0011\r\r\n",
                           "Send  DUMP_PAGE_R 0012\r\r\n", "Wait_InitDump_T: send  DUMP_PAGE_T 1459\r\r\n",
                           "Clear Mem after download finish: send  SET_MEM_POINTER_T 1460\r\r\n",
                           "Command SET_MEM_POINTER_T ack receive\r\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
  // The trace was restarted by the download: its first line is the start stamp.
  EXPECT_EQ(trace.find(" start download\r\r\n"), std::string("2000/01/01 00:00:00").size());
}

TEST(Download, RefusedPagesAreSkippedOrEndTheRainPhase) {
  // Temperature pages refused by the instrument are skipped, 2000 wraps to 1453.
  DownloadRig rig({5, 4, 3, 1454, 1998, 1455});
  rig.instrument.SetFaults(Faults([](sim::Faults& f) { f.refusePage = {{1999, 1}, {2000, 1}}; }));
  rig.prompts.ExpectQuestion(kClear, Answer::No);
  rig.Run();
  EXPECT_EQ(rig.Requests(), Join(Pages("KR", {5}), Pages("KS", {1999, 2000, 1453, 1454})));
  // Before the question, the user hears what clearing would lose.
  EXPECT_EQ(rig.Messages(), (Strings{"Download Complete", "WARNING: 2 memory pages could not be read.\nClearing the "
                                                          "instrument memory now would lose them for good."}));
  EXPECT_EQ(rig.session->Download().PagesMissed(), 2);
  EXPECT_NE(rig.Trace().find("Command 29 (par 1999)nack receive\r\r\nSend  DUMP_PAGE_T 2000\r\r\n"), std::string::npos);
  EXPECT_EQ(rig.Dump().find(rig.instrument.State().memory.temp.Page(1999)[0]), std::string::npos);

  // The last page held (the write pointer's) refused: the download ends there, it does not go
  // round the memory again.
  DownloadRig last({5, 4, 3, 1456, 1454, 1453});
  last.instrument.SetFaults(Faults([](sim::Faults& f) { f.refusePage = {{1456, 1}}; }));
  last.prompts.ExpectQuestion(kClear, Answer::No);
  last.Run();
  EXPECT_EQ(last.Requests(), Join(Pages("KR", {5}), Pages("KS", {1455, 1456})));

  // A rain page refused four times ends the rain phase; the temperature phase follows.
  DownloadRig rain({12, 10, 3, 1460, 1459, 1455});
  rain.instrument.SetFaults(Faults([](sim::Faults& f) { f.refusePage = {{11, 4}}; }));
  rain.prompts.ExpectQuestion(kClear, Answer::No);
  rain.Run();
  EXPECT_EQ(rain.Requests(), Join(Strings(4, "KR0011"), Pages("KS", {1460})));
  EXPECT_EQ(rain.Messages(),
            (Strings{"WARNING : Command not recognized.\n\n(Command = 13 ,param = 0011)", "Download Complete",
                     "WARNING: 1 memory page could not be read.\nClearing the instrument memory now would lose it for "
                     "good."}));

  // Inside a page, a line starting with "#" is not a wrong-state answer: it is one of the page's lines,
  // written to the file and counted.
  DownloadRig hash;
  hash.script["KS1460\r"] = {"NUM T MEAS: 1\r\n#\r\n 12.5\r\n"};
  hash.prompts.ExpectQuestion(kClear, Answer::No);
  hash.Run();
  EXPECT_EQ(hash.view.ended, std::vector<DownloadEnd>{DownloadEnd::Complete});
  EXPECT_NE(hash.Dump().find("\n#\r"), std::string::npos) << hash.Dump();
}

TEST(Download, StopTimeoutHangUpAndBadPointersEndTheDownloadCleanly) {
  { // Stop during the rain phase: no data window, Download possible again.
    DownloadRig rig({20, 10, 3, 1460, 1458, 1455});
    rig.RunUntilSent("KR0013");
    rig.prompts.ExpectQuestion("Confirm stop downloading ?", Answer::No);
    rig.session->OnStopDownload();
    EXPECT_TRUE(rig.session->Downloading());
    rig.prompts.ExpectQuestion("Confirm stop downloading ?", Answer::Yes);
    rig.session->OnStopDownload();
    rig.Settle();
    EXPECT_EQ(rig.Requests(), Pages("KR", {11, 12, 13}));
    EXPECT_TRUE(rig.view.opened.empty());
    EXPECT_TRUE(rig.session->Menu()[ShellCommand::Download].enabled);
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Stopped});
  }
  { // A page request never answered: four sends, then the time-out and "Download Interrupted"; the
    // last file is kept, nothing new is there to save, and the trace says why.
    DownloadRig rig;
    rig.dir.Write("DumpFile.rlg", "the last good download");
    rig.script["KR0011\r"] = {"", "", "", ""};
    rig.Run();
    EXPECT_EQ(rig.Requests(), Strings(4, "KR0011"));
    EXPECT_EQ(rig.Messages(), (Strings{"Command 13 : Timeout Expired", "Download Interrupted"}));
    EXPECT_FALSE(rig.session->Downloading());
    EXPECT_EQ(rig.Dump(), "the last good download");
    EXPECT_TRUE(rig.session->DownloadedData().CurrentDumpPath.empty());
    EXPECT_TRUE(rig.session->Menu()[ShellCommand::Download].enabled);
    EXPECT_NE(rig.Trace().find("Command 13 given up: no reply after 4 sends\r\r\nDownload interrupted"),
              std::string::npos);
    // A download stopped before its first page keeps the last file too, and the trace says so.
    rig.session->OnDownload();
    rig.sched.Advance(Millis(3000));
    rig.prompts.ExpectQuestion("Confirm stop downloading ?", Answer::Yes);
    rig.session->OnStopDownload();
    EXPECT_NE(rig.Trace().find("Download stopped by the user\r\r\n"), std::string::npos);
    EXPECT_EQ(rig.Dump(), "the last good download");
  }
  { // The instrument goes away: the download and the connection end; what came stays current.
    DownloadRig rig({20, 10, 3, 1460, 1458, 1455});
    rig.RunUntilSent("KR0012");
    EXPECT_EQ(rig.session->Download().ProgressTitle(true), "Download progress: file 12 - line 0");
    rig.port.HangUp();
    rig.Settle();
    EXPECT_EQ(rig.Messages(),
              (Strings{"ERROR: the instrument is no longer connected (the port was closed).", "Download Interrupted"}));
    EXPECT_FALSE(rig.session->Connected());
    EXPECT_EQ(rig.session->DownloadedData().CurrentDumpPath, rig.dir / "DumpFile.rlg");
  }
  // Pointers outside their memory: refused with the pointer named, nothing requested.
  for (const auto& [p, named] : std::vector<std::pair<Pointers, std::string>>{
           {{1500, 10, 3, 1460, 1458, 1455}, "(GET_WRITE_MEM_POINTER_R = 1500, expected 0 to 1452)"},
           {{12, 10, 3, 1460, 12, 1455}, "(GET_READ_MEM_POINTER_T = 12, expected 1453 to 2000)"}}) {
    DownloadRig rig;
    rig.script["RM\r"] = {Printf("%d\r\n", p.wR)};
    rig.script["RU\r"] = {Printf("%d\r\n", p.rT)};
    rig.Run();
    EXPECT_EQ(rig.prompts.Texts(), Strings{"ERROR: memory pointer out of range, download not possible.\n\n" + named});
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Refused});
  }
}

TEST(Download, UnwritableDumpFileAndMissingTipValueStopWithoutHanging) {
  {
    DownloadRig rig;
    std::filesystem::create_directory(rig.dir / "DumpFile.rlg"); // cannot be opened as a file
    rig.Run();
    EXPECT_EQ(rig.Messages(), (Strings{"Unable to create default dump file", "unable to open DEFAULT_DUMP_FILE",
                                       "Download Interrupted"}));
    EXPECT_EQ(rig.Requests(), Pages("KR", {11}));
  }
  {
    sim::Settings settings;
    settings.tipValue = 0.0;
    DownloadRig rig({}, settings);
    rig.Run();
    EXPECT_EQ(rig.Messages(), Strings{"ERROR: H2O millimeters per tip not found."});
    EXPECT_TRUE(rig.Requests().empty());
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Stalled});
    EXPECT_TRUE(rig.session->Downloading()); // the status window waits for Stop
    rig.prompts.ExpectQuestion("Confirm stop downloading ?", Answer::Yes);
    rig.session->OnStopDownload();
    EXPECT_FALSE(rig.session->Downloading());
  }
}

TEST(Download, ANewDownloadAfterAnOldDataOneFetchesNewDataAndOffersTheRelease) {
  DownloadRig rig({5, 5, 3, 1455, 1454, 1453});
  rig.view.option = DownloadOption::RainAndTemperatureOld;
  rig.Run();
  ASSERT_EQ(rig.Requests(), Join(Pages("KR", {4, 5}), Pages("KS", {1454, 1455})));
  rig.session->DownloadedData().CurrentDumpPath.clear(); // saved or discarded, as the save prompt does
  rig.instrument.MutableState().memory.rain.write = 7;   // new rain since
  rig.prompts.ExpectQuestion(kClear, Answer::No);
  rig.Run();
  EXPECT_EQ(rig.Requests(), Join(Pages("KR", {6, 7}), Pages("KS", {1455})));
  EXPECT_TRUE(rig.prompts.AllAnswersUsed());
}

TEST(Download, TimeLeftAtTheFirstPageMatchesThePaceOfAPacedInstrument) {
  DownloadRig rig({14, 10, 3, 1460, 1458, 1455}, {}, 63); // temperature pages as long as rain pages
  // Each reply trickles in: a page takes the instrument a few seconds, far more than the tick.
  rig.instrument.SetFaults(Faults([](sim::Faults& f) {
    f.splitBytes = 40;
    f.splitDelayMs = 150;
  }));
  rig.prompts.ExpectQuestion(kClear, Answer::No);
  rig.RunUntilSent("");
  while (rig.session->Download().Progress().pagesDone == 0) {
    ASSERT_TRUE(rig.sched.RunNext());
  }
  const DownloadProgress first = rig.session->Download().Progress();
  const Millis atFirst = rig.sched.Now();
  ASSERT_EQ(first.pagesTotal, 6);
  ASSERT_TRUE(first.remaining.has_value());
  rig.Settle();
  ASSERT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Complete});
  const auto actual = static_cast<double>((rig.sched.Now() - atFirst).count());
  const auto estimated = static_cast<double>(first.remaining->count());
  EXPECT_GT(estimated, actual * 0.8);
  EXPECT_LT(estimated, actual * 1.25);
  EXPECT_EQ(rig.session->Download().Progress().Percent(), 100);
}

// Faults the line fuzzer (fuzz/line_fuzz.cpp) found, each as the smallest run that shows it.
TEST(LineFuzzFindings, TheDownloadEndsCleanlyAfterOddLinesAHangUpOrAGivenUpFlagsRequest) {
  { // The answer to GET_FLAGS puts the listener in page mode at once, while the first page request
    // still waits for the tick: a line arriving in between is not an answer to any page request.
    DownloadRig rig;
    rig.prompts.ExpectQuestion(kClear, Answer::No);
    rig.RunUntilSent("RQ");
    rig.RunUntil([&] { return rig.session->Download().GetState() == CDownload::State::RainPages; });
    ASSERT_EQ(rig.Sent("KR0011"), 0);
    rig.port.Arrive("00\r\n"); // the flags once more
    rig.Settle();
    EXPECT_EQ(rig.Dump().find("\n00\r\r\n"), std::string::npos);
  }
  { // A hang-up while the pointers are read: the download ends, the status window waits for nothing.
    DownloadRig rig;
    rig.RunUntilSent("RM");
    rig.port.HangUp();
    rig.Settle();
    EXPECT_FALSE(rig.session->Connected());
    EXPECT_EQ(rig.session->Download().GetState(), CDownload::State::Idle);
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Interrupted});
  }
  // GET_FLAGS given up after four refusals or wrong-state answers: no decision can be taken, but
  // only the time-out makes the download wait for Stop; otherwise it reads its pointers for ever.
  for (const char* answer : {"?\r\n", "#\r\n"}) {
    SCOPED_TRACE(answer);
    DownloadRig rig;
    rig.script["RQ\r"] = {answer, answer, answer, answer};
    rig.Run();
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Stalled});
  }
}

} // namespace
} // namespace nimbrel::test
