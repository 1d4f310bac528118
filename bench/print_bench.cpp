// Printing the data window's table: a year of 15-minute rows (35000 table lines) on A4 at 600 dpi,
// printed to a PDF in memory and timed beside the table text of the same lines in the same iteration.
// The counter "x_table_text" is print time / table-text time, from the fastest iteration of each.
//
//   print_bench                       (QT_QPA_PLATFORM=offscreen is set when no platform is given)
#include "bench_support.h"
#include "print/print_job.h"

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

void BM_PrintTable(benchmark::State& state) {
  const CDataSeries series = nimbrel::bench::QuarterHourRows(34999);
  double text = 1e9;
  double print = 1e9;
  qint64 pdfBytes = 0;
  for (auto _ : state) {
    text = std::min(text, nimbrel::bench::TableTextSeconds(series));
    const double t1 = nimbrel::bench::ThreadSeconds();
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
    const double t2 = nimbrel::bench::ThreadSeconds();
    pdfBytes = buffer.size();
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
