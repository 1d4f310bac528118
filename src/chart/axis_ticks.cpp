#include "chart/axis_ticks.h"

#include "data/instr_time.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace nimbrel {

std::optional<std::string> TimeLabelFormat(int intervalSeconds) {
  if (intervalSeconds < 1) {
    return std::nullopt;
  }
  if (intervalSeconds < 60) {
    return "%H:%M:%S";
  }
  if (intervalSeconds < 3600) {
    return "%H:%M";
  }
  if (intervalSeconds < 86400) {
    return "%y/%m/%d %H";
  }
  return "%y/%m/%d";
}

std::string FormatChartTime(std::string_view format, std::uint32_t seconds) {
  const CInstrTime t = SplitInstrTime(seconds);
  std::string out;
  out.reserve(format.size() + 8);
  for (std::size_t i = 0; i < format.size(); ++i) {
    int field = -1;
    if (format[i] == '%' && i + 1 < format.size()) {
      switch (format[i + 1]) {
      case 'y':
        field = t.year % 100;
        break;
      case 'm':
        field = t.month;
        break;
      case 'd':
        field = t.day;
        break;
      case 'H':
        field = t.hour;
        break;
      case 'M':
        field = t.minute;
        break;
      case 'S':
        field = t.second;
        break;
      default:
        break;
      }
    }
    if (field < 0) {
      out += format[i];
      continue;
    }
    out += static_cast<char>('0' + field / 10);
    out += static_cast<char>('0' + field % 10);
    ++i;
  }
  return out;
}

CValueTicks ValueTicks(double low, double high, int maxCount) {
  CValueTicks ticks;
  if (!(high > low) || !std::isfinite(high - low)) {
    return ticks;
  }
  maxCount = maxCount < 2 ? 2 : maxCount;
  const double rough = (high - low) / (maxCount - 1);
  double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (step >= rough) {
      break;
    }
  }
  if (step == 10.0 * power) {
    power *= 10.0;
  }
  ticks.decimals = step >= 1.0 ? 0 : static_cast<int>(std::lround(-std::log10(power)));
  // Counted in whole steps, so 0.1 + 0.2 never shows as 0.30000000000000004 and the count is exact.
  const double first = std::ceil(low / step - 1e-9);
  const double last = std::floor(high / step + 1e-9);
  for (double k = first; k <= last; k += 1.0) {
    ticks.values.push_back(k * step);
  }
  return ticks;
}

std::string TickText(double value, int decimals) {
  std::array<char, 64> buffer{};
  const int n = std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
  std::string text(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0U);
  if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

double TimeStep(double minSeconds) {
  static constexpr std::array<double, 25> kSteps = {
      1,    2,     5,     10,    15,    30,     60,     120,    300,     600,     900,     1800,    3600,
      7200, 10800, 21600, 43200, 86400, 172800, 432000, 864000, 1728000, 2592000, 7776000, 15552000};
  for (const double step : kSteps) {
    if (step >= minSeconds) {
      return step;
    }
  }
  double step = 31104000.0; // a year of 360 days, then ten years, a hundred ...
  while (step < minSeconds) {
    step *= 10.0;
  }
  return step;
}

std::vector<double> TimeTicks(double x0, double x1, std::uint32_t base, double step) {
  std::vector<double> ticks;
  if (!(step > 0.0) || !(x1 >= x0) || (x1 - x0) / step > 10000.0) {
    return ticks;
  }
  const double b = base;
  for (double t = std::ceil((b + x0) / step) * step; t <= b + x1; t += step) {
    ticks.push_back(t - b);
  }
  return ticks;
}

} // namespace nimbrel
