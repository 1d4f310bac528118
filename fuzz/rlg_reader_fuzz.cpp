// libFuzzer target: any bytes as a .rlg data file, grouped by an interval picked from the first byte,
// then every table text and the statistics made from the rows. Nothing may crash, hang or grow
// without bound.
#include "data/rlg_reader.h"
#include "viewer/intervals.h"
#include "viewer/stats.h"
#include "viewer/table_model.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const int interval = nimbrel::kIntervals[data[0] % nimbrel::kIntervals.size()].seconds;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  nimbrel::CDataSeries series;
  nimbrel::CReadDetails details;
  nimbrel::CReadOptions options;
  options.maxRows = 20000; // enough rows for every rule, few enough for thousands of runs a second
  options.details = &details;
  if (!nimbrel::ReadRlgBuffer(bytes, interval, series, options).ok()) {
    return 0;
  }
  std::size_t total = 0;
  nimbrel::StreamTableText(series, [&total](std::string_view piece) { total += piece.size(); });
  for (std::size_t line = 0; line < series.LineCount(); ++line) {
    total += static_cast<std::size_t>(nimbrel::LineIcon(series, line));
  }
  const nimbrel::CFileStats stats = nimbrel::ComputeStats(series, details);
  if (series.RowCount() <= 2000) { // formatting is the slow part; its rules do not depend on the size
    total += nimbrel::FormatStats(series, stats, (data[0] & 0x80U) != 0).size();
  }
  return total == 0 ? 1 : 0;
}
