// The download of an instrument memory through the session, the real serial port on a
// pseudo-terminal and the simulated instrument, with every delay of the session divided by a
// factor. Each run is timed from the download command to its end and set beside what the timing
// prescribes: one send tick per command, and between two pages the page gap rounded up to whole
// ticks (the next request waits for the tick after the gap):
//
//   prescribed = ticks x sendTick,  ticks = 9 + pages + (pages - 2) x ceil(pageGap / sendTick)
//
// (9 pointer and flag commands; one tick for each page request; the gap between the pages of each
// phase; the first page of each phase goes out on the tick after the decision or the last rain page).
// Counters: pages, wall_s, prescribed_s, over_pct (wall above prescribed, in %), and peak_growth_kB,
// the growth of the peak resident memory during the download (VmHWM reset before it starts).
//
//   download_bench                 the benchmarks (100 pages and the full memory, timing / 100 and / 50)
//   download_bench --product-20    one download of 20 pages with the product's timing and the
//                                  instrument paced like a 9600-baud line; prints its real time
//   NIMBREL_BENCH_COMMANDS=1 ...   also lists the commands the instrument received, with their times

#include "app/instrument_session.h"
#include "base/prompts.h"
#include "base/scheduler.h"
#include "link/queued_sink.h"
#include "link/serial_session_port.h"
#include "sim/pty_server.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace nimbrel;
using Clock = std::chrono::steady_clock;

// A memory of `rainPages` new rain pages and `tempPages` new temperature pages, full pages only.
sim::InstrumentState MakeMemory(int rainPages, int tempPages) {
  sim::InstrumentState state;
  const std::int64_t t0 = sim::SecondsSince2000(sim::CivilTime{2025, 1, 1, 0, 0, 0});
  sim::PageRing& rain = state.memory.rain;
  for (int i = 0; i < rainPages * sim::PageRing::kRecordsPerPage; ++i) {
    rain.Append(sim::HexStamp(static_cast<std::uint32_t>(t0 + static_cast<std::int64_t>(i) * 131)), "Z0");
  }
  sim::PageRing& temp = state.memory.temp;
  for (int i = 0; i < tempPages * sim::PageRing::kRecordsPerPage; ++i) {
    const std::int64_t t = t0 + static_cast<std::int64_t>(i) * 900;
    temp.Append(sim::TemperatureLine(sim::ClimateTemperature(t)), sim::HexStamp(static_cast<std::uint32_t>(t)));
  }
  // A ring keeps at most all pages but one as new: the oldest page is pushed out as history.
  rain.overrun = temp.overrun = false;
  return state;
}

class QuietPrompts final : public IPrompts {
public:
  void Message(const std::string& /*text*/, Icon /*icon*/) override {}
  Answer Question(const std::string& /*text*/, Buttons /*buttons*/, Icon /*icon*/, Answer /*defaultAnswer*/) override {
    return Answer::No;
  }
};

class EndView final : public ISessionView, public IDownloadView {
public:
  void SetLinkStatus(const LinkStatus& /*status*/) override {}
  void SetTitle(const std::string& /*title*/) override {}
  void ShowConnecting(const std::string& /*text*/) override {}
  void HideConnecting() override {}
  void ConnectFinished(bool ok) override { connected = ok; }
  void ShowInstrumentInfo(const std::string& /*text*/) override {}
  void ShowWaitDialog(const std::string& /*text*/) override {}
  void DestroyWaitDialog() override {}
  void ShowSetupDialog() override {}
  void ShowDownloadStatus(const DownloadStatusValues& /*values*/) override {}
  void UpdateDownloadStatus(const DownloadStatusValues& /*values*/) override {}
  void HideDownloadStatus() override {}
  void DestroyDownloadStatus() override {}
  void DownloadEnded(DownloadEnd how) override { ended = how; }
  void OpenDataWindow(const std::filesystem::path& /*path*/) override {}
  int SavePrompt() override { return 0; }
  std::optional<DownloadOption> ChooseDownloadOption(const std::string& /*message*/, bool /*old*/) override {
    return std::nullopt;
  }
  std::optional<std::string> AskSerialNumber(const std::string& /*prompt*/) override { return std::nullopt; }

  std::optional<bool> connected;
  std::optional<DownloadEnd> ended;
};

class FixedStore final : public IPortSettingsStore {
public:
  Status Read(CPortConfig& config) override {
    config = {};
    return Status::Ok();
  }
  Status Write(const CPortConfig& /*config*/) override { return Status::Ok(); }
};

long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(key);
  while (std::getline(in, line)) {
    if (line.compare(0, n, key) == 0) {
      return std::stol(line.substr(n + 1));
    }
  }
  return -1;
}

// Lets the kernel forget the peak resident size, so VmHWM measures from here on.
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

struct Outcome {
  bool complete = false;
  int pages = 0;
  double wallSeconds = 0;
  double prescribedSeconds = 0;
  long peakGrowthKb = 0;
  std::uintmax_t fileBytes = 0;
};

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "download_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

