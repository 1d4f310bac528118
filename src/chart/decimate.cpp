#include "chart/decimate.h"

#include <algorithm>
#include <cmath>

namespace nimbrel {

namespace {

// Far-off values (a -996 rain on a 0 to 5 axis) stay far off, but within what the painter handles.
constexpr double kFar = 1.0e6;

double Clamp(double pixel, const CScaleMap& map) {
  return std::clamp(pixel, std::min(map.P1(), map.P2()) - kFar, std::max(map.P1(), map.P2()) + kFar);
}

QPointF PointOf(const CSeriesData& series, std::size_t i, const CScaleMap& xMap, const CScaleMap& yMap) {
  return {Clamp(xMap.ToPixel(series.X()[i]), xMap), Clamp(yMap.ToPixel(series.Y()[i]), yMap)};
}

// The pixel column of every point is the one its pixel rounds to; the column's stroke covers the rows
// between two values, both included.
QRect Stroke(double column, double y1, double y2) {
  const auto x = static_cast<int>(column);
  return {QPoint(x, static_cast<int>(std::lround(std::min(y1, y2)))),
          QPoint(x, static_cast<int>(std::lround(std::max(y1, y2))))};
}

struct CColumns {
  double first;
  double last;
  [[nodiscard]] double Count() const { return last - first + 1.0; }
};
CColumns ColumnsOf(const CScaleMap& xMap) {
  return {std::round(std::min(xMap.P1(), xMap.P2())), std::round(std::max(xMap.P1(), xMap.P2()))};
}

// Calls fn(column, begin, end) for every column's run of the points [begin, end) that lie on the plot.
template <typename Fn>
void ForEachColumn(const CSeriesData& series, const CScaleMap& xMap, std::size_t begin, std::size_t end, Fn fn) {
  const auto x = series.X();
  const CColumns columns = ColumnsOf(xMap);
  std::size_t a = begin;
  for (double c = columns.first; c <= columns.last && a < end; c += 1.0) {
    std::size_t b = end;
    if (c < columns.last) {
      const auto from = x.begin() + static_cast<std::ptrdiff_t>(a);
      const auto to = x.begin() + static_cast<std::ptrdiff_t>(end);
      b = static_cast<std::size_t>(std::lower_bound(from, to, xMap.ToValue(c + 0.5)) - x.begin());
    }
    if (b > a) {
      fn(c, a, b);
    }
    a = b;
  }
}

// The visible range without its outer neighbours: the points on the plot.
std::pair<std::size_t, std::size_t> OnPlot(const CSeriesData& series, const CScaleMap& xMap, std::size_t begin,
                                           std::size_t end) {
  const auto x = series.X();
  while (begin < end && x[begin] < xMap.S1()) {
    ++begin;
  }
  while (end > begin && x[end - 1] > xMap.S2()) {
    --end;
  }
  return {begin, end};
}

} // namespace

CLineShapes LineShapes(const CSeriesData& series, const CScaleMap& xMap, const CScaleMap& yMap) {
  const auto y = series.Y();
  const auto visible = series.VisibleRange(xMap.S1(), xMap.S2());
  const std::size_t begin = visible.first;
  const std::size_t end = visible.second;
  CLineShapes shapes;
  if (static_cast<double>(end - begin) <= 2.0 * ColumnsOf(xMap).Count()) {
    QPolygonF run;
    for (std::size_t i = begin; i < end; ++i) {
      if (IsHole(y[i])) {
        if (!run.isEmpty()) {
          shapes.paths.push_back(run);
          run.clear();
        }
      } else {
        run.append(PointOf(series, i, xMap, yMap));
      }
    }
    if (!run.isEmpty()) {
      shapes.paths.push_back(run);
    }
    return shapes;
  }
  const auto join = [&](std::size_t from) { // from point `from` to the next one
    if (!IsHole(y[from]) && !IsHole(y[from + 1])) {
      shapes.joins.emplace_back(PointOf(series, from, xMap, yMap), PointOf(series, from + 1, xMap, yMap));
    }
  };
  const auto [first, last] = OnPlot(series, xMap, begin, end);
  ForEachColumn(series, xMap, first, last, [&](double column, std::size_t a, std::size_t b) {
    if (a > begin) {
      join(a - 1);
    }
    const CMinMax m = series.Summary(a, b);
    if (m.Any()) {
      shapes.spans.push_back(Stroke(column, Clamp(yMap.ToPixel(m.min), yMap), Clamp(yMap.ToPixel(m.max), yMap)));
    }
  });
  if (last < end && last > begin) {
    join(last - 1);
  }
  return shapes;
}

std::vector<QRect> BarShapes(const CSeriesData& series, const CScaleMap& xMap, const CScaleMap& yMap, double origin) {
  const auto x = series.X();
  const auto y = series.Y();
  const auto [begin, end] = series.VisibleRange(xMap.S1(), xMap.S2());
  const double base = Clamp(yMap.ToPixel(origin), yMap);
  std::vector<QRect> rects;
  const double columns = ColumnsOf(xMap).Count();
  if (static_cast<double>(end - begin) * 3.0 <= columns) {
    const double density = std::abs(xMap.Density());
    for (std::size_t i = begin; i < end; ++i) {
      if (IsHole(y[i]) || y[i] == origin) {
        continue;
      }
      double spacing = columns / 10.0;
      if (i > 0) {
        spacing = (x[i] - x[i - 1]) * density;
      }
      if (i + 1 < x.size()) {
        spacing = std::min(spacing, (x[i + 1] - x[i]) * density);
      }
      const double half = std::max(1.0, 0.7 * spacing) / 2.0;
      const double px = xMap.ToPixel(x[i]);
      const double top = std::min(base, Clamp(yMap.ToPixel(y[i]), yMap));
      const double bottom = std::max(base, Clamp(yMap.ToPixel(y[i]), yMap));
      rects.emplace_back(QPoint(static_cast<int>(std::lround(px - half)), static_cast<int>(std::lround(top))),
                         QPoint(static_cast<int>(std::lround(px + half)), static_cast<int>(std::lround(bottom))));
    }
    return rects;
  }
  const auto [first, last] = OnPlot(series, xMap, begin, end);
  ForEachColumn(series, xMap, first, last, [&](double column, std::size_t a, std::size_t b) {
    const CMinMax m = series.Summary(a, b);
    if (m.Any() && m.max > origin) {
      rects.push_back(Stroke(column, base, Clamp(yMap.ToPixel(m.max), yMap)));
    }
    if (m.Any() && m.min < origin) {
      rects.push_back(Stroke(column, base, Clamp(yMap.ToPixel(m.min), yMap)));
    }
  });
  return rects;
}

} // namespace nimbrel
