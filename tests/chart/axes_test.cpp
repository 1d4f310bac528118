#include "chart/axis_ticks.h"
#include "chart/scale_map.h"
#include "chart/series_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

namespace nimbrel {
namespace {

TEST(ScaleMap, RangeEndsLandOnTheEndPixelsBothWays) {
  // From s1..s2 to the pixels p1..p2.
  const std::tuple<double, double, double, double> cases[] = {
      {0.0, 29.0 * 86400.0, 66.0, 933.0}, // a time axis
      {-12.5, 37.25, 355.0, 26.0},        // a value axis grows upwards
      {3.0, 3.0, 355.0, 26.0},            // empty range: widened by one unit
  };
  for (const auto& [s1, s2, p1, p2] : cases) {
    SCOPED_TRACE(s1);
    const CScaleMap map(s1, s2, p1, p2);
    EXPECT_EQ(map.ToPixel(map.S1()), p1);
    EXPECT_EQ(map.ToPixel(map.S2()), p2);
    EXPECT_DOUBLE_EQ(map.ToValue(p1), map.S1());
    EXPECT_DOUBLE_EQ(map.ToValue(p2), map.S2());
    EXPECT_DOUBLE_EQ(map.ToPixel((map.S1() + map.S2()) / 2.0), (p1 + p2) / 2.0);
  }
  EXPECT_EQ(CScaleMap(3.0, 3.0, 0.0, 10.0).S2(), 4.0);
}

TEST(AxisTicks, ValueTicksAreFewRoundNumbersInsideTheRange) {
  // The range and the most ticks wanted.
  const std::tuple<double, double, int> cases[] = {
      {0.0, 11.0, 10}, {-12.5, 37.25, 8}, {0.0, 0.3, 5}, {0.0, 1.0, 2}, {1000.0, 1000.5, 12}};
  for (const auto& [low, high, maxCount] : cases) {
    SCOPED_TRACE(high);
    const CValueTicks ticks = ValueTicks(low, high, maxCount);
    ASSERT_GE(ticks.values.size(), 2U);
    EXPECT_LE(ticks.values.size(), static_cast<std::size_t>(maxCount));
    EXPECT_GE(ticks.values.front(), low - 1e-9);
    EXPECT_LE(ticks.values.back(), high + 1e-9);
    const double step = ticks.values[1] - ticks.values[0];
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::abs(mantissa - 1.0) < 1e-6 || std::abs(mantissa - 2.0) < 1e-6 || std::abs(mantissa - 5.0) < 1e-6)
        << step;
    for (const double v : ticks.values) {
      const std::string text = TickText(v, ticks.decimals);
      EXPECT_NEAR(std::stod(text), v, step / 100.0) << text; // enough decimals to tell ticks apart ...
      EXPECT_LE(text.size(), 7U) << text;                    // ... and no float noise
    }
  }
  EXPECT_EQ(TickText(-0.0001, 2), "0.00");
}

TEST(AxisTicks, TimeTicksFallOnWholeStepsOfTheClock) {
  EXPECT_EQ((std::vector{TimeStep(0.5), TimeStep(61.0), TimeStep(86401.0)}), (std::vector{1.0, 120.0, 172800.0}));
  EXPECT_GE(TimeStep(4.0e8), 4.0e8);
  // X counts from a base of 00:59:59: the hour ticks are at X = 1 and 3601.
  EXPECT_EQ(TimeTicks(0.0, 7200.0, 3599U, 3600.0), (std::vector<double>{1.0, 3601.0}));
  EXPECT_TRUE(TimeTicks(0.0, 1.0e9, 0U, 1.0).empty());
}

TEST(AxisTicks, LabelFormatByIntervalAndItsFields) {
  std::string formats;
  for (const int interval : {0, 1, 59, 60, 3599, 3600, 86399, 86400}) {
    formats += TimeLabelFormat(interval).value_or("none") + "|";
  }
  EXPECT_EQ(formats, "none|%H:%M:%S|%H:%M:%S|%H:%M|%H:%M|%y/%m/%d %H|%y/%m/%d %H|%y/%m/%d|");
  EXPECT_EQ(FormatChartTime("%y/%m/%d %H:%M:%S %Q%", 162986843U), "05/03/01 10:07:23 %Q%");
}

TEST(SeriesData, RunSummariesMatchAScanOfThePoints) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-50.0, 50.0);
  std::vector<double> y(70000);
  for (std::size_t i = 0; i < y.size(); ++i) {
    y[i] = i % 997 == 3 ? kHole : value(random);
  }
  CSeriesData series;
  series.Resize(y.size());
  series.SetY(y);
  std::vector<std::pair<std::size_t, std::size_t>> runs = {{0, 16},       {15, 17},       {16, 4096}, {4095, 4097},
                                                           {0, y.size()}, {69999, 70000}, {3, 4},     {4, 4}};
  std::uniform_int_distribution<std::size_t> index(0, y.size());
  for (int k = 0; k < 200; ++k) {
    const std::size_t a = index(random);
    runs.emplace_back(a, std::min(y.size(), a + index(random) % 5000));
  }
  for (const auto& [begin, end] : runs) {
    SCOPED_TRACE(std::to_string(begin) + ".." + std::to_string(end));
    CMinMax expected;
    for (std::size_t i = begin; i < end; ++i) {
      expected.Add(y[i]);
    }
    const CMinMax got = series.Summary(begin, end);
    EXPECT_EQ(std::tuple(got.min, got.max, got.hole), std::tuple(expected.min, expected.max, expected.hole));
  }
}

} // namespace
} // namespace nimbrel
