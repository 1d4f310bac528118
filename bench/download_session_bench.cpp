// The download through the session in virtual time: pointer reads, page requests, the listener's
// line cutting and the page handlers appending to the dump file. Baseline: the same lines appended
// to a file by the same open/append/close per line, without any session around it.

#include "protocol/session.h"
#include "base/text.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <deque>
#include <filesystem>

namespace {

using namespace nimbrel;

constexpr int kPages = 50;

std::string RainPage(int page) {
  std::string out = "Z0\r\n";
  for (int i = 1; i < kRainPageLines; ++i) {
    out += Printf("%08X\r\n", 0x0B5C2E41U + static_cast<unsigned>(page * 100 + i));
  }
  return out;
}

// An instrument with kPages new rain pages, answering after 1 ms through a listener that cuts
// lines and hands them over as posted events.
class BenchPort final : public ISessionPort {
public:
  explicit BenchPort(IScheduler& s) : sched_(s) {}
  std::uint32_t Open(const std::string& /*name*/, LinkEventSink sink) override {
    sink_ = std::move(sink);
    open_ = true;
    return 0;
  }
  std::uint32_t Close() override {
    open_ = false;
    return 0;
  }
  [[nodiscard]] bool IsOpen() const override { return open_; }
  std::uint32_t Configure(std::uint32_t, int, int, int) override { return 0; }
  std::uint32_t SetFlowControl(int) override { return 0; }
  std::uint32_t Purge() override {
    queue_.clear();
    return 0;
  }
  std::uint32_t WriteString(const std::string& text) override {
    const std::string code = text.substr(0, 2);
    std::string reply = "OK\r\n";
    if (code == "AA")
      reply = "TBR4470 Rain Gauge\r\n";
    else if (code == "RA")
      reply = "0.200\r\n";
    else if (code == "RB" || code == "RN" || code == "RS")
      reply = "0\r\n";
    else if (code == "RM")
      reply = Printf("%d\r\n", kPages);
    else if (code == "RT" || code == "RU" || code == "RW")
      reply = "1460\r\n";
    else if (code == "RQ")
      reply = "00\r\n";
    else if (code == "KR")
      reply = RainPage(LeadingInt(text.substr(2)));
    sched_.After(Millis(1), [this, reply] {
      queue_.insert(queue_.end(), reply.begin(), reply.end());
      while (open_ && shared_.ReceiveEnabled.load() && !queue_.empty()) {
        const char byte = queue_.front();
        queue_.pop_front();
        assembler_.Feed(byte, shared_,
                        [this](LinkEvent e) { sched_.After(Millis(0), [this, e = std::move(e)] { sink_(e); }); });
      }
    });
    return 0;
  }
  std::uint32_t Read(std::string& out, std::size_t /*max*/) override {
    out.assign(queue_.begin(), queue_.end());
    queue_.clear();
    return 0;
  }
  void EmptyReceiveBuffer() override { shared_.EmptyBufferRequest.store(true); }
  CLinkShared& Shared() override { return shared_; }

private:
  IScheduler& sched_;
  LinkEventSink sink_;
  bool open_ = false;
  std::deque<char> queue_;
  CLineAssembler assembler_;
  CLinkShared shared_;
};

class QuietPrompts final : public IPrompts {
public:
  void Message(const std::string&, Icon) override {}
  Answer Question(const std::string&, Buttons, Icon, Answer) override { return Answer::No; }
};

class QuietView final : public ISessionView {
public:
  void SetLinkStatus(const LinkStatus&) override {}
  void SetTitle(const std::string&) override {}
  void ShowConnecting(const std::string&) override {}
  void HideConnecting() override {}
  void ShowInstrumentInfo(const std::string&) override {}
  void DestroyWaitDialog() override {}
  void ShowDownloadStatus(const DownloadStatusValues&) override {}
  void UpdateDownloadStatus(const DownloadStatusValues&) override {}
  void HideDownloadStatus() override {}
  void DestroyDownloadStatus() override {}
  void DownloadEnded(DownloadEnd how) override { ended = how == DownloadEnd::Complete; }
  void OpenDataWindow(const std::filesystem::path&) override {}
  int SavePrompt() override { return 0; }
  std::optional<DownloadOption> ChooseDownloadOption(const std::string&, bool) override { return std::nullopt; }
  std::optional<std::string> AskSerialNumber() override { return std::nullopt; }
  bool ended = false;
};

class NoStore final : public IPortSettingsStore {
public:
  CPortConfig Read() override { return {}; }
  void Write(const CPortConfig&) override {}
};

std::filesystem::path BenchDir() {
  auto dir = std::filesystem::temp_directory_path() / "nimbrel-download-bench";
  std::filesystem::create_directories(dir);
  return dir;
}

void BM_SessionDownload(benchmark::State& state) {
  const auto dir = BenchDir();
  for (auto _ : state) {
    ManualScheduler sched;
    BenchPort port(sched);
    QuietPrompts prompts;
    QuietView view;
    NoStore store;
    CPortConfig config;
    config.Settings.Port = 2;
    CSession session(SessionDeps{port, sched, prompts, view, store, dir, config, {}, {}, {}});
    session.Connect();
    while (!(session.Connected && session.Idle())) {
      sched.RunNext();
    }
    session.OnDownload();
    while (!(view.ended && session.Idle())) {
      sched.RunNext();
    }
  }
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kPages * kRainPageLines,
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SessionDownload)->Unit(benchmark::kMillisecond);

void BM_BaselineAppendLines(benchmark::State& state) {
  const auto file = BenchDir() / "baseline.rlg";
  std::vector<std::string> lines;
  for (int p = 0; p < kPages; ++p) {
    const std::string page = RainPage(p);
    for (std::size_t start = 0, end; (end = page.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(page.substr(start, end - start + 1));
    }
  }
  for (auto _ : state) {
    WriteTextMode(file, "", true);
    for (const auto& line : lines) {
      WriteTextMode(file, line);
    }
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * lines.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BaselineAppendLines)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
