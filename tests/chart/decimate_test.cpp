#include "chart/decimate.h"

#include <gtest/gtest.h>

#include <numeric>

namespace nimbrel {
namespace {

// Lines keep every column's spike and never cross holes; bars are point rectangles when zoomed in and
// column strokes otherwise.
TEST(Decimate, LinesAndBarsKeepEveryColumnsSpikeAndNeverDrawAcrossHoles) {
  // 60 points are drawn one by one; 1 000 000 through per-column summaries.
  for (const std::size_t count : {std::size_t{60}, std::size_t{1000000}}) {
    SCOPED_TRACE(count);
    // Points one second apart on a plot 500 pixels wide: 1 everywhere but a spike of 10 at 3/4, and holes
    // over 2 % of the points from 1/2 on (at least two).
    const std::size_t holeBegin = count / 2;
    const std::size_t holeEnd = holeBegin + std::max<std::size_t>(2, count / 50);
    std::vector<double> x(count);
    std::iota(x.begin(), x.end(), 0.0);
    std::vector<double> y(count, 1.0);
    y[count * 3 / 4] = 10.0;
    std::fill(y.begin() + static_cast<std::ptrdiff_t>(holeBegin), y.begin() + static_cast<std::ptrdiff_t>(holeEnd),
              kHole);
    CSeriesData series;
    series.Resize(count);
    series.SetX(x);
    series.SetY(y);
    const CScaleMap xMap(0.0, static_cast<double>(count - 1), 50.0, 549.0);
    const CScaleMap yMap(0.0, 10.0, 300.0, 20.0);
    // True when [x1, x2] reaches into the pixels of the holes by more than a pixel on both sides.
    const auto crosses = [&](double x1, double x2) {
      return std::min(x1, x2) < xMap.ToPixel(static_cast<double>(holeEnd - 1)) - 1.0 &&
             std::max(x1, x2) > xMap.ToPixel(static_cast<double>(holeBegin)) + 1.0;
    };
    const CLineShapes shapes = LineShapes(series, xMap, yMap);
    bool spikeDrawn = false;
    std::size_t pieces = shapes.spans.size() + shapes.joins.size();
    for (const QPolygonF& path : shapes.paths) {
      pieces += static_cast<std::size_t>(path.size());
      for (qsizetype i = 0; i < path.size(); ++i) {
        spikeDrawn = spikeDrawn || path[i].y() == 20.0;
        EXPECT_FALSE(i > 0 && crosses(path[i - 1].x(), path[i].x()));
      }
    }
    for (const QRect& span : shapes.spans) {
      spikeDrawn = spikeDrawn || span.top() == 20;
      EXPECT_FALSE(crosses(span.left(), span.right()));
    }
    for (const QLineF& join : shapes.joins) {
      EXPECT_FALSE(crosses(join.x1(), join.x2()));
    }
    EXPECT_TRUE(spikeDrawn);
    EXPECT_LE(pieces, 2U * 500U + 2U); // bounded by the width, whatever the count

    const std::vector<QRect> bars = BarShapes(series, xMap, yMap, 0.0);
    const bool zoomed = count == 60;
    EXPECT_TRUE(!zoomed || bars.size() == count - (holeEnd - holeBegin)) << bars.size();
    EXPECT_LE(bars.size(), 500U);
    bool barSpike = false;
    for (const QRect& r : bars) {
      EXPECT_GE(r.width(), zoomed ? 3 : 1);
      EXPECT_EQ(r.bottom(), 300);
      barSpike = barSpike || r.top() == 20;
    }
    EXPECT_TRUE(barSpike);
  }
}

} // namespace
} // namespace nimbrel
