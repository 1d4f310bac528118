// The data path on a full instrument memory: reading and grouping, regrouping and the table text,
// each timed beside a plain line split of the same buffer in the same iteration. The "ratio" counter is
// reader throughput / line-split throughput (1.0 = as fast as finding the line ends), from the fastest
// iteration of each.
//
//   data_path_bench                        run the benchmarks
//   data_path_bench --write-rlg=FILE       write the generated memory file and exit (for peak-memory runs)
#include "bench_support.h"
#include "data/rlg_reader.h"
#include "viewer/intervals.h"
#include "viewer/table_model.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using nimbrel::CDataSeries;

void AppendLine(std::string& out, const char* text) {
  out += text;
  out += "\r\r\n"; // as the download writes page lines received with CR LF
}

void AppendStamp(std::string& out, std::uint32_t t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", t);
  AppendLine(out, buf);
}

// A whole memory: 1453 rain pages of 65 lines and 548 temperature pages, one year from 2024/01/01.
// Rain falls in storms (bursts of tips seconds to minutes apart); empty records pad the last pages;
// the temperature follows a daily and a yearly cycle, with a rare gap and marker.
std::string MakeMemoryFile() {
  std::mt19937 random(4470);
  std::string out;
  out.reserve(1600000);
  out += "********** Nimbrel   -TBR4470-   Serial Num:44700001 **********\r\r\n\r\r\n"
         "mm H2O per tip = 0.20000\r\r\nUnit Meas =0\r\r\n";
  const std::uint32_t start = 757382400U; // 2024/01/01 00:00:00
  const std::uint32_t year = 365U * 86400U;
  std::uint32_t t = start;
  const int rainLines = 1453 * 65;
  const int tipLines = rainLines - 900;
  std::exponential_distribution<double> dryGap(1.0 / 40000.0);
  std::exponential_distribution<double> wetGap(1.0 / 45.0);
  std::uniform_int_distribution<int> stormTips(5, 400);
  int stormLeft = 0;
  for (int i = 0; i < rainLines; ++i) {
    if (i % 650 == 0) {
      AppendLine(out, "Z0");
      continue;
    }
    if (i >= tipLines) {
      AppendLine(out, "FFFFFFFF");
      continue;
    }
    if (stormLeft == 0) {
      stormLeft = stormTips(random);
      t += static_cast<std::uint32_t>(dryGap(random)) % (year / 200U);
    }
    --stormLeft;
    t += 1U + static_cast<std::uint32_t>(wetGap(random));
    AppendStamp(out, t);
  }
  out += "TEMPERATURE (-TBR4470- Serial Num: 44700001)\r\n";
  std::normal_distribution<double> noise(0.0, 0.4);
  std::uint32_t sample = start + 7 * 60 + 23;
  for (int page = 0; page < 548; ++page) {
    if (page == 300) {
      AppendLine(out, "Z1");
      sample += 6U * 3600U;
    }
    AppendStamp(out, sample);
    for (int k = 0; k < 64; ++k, sample += 900U) {
      if (page == 100 && k == 5) {
        AppendLine(out, " ERR");
        continue;
      }
      const double day = static_cast<double>(sample % 86400U) / 86400.0;
      const double season = static_cast<double>(sample - start) / year;
      const double c = 12.0 - 9.0 * std::cos(season * 6.283185) - 4.0 * std::cos(day * 6.283185) + noise(random);
      char buf[32];
      std::snprintf(buf, sizeof buf, " %.2f", c);
      AppendLine(out, buf);
    }
  }
  return out;
}

const std::string& MemoryFile() {
  static const std::string file = MakeMemoryFile();
  return file;
}

// The baseline: find every line end of the buffer.
std::size_t SplitLines(const std::string& bytes) {
  std::size_t lines = 0;
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  while (p < end) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (lf == nullptr) {
      break;
    }
    p = static_cast<const char*>(lf) + 1;
    ++lines;
  }
  return lines;
}

template <typename Work> void Measure(benchmark::State& state, Work work) {
  const std::string& bytes = MemoryFile();
  // The ratio compares the fastest iteration of each: on a shared machine noise only ever adds time.
  double split = 1e9;
  double measured = 1e9;
  for (auto _ : state) {
    const double t0 = nimbrel::bench::ThreadSeconds();
    benchmark::DoNotOptimize(SplitLines(bytes));
    const double t1 = nimbrel::bench::ThreadSeconds();
    work();
    const double t2 = nimbrel::bench::ThreadSeconds();
    split = std::min(split, t1 - t0);
    measured = std::min(measured, t2 - t1);
    state.SetIterationTime(t2 - t1);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.counters["ratio"] = measured > 0 ? split / measured : 0.0;
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

void BM_ReadAndGroup(benchmark::State& state) {
  const int interval = static_cast<int>(state.range(0));
  CDataSeries series;
  Measure(state, [&] { benchmark::DoNotOptimize(nimbrel::ReadRlgBuffer(MemoryFile(), interval, series)); });
  state.counters["rows"] = static_cast<double>(series.RowCount());
}
BENCHMARK(BM_ReadAndGroup)
    ->Arg(nimbrel::DefaultInterval(1500000))
    ->Arg(900)
    ->Arg(60)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Regrouping from the default 1 day to 15 min and back, as the interval list does.
void BM_Regroup(benchmark::State& state) {
  CDataSeries series;
  (void)nimbrel::ReadRlgBuffer(MemoryFile(), nimbrel::kOneDay, series); // the generated file always reads
  bool fine = false;
  Measure(state, [&] {
    fine = !fine;
    benchmark::DoNotOptimize(nimbrel::ReadRlgBuffer(MemoryFile(), fine ? 900 : nimbrel::kOneDay, series));
  });
}
BENCHMARK(BM_Regroup)->UseManualTime()->Unit(benchmark::kMillisecond);

// The whole table text at 15 min (about 35000 lines), streamed into a counter.
void BM_TableText(benchmark::State& state) {
  CDataSeries series;
  (void)nimbrel::ReadRlgBuffer(MemoryFile(), 900, series); // the generated file always reads
  std::size_t bytes = 0;
  Measure(state, [&] {
    bytes = 0;
    nimbrel::StreamTableText(series, [&bytes](std::string_view piece) { bytes += piece.size(); });
    benchmark::DoNotOptimize(bytes);
  });
  state.counters["text_bytes"] = static_cast<double>(bytes);
  state.counters["lines"] = static_cast<double>(series.LineCount());
}
BENCHMARK(BM_TableText)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    constexpr const char* kWrite = "--write-rlg=";
    if (std::strncmp(argv[i], kWrite, std::strlen(kWrite)) == 0) {
      const std::string& bytes = MemoryFile();
      std::ofstream out(argv[i] + std::strlen(kWrite), std::ios::binary);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.close();
      const bool ok = static_cast<bool>(out);
      std::fprintf(stderr, ok ? "wrote %zu bytes\n" : "cannot write the file (%zu bytes)\n", bytes.size());
      return ok ? 0 : 1;
    }
    rest.push_back(argv[i]);
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
