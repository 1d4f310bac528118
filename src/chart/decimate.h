#pragma once

#include "chart/scale_map.h"
#include "chart/series_data.h"

#include <QLineF>
#include <QPolygonF>
#include <QRect>

#include <vector>

namespace nimbrel {

// What a series becomes on the plot, in pixels. Only the visible points are visited, and where many
// fall on one pixel column the column keeps its first, lowest, highest and last value, so the cost is
// bounded by the plot's width, not by the number of points. A column's lowest-to-highest stroke is a
// one-pixel-wide whole-pixel rectangle, which a painter fills far faster than it strokes a line; a
// drawing widens it by its pen.

// A line. While the points stand at least half a pixel apart: one polyline per unbroken run (a hole
// ends a run; a run may be a single point). Denser: per column a rectangle from its lowest to its
// highest value, and a join from each column's last point to the next point where neither is a hole.
struct CLineShapes {
  std::vector<QPolygonF> paths;
  std::vector<QRect> spans;
  std::vector<QLineF> joins;
};
CLineShapes LineShapes(const CSeriesData& series, const CScaleMap& xMap, const CScaleMap& yMap);

// Bars from the axis origin: one rectangle per point while the points stand at least 3 pixels apart,
// otherwise one rectangle per pixel column from the origin to the column's highest (and lowest, below
// the origin) value.
std::vector<QRect> BarShapes(const CSeriesData& series, const CScaleMap& xMap, const CScaleMap& yMap, double origin);

} // namespace nimbrel
