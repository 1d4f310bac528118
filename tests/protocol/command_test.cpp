#include "protocol/command.h"
#include "protocol/instr_status.h"

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

TEST(CommandTable, EveryRowFormatsItsTextAndTimeout) {
  struct Row {
    int number;
    const char* parameter;
    const char* text;
    int timeout;
  };
  const Row rows[] = {
      {GET_INSTR_TYPE, "", "AA\r", 2000},
      {GET_SERIAL_NUM, "", "AS\r", 2000},
      {SET_SERIAL_NUM, "12345678", "DS12345678\r", 2000},
      {SET_SERIAL_NUM, "", "DS\r", 2000},
      {GET_FW_VERSION, "", "AG\r", 2000},
      {GET_FW_DATE, "", "AH\r", 2000},
      {SET_DATE_TIME, "2026/12/05 20:53:27", "DA2026/12/05 20:53:27\r", 2000},
      {GET_DATE_TIME, "", "FA\r", 2000},
      {ERASE_MEM_1, "", "K5\r", 2000},
      {ERASE_MEM_2, "", "K6\r", 10000},
      {GET_FLAGS, "", "RQ\r", 2000},
      {GET_READ_MEM_POINTER_R, "", "RN\r", 2000},
      {GET_WRITE_MEM_POINTER_R, "", "RM\r", 2000},
      {GET_HIST_MEM_POINTER_R, "", "RS\r", 2000},
      {DUMP_PAGE_R, "0007", "KR0007\r", 2000},
      {GET_TIP_VALUE, "", "RA\r", 2000},
      {SET_TIP_VALUE, "0.20000", "WA0.20000\r", 2000},
      {SET_MEM_POINTER_R, "0012", "WN0012\r", 2000},
      {GET_UNIT, "", "RB\r", 2000},
      {SET_UNIT, "1", "WB1\r", 2000},
      {CLEAR_PARTIAL_COUNTER, "", "K0\r", 2000},
      {CLEAR_TOTAL_COUNTER, "", "K1\r", 2000},
      {GET_CONTACT_TYPE, "", "RC\r", 2000},
      {SET_CONTACT_TYPE, "2", "WC2\r", 2000},
      {GET_ALERT_MODE, "", "RD\r", 2000},
      {SET_ALERT_MODE, "1", "WD1\r", 2000},
      {GET_READ_MEM_POINTER_T, "", "RU\r", 2000},
      {GET_WRITE_MEM_POINTER_T, "", "RT\r", 2000},
      {GET_HIST_MEM_POINTER_T, "", "RW\r", 2000},
      {SET_MEM_POINTER_T, "1453", "WW1453\r", 2000},
      {DUMP_PAGE_T, "2000", "KS2000\r", 2000},
      // A parameter given to a command that takes none is kept but not sent.
      {GET_UNIT, "junk", "RB\r", 2000},
  };
  for (const auto& r : rows) {
    const CCommand c(r.number, r.parameter);
    SCOPED_TRACE(r.text);
    EXPECT_TRUE(c.IsValid());
    EXPECT_EQ(c.GetCommandNumber(), r.number);
    EXPECT_EQ(c.GetCommandString(), r.text);
    EXPECT_EQ(c.GetParameter(), r.parameter);
    EXPECT_EQ(c.GetTimeout(), r.timeout);
  }
  for (int outside : {-1, 30, 1000}) {
    const CCommand c(outside, "x");
    EXPECT_FALSE(c.IsValid());
    EXPECT_EQ(c.GetCommandString(), "-1");
    EXPECT_STREQ(CommandName(outside), "?");
  }
  EXPECT_STREQ(CommandName(DUMP_PAGE_T), "DUMP_PAGE_T");
}

TEST(InstrStatus, DateTimeReplyParsesFieldsAndRejectsImpossibleDates) {
  struct Case {
    const char* reply;
    InstrDateTime expected;
  };
  const Case cases[] = {
      // Only the last two year digits count: 1999 reads as 2099.
      {"2026/12/05 20:53:27\r\n", MakeInstrDateTime(2026, 12, 5, 20, 53, 27)},
      {"1999-02-28T23:59:59", MakeInstrDateTime(2099, 2, 28, 23, 59, 59)},
      {"2024/02/29 00:00:00", MakeInstrDateTime(2024, 2, 29, 0, 0, 0)},
      {"2023/02/29 00:00:00", {0.0, true}},
      {"2026/13/05 20:53:27", {0.0, true}},
      {"2026/12/05 24:00:00", {0.0, true}},
      // Missing time fields read as 0.
      {"2026/12/05", MakeInstrDateTime(2026, 12, 5, 0, 0, 0)},
      {"", {0.0, true}},
      {"garbage text here!!", {0.0, true}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInstrDateTime(c.reply), c.expected) << c.reply;
  }
  // 2000-01-01 is day 36526 after 1899-12-30; an hour is 1/24 of a day.
  EXPECT_DOUBLE_EQ(MakeInstrDateTime(2000, 1, 1, 12, 0, 0).days, 36526.5);

  CInstrStatus status;
  status.InstrType = "x";
  status.SerialNum = "y";
  status.FwVersion = "z";
  status.FwDate = "w";
  status.TipValue = 0.2F;
  status.Unit = status.ContactType = status.AlertMode = 1;
  status.Reset();
  EXPECT_TRUE(status.InstrType.empty() && status.SerialNum.empty() && status.FwVersion.empty() &&
              status.FwDate.empty());
  EXPECT_EQ(status.DateTime, MakeInstrDateTime(2000, 1, 1, 1, 1, 1));
  EXPECT_EQ(status.TipValue, 0.0F);
  EXPECT_EQ(status.Unit + status.ContactType + status.AlertMode, 0);
}

} // namespace
} // namespace nimbrel
