#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

// The time axis's label format for a group interval: below a minute "%H:%M:%S", below an hour
// "%H:%M", below a day "%y/%m/%d %H", a day or more "%y/%m/%d". Nothing for an interval below 1 s
// (the axis keeps its format).
std::optional<std::string> TimeLabelFormat(int intervalSeconds);

// An instrument time (seconds since 2000-01-01 00:00:00) in a format of "%y" (two-digit year), "%m",
// "%d", "%H", "%M" and "%S"; every other character stands as it is.
std::string FormatChartTime(std::string_view format, std::uint32_t seconds);

// Value axis ticks: multiples of a step of 1, 2 or 5 times a power of ten inside [low, high], at most
// `maxCount` of them (at least 2 are allowed). `decimals` is what the step needs to be told apart.
struct CValueTicks {
  std::vector<double> values;
  int decimals = 0;
};
CValueTicks ValueTicks(double low, double high, int maxCount);
// "%.*f" of a tick value, without a "-0".
std::string TickText(double value, int decimals);

// The smallest of the time axis's steps (1 s, 2 s, 5 s, ... 1 h, 2 h, ... 1 day, 2 days, ... 360 days
// and multiples of ten of it) that is at least `minSeconds` long.
double TimeStep(double minSeconds);
// The X values in [x0, x1] whose instrument time (base + X) is a multiple of `step` seconds; none when
// that would be more than 10000.
std::vector<double> TimeTicks(double x0, double x1, std::uint32_t base, double step);

} // namespace nimbrel
