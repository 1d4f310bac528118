#include "base/text.h"
#include "support/session_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;
constexpr const char* kClear = "WARNING\nDo you want to clear instrument memory ?";

struct Pointers {
  int wR, rR, hR, wT, rT, hT;
};

// A connected session in front of an instrument with the given pointers.
struct DownloadRig : SessionRig {
  explicit DownloadRig(Pointers p) {
    std::tie(instrument.writeR, instrument.readR, instrument.histR) = std::tie(p.wR, p.rR, p.hR);
    std::tie(instrument.writeT, instrument.readT, instrument.histT) = std::tie(p.wT, p.rT, p.hT);
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
    while (!text.empty() && std::count(port.writes.begin(), port.writes.end(), text) == 0) {
      ASSERT_TRUE(sched.RunNext());
    }
  }
  // What went out after the pointers and flags were read.
  [[nodiscard]] Strings Requests() const {
    Strings all = WritesFrom(from);
    auto flags = std::find(all.begin(), all.end(), "RQ\r");
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
    out.push_back(Printf("%s%04d\r", code, p));
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
    bool oldTemperature = false;
  };
  const Strings complete{"Download Complete"};
  const char* const noRain = "NO NEW RAIN DATA FOUND.\nOld data\n(2 Rain Pages - 5 Temp.Pages)";
  const auto old = DownloadOption::RainAndTemperatureOld;
  const auto newTemp = DownloadOption::NewTemperatureOnly;
  const auto done = DownloadEnd::Complete;
  // One case per entry: formatted, every field would get a line of its own.
  // clang-format off
  const Case cases[] = {
      {"new rain and temperature", {12, 10, 3, 1460, 1458, 1455}, {}, Answer::No,
       Join(Pages("KR", {11, 12}), Pages("KS", {1459, 1460})), complete, done, ""},
      {"both memories wrap", {1, 1452, 3, 1454, 2000, 1455}, {}, Answer::No,
       Join(Pages("KR", {0, 1}), Pages("KS", {1453, 1454})), complete, done, ""},
      {"memory empty", {5, 5, 5, 1460, 1460, 1460}, {}, {}, {}, {"Memory Empty"}, DownloadEnd::MemoryEmpty, ""},
      {"new rain, no new temperature: clear carries the temperature history pointer", {12, 10, 3, 1460, 1460, 1455},
       {}, Answer::Yes, Join(Pages("KR", {11, 12}), {"WN0012\r", "WW1455\r"}),
       {"Download Complete", "Clear memory successfull."}, done, ""},
      {"no new rain: only new temperature", {5, 5, 3, 1460, 1458, 1455}, newTemp, Answer::No,
       Pages("KS", {1459, 1460}), complete, done, noRain},
      {"no new rain: old data of both", {5, 5, 3, 1455, 1454, 1453}, old, {},
       Join(Pages("KR", {4, 5}), Pages("KS", {1454, 1455})), complete, done,
       "NO NEW RAIN DATA FOUND.\nOld data\n(2 Rain Pages - 2 Temp.Pages)"},
      {"nothing new: old data only, negative counts wrap", {1, 1, 1450, 1454, 1454, 1999}, old, {},
       Join(Pages("KR", {1451, 1452, 0, 1}), Pages("KS", {2000, 1453, 1454})), complete, done,
       "NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n(4 Rain Pages - 3 Temp.Pages)", true},
      {"old data with no old rain skips the rain phase", {5, 5, 5, 1460, 1460, 1458}, old, {},
       Pages("KS", {1459, 1460}), complete, done,
       "NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n(0 Rain Pages - 2 Temp.Pages)", true},
      {"the options dialog cancelled", {5, 5, 3, 1460, 1458, 1455}, {}, {}, {}, {}, DownloadEnd::Cancelled, noRain},
      {"only old temperature refuses the new-only choice", {5, 5, 3, 1460, 1460, 1455}, newTemp, {}, {}, {},
       DownloadEnd::Cancelled, "NO NEW RAIN AND TEMP. DATA FOUND.\nOld data\n(2 Rain Pages - 5 Temp.Pages)", true},
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
    EXPECT_EQ(rig.view.optionAsked, c.optionMessage.empty() ? 0 : 1);
    EXPECT_EQ(rig.view.optionMessage, c.optionMessage);
    EXPECT_EQ(rig.view.optionOldTemperature, c.oldTemperature);
    const bool finished = c.end == DownloadEnd::Complete;
    EXPECT_EQ(rig.view.opened.size(), finished ? 1U : 0U);
    EXPECT_EQ(rig.session->Menu().download.enabled, !finished);
    EXPECT_EQ(std::filesystem::exists(rig.dir / "DumpFile.rlg"), finished);
  }
}

