#include "viewer/table_model.h"

#include "data/instr_time.h"

#include <algorithm>
#include <charconv>

namespace nimbrel {

namespace {

void Put(CCellText& out, std::string_view text) {
  out.size = std::min(text.size(), out.data.size() - 1);
  std::copy_n(text.data(), out.size, out.data.data());
  out.data[out.size] = '\0';
}

// Records the length that snprintf reported for `out`.
void Written(CCellText& out, int n) {
  out.size = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), out.data.size() - 1);
}

// "%.<decimals>f" of a value; std::to_chars gives exactly what printf gives, without its cost.
void Fixed(CCellText& out, double value, int decimals) {
  const auto r =
      std::to_chars(out.data.data(), out.data.data() + out.data.size() - 1, value, std::chars_format::fixed, decimals);
  out.size = r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - out.data.data()) : 0;
  out.data[out.size] = '\0';
}

char* Digits(char* p, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return p + width;
}

bool IsDashValue(float v) {
  return v == -1.0F || v == -2.0F || v == -3.0F || v == -4.0F;
}

} // namespace

std::string_view RainColumnHeader(int unit) {
  switch (unit) {
  case 0:
    return "Rain [mm H2O]";
  case 1:
    return "Rain [inch H2O]";
  default:
    return "mm H20";
  }
}

std::string_view TemperatureColumnHeader(int unit) {
  switch (unit) {
  case 0:
    return "Temperature [C]";
  case 1:
    return "Temperature (F)";
  default:
    return "Temperature";
  }
}

std::string_view RainColumnHeader(const CDataSeries& series) {
  return RainColumnHeader(series.headersKnown ? series.unit : -1);
}

std::string_view TemperatureColumnHeader(const CDataSeries& series) {
  return TemperatureColumnHeader(series.headersKnown ? series.unit : -1);
}

std::string ResolutionText(const CDataSeries& series) {
  return ResolutionText(series.headersKnown ? series.unit : -1, series.resolution);
}

std::string_view DateColumnHeader() {
  return "Date Time";
}

std::string ResolutionText(int unit, float resolution) {
  CCellText t;
  if (unit == 1) {
    Written(t, std::snprintf(t.data.data(), t.data.size(), "Inch H2O per tip = %.3f",
                             static_cast<double>(resolution) * kInchPerMm));
  } else if (unit == 0) {
    Written(t, std::snprintf(t.data.data(), t.data.size(), "mm H2O per tip = %.3f", static_cast<double>(resolution)));
  } else {
    Put(t, "mm H20 per Tip");
  }
  return std::string(t.View());
}

void GroupTimeLabel(std::uint32_t time, int interval, CCellText& out) {
  const int s = std::min(interval, 900);
  CInstrTime t = SplitInstrTime(time);
  if (s >= 2 && s <= 60) {
    t.second = t.second / s * s;
  } else if (s >= 61) {
    t.minute = (t.minute * 60 / s + 1) * s / 60;
    t.second = 0;
    if (t.minute >= 60) {
      // The end of the last slot of an hour is the next full hour, across days, months and years.
      const std::uint32_t hourStart = time - time % 3600U;
      t = SplitInstrTime(hourStart + 3600U < hourStart ? hourStart : hourStart + 3600U);
    }
  }
  // "%Y/%m/%d %H:%M:%S " with the trailing blank.
  char* p = out.data.data();
  p = Digits(p, t.year, 4);
  *p++ = '/';
  p = Digits(p, t.month, 2);
  *p++ = '/';
  p = Digits(p, t.day, 2);
  *p++ = ' ';
  p = Digits(p, t.hour, 2);
  *p++ = ':';
  p = Digits(p, t.minute, 2);
  *p++ = ':';
  p = Digits(p, t.second, 2);
  *p++ = ' ';
  *p = '\0';
  out.size = static_cast<std::size_t>(p - out.data.data());
}

void RainText(float rain, int unit, CCellText& out) {
  if (IsDashValue(rain)) {
    Put(out, "---  --");
  } else if (rain == kNotAvailable) {
    Put(out, "Not Available");
  } else {
    const double shown = unit == 1 ? static_cast<double>(rain) * kInchPerMm : static_cast<double>(rain);
    Fixed(out, shown, 3);
  }
}

void TemperatureText(float temperature, CCellText& out) {
  if (IsDashValue(temperature)) {
    Put(out, "---  --");
  } else if (temperature == kErrorValue) {
    Put(out, "err");
  } else if (temperature == kUnderflow) {
    Put(out, "ufl");
  } else if (temperature == kOverflow) {
    Put(out, "ofl");
  } else if (temperature == kNotAvailable) {
    Put(out, "Not Available");
  } else {
    Fixed(out, static_cast<double>(temperature), 2);
  }
}

void CellText(const CDataSeries& series, std::size_t line, int column, CCellText& out) {
  if (line == 0) {
    if (column == 0) {
      Put(out, "TOTAL RAIN");
    } else if (column == 1) {
      const double total =
          series.unit == 1 ? static_cast<double>(series.total) * kInchPerMm : static_cast<double>(series.total);
      Fixed(out, total, 3);
    } else {
      Put(out, "");
    }
    return;
  }
  if (line > series.rows.size()) {
    Put(out, "");
    return;
  }
  const CDataItem& row = series.rows[line - 1];
  switch (column) {
  case 0:
    GroupTimeLabel(row.time, series.interval, out);
    break;
  case 1:
    RainText(row.rain, series.unit, out);
    break;
  case 2:
    TemperatureText(row.temperature, out);
    break;
  default:
    Put(out, "");
    break;
  }
}

int LineIcon(const CDataSeries& series, std::size_t line) {
  if (line == 0) {
    return 1;
  }
  if (line > series.rows.size()) {
    return 0;
  }
  const CDataItem& row = series.rows[line - 1];
  if (row.temperature < kMarkerBelow) {
    return 2;
  }
  return row.rain != 0.0F ? 1 : 0;
}

std::string TableText(const CDataSeries& series) {
  std::string text;
  text.reserve(series.LineCount() * 48 + 64);
  StreamTableText(series, [&text](std::string_view piece) { text.append(piece); });
  return text;
}

} // namespace nimbrel