void RunUntil(const std::function<bool()>& done, Clock::duration limit) {
  const auto end = Clock::now() + limit;
  while (!done() && Clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

Outcome Download(int rainPages, int tempPages, const SessionTiming& timing, const sim::Faults& faults) {
  App();
  Outcome out;
  const auto dir = std::filesystem::temp_directory_path() / ("nimbrel-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  {
    sim::PtyServer server(sim::Instrument(MakeMemory(rainPages, tempPages)));
    server.SetFaults(faults);
    if (!server.Start()) {
      return out;
    }
    const auto [rain, temp] = server.WithInstrument([](sim::Instrument& i) {
      const auto& m = i.State().memory;
      return std::pair{m.rain.Distance(m.rain.read, m.rain.write), m.temp.Distance(m.temp.read, m.temp.write)};
    });
    out.pages = rain + temp;

    QObject receiver;
    CSerialSessionPort port(dir);
    QuietPrompts prompts;
    EndView view;
    FixedStore store;
    const auto scheduler = MakeQtScheduler();
    auto marshal = [&receiver](LinkEventSink inner) { return MakeQueuedSink(&receiver, std::move(inner)); };
    CInstrumentSession session(CInstrumentSession::Deps{port, *scheduler, prompts, view, view, store, dir,
                                                        CPortConfig{}, FactoryMarkers{}, timing, marshal});
    session.SetFixedPort(server.SlavePath());
    session.Connect();
    RunUntil([&] { return view.connected.has_value() && (!*view.connected || session.Idle()); },
             std::chrono::seconds(60));
    if (view.connected.value_or(false)) {
      ResetPeak();
      const long before = StatusKb("VmRSS:");
      const auto start = Clock::now();
      session.OnDownload();
      RunUntil([&] { return view.ended.has_value(); }, std::chrono::hours(2));
      out.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
      out.peakGrowthKb = StatusKb("VmHWM:") - before;
      out.complete = view.ended == DownloadEnd::Complete;
      (void)session.Disconnect(); // nothing to save: the bench reads the file itself
    }
    if (std::getenv("NIMBREL_BENCH_COMMANDS") != nullptr) {
      for (const auto& c : server.Received()) {
        std::fprintf(stderr, "%.4f %s\n", c.seconds, c.text.c_str());
      }
    }
    const double tick = std::chrono::duration<double>(timing.sendTick).count();
    const auto gapTicks = (timing.pageGap.count() + timing.sendTick.count() - 1) / timing.sendTick.count();
    const double ticks = 9.0 + out.pages + static_cast<double>(out.pages - 2) * static_cast<double>(gapTicks);
    out.prescribedSeconds = ticks * tick;
    std::error_code ec;
    out.fileBytes = std::filesystem::file_size(dir / "DumpFile.rlg", ec);
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return out;
}

void BM_Download(benchmark::State& state) {
  const bool full = state.range(0) != 0;
  // Full: every page the rings can hold as new (1452 rain, 547 temperature); otherwise 100 pages.
  const int rain = full ? sim::Memory::kRainPages : 50;
  const int temp = full ? sim::Memory::kTempPages : 50;
  Outcome o;
  for (auto _ : state) {
    o = Download(rain, temp, SessionTiming{}.Scaled(static_cast<int>(state.range(1))), {});
    state.SetIterationTime(o.wallSeconds);
  }
  if (!o.complete) {
    state.SkipWithError("the download did not complete");
    return;
  }
  state.counters["pages"] = o.pages;
  state.counters["wall_s"] = o.wallSeconds;
  state.counters["prescribed_s"] = o.prescribedSeconds;
  state.counters["over_pct"] = 100.0 * (o.wallSeconds - o.prescribedSeconds) / o.prescribedSeconds;
  state.counters["peak_growth_kB"] = static_cast<double>(o.peakGrowthKb);
  state.counters["file_kB"] = static_cast<double>(o.fileBytes) / 1024.0;
}
// Arguments: full memory (0/1), divisor of the timing (100: a 5 ms send tick, 50: 10 ms).
BENCHMARK(BM_Download)
    ->Args({0, 100})
    ->Args({1, 100})
    ->Args({0, 50})
    ->Args({1, 50})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

int ProductTwentyPages() {
  sim::Faults paced;
  paced.pace9600 = true;
  const Outcome o = Download(10, 10, SessionTiming{}, paced);
  std::printf("20-page download, product timing, 9600-baud pacing: %s, %d pages, %.1f s (prescribed %.1f s), "
              "file %ju bytes\n",
              o.complete ? "complete" : "NOT complete", o.pages, o.wallSeconds, o.prescribedSeconds, o.fileBytes);
  return o.complete ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--product-20") == 0) {
      return ProductTwentyPages();
    }
    rest.push_back(argv[i]);
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