// The bytes a text-mode write of `text` leaves in the file.
std::string OnDisk(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '\n') {
      out += '\r';
    }
    out += ch;
  }
  return out;
}

TEST(Download, DumpFileHoldsHeaderPagesAndTemperatureSectionByteForByte) {
  for (const char* unit : {"0\r\n", "1\r\n", "2\r\n"}) {
    DownloadRig rig({11, 10, 3, 1454, 1453, 1455});
    rig.instrument.unit = unit;
    rig.instrument.tempSamples = 2;
    rig.prompts.ExpectQuestion(kClear, Answer::No);
    rig.Run();
    const std::string expected =
        Printf("********** Nimbrel   -TBR4470-   Serial Num:12345678 **********\r\r\n\r\r\nmm H2O per tip = "
               "0.20000\r\r\nUnit Meas =%s\r\r\n",
               unit[0] == '1' ? "1" : "0") +
        OnDisk(FakeInstrument::RainPage(11)) + "TEMPERATURE (-TBR4470- Serial Num: 12345678)\r\r\n" +
        OnDisk(rig.instrument.TempPage(1454).substr(std::string("NUM T MEAS: 2\r\n").size()));
    EXPECT_EQ(rig.Dump(), expected) << unit;
    // A received time stamp line keeps its CR and gets the line end: CR CR LF.
    EXPECT_NE(rig.Dump().find(Printf("%08X\r\r\n", 0x0B5C2E41U + 1101U)), std::string::npos);
    // A rain page of 65 lines and a temperature page of its 2 samples + 1 line were counted.
    EXPECT_EQ(rig.view.last.progress.pagesDone, 2);
  }
}

