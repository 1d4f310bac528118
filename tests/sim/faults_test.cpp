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

  Faults page; // silence inside a page, for one page only
  page.silentInPageAfterLines = 10;
  Instrument cut = FaultyInstrument(page);
  EXPECT_EQ(Ask(cut, "KR0001").size(), 10U);
  EXPECT_EQ(Ask(cut, "KR0001").size(), 65U);

  Faults any; // "*" stands for any command
  any.wrongState["*"] = 2;
  EXPECT_EQ(FaultyInstrument(any).Receive("AA\rRB\rRB\r").Bytes(), "#\r\n#\r\n0\r\n");
}

TEST(SimFaults, SplitAndPacedRepliesCarryTheSameBytes) {
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
}

} // namespace
} // namespace sim
