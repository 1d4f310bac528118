#include "viewer/stats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nimbrel {
namespace {

TEST(Stats, MaxIntensityOverSlidingWindowsOfTipTimes) {
  struct Case {
    std::vector<std::uint32_t> tips;
    std::uint32_t window;
    double perHour; // with 0.2 mm per tip
  };
  const Case cases[] = {
      {{}, 300, 0.0},
      {{1000}, 300, 2.4},                        // one tip in 5 min: 0.2 x 12
      {{0, 100, 200, 299, 300, 900}, 300, 9.6},  // 4 tips in [0, 300) and in [100, 400)
      {{0, 100, 200, 299, 300, 900}, 600, 6.0},  // 5 tips in [0, 600)
      {{0, 100, 200, 299, 300, 900}, 3600, 1.2}, // all 6
      {{0, 300, 600, 900}, 300, 2.4},            // the window end is open: never 2
      {{0, 0, 0}, 300, 7.2},                     // same-second tips all count
      {{4294967000U, 4294967295U}, 3600, 0.4},   // no overflow at the clock's end
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(MaxIntensity(c.tips, c.window, 0.2), c.perHour, 1e-9) << c.window << " " << c.tips.size();
  }
}

TEST(Stats, BouncesAreTipsInTheSameSecondAsTheOneBefore) {
  EXPECT_EQ(CountBounces(std::vector<std::uint32_t>{}), 0U);
  EXPECT_EQ(CountBounces(std::vector<std::uint32_t>{5}), 0U);
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
  // Rows: 0 (10), 900 (err), 1800 (14), gaps 2700, 3600, 4500, 5400, then 6300 (6).
  ASSERT_EQ(series.RowCount(), 8U);
  const CFileStats stats = ComputeStats(series, details);
  ASSERT_EQ(stats.groups.size(), 8U);

  const CGroupStats& all = stats.whole;
  EXPECT_EQ(all.tips, 4U);
  EXPECT_NEAR(all.rain, 0.8, 1e-6);
  EXPECT_NEAR(all.maxIntensity[0], 3 * 0.2 * 12, 1e-6); // 0, 10, 10 within 5 min
  EXPECT_NEAR(all.maxIntensity[2], 3 * 0.2 * 4, 1e-6);  // [0, 900) holds 3, 900 is outside
  EXPECT_NEAR(all.maxIntensity[4], 4 * 0.2, 1e-6);
  EXPECT_EQ(all.samples, 3U);
  EXPECT_DOUBLE_EQ(all.minTemperature, 6.0);
  EXPECT_DOUBLE_EQ(all.meanTemperature, 10.0);
  EXPECT_DOUBLE_EQ(all.maxTemperature, 14.0);
  EXPECT_EQ(all.markerSamples, 1U);
  EXPECT_EQ(all.gapRows, 4U);
  EXPECT_EQ(all.bounces, 1U);

  EXPECT_EQ(stats.groups[0].tips, 3U);
  EXPECT_EQ(stats.groups[0].bounces, 1U);
  EXPECT_EQ(stats.groups[1].tips, 1U);
  EXPECT_EQ(stats.groups[1].samples, 0U);
  EXPECT_EQ(stats.groups[1].markerSamples, 1U);
  EXPECT_EQ(stats.groups[3].gapRows, 1U);
  EXPECT_EQ(stats.groups[7].samples, 1U);

  // Inches: amounts and rates in inches.
  series.unit = 1;
  const CFileStats inch = ComputeStats(series, details);
  EXPECT_NEAR(inch.whole.rain, 0.8 * 0.03937, 1e-9);
  const std::string csv = FormatStats(series, inch, true);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "group,tips,rain_in,max_5min_in/h,max_10min_in/h,max_15min_in/h,max_30min_in/h,max_60min_in/h,"
            "temp_min,temp_mean,temp_max,gap_rows,marker_samples,bounces");
  EXPECT_NE(csv.find("\n2000/01/01 00:15:00,3,0.024,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nALL,4,0.031,"), std::string::npos) << csv;
}

} // namespace
} // namespace nimbrel
