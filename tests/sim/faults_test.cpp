#include "sim/instrument.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

using test::Ask;
using test::One;

Instrument FaultyInstrument(const Faults& faults) {
  Instrument instr = test::MakeInstrument(test::Generated(3, 20));
  instr.SetFaults(faults);
  return instr;
}

TEST(SimFaults, RefusalsWrongStateAndSilenceCountDown) {
  Faults f;
  f.refuse = {{"AS", 2}, {"RC", -1}};
  f.refusePage = {{1, 1}, {1454, -1}};
  f.wrongState["RQ"] = 3;
  f.silent["AG"] = 1;
  Instrument instr = FaultyInstrument(f);
  EXPECT_EQ(instr.Receive("AS\rAS\rAS\rRC\rRC\rRC\rRC\rRC\rRQ\rRQ\rRQ\rRQ\rAG\rAG\r").Bytes(),
            "?\r\n?\r\nSerial Num: 12345678\r\n?\r\n?\r\n?\r\n?\r\n?\r\n#\r\n#\r\n#\r\n00\r\nV2.14\r\n");
  EXPECT_EQ(One(instr, "KR0001"), "?");
  EXPECT_EQ(Ask(instr, "KR0001").size(), 65U);
  EXPECT_EQ(One(instr, "KS1454"), "?");
  EXPECT_EQ(One(instr, "KS1454"), "?");
  EXPECT_GT(Ask(instr, "KS1455").size(), 2U);

  Faults any; // "*" stands for any command
  any.wrongState["*"] = 2;
  EXPECT_EQ(FaultyInstrument(any).Receive("AA\rRB\rRB\r").Bytes(), "#\r\n#\r\n0\r\n");
}

TEST(SimFaults, SilentFromAPointOnAndInsideAPage) {
  Faults f;
  f.silentAfterCommands = 2;
  Instrument instr = FaultyInstrument(f);
  EXPECT_EQ(instr.Receive("AA\rRB\rAA\rRZ\r").Bytes(), "TBR4470 Rain Gauge\r\n0\r\n");
  EXPECT_EQ(instr.Receive("AA\r").Bytes(), "");

  Faults page;
  page.silentInPageAfterLines = 10;
  page.silentInPageTimes = 1;
  Instrument cut = FaultyInstrument(page);
  EXPECT_EQ(Ask(cut, "AA").size(), 1U) << "only page replies are cut";
  EXPECT_EQ(Ask(cut, "KR0001").size(), 10U);
  EXPECT_EQ(Ask(cut, "KR0001").size(), 65U) << "once";
  const auto temp = Ask(cut, "KS1454");
  EXPECT_EQ(temp.size(), static_cast<std::size_t>(std::stoi(temp[0].substr(12)) + 2));
}

TEST(SimFaults, SplitPacedAndGarbledRepliesCarryTheSameBytes) {
  Faults split;
  split.splitBytes = 4;
  split.splitDelayMs = 20;
  Output out = FaultyInstrument(split).Receive("AA\r");
  ASSERT_EQ(out.Bytes(), "TBR4470 Rain Gauge\r\n");
  ASSERT_EQ(out.pieces.size(), 5U);
  EXPECT_EQ(out.pieces[0].delayUs, 0);
  EXPECT_EQ(out.pieces[4].bytes.size(), 4U);
  EXPECT_EQ(out.pieces[4].delayUs, 20000);

  Faults pace;
  pace.pace9600 = true;
  out = FaultyInstrument(pace).Receive("RZ\r");
  EXPECT_EQ(out.Bytes(), "2\r\n");
  ASSERT_EQ(out.pieces.size(), 3U);
  for (const auto& p : out.pieces) {
    EXPECT_EQ(p.bytes.size(), 1U);
    EXPECT_NEAR(p.delayUs, 1050, 50);
  }

  Faults garbage;
  garbage.garbage = std::string("\x00\xff", 2);
  garbage.garbageEvery = 2;
  EXPECT_EQ(FaultyInstrument(garbage).Receive("RB\rRB\rRB\r").Bytes(), "0\r\n" + garbage.garbage + "0\r\n0\r\n");
}

TEST(SimFaults, HangUpAfterTheGivenNumberOfPages) {
  Faults f;
  f.hangUpAfterPages = 2;
  Instrument instr = FaultyInstrument(f);
  EXPECT_FALSE(instr.Receive("KR0001\r").hangUp);
  EXPECT_FALSE(instr.Receive("KR9999\r").hangUp) << "a refusal is not a page";
  const Output out = instr.Receive("KS1454\rAA\r");
  EXPECT_TRUE(out.hangUp);
  EXPECT_EQ(out.Bytes().find("Rain"), std::string::npos) << "nothing after the hang-up";
  EXPECT_EQ(instr.PagesSent(), 2);
}

} // namespace
} // namespace sim
