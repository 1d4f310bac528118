#pragma once

namespace nimbrel {

// Instrument memory geometry: rain pages 0..1452, temperature pages 1453..2000, each wrapping.
inline constexpr int kRainFirstPage = 0;
inline constexpr int kRainLastPage = 1452;
inline constexpr int kRainPages = 1453;
inline constexpr int kTempFirstPage = 1453;
inline constexpr int kTempLastPage = 2000;
inline constexpr int kTempPages = 548;
inline constexpr int kRainPageLines = 65;

constexpr int NextRainPage(int page) {
  return page + 1 > kRainLastPage ? kRainFirstPage : page + 1;
}
constexpr int NextTempPage(int page) {
  return page + 1 > kTempLastPage ? kTempFirstPage : page + 1;
}
// Pages from `first` to `last` in ring order, both included.
constexpr int RainPagesBetween(int first, int last) {
  return ((last - first) % kRainPages + kRainPages) % kRainPages + 1;
}
constexpr int TempPagesBetween(int first, int last) {
  return ((last - first) % kTempPages + kTempPages) % kTempPages + 1;
}

} // namespace nimbrel
