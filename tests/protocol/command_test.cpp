#include "protocol/command.h"
#include "protocol/instr_status.h"
#include "protocol/trace.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

TEST(CommandTable, CommandsFormatTheirTextAndTimeout) {
  struct Row {
    int number;
    const char* parameter;
    const char* text;
    int timeout;
  };
  // An empty parameter, a parameter with spaces, and a parameter given to a command that takes none
  // (not sent); K6's long time-out shows in the queue test.
  const Row rows[] = {
      {SET_SERIAL_NUM, "", "DS\r", 2000},
      {SET_DATE_TIME, "2026/12/05 20:53:27", "DA2026/12/05 20:53:27\r", 2000},
      {GET_UNIT, "junk", "RB\r", 2000},
  };
  for (const auto& r : rows) {
    const CCommand c(r.number, r.parameter);
    EXPECT_EQ(c.GetCommandString(), r.text);
    EXPECT_EQ(c.GetTimeout(), r.timeout) << r.text;
  }
  for (int outside : {-1, 30}) {
    EXPECT_FALSE(CCommand(outside, "x").IsValid());
    EXPECT_EQ(CCommand(outside, "x").GetCommandString(), "-1");
    EXPECT_STREQ(CommandName(outside), "?");
  }
}

TEST(InstrStatus, DateTimeReplyParsesFieldsAndRejectsImpossibleDates) {
  struct Case {
    const char* reply;
    InstrDateTime expected;
  };
  const Case cases[] = {
      // Only the last two year digits count: 1999 reads as 2099.
      {"1999-02-28T23:59:59", MakeInstrDateTime(2099, 2, 28, 23, 59, 59)},
      {"2024/02/29 00:00:00", MakeInstrDateTime(2024, 2, 29, 0, 0, 0)},
      {"2023/02/29 00:00:00", {0.0, true}},
      {"2026/13/05 20:53:27", {0.0, true}},
      {"2026/12/05 24:00:00", {0.0, true}},
      {"2026/12/05", MakeInstrDateTime(2026, 12, 5, 0, 0, 0)}, // missing time fields read as 0
      {"garbage text here!!", {0.0, true}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInstrDateTime(c.reply), c.expected) << c.reply;
  }
  // 2000-01-01 is day 36526 after 1899-12-30; an hour is 1/24 of a day.
  EXPECT_DOUBLE_EQ(MakeInstrDateTime(2000, 1, 1, 12, 0, 0).days, 36526.5);
}

TEST(InstrStatus, AcknowledgementsFillTheRecordAndThePointers) {
  test::TempDir dir;
  const CTrace trace(dir.Path());
  CInstrStatus s;
  CMemoryPointers p;
  const auto store = [&](int number, const char* reply) { StoreReply(number, reply, s, p, trace); };
  store(GET_SERIAL_NUM, "Serial Number : 0012 3456 \r\n");
  EXPECT_EQ(s.SerialNum, "0012 3456");
  store(GET_SERIAL_NUM, "a:b:c\r\n");
  EXPECT_EQ(s.SerialNum, "b:c");
  store(GET_SERIAL_NUM, " 87654321\r\n");
  EXPECT_EQ(s.SerialNum, "87654321");
  store(GET_INSTR_TYPE, "  TBR4470 Rain \r\n");
  EXPECT_EQ(s.InstrType, "  TBR4470 Rain");
  store(GET_FW_DATE, "FWDATE  2006/01/14 \r\n");
  EXPECT_EQ(s.FwDate, "2006/01/14");
  store(GET_FW_DATE, "FWDATE\n");
  EXPECT_EQ(s.FwDate, "");
  store(GET_TIP_VALUE, " 0.25mm\r\n");
  EXPECT_FLOAT_EQ(s.TipValue, 0.25F);
  store(GET_ALERT_MODE, "-1\r\n");
  EXPECT_EQ(s.AlertMode, -1);
  store(GET_UNIT, "  7 apples\r\n");
  EXPECT_EQ(s.Unit, 7);
  store(GET_HIST_MEM_POINTER_T, "1460\r\n");
  store(GET_READ_MEM_POINTER_R, "x\r\n");
  EXPECT_EQ(p.HistPointerT, 1460);
  EXPECT_EQ(p.ReadPointerR, 0);
  EXPECT_EQ(dir.Read("debug.txt"), "Command GET_HIST_MEM_POINTER_T ack receive 1460\r\r\n"
                                   "Command GET_READ_MEM_POINTER_R ack receive 0\r\r\n");
}

} // namespace
} // namespace nimbrel
