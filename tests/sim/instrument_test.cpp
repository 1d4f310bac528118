#include "sim/instrument.h"
#include "sim/state_file.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>

#include <utility>

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
  state.memory.temp.overrun = true; // the temperature's overrun bit is the second
  Instrument instr = MakeInstrument(state);
  const std::string all = instr.Receive("AA\rAS\rAG\rAH\rFA\rRZ\rRQ\rRN\rRM\rRS\rRU\rRT\rRW\rRA\rRB\rRC\rRD\r").Bytes();
  const auto lines = test::ReplyLines(all);
  const auto& m = instr.State().memory;
  ASSERT_GT(m.rain.write, 20);
  // The clock stands at the end of the generated data; every line ends CR LF (no "<cut>" piece).
  EXPECT_EQ(lines, (std::vector<std::string>{"TBR4470 Rain Gauge", "Serial Num: 12345678", "V2.14", "FW Date2006/01/14",
                                             "2026/01/21 00:00:00", "1", "02", "0000",
                                             std::to_string(m.rain.write + 10000).substr(1), "0000", "1453",
                                             std::to_string(m.temp.write), "1453", "0.200", "0", "0", "0"}))
      << all;
}

TEST(SimInstrument, WriteCommandsChangeWhatTheReadCommandsReturn) {
  Instrument instr = MakeInstrument(Generated(3, 20));
  struct Case {
    const char* write;
    const char* read;
    const char* expected;
  };
  // DS, WN and WW show in the program, expected-dump and state-file tests.
  for (const Case& c : {Case{"WA0.254", "RA", "0.254"}, Case{"WA1,599", "RA", "1.599"}, Case{"WB1", "RB", "1"},
                        Case{"WA0.0629", "RA", "0.06290"}, Case{"WC1", "RC", "1"}, Case{"WD1", "RD", "1"},
                        Case{"DS", "AS", "Serial Num: "}, Case{"DA2026/07/04 08:09:10", "FA", "2026/07/04 08:09:10"}}) {
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
           "ZZ", "", "A", "AAx", "KR12", "KR1453", "KS1452", "KS2001", "WB2", "WB01", "WA1.6", "WA0.049", "WA0.2.1",
           "WN1453", "WW0005", "DA2026/01/01", "DS123456789", std::string(300, 'X')}) {
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

// "K6" alone gets "#" in the maintenance tests; an erased memory has nothing to download in the
// expected-dump tests.
TEST(SimInstrument, EraseNeedsBothStepsInARowAndK0ClearsOnlyThePartialCounter) {
  Instrument instr = MakeInstrument(Generated(3, 20));
  EXPECT_EQ(instr.Receive("K5\rAA\rK6\r").Bytes(), "OK\r\nTBR4470 Rain Gauge\r\n#\r\n");
  ASSERT_GT(instr.State().totalCounter, 0U);
  EXPECT_EQ(One(instr, "K0"), "OK");
  EXPECT_EQ(instr.State().partialCounter, 0U);
  EXPECT_GT(instr.State().totalCounter, 0U);

  EXPECT_EQ(instr.Receive("K5\rK6\rRM\rRN\rRS\rRT\rRU\rRW\r").Bytes(),
            "OK\r\nOK\r\n0000\r\n0000\r\n0000\r\n1453\r\n1453\r\n1453\r\n");
  EXPECT_EQ(Ask(instr, "KR0001"), std::vector<std::string>(65, "FFFFFFFF"));
  EXPECT_EQ(One(instr, "KS1454"), "?");
}

TEST(SimGenerator, SeedShapesTheMemoryAndLongRunsOverrunIt) {
  EXPECT_EQ(SaveStateText(Generated(5, 30)), SaveStateText(Generated(5, 30)));
  EXPECT_NE(Generated(5, 30).memory.rain.pages, Generated(6, 30).memory.rain.pages);

  // 500 days overrun both memories; a day has at most 96 samples.
  const Memory m = Generated(1, 500).memory;
  EXPECT_EQ(m.Flags(), "03");
  EXPECT_EQ(m.rain.Distance(m.rain.hist, m.rain.write), 1452);
  EXPECT_EQ(m.temp.Distance(m.temp.hist, m.temp.write), 547);
  for (const auto& d : Summarise(m)) {
    EXPECT_LE(d.samples + d.faultySamples, 96);
  }

  // Unit 1 logs the same weather in Fahrenheit.
  const auto c = Summarise(Generated(8, 10, 0).memory);
  const auto f = Summarise(Generated(8, 10, 1).memory);
  ASSERT_EQ(c.size(), f.size());
  for (std::size_t i = 0; i < c.size(); ++i) {
    EXPECT_NEAR(f[i].tempMax, c[i].tempMax * 9 / 5 + 32, 0.15); // both rounded to 0.1
  }
}

TEST(SimInstrument, LiveLoggingWritesASampleEvery900SecondsOfTheClock) {
  Instrument instr = test::MakeInstrument(test::Generated(3, 2));
  const PageRing& t = instr.State().memory.temp;
  const std::string before = SaveStateText(instr.State());
  test::FakeHostNow() += std::int64_t{3} * 3600;
  EXPECT_EQ(test::One(instr, "RB"), "0");
  EXPECT_EQ(SaveStateText(instr.State()), before) << "not live: the memory stays as generated";

  instr.SetLive(true);
  ASSERT_EQ(test::One(instr, "RB"), "0");
  // The data ended at midnight, the clock moved on by three hours: 12 samples due, the first at
  // midnight itself (the last generated sample was at 23:45).
  const auto days = Summarise(instr.State().memory);
  EXPECT_EQ(days.back().day, *ParseDateTime("2026/01/03 00:00:00"));
  EXPECT_EQ(days.back().samples, 13);
  EXPECT_EQ(t.Page(t.write).back()[0], ' ');
  // Setting the clock restarts the time base.
  ASSERT_EQ(test::One(instr, "DA2026/06/01 12:00:00"), "OK");
  const auto& page = t.Page(t.write);
  EXPECT_EQ(
      std::vector(page.end() - 2, page.end()),
      (std::vector<std::string>{"Z1", HexStamp(static_cast<std::uint32_t>(*ParseDateTime("2026/06/01 12:00:00")))}));
  test::FakeHostNow() += 900;
  ASSERT_EQ(test::One(instr, "RB"), "0");
  EXPECT_EQ(Summarise(instr.State().memory).back().samples, 2);
}

} // namespace
} // namespace sim
