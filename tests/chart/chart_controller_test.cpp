#include "chart/chart_controller.h"
#include "chart_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <span>
#include <tuple>

namespace nimbrel {
namespace {

class ChartControllerTest : public ::testing::Test {
protected:
  ChartControllerTest() { controller.Resize(QSize(1000, 400), 1.0); }

  void Fill(const CDataSeries& s) {
    series = s;
    controller.Fill(series);
  }
  QPoint PixelOf(int point) const {
    const QPointF p = controller.Chart().PointPixel(1, 1, point).value();
    return {static_cast<int>(std::lround(p.x())), static_cast<int>(std::lround(p.y()))};
  }
  // Drags in zoom mode from the top of the plot at point `from` to its bottom at point `to`.
  CChartActions Drag(int from, int to) {
    const QRect plot = controller.Chart().PlotRect();
    controller.ButtonDown(kLeftButton, PixelOf(from).x(), plot.top() + 1);
    controller.MouseMove(kLeftButton, PixelOf(to).x(), plot.bottom() - 1);
    return controller.ButtonUp(kLeftButton, PixelOf(to).x(), plot.bottom() - 1);
  }
  std::pair<double, double> TimeRange() const { return controller.Chart().AxisRange(ChartAxis::Time); }

  CZoomMode mode;
  CChartController controller{mode};
  CDataSeries series;
};

TEST_F(ChartControllerTest, FillPlacesPointsHolesMarksAndTheFullView) {
  // Rows 1-2 and 4-5 are runs of temperature markers; row 1 has no rain record.
  const float rain[] = {0.2F, kNotAvailable, 0.4F, 0.0F, 0.0F, 0.6F};
  const float temperature[] = {20.0F, kUnderflow, kUnderflow, 21.0F, kOverflow, kErrorValue};
  Fill(test::MakeSeries(6, 900, [&](int i, CDataItem& row) {
    row.rain = rain[i];
    row.temperature = temperature[i];
  }));
  const CChart2D& chart = controller.Chart();
  const CSeriesData* r = chart.FindSeries(1, 1);
  const CSeriesData* t = chart.FindSeries(2, 1);
  ASSERT_TRUE(r != nullptr && t != nullptr);
  const auto values = [](std::span<const double> v) { return std::vector<double>(v.begin(), v.end()); };
  const std::vector<double> x = {1.0, 901.0, 1801.0, 2701.0, 3601.0, 4501.0};
  EXPECT_EQ(values(r->X()), x);
  EXPECT_EQ(values(t->X()), x);
  EXPECT_EQ(values(r->Y()), (std::vector<double>{0.2F, kNotAvailable, 0.4F, 0.0, 0.0, 0.6F}));
  EXPECT_EQ(values(t->Y()), (std::vector<double>{20.0, kHole, kHole, 21.0, kHole, kHole}));
  std::vector<int> marks;
  for (const CChart2D::CLabel& label : chart.Labels()) {
    if (label.text == "!") {
      EXPECT_EQ(label.background, QColor(255, 255, 0));
      marks.push_back(label.point);
    }
  }
  EXPECT_EQ(marks, (std::vector<int>{1, 5}));
  EXPECT_EQ(chart.TimeBase(), test::kStart);
  EXPECT_EQ(chart.TimeFormat(), "%H:%M");
  EXPECT_EQ(TimeRange(), std::make_pair(0.0, 4500.0));
  EXPECT_EQ(chart.AxisRange(ChartAxis::Right), std::make_pair(20.0, 21.0));
  EXPECT_EQ(chart.AxisTitle(ChartAxis::Left), "Rain [mm]");
}

TEST_F(ChartControllerTest, FullViewTopIsTheHighestRainPlusATenthTruncated) {
  for (const auto& [highest, high] : {std::pair(0.9F, 0), {0.91F, 1}, {9.9F, 10}, {10.0F, 11}}) {
    SCOPED_TRACE(highest);
    Fill(test::MakeSeries(30, 60, [top = highest](int i, CDataItem& row) { row.rain = i == 7 ? top : 0.1F; }));
    const CViewRange& full = controller.Entry(0);
    EXPECT_EQ(std::tuple(full.first, full.last, full.high), std::tuple(1, 30, high));
    EXPECT_EQ(controller.Chart().AxisRange(ChartAxis::Left), std::make_pair(0.0, static_cast<double>(high)));
  }
}

TEST_F(ChartControllerTest, HoverLabelShowsTheTableRowOnTheSideAwayFromTheEnd) {
  // The point hovered, the unit, the label and its side.
  const std::tuple<int, int, const char*, LabelSide> cases[] = {
      {89, 0, "Time: 2005/03/02 08:30:00 \rRain= 0.200 [mm]\rTemp= 20.00 [C]", LabelSide::Right},
      {90, 1, "Time: 2005/03/02 08:45:00 \rRain= 0.008 [inch]\rTemp= 20.00 [F]", LabelSide::Left},
  };
  for (const auto& [point, unit, text, side] : cases) {
    SCOPED_TRACE(point);
    CDataSeries s = test::MakeSeries(100, 900);
    s.unit = unit;
    Fill(s);
    const QPoint at = PixelOf(point);
    EXPECT_TRUE(controller.MouseMove(0, at.x(), at.y()).repaint);
    const CChart2D::CLabel* label = controller.Chart().FindLabel("Cursor");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(std::tie(label->text, label->side), std::tie(text, side));
    EXPECT_EQ(label->anchor, at + QPoint(side == LabelSide::Right ? 10 : -10, -50));
    EXPECT_EQ(controller.DoubleClick().showRow, point);
  }
}

TEST_F(ChartControllerTest, DragInZoomModePushesALevelThatReleaseShows) {
  Fill(test::MakeSeries(200, 60));
  const QRect plot = controller.Chart().PlotRect();
  // Zoom mode off: pressing, dragging and releasing change nothing.
  EXPECT_TRUE(Drag(20, 44).band.empty());
  EXPECT_EQ(controller.Level(), 0);

  EXPECT_EQ(controller.ZoomPlus().zoomMinusEnabled, true);
  // A press left of and above the plot starts at its corner.
  const CChartActions down = controller.ButtonDown(kLeftButton, plot.left() - 30, plot.top() - 5);
  EXPECT_EQ(down.band, std::vector<QRect>{QRect(plot.topLeft(), plot.topLeft())});
  EXPECT_EQ(controller.ButtonUp(kLeftButton, PixelOf(30).x(), plot.bottom()).scrollButtons, true);
  EXPECT_EQ(controller.ZoomMinus().scrollButtons, false);

  const CChartActions up = Drag(20, 44);
  EXPECT_EQ(controller.Level(), 1);
  EXPECT_EQ(std::pair(controller.Entry(1).first, controller.Entry(1).last), std::pair(21, 45));
  EXPECT_EQ(TimeRange(), std::make_pair(20.0 * 60.0, 44.0 * 60.0));
  EXPECT_GE(controller.Entry(1).high, 1);
  // No band after the release: the zoomed chart is drawn again, and inverting the band would draw it.
  EXPECT_EQ(std::tuple(up.repaint, up.scrollButtons, up.showRow, up.zoomMinusEnabled, up.band.empty()),
            std::tuple(true, std::optional(true), std::optional(34), std::optional(true), true));

  // A new grouping starts over at the full view.
  const CChartActions refill = controller.Fill(series);
  EXPECT_EQ(controller.Level(), 0);
  EXPECT_EQ(refill.scrollButtons, false);
  EXPECT_EQ(TimeRange(), std::make_pair(0.0, 199.0 * 60.0));
}

TEST_F(ChartControllerTest, TheTwentyFourthLevelBeepsAndEndsRectangleZoom) {
  Fill(test::MakeSeries(200, 60));
  controller.ZoomPlus();
  const QRect plot = controller.Chart().PlotRect();
  for (int level = 1; level < kZoomLevels; ++level) {
    Drag(1, 200);
    ASSERT_EQ(controller.Level(), level);
  }
  EXPECT_TRUE(controller.ButtonDown(kLeftButton, plot.left() + 1, plot.top() + 1).beep);
  EXPECT_TRUE(controller.StackFull());
  EXPECT_TRUE(controller.ZoomMinus().repaint); // from the last level: the refused press pushed none

  EXPECT_EQ(controller.Level(), kZoomLevels - 2);
  const CChartActions after = Drag(1, 200);
  EXPECT_EQ(std::pair(after.beep, after.repaint), std::pair(false, false));
  EXPECT_EQ(controller.Level(), kZoomLevels - 2);
}

TEST_F(ChartControllerTest, ScrollingMovesATenthOfTheViewAndNeverLeftOfPointZero) {
  // The points dragged between (the view is from + 1 to to + 1), its first point after ">>" and after "<<" twice.
  const std::tuple<int, int, int, int> cases[] = {
      {20, 44, 23, 19}, // 25 points: steps of 2
      {20, 28, 21, 21}, // 9 points: no step
      {2, 54, 8, 3},    // first 3, step 5: ">>" then "<<" twice, the second refused
  };
  controller.ZoomPlus(); // a new grouping leaves the zoom mode as it is
  for (const auto& [from, to, firstAfterRight, firstAfterLeft] : cases) {
    SCOPED_TRACE(to - from + 1);
    Fill(test::MakeSeries(200, 60));
    Drag(from, to);
    const int width = controller.Entry(1).last - controller.Entry(1).first;
    controller.ScrollRight();
    EXPECT_EQ(controller.Entry(1).first, firstAfterRight);
    EXPECT_EQ(controller.Entry(1).last - controller.Entry(1).first, width);
    controller.ScrollLeft();
    controller.ScrollLeft();
    EXPECT_EQ(controller.Entry(1).first, firstAfterLeft);
    EXPECT_EQ(TimeRange().first, (firstAfterLeft - 1) * 60.0);
    EXPECT_EQ(controller.Level(), 1);
  }
}

TEST(ZoomMode, EveryWindowFollowsTheSharedSwitch) {
  CZoomMode mode;
  CChartController first(mode);
  CChartController second(mode);
  std::vector<bool> told;
  CZoomMode::CSubscription subscription = mode.Observe([&](bool on) { told.push_back(on); });
  EXPECT_EQ(first.ZoomPlus().zoomPlusPressed, true);
  EXPECT_EQ(told, std::vector<bool>{true});
  EXPECT_EQ(second.ZoomModeChanged().zoomPlusPressed, true);
  subscription.Reset();
  second.ZoomPlus();
  EXPECT_EQ(told, std::vector<bool>{true});
  EXPECT_EQ(first.ZoomModeChanged().zoomMinusEnabled, false);
}

} // namespace
} // namespace nimbrel
