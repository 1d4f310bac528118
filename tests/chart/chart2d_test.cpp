#include "chart/chart2d.h"
#include "chart/chart_controller.h"
#include "chart_test_util.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace nimbrel {
namespace {

// A 100-point series, one minute apart, on a 1000 x 400 view showing all of it.
CChart2D HundredPoints() {
  CChart2D chart;
  chart.SetViewSize(QSize(1000, 400));
  std::vector<double> x(100);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = 60.0 * static_cast<double>(i) + 1.0;
  }
  chart.SetPointCount(1, 1, x.size());
  chart.SetXData(1, 1, x);
  chart.SetYData(1, 1, std::vector<double>(x.size(), 1.0));
  chart.SetAxisRange(ChartAxis::Time, 0.0, 99.0 * 60.0);
  chart.SetAxisRange(ChartAxis::Left, -5.0, 15.0);
  return chart;
}

// Holes among the points are left out as the controller's temperature axis shows; with nothing else, 0.
TEST(Chart2D, HighestAndLowestOfOnlyHolesAreZero) {
  CChart2D chart;
  chart.SetPointCount(2, 1, 6);
  chart.SetYData(2, 1, std::vector<double>(6, kHole));
  EXPECT_EQ(std::pair(chart.Highest(2, 1), chart.Lowest(2, 1)), std::pair(0.0, 0.0));
}

TEST(Chart2D, GroupsWithTheSameTimesHoldOneCopyAndChangingOneLeavesTheOther) {
  CChart2D chart = HundredPoints();
  const std::vector<double> x(chart.FindSeries(1, 1)->X().begin(), chart.FindSeries(1, 1)->X().end());
  chart.SetPointCount(2, 1, x.size());
  chart.SetXData(2, 1, x);
  EXPECT_EQ(chart.FindSeries(2, 1)->X().data(), chart.FindSeries(1, 1)->X().data());
  std::vector<double> later = x;
  later.back() += 30.0;
  chart.SetXData(1, 1, later);
  EXPECT_EQ(std::pair(chart.FindSeries(1, 1)->X().back(), chart.FindSeries(2, 1)->X().back()),
            std::pair(later.back(), x.back()));
  chart.SetPointCount(2, 1, 50); // a resize of the other group leaves the first whole
  EXPECT_EQ(chart.FindSeries(1, 1)->Size(), 100U);
}

TEST(Chart2D, NearestPointChangesHalfwayBetweenPoints) {
  const CChart2D chart = HundredPoints();
  for (const int p : {1, 2, 50, 99}) {
    SCOPED_TRACE(p);
    const double x = chart.PointPixel(1, 1, p)->x();
    const double next = chart.PointPixel(1, 1, p + 1)->x();
    const double middle = (x + next) / 2.0;
    EXPECT_EQ(chart.Nearest(QPoint(static_cast<int>(std::lround(x)), 0), 1).point, p);
    EXPECT_EQ(chart.Nearest(QPoint(static_cast<int>(std::floor(middle - 0.01)), 0), 3).point, p);
    EXPECT_EQ(chart.Nearest(QPoint(static_cast<int>(std::ceil(middle + 0.01)), 0), 1).point, p + 1);
  }
  EXPECT_EQ(chart.Nearest(QPoint(-50, 0), 1).point, 1);
  EXPECT_EQ(chart.Nearest(QPoint(5000, 0), 1).point, 100);
  const QRect plot = chart.PlotRect();
  EXPECT_EQ(chart.PixelToData(plot.topLeft()), QPointF(0.0, 15.0));
  EXPECT_EQ(chart.PixelToData(plot.bottomRight()), QPointF(99.0 * 60.0, -5.0));
  EXPECT_EQ(chart.Nearest(plot.bottomRight(), 3).value, -5);
}

int CountPixels(const QImage& image, QRgb colour) {
  const auto* p = reinterpret_cast<const QRgb*>(image.constBits()); // 32-bit pixels, rows without padding
  return static_cast<int>(std::count_if(p, p + static_cast<std::ptrdiff_t>(image.width()) * image.height(),
                                        [&](QRgb c) { return (c | 0xFF000000U) == colour; }));
}

TEST(Chart2D, DrawsRainTemperatureAndMarksAndPrintsToScaleWithoutTheHoverLabel) {
  test::GuiApp();
  CZoomMode mode;
  CChartController controller(mode);
  const CDataSeries series = test::MakeSeries(200, 900, [](int i, CDataItem& row) {
    row.rain = static_cast<float>(i % 7);
    row.temperature = i == 120 ? kErrorValue : 10.0F + static_cast<float>(i % 3);
  });
  controller.Fill(series);
  controller.Resize(QSize(1000, 400), 1.0);
  const QImage screen = controller.Chart().Picture(QSize(1000, 400));
  EXPECT_GT(CountPixels(screen, qRgb(0, 0, 255)), 1000);
  EXPECT_GT(CountPixels(screen, qRgb(255, 0, 0)), 500);
  EXPECT_GT(CountPixels(screen, qRgb(255, 255, 0)), 20); // the "!" on the error

  // The hover label is on the screen only.
  controller.MouseMove(0, 500, 200);
  const QImage hovered = controller.Chart().Picture(QSize(1000, 400));
  EXPECT_NE(hovered, screen);
  QImage printed(QSize(1000, 400), QImage::Format_RGB32);
  {
    QPainter painter(&printed);
    controller.DrawForPrinter(painter, printed.rect());
  }
  EXPECT_EQ(printed, screen);
  EXPECT_EQ(controller.Chart().Picture(QSize(1000, 400)), hovered);

  // On a 600 dpi page the temperature line is as many times thicker as the dots are denser, not a hairline.
  QImage page(QSize(4000, 1600), QImage::Format_RGB32);
  page.setDotsPerMeterX(static_cast<int>(600 / 0.0254));
  page.setDotsPerMeterY(static_cast<int>(600 / 0.0254));
  page.fill(Qt::white);
  {
    QPainter painter(&page);
    controller.DrawForPrinter(painter, page.rect());
  }
  const double ratio = static_cast<double>(CountPixels(page, qRgb(255, 0, 0))) / CountPixels(screen, qRgb(255, 0, 0));
  EXPECT_GT(ratio, 4.0 * 4.0); // 4 x the length, and more than 4 x the width
}

TEST(Chart2D, ChangesUnderABatchRequestOneRepaintWhenTheLastSwitchGoesOff) {
  CChart2D chart;
  const std::uint64_t start = chart.RepaintCount();
  chart.SetBatch(true);
  chart.SetGroupBatch(1, true);
  chart.SetAxisRange(ChartAxis::Left, 0.0, 5.0);
  chart.SetPointCount(1, 1, 10);
  chart.SetBatch(false);
  EXPECT_EQ(chart.RepaintCount(), start);
  chart.SetGroupBatch(1, false);
  EXPECT_EQ(chart.RepaintCount(), start + 1);
  chart.SetAxisTitle(ChartAxis::Left, "R");
  EXPECT_EQ(chart.RepaintCount(), start + 2);

  CZoomMode mode;
  CChartController controller(mode);
  const CDataSeries series =
      test::MakeSeries(300, 60, [](int i, CDataItem& row) { row.temperature = i % 50 == 0 ? kOverflow : 20.0F; });
  for (int fill = 0; fill < 2; ++fill) {
    const std::uint64_t before = controller.Chart().RepaintCount();
    EXPECT_TRUE(controller.Fill(series).repaint);
    EXPECT_EQ(controller.Chart().RepaintCount(), before + 1);
  }
}

} // namespace
} // namespace nimbrel
