#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel {

// One grouped row: the rain of the row's interval (millimetres of water, always), the temperature in
// the file's own unit, and the row's time (seconds since 2000-01-01 00:00:00, instrument time).
// A plain 12-byte record so a table of millions of rows is one contiguous array.
struct CDataItem {
  float rain = 0.0F;
  float temperature = 0.0F;
  std::uint32_t time = 0;
};
static_assert(sizeof(CDataItem) == 12, "rows are packed 12-byte records");

// Marker values; a value below -900 is never a measurement.
inline constexpr float kNotAvailable = -996.0F;
inline constexpr float kOverflow = -997.0F;
inline constexpr float kUnderflow = -998.0F;
inline constexpr float kErrorValue = -999.0F;
inline constexpr float kMarkerBelow = -900.0F;

// Inches of water per millimetre, for display, export and printing with unit flag 1.
inline constexpr double kInchPerMm = 0.03937;

// The rows of one reading of a data file and the values that go with them.
struct CDataSeries {
  std::vector<CDataItem> rows;
  int interval = 60;                // seconds; the interval the rows were built for
  int unit = 0;                     // 0 mm and C, 1 inch and F; other values keep the neutral headers
  float resolution = 0.25F;         // millimetres of water per tip
  bool resolutionDefaulted = false; // the header's resolution read as 0: 1.0 is used
  bool headersKnown = false;        // the rain header was read: the column headers follow the unit
  bool foundRainHeader = false;     // the file has the rain header's keys
  bool foundTemperature = false;    // the file has a TEMPERATURE section
  float total = 0.0F;               // sum of all rain that is not "not available"
  bool startValid = false;          // the start time is set by the first time stamp
  std::uint32_t startTime = 0;
  std::string caption; // " ( TBR4470 - Ser. Num. : xxxxxxxx )" or empty

  [[nodiscard]] std::size_t RowCount() const { return rows.size(); }
  // The table shows the total line first, then one line per row.
  [[nodiscard]] std::size_t LineCount() const { return rows.size() + 1; }
};

} // namespace nimbrel
