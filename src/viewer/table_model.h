#pragma once

#include "data/data_item.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace nimbrel {

// The data window's table is virtual: line 0 is the "TOTAL RAIN" line, line k (k >= 1) shows row k - 1.
// Every text is made when it is asked for, into a small caller-owned buffer, and never stored.

// Room for any cell text ("%.3f" of the largest float is 47 characters).
struct CCellText {
  std::array<char, 64> data{};
  std::size_t size = 0;
  [[nodiscard]] std::string_view View() const { return {data.data(), size}; }
};

// Column headers of the table and their neutral texts before a unit is known (units other than 0 and 1
// keep the neutral texts).
std::string_view RainColumnHeader(int unit);
std::string_view TemperatureColumnHeader(int unit);
std::string_view DateColumnHeader();
// The text beside the interval list: "mm H2O per tip = %.3f" or, in inches, "Inch H2O per tip = %.3f".
std::string ResolutionText(int unit, float resolution);
// The headers and the resolution text of a reading: the neutral texts the table was created with
// until the reading got past the rain header (a file that begins with its TEMPERATURE section keeps
// them).
std::string_view RainColumnHeader(const CDataSeries& series);
std::string_view TemperatureColumnHeader(const CDataSeries& series);
std::string ResolutionText(const CDataSeries& series);

// The date-time label of a row: "%Y/%m/%d %H:%M:%S " (trailing blank) after the time of day has been
// snapped for the interval (capped at 900 s): down to a multiple of the interval up to 60 s, to the end
// of the interval's slot from 61 to 900 s.
void GroupTimeLabel(std::uint32_t time, int interval, CCellText& out);

// Rain cell: "Not Available", "---  --" for -1..-4, else "%.3f" (inches when unit is 1).
void RainText(float rain, int unit, CCellText& out);
// Temperature cell: markers "err", "ufl", "ofl", "Not Available", "---  --", else "%.2f".
void TemperatureText(float temperature, CCellText& out);

// Text of any table cell (column 0 date-time, 1 rain, 2 temperature).
void CellText(const CDataSeries& series, std::size_t line, int column, CCellText& out);

// Icon of a table line: 1 rain (the total line and rows whose rain is not 0), 2 warning (temperature
// below -900, which wins), 0 otherwise.
int LineIcon(const CDataSeries& series, std::size_t line);

// The "Copy Table to Clipboard" text, line by line: the header by unit, then
// "%s\t\t%s\t\t%s\r\n" per table line. `sink` receives each piece; nothing is held in between.
template <typename Sink> void StreamTableText(const CDataSeries& series, Sink&& sink) {
  sink(series.unit == 0 ? std::string_view("Date-Time\t\tRain [mm H2O]\tTemp [C]\r\n")
                        : std::string_view("Date-Time\t\tRain [inch H2O]\tTemp [F]\r\n"));
  // Lines are gathered into a block so the sink is called a few times per thousand lines.
  std::array<char, 16384> block{};
  std::size_t used = 0;
  CCellText cells[3];
  for (std::size_t k = 0; k < series.LineCount(); ++k) {
    if (used + 3 * sizeof(CCellText::data) + 8 > block.size()) {
      sink(std::string_view(block.data(), used));
      used = 0;
    }
    for (int column = 0; column < 3; ++column) {
      CCellText& cell = cells[column];
      CellText(series, k, column, cell);
      std::memcpy(block.data() + used, cell.data.data(), cell.size);
      used += cell.size;
      const char* separator = column < 2 ? "\t\t" : "\r\n"; // "%s\t\t%s\t\t%s\r\n"
      std::memcpy(block.data() + used, separator, 2);
      used += 2;
    }
  }
  sink(std::string_view(block.data(), used));
}

// The whole table text (what the clipboard receives, without its terminating zero).
std::string TableText(const CDataSeries& series);

} // namespace nimbrel
