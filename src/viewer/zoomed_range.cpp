#include "viewer/zoomed_range.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace nimbrel {

CDataSeries ZoomedSeries(const CDataSeries& series, int first, int last) {
  CDataSeries zoomed;
  zoomed.interval = series.interval;
  zoomed.unit = series.unit;
  zoomed.resolution = series.resolution;
  zoomed.resolutionDefaulted = series.resolutionDefaulted;
  zoomed.headersKnown = series.headersKnown;
  zoomed.foundRainHeader = series.foundRainHeader;
  zoomed.foundTemperature = series.foundTemperature;
  zoomed.startValid = series.startValid;
  zoomed.startTime = series.startTime;
  zoomed.caption = series.caption;
  if (first > last) {
    std::swap(first, last);
  }
  const auto n = static_cast<long long>(series.rows.size());
  const long long begin = std::clamp<long long>(first, 1, n + 1) - 1;
  const long long end = std::clamp<long long>(last, 0, n);
  if (begin < end) {
    zoomed.rows.assign(series.rows.begin() + begin, series.rows.begin() + end);
  }
  // Summed as the reading sums the whole table.
  double total = 0.0;
  for (const CDataItem& row : zoomed.rows) {
    if (row.rain != kNotAvailable) {
      total += row.rain;
    }
  }
  zoomed.total = static_cast<float>(total);
  return zoomed;
}

} // namespace nimbrel
