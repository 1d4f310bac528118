#include "viewer/stats.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace nimbrel {
namespace {

TEST(Stats, MaxIntensityOverSlidingWindowsOfTipTimes) {
  // Tip times, window, the hourly rate with 0.2 mm per tip. Empty groups, one tip, same-second tips and an open end at
  // 900 s are in the per-group figures below.
  const std::tuple<std::vector<std::uint32_t>, std::uint32_t, double> cases[] = {
      {{200, 250, 350, 400}, 300, 9.6},        // [200, 500) holds all 4: the windows slide, they are not aligned
      {{0, 300, 600, 900}, 300, 2.4},          // the window end is open: never 2
      {{4294967000U, 4294967295U}, 3600, 0.4}, // no overflow at the clock's end
  };
  for (const auto& [tips, window, perHour] : cases) {
    EXPECT_NEAR(MaxIntensity(tips, window, 0.2), perHour, 1e-9) << window << " " << tips.size();
  }
}

TEST(Stats, BouncesAreTipsInTheSameSecondAsTheOneBefore) {
  EXPECT_EQ(CountBounces(std::vector<std::uint32_t>{0, 0, 1, 1, 1, 5}), 3U);
  EXPECT_EQ(CountBounces(std::vector<std::uint32_t>{10, 5, 5, 6}), 1U); // backwards is not a bounce
}

TEST(Stats, PerGroupAndWholeFileFigures) {
  const std::string bytes = "********** Nimbrel   -TBR4470-   Serial Num:1 **********\n\nmm H2O per tip = 0.2\n"
                            "Unit Meas =0\nFFFFFFFF\n"
                            "00000000\n0000000A\n0000000A\n00000384\n" // 0, 10, 10 (bounce), 900
                            "TEMPERATURE\n00000000\n 10\n ERR\n 14\nZ1\n00001518\n 6\n";
  CDataSeries series;
  CReadDetails details;
  CReadOptions options;
  options.details = &details;
  ASSERT_TRUE(ReadRlgBuffer(bytes, 900, series, options).ok());
  // Rows: 0 (10), 900 (err), 1800 (14), gaps 2700, 3600, 4500, 5400, then 6300 (6). Tips 0, 10, 10 fall
  // within 5 min; 900 is outside [0, 900).
  EXPECT_EQ(FormatStats(series, ComputeStats(series, details), true),
            "group,tips,rain_mm,max_5min_mm/h,max_10min_mm/h,max_15min_mm/h,max_30min_mm/h,max_60min_mm/h,"
            "temp_min,temp_mean,temp_max,gap_rows,marker_samples,bounces\n"
            "2000/01/01 00:15:00,3,0.600,7.200,3.600,2.400,1.200,0.600,10.00,10.00,10.00,0,0,1\n"
            "2000/01/01 00:30:00,1,0.200,2.400,1.200,0.800,0.400,0.200,,,,0,1,0\n"
            "2000/01/01 00:45:00,0,0.000,0.000,0.000,0.000,0.000,0.000,14.00,14.00,14.00,0,0,0\n"
            "2000/01/01 01:00:00,0,0.000,0.000,0.000,0.000,0.000,0.000,,,,1,0,0\n"
            "2000/01/01 01:15:00,0,0.000,0.000,0.000,0.000,0.000,0.000,,,,1,0,0\n"
            "2000/01/01 01:30:00,0,0.000,0.000,0.000,0.000,0.000,0.000,,,,1,0,0\n"
            "2000/01/01 01:45:00,0,0.000,0.000,0.000,0.000,0.000,0.000,,,,1,0,0\n"
            "2000/01/01 02:00:00,0,0.000,0.000,0.000,0.000,0.000,0.000,6.00,6.00,6.00,0,0,0\n"
            "ALL,4,0.800,7.200,3.600,2.400,1.600,0.800,6.00,10.00,14.00,4,1,1\n");

  series.unit = 1;
  const std::string csv = FormatStats(series, ComputeStats(series, details), true);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "group,tips,rain_in,max_5min_in/h,max_10min_in/h,max_15min_in/h,max_30min_in/h,max_60min_in/h,"
            "temp_min,temp_mean,temp_max,gap_rows,marker_samples,bounces");
  EXPECT_NE(csv.find("\n2000/01/01 00:15:00,3,0.024,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nALL,4,0.031,"), std::string::npos) << csv;
}

} // namespace
} // namespace nimbrel
