#include "protocol/command.h"
#include "protocol/instr_status.h"

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
  // With a parameter, with an empty one, the long time-out, and a parameter given to a command
  // that takes none (not sent).
  const Row rows[] = {
      {SET_SERIAL_NUM, "12345678", "DS12345678\r", 2000},
      {SET_SERIAL_NUM, "", "DS\r", 2000},
      {SET_DATE_TIME, "2026/12/05 20:53:27", "DA2026/12/05 20:53:27\r", 2000},
      {ERASE_MEM_2, "", "K6\r", 10000},
      {DUMP_PAGE_T, "2000", "KS2000\r", 2000},
      {GET_UNIT, "junk", "RB\r", 2000},
  };
  for (const auto& r : rows) {
    const CCommand c(r.number, r.parameter);
    EXPECT_EQ(c.GetCommandString(), r.text);
    EXPECT_EQ(c.GetTimeout(), r.timeout) << r.text;
  }
  for (int outside : {-1, 30, 1000}) {
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

} // namespace
} // namespace nimbrel
