#include "sim/instrument.h"
#include "sim/state_file.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>

#include <set>

namespace sim {
namespace {

using test::Ask;
using test::FakeHostNow;
using test::Generated;
using test::MakeInstrument;
using test::One;

TEST(SimInstrument, AnswersEveryReadCommandInTheFormTheProgramExpects) {
  InstrumentState state = Generated(3, 20);
  state.settings.battery = 1;
  Instrument instr = MakeInstrument(state);
  const std::string all = instr.Receive("AA\rAS\rAG\rAH\rFA\rRZ\rRQ\rRN\rRM\rRS\rRU\rRT\rRW\rRA\rRB\rRC\rRD\r").Bytes();
  const auto lines = test::ReplyLines(all);
  ASSERT_EQ(lines.size(), 17U) << all;
  EXPECT_NE(lines[0].find("Rain"), std::string::npos);
  EXPECT_EQ(lines[1], "Serial Num: 12345678");
  EXPECT_EQ(lines[2], "V2.14");
  EXPECT_EQ(lines[3].substr(7), "2006/01/14");
  // The clock stands at the end of the generated data.
  EXPECT_EQ(lines[4], "2026/01/21 00:00:00");
  EXPECT_EQ(lines[5], "1");
  EXPECT_EQ(lines[6], "00");
  const auto& m = instr.State().memory;
  EXPECT_EQ(lines[7], "0000");
  EXPECT_EQ(std::stoi(lines[8]), m.rain.write);
  EXPECT_GT(m.rain.write, 20);
  EXPECT_EQ(lines[9], "0000");
  EXPECT_EQ(lines[10], "1453");
  EXPECT_EQ(std::stoi(lines[11]), m.temp.write);
  EXPECT_EQ(lines[12], "1453");
  EXPECT_EQ(lines[13], "0.200");
  EXPECT_EQ(lines[14], "0");
  EXPECT_EQ(lines[15], "0");
  EXPECT_EQ(lines[16], "0");
  EXPECT_EQ(all.size(), [&] {
    std::size_t n = 0;
    for (const auto& l : lines) {
      n += l.size() + 2;
    }
    return n;
  }()); // every line ends CR LF
}

TEST(SimInstrument, WriteCommandsChangeWhatTheReadCommandsReturn) {
  Instrument instr = MakeInstrument(Generated(3, 20));
  struct Case {
    const char* write;
    const char* read;
    const char* expected;
  };
  for (const Case& c : {Case{"WA0.254", "RA", "0.254"}, Case{"WA1,599", "RA", "1.599"}, Case{"WB1", "RB", "1"},
                        Case{"WA0.00500", "RA", "0.00500"}, Case{"WA0.0629", "RA", "0.06290"}, Case{"WB0", "RB", "0"},
                        Case{"WC1", "RC", "1"}, Case{"WD1", "RD", "1"}, Case{"WD0", "RD", "0"},
                        Case{"DS87654321", "AS", "Serial Num: 87654321"}, Case{"DS", "AS", "Serial Num: "},
                        Case{"DA2026/07/04 08:09:10", "FA", "2026/07/04 08:09:10"}, Case{"WN0005", "RN", "0005"},
                        Case{"WW1460", "RU", "1460"}}) {
    SCOPED_TRACE(c.write);
    EXPECT_EQ(One(instr, c.write), "OK");
    EXPECT_EQ(One(instr, c.read), c.expected);
  }
  // The clock runs on from the time it was set.
  FakeHostNow() += 3661;
  EXPECT_EQ(One(instr, "FA"), "2026/07/04 09:10:11");
}

TEST(SimInstrument, BadInputIsRefusedAndTheInstrumentCarriesOn) {
  Instrument instr = MakeInstrument(Generated(3, 20));
  const std::string before = instr.Receive("RA\rRB\rRN\rRU\rAS\rFA\r").Bytes();
  for (const std::string& bad : std::vector<std::string>{
           "ZZ",           "aa",          "A",       "",         "AAx",    "RQ1",
           "KR12",         "KR00005",     "KR1453",  "KRabcd",   "KS0000", "KS1452",
           "KS2001",       "KS-001",      "WB2",     "WB",       "WB01",   "WC7",
           "WD-1",         "WA1.6",       "WA0.049", "WA0.2.1",  "WA",     "WAabc",
           "WN1453",       "WN0900",      "WN12",    "WW0005",   "WW2001", "DA2026/13/01 00:00:00",
           "DA2026/01/01", "DS123456789", "K7",      "\x01\x02", "AA\x7f", std::string(300, 'X')}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Ask(instr, bad), std::vector<std::string>{"?"});
  }
  // In inch the tip range changes.
  EXPECT_EQ(One(instr, "WB1"), "OK");
  EXPECT_EQ(One(instr, "WA0.0630"), "?");
  EXPECT_EQ(One(instr, "WA0.0019"), "?");
  EXPECT_EQ(One(instr, "WB0"), "OK");
  // Nothing changed, and a partial command waits for its CR.
  EXPECT_EQ(instr.Receive("RA\rRB\rRN\rRU\rAS\rFA\r").Bytes(), before);
  EXPECT_EQ(instr.Receive("A").Bytes(), "");
  EXPECT_EQ(instr.Receive("A\r\n").Bytes(), "TBR4470 Rain Gauge\r\n");
}

TEST(SimInstrument, EraseNeedsBothStepsInARowAndCountersClear) {
  InstrumentState state = Generated(3, 20);
  ASSERT_GT(state.totalCounter, 0U);
  Instrument instr = MakeInstrument(state);
  EXPECT_EQ(One(instr, "K6"), "#");
  EXPECT_EQ(One(instr, "K5"), "OK");
  EXPECT_EQ(One(instr, "AA"), "TBR4470 Rain Gauge");
  EXPECT_EQ(One(instr, "K6"), "#"); // another command came between the two
  EXPECT_NE(One(instr, "RM"), "0000");
  EXPECT_EQ(One(instr, "K0"), "OK");
  EXPECT_EQ(instr.State().partialCounter, 0U);
  EXPECT_GT(instr.State().totalCounter, 0U);
  EXPECT_EQ(One(instr, "K1"), "OK");
  EXPECT_EQ(instr.State().totalCounter, 0U);

  EXPECT_EQ(One(instr, "K5"), "OK");
  EXPECT_EQ(One(instr, "K6"), "OK");
  for (const char* read : {"RM", "RN", "RS"}) {
    EXPECT_EQ(One(instr, read), "0000");
  }
  for (const char* read : {"RT", "RU", "RW"}) {
    EXPECT_EQ(One(instr, read), "1453");
  }
  EXPECT_EQ(Ask(instr, "KR0001"), std::vector<std::string>(65, "FFFFFFFF"));
  EXPECT_EQ(One(instr, "KS1454"), "?");
  EXPECT_FALSE(instr.ExpectedDump(false).has_value());
  EXPECT_FALSE(instr.ExpectedDump(true).has_value());
}

// Every page of a generated memory as the instrument sends it.
TEST(SimInstrument, GeneratedPagesHaveTheirLayoutAndLineCounts) {
  Instrument instr = MakeInstrument(Generated(11, 90));
  const Memory& m = instr.State().memory;
  std::set<std::string> kinds;
  std::uint32_t lastTip = 0;
  for (int p = m.rain.Next(m.rain.hist);; p = m.rain.Next(p)) {
    const auto lines = Ask(instr, "KR" + std::string(p < 1000 ? "0" : "") + (p < 100 ? "0" : "") + (p < 10 ? "0" : "") +
                                      std::to_string(p));
    ASSERT_EQ(lines.size(), 65U) << p;
    EXPECT_EQ(lines[0], "Z0");
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const auto& l = lines[i];
      if (IsHexStamp(l) && l != "FFFFFFFF") {
        EXPECT_GT(ParseHexStamp(l), lastTip) << "tips in time order";
        lastTip = ParseHexStamp(l);
        kinds.insert("tip");
      } else {
        EXPECT_TRUE(l == "Z0" || l == "Z1" || (l == "FFFFFFFF" && p == m.rain.write)) << l;
        kinds.insert(l);
      }
    }
    if (p == m.rain.write) {
      break;
    }
  }
  std::uint32_t next = 0;
  bool afterZ1 = false;
  for (int p = m.temp.Next(m.temp.hist);; p = m.temp.Next(p)) {
    const auto lines = Ask(instr, "KS" + std::to_string(p));
    ASSERT_GE(lines.size(), 3U);
    ASSERT_EQ(lines[0].rfind("NUM T MEAS: ", 0), 0U);
    const int n = std::stoi(lines[0].substr(12));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(n) + 2) << p;
    EXPECT_LE(n, 64);
    ASSERT_TRUE(IsHexStamp(lines[1]));
    EXPECT_TRUE(next == 0 || ParseHexStamp(lines[1]) == next || afterZ1) << "a page goes on where the last ended";
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const auto& l = lines[i];
      if (IsHexStamp(l)) {
        EXPECT_TRUE(i == 1 || afterZ1) << "a time stamp inside a page follows Z1";
        EXPECT_GE(ParseHexStamp(l), next);
        next = ParseHexStamp(l);
        afterZ1 = false;
      } else if (l == "Z1" || l == "Z0") {
        kinds.insert("T" + l);
        afterZ1 = l == "Z1";
      } else {
        ASSERT_EQ(l[0], ' ') << l;
        EXPECT_FALSE(afterZ1);
        kinds.insert(l == " ERR" || l == " OFL" || l == " UFL" ? l : "sample");
        next += 900;
      }
    }
    if (p == m.temp.write) {
      break;
    }
  }
  // 90 days of this seed show every kind of record.
  for (const char* kind : {"tip", "Z0", "Z1", "TZ0", "TZ1", "sample", " ERR", " OFL", " UFL"}) {
    EXPECT_TRUE(kinds.count(kind)) << kind;
  }
}

