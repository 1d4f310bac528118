// Printing the data window's table: a year of 15-minute rows (35000 table lines) on A4 at 600 dpi,
// printed to a PDF in memory and timed beside the table text of the same lines in the same iteration.
// The counter "x_table_text" is print time / table-text time, from the fastest iteration of each.
//
//   print_bench                       (QT_QPA_PLATFORM=offscreen is set when no platform is given)
#include "print/print_job.h"
#include "viewer/table_model.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

using nimbrel::CDataSeries;

// 34999 rows from 2024/01/01 every 15 minutes: showers now and then, a daily temperature cycle.
CDataSeries YearOfQuarterHours() {
  CDataSeries s;
  s.interval = 900;
  const std::uint32_t start = 757382400U; // 2024/01/01 00:00:00
  for (std::uint32_t i = 0; i < 34999; ++i) {
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

void BM_PrintTable(benchmark::State& state) {
  const CDataSeries series = YearOfQuarterHours();
  double text = 1e9;
  double print = 1e9;
  qint64 pdfBytes = 0;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    std::size_t bytes = 0;
    nimbrel::StreamTableText(series, [&bytes](std::string_view piece) { bytes += piece.size(); });
    benchmark::DoNotOptimize(bytes);
    const double t1 = ThreadSeconds();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(600);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    nimbrel::CPrintJob job;
    job.title = "Benchmark";
    if (const nimbrel::Status s = nimbrel::PrintTable(pdf, series, job); !s.ok()) {
      state.SkipWithError(s.message().c_str());
      break;
    }
    const double t2 = ThreadSeconds();
    pdfBytes = buffer.size();
    text = std::min(text, t1 - t0);
    print = std::min(print, t2 - t1);
    state.SetIterationTime(t2 - t1);
  }
  state.counters["lines"] = static_cast<double>(series.LineCount());
  state.counters["pdf_bytes"] = static_cast<double>(pdfBytes);
  state.counters["x_table_text"] = text > 0 ? print / text : 0.0;
}
BENCHMARK(BM_PrintTable)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
