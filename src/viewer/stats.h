#pragma once

#include "data/data_item.h"
#include "data/rlg_reader.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nimbrel {

// Windows of the maximum rain intensity, in seconds: 5, 10, 15, 30 and 60 minutes.
inline constexpr std::array<std::uint32_t, 5> kIntensityWindows{300, 600, 900, 1800, 3600};

// Figures of one group (table row) or of the whole file. Rain figures are in the file's unit
// (millimetres, or inches with unit 1); intensities in that unit per hour.
struct CGroupStats {
  std::uint32_t time = 0; // the row time; unused for the whole file
  std::size_t tips = 0;
  double rain = 0.0;
  std::array<double, kIntensityWindows.size()> maxIntensity{};
  std::size_t samples = 0;     // temperature samples with a measurement
  double minTemperature = 0.0; // meaningful only when samples > 0
  double meanTemperature = 0.0;
  double maxTemperature = 0.0;
  std::size_t gapRows = 0;       // "not available" rows made by a gap in the record
  std::size_t markerSamples = 0; // samples marked "ERR", "OFL" or "UFL"
  std::size_t bounces = 0;       // tips less than 1 s after the tip before (contact bounce)
};

struct CFileStats {
  CGroupStats whole;
  std::vector<CGroupStats> groups; // one per row
};

// The largest number of tips inside any window [t, t + window) of the sorted tip times, as an hourly
// rate: tips x amountPerTip x 3600 / window.
double MaxIntensity(std::span<const std::uint32_t> sortedTips, std::uint32_t window, double amountPerTip);

// Tips whose time is less than 1 s after the tip before them, in record order.
std::size_t CountBounces(std::span<const std::uint32_t> tipsInOrder);

CFileStats ComputeStats(const CDataSeries& series, const CReadDetails& details);

// The statistics as an aligned text table, or as CSV (comma separated, one header line).
std::string FormatStats(const CDataSeries& series, const CFileStats& stats, bool csv);

} // namespace nimbrel