TEST(SimGenerator, SeedShapesTheMemoryAndAYearAboutFillsIt) {
  const auto a = Generated(5, 30);
  const auto b = Generated(5, 30);
  const auto c = Generated(6, 30);
  EXPECT_EQ(a.memory.rain.pages, b.memory.rain.pages);
  EXPECT_EQ(a.memory.temp.pages, b.memory.temp.pages);
  EXPECT_NE(a.memory.rain.pages, c.memory.rain.pages);

  // About 93 000 tips fill the 1453 rain pages and 35 040 samples the 548 temperature pages: a year
  // of weather nearly fills both memories (the rain from year to year varies by some 10 %), and 500
  // days overrun them.
  const auto days500 = Generated(1, 500);
  const Memory& m = days500.memory;
  const double yearOfTips = static_cast<double>(days500.totalCounter) * 365.0 / 500.0;
  EXPECT_GT(yearOfTips, 0.75 * 1453 * 64);
  EXPECT_LT(yearOfTips, 1.05 * 1453 * 64);
  EXPECT_EQ(m.Flags(), "03");
  EXPECT_EQ(m.rain.Distance(m.rain.hist, m.rain.write), 1452);
  EXPECT_EQ(m.temp.Distance(m.temp.hist, m.temp.write), 547);
  EXPECT_EQ(m.rain.read, m.rain.hist);
  EXPECT_EQ(m.temp.read, m.temp.hist);

  // Dry days and wet days both occur; a day has at most 96 samples.
  const auto days = Summarise(m);
  int dry = 0;
  std::uint64_t tipsHeld = 0;
  for (const auto& d : days) {
    dry += d.tips == 0 ? 1 : 0;
    tipsHeld += static_cast<std::uint64_t>(d.tips);
    EXPECT_LE(d.samples + d.faultySamples, 96);
    EXPECT_TRUE(d.samples == 0 || d.tempMin < d.tempMax);
  }
  EXPECT_GT(dry, 40);
  EXPECT_LT(dry, 250);
  EXPECT_LT(tipsHeld, days500.totalCounter) << "the oldest pages were given up";
  EXPECT_GT(tipsHeld, 1452U * 60U);
}