TEST(Download, OverrunsAreReportedAfterCompletionAndClearingSendsTheWritePointers) {
  DownloadRig rig({12, 10, 3, 1460, 1458, 1455});
  rig.instrument.flags = "03\r\n";
  rig.prompts.ExpectQuestion(kClear, Answer::Yes);
  rig.Run();
  EXPECT_EQ(rig.Messages(), (Strings{"Download Complete", "WARNING: Overrun detected in Rain memory.",
                                     "WARNING: Overrun detected in Temperature memory.", "Clear memory successfull."}));
  EXPECT_EQ(rig.Requests(), Join(Join(Pages("KR", {11, 12}), Pages("KS", {1459, 1460})), {"WN0012\r", "WW1460\r"}));
  const std::string trace = rig.Trace();
  for (const char* line : {"Wait_InitDump_R: send  DUMP_PAGE_R 0011\r\r\n", "Send  DUMP_PAGE_R 0012\r\r\n",
                           "Wait_InitDump_T: send  DUMP_PAGE_T 1459\r\r\n",
                           "Clear Mem after download finish: send  SET_MEM_POINTER_T 1460\r\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
  // The trace was restarted by the download: its first line is the start stamp.
  EXPECT_EQ(trace.find(" start download\r\r\n"), std::string("2000/01/01 00:00:00").size());
}

TEST(Download, RefusedPagesAreSkippedOrEndTheRainPhase) {
  // Temperature pages refused by the instrument are skipped, 2000 wraps to 1453.
  DownloadRig rig({5, 4, 3, 1454, 1998, 1455});
  rig.instrument.missingTempPages = {1999, 2000};
  rig.prompts.ExpectQuestion(kClear, Answer::No);
  rig.Run();
  EXPECT_EQ(rig.Requests(), Join(Pages("KR", {5}), Pages("KS", {1999, 2000, 1453, 1454})));
  EXPECT_EQ(rig.Messages(), Strings{"Download Complete"});
  EXPECT_NE(rig.Trace().find("Command 29 (par 1999)nack receive\r\r\nSend  DUMP_PAGE_T 2000\r\r\n"), std::string::npos);
  EXPECT_EQ(rig.Dump().find(Printf("%08X", 0x0B5C0000U + 1999U * 3600U)), std::string::npos);
  EXPECT_NE(rig.Dump().find(Printf("%08X", 0x0B5C0000U + 1454U * 3600U)), std::string::npos);

  // The last page held (the write pointer's) refused: the download ends there, it does not go
  // round the memory again.
  DownloadRig last({5, 4, 3, 1456, 1454, 1453});
  last.instrument.missingTempPages = {1456};
  last.prompts.ExpectQuestion(kClear, Answer::No);
  last.Run();
  EXPECT_EQ(last.Requests(), Join(Pages("KR", {5}), Pages("KS", {1455, 1456})));
  EXPECT_EQ(last.Messages(), Strings{"Download Complete"});

  // A rain page refused four times ends the rain phase; the temperature phase follows.
  DownloadRig rain({12, 10, 3, 1460, 1459, 1455});
  rain.instrument.overrides["KR0011\r"] = "?\r\n";
  rain.prompts.ExpectQuestion(kClear, Answer::No);
  rain.Run();
  EXPECT_EQ(rain.Requests(), Join(Strings(4, "KR0011\r"), Pages("KS", {1460})));
  EXPECT_EQ(rain.Messages(),
            (Strings{"WARNING : Command not recognized.\n\n(Command = 13 ,param = 0011)", "Download Complete"}));
}

TEST(Download, StopTimeoutAndBadPointersEndTheDownloadCleanly) {
  // Stop during the rain phase: no data window, Download possible again.
  {
    DownloadRig rig({20, 10, 3, 1460, 1458, 1455});
    rig.RunUntilSent("KR0013\r");
    rig.prompts.ExpectQuestion("Confirm stop downloading ?", Answer::No);
    rig.session->OnStopDownload();
    EXPECT_TRUE(rig.session->Downloading());
    rig.prompts.ExpectQuestion("Confirm stop downloading ?", Answer::Yes);
    rig.session->OnStopDownload();
    rig.Settle();
    EXPECT_EQ(rig.Requests(), Pages("KR", {11, 12, 13}));
    EXPECT_TRUE(rig.view.opened.empty());
    EXPECT_TRUE(rig.session->Menu().download.enabled);
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Stopped});
  }
  // A page request never answered: four sends, then the time-out and "Download Interrupted".
  {
    DownloadRig rig({12, 10, 3, 1460, 1458, 1455});
    rig.instrument.overrides["KR0012\r"] = "";
    rig.Run();
    EXPECT_EQ(rig.Requests(), Join(Pages("KR", {11}), Strings(4, "KR0012\r")));
    EXPECT_EQ(rig.Messages(), (Strings{"Command 13 : Timeout Expired", "Download Interrupted"}));
    EXPECT_NE(rig.Dump().find(OnDisk(FakeInstrument::RainPage(11))), std::string::npos);
  }
  // Pointers outside their memory: refused with the pointer named, nothing requested.
  for (const auto& [p, named] : std::vector<std::pair<Pointers, std::string>>{
           {{1500, 10, 3, 1460, 1458, 1455}, "(GET_WRITE_MEM_POINTER_R = 1500, expected 0 to 1452)"},
           {{12, 10, 3, 1460, 12, 1455}, "(GET_READ_MEM_POINTER_T = 12, expected 1453 to 2000)"},
           {{12, 10, -1, 1460, 1458, 1455}, "(GET_HIST_MEM_POINTER_R = -1, expected 0 to 1452)"}}) {
    DownloadRig rig(p);
    rig.Run();
    EXPECT_TRUE(rig.Requests().empty());
    EXPECT_EQ(rig.Messages(), Strings{"ERROR: memory pointer out of range, download not possible.\n\n" + named});
    EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Refused});
  }
}

