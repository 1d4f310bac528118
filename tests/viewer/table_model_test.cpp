#include "viewer/intervals.h"
#include "viewer/table_model.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace nimbrel {
namespace {

TEST(Intervals, TheListsTextsAndSecondsBothWaysAndTheDefaultBySize) {
  std::string list;
  for (int p = 0; p < 23; ++p) {
    const auto [text, seconds] = kIntervals[static_cast<std::size_t>(p)];
    SCOPED_TRACE(text);
    list += std::string(text) + "=" + std::to_string(seconds) + " ";
    EXPECT_EQ(IntervalAt(p), seconds);
    EXPECT_EQ(PositionOf(seconds), p);
    EXPECT_EQ(ParseInterval(text), seconds);
    EXPECT_EQ(ParseInterval(std::to_string(seconds)), seconds);
  }
  for (const char* bad : {"", "2", "15min", "901", "900 ", "-900", "0x384", "1 years", "99999999999999"}) {
    EXPECT_FALSE(ParseInterval(bad)) << bad;
  }
  // Written out here, not taken from the list: a wrong number in the list itself must fail.
  EXPECT_EQ(list, "1 sec=1 5 sec=5 10 sec=10 30 sec=30 1 min=60 5 min=300 15 min=900 30 min=1800 1 hour=3600 "
                  "2 hour=7200 4 hour=14400 8 hour=28800 12 hour=43200 1 day=86400 2 day=172800 7 day=604800 "
                  "14 day=1209600 1 month=2592000 2 month=5184000 3 month=7776000 4 month=10368000 "
                  "6 month=15552000 1 year=31104000 ");
  EXPECT_FALSE(IntervalAt(-1) || IntervalAt(23));
  const std::pair<std::uintmax_t, int> sizes[] = {{0, 60}, {10000, 60}, {10001, 3600}, {100000, 3600}, {100001, 86400}};
  for (const auto& [bytes, seconds] : sizes) {
    EXPECT_EQ(DefaultInterval(bytes), seconds) << bytes;
  }
}

TEST(Intervals, ExpandQuestionAboveOneHundredThousandRows) {
  const std::tuple<std::size_t, int, int, bool> cases[] = {
      {1000, 900, 9, false},                                        // exactly 100000
      {1000, 900, 1, true},                                         // 900000
      {100001, 60, 60, false},                                      // same interval
      {100001, 60, 900, false},                                     // longer interval never asks
      {1, 31104000, 300, true},                                     // 103680 rows
      {std::numeric_limits<std::size_t>::max(), 31104000, 1, true}, // no overflow
  };
  for (const auto& [rows, current, next, asks] : cases) {
    EXPECT_EQ(ExpandNeedsQuestion(rows, current, next), asks) << rows << " " << current << " " << next;
  }
}

// Seconds since 2000/01/01 00:00:00 as calendar time, snapped to the interval.
TEST(TableText, GroupTimeLabelsSnapToTheInterval) {
  const std::uint32_t t = 162986843U; // 2005/03/01 10:07:23
  const std::tuple<std::uint32_t, int, const char*> cases[] = {
      {0U, 1, "2000/01/01 00:00:00 "},
      {190590529U, 1, "2006/01/14 21:48:49 "},
      {59U * 86400U, 1, "2000/02/29 00:00:00 "}, // 2000 is a leap year
      {366U * 86400U - 1U, 1, "2000/12/31 23:59:59 "},
      {4294967295U, 1, "2136/02/07 06:28:15 "},
      {t, 1, "2005/03/01 10:07:23 "},
      {t, 5, "2005/03/01 10:07:20 "},
      {t, 60, "2005/03/01 10:07:00 "},
      {t, 300, "2005/03/01 10:10:00 "},
      {t, 3600, "2005/03/01 10:15:00 "},       // capped at 900
      {t + 2700, 900, "2005/03/01 11:00:00 "}, // 10:52:23: the minute 60 carries into the hour
      {366U * 86400U - 1U, 900, "2001/01/01 00:00:00 "},
  };
  CCellText label;
  for (const auto& [time, interval, text] : cases) {
    GroupTimeLabel(time, interval, label);
    EXPECT_EQ(label.View(), text) << time << " at " << interval;
  }
}

// Every line's rain and temperature cells, as "rain|temperature".
std::vector<std::string> Values(const CDataSeries& s) {
  std::vector<std::string> values;
  CCellText rain;
  CCellText temperature;
  for (std::size_t k = 0; k < s.LineCount(); ++k) {
    CellText(s, k, 1, rain);
    CellText(s, k, 2, temperature);
    values.push_back(std::string(rain.View()) + "|" + std::string(temperature.View()));
  }
  return values;
}

TEST(TableText, CellTextsMarkersAndUnits) {
  CDataSeries s;
  s.interval = 900;
  s.rows = {{25.4F, 12.345F, 0},       {kNotAvailable, kNotAvailable, 900},
            {0.0F, kErrorValue, 1800}, {1.0F, kUnderflow, 2700},
            {-1.0F, kOverflow, 3600},  {-4.0F, -3.0F, 4500},
            {-5.0F, -5.0F, 5400}};
  s.total = 25.4F;
  EXPECT_EQ(Values(s), (std::vector<std::string>{"25.400|", "25.400|12.35", "Not Available|Not Available", "0.000|err",
                                                 "1.000|ufl", "---  --|ofl", "---  --|---  --", "-5.000|-5.00"}));
  s.unit = 1; // temperatures are never converted
  EXPECT_EQ(Values(s), (std::vector<std::string>{"1.000|", "1.000|12.35", "Not Available|Not Available", "0.000|err",
                                                 "0.039|ufl", "---  --|ofl", "---  --|---  --", "-0.197|-5.00"}));
  EXPECT_EQ(RainColumnHeader(2), "mm H20"); // the neutral headers before a unit is known
  EXPECT_EQ(TemperatureColumnHeader(7), "Temperature");
  EXPECT_EQ(ResolutionText(0, 0.2F), "mm H2O per tip = 0.200");
  EXPECT_EQ(ResolutionText(1, 25.4F), "Inch H2O per tip = 1.000");

  // Extreme values still fit their cell.
  s.unit = 0;
  s.rows = {{std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), 0}};
  EXPECT_EQ(Values(s).back(),
            "340282346638528859811704183484516925440.000|-340282346638528859811704183484516925440.00");
}