TEST(SimGenerator, FahrenheitSamplesInUnitOne) {
  const auto c = Summarise(Generated(8, 10, 0).memory);
  const auto f = Summarise(Generated(8, 10, 1).memory);
  ASSERT_EQ(c.size(), f.size());
  for (std::size_t i = 0; i < c.size(); ++i) {
    EXPECT_NEAR(f[i].tempMax, c[i].tempMax * 9 / 5 + 32, 0.15); // both rounded to 0.1
  }
}

} // namespace
} // namespace sim

namespace sim {
namespace {

TEST(SimInstrument, LiveLoggingWritesASampleEvery900SecondsOfTheClock) {
  Instrument instr = test::MakeInstrument(test::Generated(3, 2));
  const auto lastLine = [&instr] {
    const PageRing& t = instr.State().memory.temp;
    return t.Page(t.write).back();
  };
  const std::string before = SaveStateText(instr.State());
  test::FakeHostNow() += std::int64_t{3} * 3600;
  EXPECT_EQ(test::One(instr, "RT"), test::One(instr, "RT"));
  EXPECT_EQ(SaveStateText(instr.State()), before) << "not live: the memory stays as generated";

  instr.SetLive(true);
  const auto samplesBefore = Summarise(instr.State().memory).back().samples;
  const std::string dumpBefore = instr.ExpectedDump(false).value();
  ASSERT_EQ(test::One(instr, "RB"), "0");
  // The data ended at midnight, the clock moved on by three hours: 12 samples due, the first at
  // midnight itself (the last generated sample was at 23:45).
  const auto days = Summarise(instr.State().memory);
  EXPECT_EQ(days.back().day, *ParseDateTime("2026/01/03 00:00:00"));
  EXPECT_EQ(days.back().samples, 13);
  EXPECT_NE(samplesBefore, 0);
  EXPECT_NE(instr.ExpectedDump(false).value(), dumpBefore);
  EXPECT_EQ(lastLine()[0], ' ');
  // Setting the clock restarts the time base.
  ASSERT_EQ(test::One(instr, "DA2026/06/01 12:00:00"), "OK");
  const PageRing& t = instr.State().memory.temp;
  const auto& page = t.Page(t.write);
  ASSERT_GE(page.size(), 3U);
  EXPECT_EQ(page[page.size() - 2], "Z1");
  EXPECT_EQ(page.back(), HexStamp(static_cast<std::uint32_t>(*ParseDateTime("2026/06/01 12:00:00"))));
  test::FakeHostNow() += 900;
  ASSERT_EQ(test::One(instr, "RB"), "0");
  EXPECT_EQ(Summarise(instr.State().memory).back().samples, 2);
}

} // namespace
} // namespace sim
