// The spreadsheet export of one chunk: 30000 table lines of a year of 15-minute rows written as an
// .xlsx file, timed beside the table text of the same lines in the same iteration. The counter
// "x_table_text" is export time / table-text time, from the fastest iteration of each.
#include "bench_support.h"
#include "viewer/sheet.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace {

using nimbrel::CDataSeries;

void BM_ExportChunk(benchmark::State& state) {
  // One row short of a chunk: with the header line the table is exactly one chunk of lines.
  const CDataSeries series = nimbrel::bench::QuarterHourRows(nimbrel::kSheetChunkLines - 1);
  const auto chunk = nimbrel::SheetChunks(series.LineCount()).front();
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("export_bench_" + std::to_string(::getpid()) + ".xlsx");
  double text = 1e9;
  double sheet = 1e9;
  for (auto _ : state) {
    text = std::min(text, nimbrel::bench::TableTextSeconds(series));
    const double t1 = nimbrel::bench::ThreadSeconds();
    if (const nimbrel::Status written = nimbrel::WriteSheetXlsx(series, chunk, file); !written.ok()) {
      state.SkipWithError(written.message().c_str());
      break;
    }
    const double t2 = nimbrel::bench::ThreadSeconds();
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
