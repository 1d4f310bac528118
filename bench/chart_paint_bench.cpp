// The chart's paint and hover on long records. One year of data in 1 000 000 points is painted beside
// the same year in 10 000 points, in the same iteration and into the same 1000-pixel-wide picture; the
// "ratio" counter is the first's time over the second's, from the fastest iteration of each: how much
// a hundred times more points cost once they are decimated per pixel column (the goal: at most 2).
#include "bench_support.h"
#include "chart/chart_controller.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <random>

namespace {

using nimbrel::CChartController;
using nimbrel::CDataItem;
using nimbrel::CDataSeries;
using nimbrel::CZoomMode;

// One year of rows at the density that makes `count` of them: a daily and a yearly temperature cycle
// with noise, showers of rain every few days, and eight error readings whatever the count. Both paints
// show the same record, so they put about the same ink on the plot and differ in their points only.
CDataSeries MakeSeries(int count) {
  constexpr double kYear = 365.0 * 86400.0;
  constexpr double kTwoPi = 6.283185307179586;
  std::mt19937 random(4470);
  std::normal_distribution<double> noise(0.0, 0.3);
  CDataSeries series;
  series.interval = static_cast<int>(kYear / count);
  series.startValid = true;
  series.startTime = 757382400U; // 2024/01/01 00:00:00
  series.rows.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) * series.interval;
    CDataItem& row = series.rows[static_cast<std::size_t>(i)];
    row.time = series.startTime + static_cast<std::uint32_t>(t);
    row.temperature = static_cast<float>(12.0 + 6.0 * std::sin(t * kTwoPi / 86400.0) -
                                         8.0 * std::cos(t * kTwoPi / kYear) + noise(random));
    if (i % (count / 8) == 17) {
      row.temperature = nimbrel::kErrorValue;
    }
    const bool shower = static_cast<long long>(t / 86400.0) % 9 == 0;
    row.rain = shower ? static_cast<float>(random() % 4) * 0.2F * static_cast<float>(series.interval) / 600.0F : 0.0F;
  }
  return series;
}

// A filled chart of `count` points and its series, kept alive together.
struct CFilled {
  explicit CFilled(int count) : series(MakeSeries(count)), controller(mode) {
    controller.Resize(QSize(1000, 400), 1.0);
    controller.Fill(series);
  }
  CZoomMode mode;
  CDataSeries series;
  CChartController controller;
};

void Paint(const CFilled& chart, QImage& image) {
  QPainter painter(&image);
  chart.controller.Chart().draw(painter, image.rect());
}

void BM_PaintMillionBesideTenThousand(benchmark::State& state) {
  const CFilled small(10000);
  const CFilled large(1000000);
  QImage image(QSize(1000, 400), QImage::Format_RGB32);
  double smallBest = 1e9;
  double largeBest = 1e9;
  for (auto _ : state) {
    const double t0 = nimbrel::bench::ThreadSeconds();
    Paint(small, image);
    const double t1 = nimbrel::bench::ThreadSeconds();
    Paint(large, image);
    const double t2 = nimbrel::bench::ThreadSeconds();
    smallBest = std::min(smallBest, t1 - t0);
    largeBest = std::min(largeBest, t2 - t1);
    state.SetIterationTime(t2 - t1);
  }
  state.counters["ms_10k"] = smallBest * 1e3;
  state.counters["ms_1M"] = largeBest * 1e3;
  state.counters["ratio"] = smallBest > 0.0 ? largeBest / smallBest : 0.0;
}
BENCHMARK(BM_PaintMillionBesideTenThousand)->UseManualTime()->Unit(benchmark::kMillisecond);

// A year of one-minute rows: the nearest point to a pixel, and a whole hover step (nearest point, the
// table texts, the label) followed by the repaint it asks for.
void BM_NearestPoint(benchmark::State& state) {
  const CFilled year(525600);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> x(0, 999);
  int sum = 0;
  for (auto _ : state) {
    sum += year.controller.Chart().Nearest(QPoint(x(random), 200), 1).point;
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_NearestPoint);

void BM_HoverAndRepaint(benchmark::State& state) {
  CFilled year(525600);
  QImage image(QSize(1000, 400), QImage::Format_RGB32);
  int x = 0;
  for (auto _ : state) {
    x = (x + 7) % 1000;
    benchmark::DoNotOptimize(year.controller.MouseMove(0, x, 200).repaint);
    Paint(year, image);
  }
}
BENCHMARK(BM_HoverAndRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  int appArgc = 1;
  QGuiApplication app(appArgc, argv); // fonts need it
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