TEST(TableText, IconsAndTheWholeText) {
  CDataSeries s;
  s.interval = 60;
  s.rows = {{0.0F, 10.0F, 60}, {0.2F, 10.0F, 120}, {0.2F, kErrorValue, 180}, {kNotAvailable, kNotAvailable, 240}};
  s.total = 0.4F;
  // The total line, dry, rain, rain with an error (the warning wins), not available.
  EXPECT_EQ((std::vector<int>{LineIcon(s, 0), LineIcon(s, 1), LineIcon(s, 2), LineIcon(s, 3), LineIcon(s, 4)}),
            (std::vector<int>{1, 0, 1, 2, 2}));
  // Any unit but 0 takes the inch header; a table longer than the streaming block is its cells, line by line
  // (the reference tables of tests/data hold short ones).
  s.unit = 5;
  for (std::uint32_t i = 0; i < 20000; ++i) {
    s.rows.push_back({0.2F * static_cast<float>(i % 7), kErrorValue, 300 + 60 * i});
  }
  std::string lines = "Date-Time\t\tRain [inch H2O]\tTemp [F]\r\n";
  CCellText t;
  for (std::size_t k = 0; k < s.LineCount(); ++k) {
    for (int column = 0; column < 3; ++column) {
      CellText(s, k, column, t);
      lines += std::string(t.View()) + (column < 2 ? "\t\t" : "\r\n");
    }
  }
  EXPECT_EQ(TableText(s), lines);
}

} // namespace
} // namespace nimbrel