TEST(Download, InstrumentGoingAwayEndsTheDownloadAndTheConnection) {
  DownloadRig rig({20, 10, 3, 1460, 1458, 1455});
  rig.RunUntilSent("KR0012\r");
  EXPECT_EQ(rig.session->ProgressTitle(true), "Download progress: file 12 - line 0");
  rig.port.HangUp();
  rig.Settle();
  EXPECT_EQ(rig.Messages(),
            (Strings{"ERROR: the instrument is no longer connected (the port was closed).", "Download Interrupted"}));
  EXPECT_EQ(rig.view.ended, std::vector<DownloadEnd>{DownloadEnd::Interrupted});
  EXPECT_FALSE(rig.session->Connected);
  // What arrived stays the current data, to be saved or discarded.
  EXPECT_EQ(rig.session->CurrentDumpPath, rig.dir / "DumpFile.rlg");
}

TEST(Download, UnwritableDumpFileAndMissingTipValueStopWithoutHanging) {
  {
    DownloadRig rig({12, 10, 3, 1460, 1458, 1455});
    std::filesystem::create_directory(rig.dir / "DumpFile.rlg"); // cannot be opened as a file
    rig.Run();
    EXPECT_EQ(rig.Messages(), (Strings{"Unable to create default dump file", "unable to open DEFAULT_DUMP_FILE",
                                       "Download Interrupted"}));
    EXPECT_EQ(rig.Requests(), Pages("KR", {11}));
  }
  {
    DownloadRig rig({12, 10, 3, 1460, 1458, 1455});
    rig.instrument.tip = "0.000\r\n";
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

TEST(Download, TemperaturePagesEndAfterTheAnnouncedCountAndProgressEstimatesTheRest) {
  DownloadRig rig({10, 8, 3, 1460, 1458, 1455});
  rig.instrument.tempSamples = 0; // one line follows the count line
  rig.prompts.ExpectQuestion(kClear, Answer::No);
  rig.RunUntilSent("");
  Millis flagsSent{-1}, firstPageSent{-1};
  while (rig.session->Progress.pagesDone == 0) {
    ASSERT_TRUE(rig.sched.RunNext());
    const std::string last = rig.port.writes.back();
    if (last == "RQ\r" && flagsSent < Millis(0)) {
      flagsSent = rig.sched.Now();
    }
    if (last == "KR0009\r" && firstPageSent < Millis(0)) {
      firstPageSent = rig.sched.Now();
    }
  }
  EXPECT_EQ(rig.session->Progress.pagesTotal, 4);
  ASSERT_TRUE(rig.session->Progress.remaining.has_value());
  // Three pages left at the pace of the first one (measured from the start of the rain phase,
  // which lies between the GET_FLAGS request and the first page request).
  EXPECT_GE(*rig.session->Progress.remaining, (rig.sched.Now() - firstPageSent) * 3);
  EXPECT_LE(*rig.session->Progress.remaining, (rig.sched.Now() - flagsSent) * 3);
  EXPECT_EQ(rig.session->Progress.Percent(), 25);
  rig.Settle();
  EXPECT_EQ(rig.Requests(), Join(Pages("KR", {9, 10}), Pages("KS", {1459, 1460})));
  EXPECT_EQ(rig.session->Progress.Percent(), 100);
}

} // namespace
} // namespace nimbrel::test
