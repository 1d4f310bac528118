// The spreadsheet export of one chunk: 30000 table lines of a year of 15-minute rows written as an
// .xlsx file, timed beside the table text of the same lines in the same iteration. The counter
// "x_table_text" is export time / table-text time, from the fastest iteration of each.
#include "viewer/sheet.h"
#include "viewer/table_model.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace {

using nimbrel::CDataSeries;

// 29999 rows from 2024/01/01 every 15 minutes, so the table is exactly one chunk of 30000 lines.
CDataSeries ChunkOfQuarterHours() {
  CDataSeries s;
  s.interval = 900;
  const std::uint32_t start = 757382400U; // 2024/01/01 00:00:00
  for (std::uint32_t i = 0; i + 1 < nimbrel::kSheetChunkLines; ++i) {
    const float rain = i % 97 < 6 ? 0.2F * static_cast<float>(i % 5) : 0.0F;
    const double day = static_cast<double>(i % 96) / 96.0;
    s.rows.push_back({rain, static_cast<float>(12.0 - 4.0 * std::cos(day * 6.283185)), start + 900U * i});
    s.total += rain;
  }
  return s;
}

// CPU time of this thread: the machine is shared, and waiting for a core must not count as work.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_ExportChunk(benchmark::State& state) {
  const CDataSeries series = ChunkOfQuarterHours();
  const auto chunk = nimbrel::SheetChunks(series.LineCount()).front();
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("export_bench_" + std::to_string(::getpid()) + ".xlsx");
  double text = 1e9;
  double sheet = 1e9;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    std::size_t bytes = 0;
    nimbrel::StreamTableText(series, [&bytes](std::string_view piece) { bytes += piece.size(); });
    benchmark::DoNotOptimize(bytes);
    const double t1 = ThreadSeconds();
    if (const nimbrel::Status written = nimbrel::WriteSheetXlsx(series, chunk, file); !written.ok()) {
      state.SkipWithError(written.message().c_str());
      break;
    }
    const double t2 = ThreadSeconds();
    text = std::min(text, t1 - t0);
    sheet = std::min(sheet, t2 - t1);
    state.SetIterationTime(t2 - t1);
  }
  std::error_code ec;
  state.counters["lines"] = static_cast<double>(chunk.end - chunk.start);
  state.counters["xlsx_bytes"] = static_cast<double>(std::filesystem::file_size(file, ec));
  state.counters["x_table_text"] = text > 0 ? sheet / text : 0.0;
  std::filesystem::remove(file, ec);
}
BENCHMARK(BM_ExportChunk)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
