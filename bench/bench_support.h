// Pieces the benchmarks share: a thread's own CPU time, a series of 15-minute rows and the table
// text's time, the baseline of the export and print figures.
#pragma once

#include "data/data_item.h"
#include "viewer/table_model.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <ctime>
#include <string_view>

namespace nimbrel::bench {

// CPU time of this thread: the machine is shared, and waiting for a core must not count as work.
inline double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// `count` rows from 2024/01/01 every 15 minutes: showers now and then, a daily temperature cycle.
inline CDataSeries QuarterHourRows(std::uint32_t count) {
  CDataSeries s;
  s.interval = 900;
  const std::uint32_t start = 757382400U; // 2024/01/01 00:00:00
  for (std::uint32_t i = 0; i < count; ++i) {
    const float rain = i % 97 < 6 ? 0.2F * static_cast<float>(i % 5) : 0.0F;
    const double day = static_cast<double>(i % 96) / 96.0;
    s.rows.push_back({rain, static_cast<float>(12.0 - 4.0 * std::cos(day * 6.283185)), start + 900U * i});
    s.total += rain;
  }
  return s;
}

// Thread seconds to stream the whole table text of `series`, as the clipboard copy makes it.
inline double TableTextSeconds(const CDataSeries& series) {
  const double start = ThreadSeconds();
  std::size_t bytes = 0;
  StreamTableText(series, [&bytes](std::string_view piece) { bytes += piece.size(); });
  benchmark::DoNotOptimize(bytes);
  return ThreadSeconds() - start;
}

} // namespace nimbrel::bench
