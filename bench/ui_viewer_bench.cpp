// The data window on a full memory (a year of the simulator's weather, about 1.2 MB), each figure
// beside its baseline in the same run:
//  - BM_OpenToFirstPaint: from creating the window to the first paint of both the table and the
//    chart, beside what `nimbrel-cli table` does with the same file at the same interval (load,
//    read, write the whole table text); "ratio" is the window's time over the command's (goal 3).
//  - BM_RegroupToOneMinute: regrouping that file to "1 min" (about 526 000 rows) while a 10 ms timer
//    measures how late the event loop lets it fire: "max_stall_ms" is the longest stall (goal 50),
//    beside the regrouping's own time; "bytes_per_row" is the heap the window holds per row at
//    "1 min" over what it held at "1 day" (rows are 12 bytes; the chart keeps its own doubles).
//  - BM_CancelRegroup: Cancel clicked in the wait dialog of that regrouping: "cancel_ms" is the time
//    from the click to the window showing the one-day rows again (goal 100), beside the one-day
//    reading of the same file.
// Build in Release: cmake -DCMAKE_BUILD_TYPE=Release ...; run build/release/bench/ui_viewer_bench.
#include "base/prompts.h"
#include "chart/zoom_mode.h"
#include "data/rlg_reader.h"
#include "sim/instrument.h"
#include "sim/memory.h"
#include "ui/chart/chart_widget.h"
#include "ui/viewer/data_window_host.h"
#include "ui/viewer/view_file_dlg.h"
#include "ui/viewer/wait_dialogs.h"
#include "viewer/intervals.h"
#include "viewer/table_model.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <memory>

namespace {

using namespace nimbrel;

// The year's file, written once into the temporary folder.
const std::filesystem::path& YearFile() {
  static const std::filesystem::path file = [] {
    sim::GeneratorOptions options;
    options.days = 365;
    options.start = *sim::ParseDateTime("2024/01/01 00:00:00");
    const sim::Instrument instrument(sim::MakeInstrumentState(options));
    std::filesystem::path path = std::filesystem::temp_directory_path() / "nimbrel-bench-year.rlg";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << instrument.ExpectedDump(false).value_or("");
    return path;
  }();
  return file;
}

class CAnswerYes final : public IPrompts {
public:
  void Message(const std::string& /*text*/, Icon /*icon*/) override {}
  Answer Question(const std::string& /*text*/, Buttons /*buttons*/, Icon /*icon*/, Answer /*defaultAnswer*/) override {
    return Answer::Yes;
  }
};

class CHost final : public IDataWindowHost {
public:
  IPrompts& Prompts() override { return prompts_; }
  CZoomMode& ZoomMode() override { return zoom_; }
  std::atomic<bool>& CancelRequest() override { return cancel_; }
  [[nodiscard]] std::filesystem::path ProgramDirectory() const override { return "."; }
  void SaveDataWindowAs(const std::filesystem::path& /*file*/) override {}
  bool MayClose() override { return true; }
  void Closed(CViewFileDlg* /*window*/) override {}

private:
  CAnswerYes prompts_;
  CZoomMode zoom_;
  std::atomic<bool> cancel_{false};
};

// Counts the paints of the table and the chart.
class CPaintWatch final : public QObject {
public:
  CPaintWatch(QWidget& table, QWidget& chart) : table_(table), chart_(chart) {
    table_.installEventFilter(this);
    chart_.installEventFilter(this);
  }
  void Reset() { tablePainted_ = chartPainted_ = false; }
  // Runs the event loop until both have painted.
  void Wait() {
    while (!tablePainted_ || !chartPainted_) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      tablePainted_ = tablePainted_ || watched == &table_;
      chartPainted_ = chartPainted_ || watched == &chart_;
    }
    return false;
  }

private:
  QWidget& table_;
  QWidget& chart_;
  bool tablePainted_ = false;
  bool chartPainted_ = false;
};

double Seconds(const QElapsedTimer& timer) {
  return static_cast<double>(timer.nsecsElapsed()) * 1e-9;
}

// What `nimbrel-cli table FILE --interval I` does, its output counted instead of written.
std::size_t CliTable(const std::filesystem::path& file, int interval) {
  std::string bytes;
  (void)LoadDataFile(file, bytes);
  CDataSeries series;
  (void)ReadRlgBuffer(bytes, interval, series);
  std::size_t written = 0;
  StreamTableText(series, [&written](std::string_view piece) { written += piece.size(); });
  return written;
}

void SelectInterval(CViewFileDlg& window, const char* text) {
  QComboBox* list = window.findChild<QComboBox*>();
  list->setCurrentIndex(list->findText(QString::fromLatin1(text)));
}

void BM_OpenToFirstPaint(benchmark::State& state) {
  const std::filesystem::path& file = YearFile();
  const int interval = DefaultInterval(std::filesystem::file_size(file));
  CHost host;
  double cliBest = 1e9;
  double windowBest = 1e9;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    benchmark::DoNotOptimize(CliTable(file, interval));
    const double cli = Seconds(timer);
    timer.restart();
    {
      CViewFileDlg window(file, host);
      CPaintWatch watch(*window.findChild<QTableView*>()->viewport(), *window.findChild<CChartWidget*>());
      window.show();
      watch.Wait();
      const double shown = Seconds(timer);
      state.SetIterationTime(shown);
      windowBest = std::min(windowBest, shown);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    cliBest = std::min(cliBest, cli);
  }
  state.counters["file_kB"] = static_cast<double>(std::filesystem::file_size(file)) / 1000.0;
  state.counters["cli_ms"] = cliBest * 1e3;
  state.counters["window_ms"] = windowBest * 1e3;
  state.counters["ratio"] = windowBest / cliBest;
}
BENCHMARK(BM_OpenToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RegroupToOneMinute(benchmark::State& state) {
  CHost host;
  double worstStall = 0.0;
  double regroupBest = 1e9;
  double bytesPerRow = 0.0;
  std::size_t rows = 0;
  for (auto _ : state) {
    CViewFileDlg window(YearFile(), host);
    CPaintWatch watch(*window.findChild<QTableView*>()->viewport(), *window.findChild<CChartWidget*>());
    window.show();
    watch.Wait();
    const std::size_t before = mallinfo2().uordblks;

    QElapsedTimer clock;
    clock.start();
    double last = 0.0;
    double stall = 0.0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const double now = Seconds(clock);
      stall = std::max(stall, now - last - 0.010);
      last = now;
    });
    tick.start();
    QCoreApplication::processEvents();
    last = Seconds(clock);
    const double start = last;
    watch.Reset();
    SelectInterval(window, "1 min");
    watch.Wait();
    const double regroup = Seconds(clock) - start;
    // One more tick after the first paint: the stall that ends there counts too.
    const double after = Seconds(clock);
    while (last < after) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    tick.stop();
    state.SetIterationTime(regroup);
    rows = window.View().Series().RowCount();
    bytesPerRow = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(rows);
    worstStall = std::max(worstStall, stall);
    regroupBest = std::min(regroupBest, regroup);
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["regroup_ms"] = regroupBest * 1e3;
  state.counters["max_stall_ms"] = worstStall * 1e3;
  state.counters["bytes_per_row"] = bytesPerRow;
}
BENCHMARK(BM_RegroupToOneMinute)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CancelRegroup(benchmark::State& state) {
  CHost host;
  double cancelWorst = 0.0;
  double readBest = 1e9;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    {
      std::string bytes;
      (void)LoadDataFile(YearFile(), bytes);
      CDataSeries series;
      (void)ReadRlgBuffer(bytes, kOneDay, series);
    }
    readBest = std::min(readBest, Seconds(timer));

    CViewFileDlg window(YearFile(), host);
    CPaintWatch watch(*window.findChild<QTableView*>()->viewport(), *window.findChild<CChartWidget*>());
    window.show();
    watch.Wait();
    QElapsedTimer clicked;
    // Cancel once the reading is under way: at its first look at the event loop after 5 ms.
    QElapsedTimer started;
    bool reading = true;
    std::function<void()> click = [&] {
      if (!reading) {
        return;
      }
      auto* wait = window.findChild<CWaitElabInfoDlg*>();
      if (wait != nullptr && wait->isVisible() && started.elapsed() >= 5) {
        clicked.start();
        wait->CancelButton()->click();
      } else {
        QTimer::singleShot(0, click);
      }
    };
    started.start();
    QTimer::singleShot(0, click);
    watch.Reset();
    SelectInterval(window, "1 min");
    watch.Wait();
    reading = false;
    QCoreApplication::processEvents(); // a click still pending ends here
    if (!clicked.isValid() || window.View().Interval() != kOneDay) {
      state.SkipWithError("the regrouping ended before Cancel was clicked");
      break;
    }
    const double cancel = Seconds(clicked);
    state.SetIterationTime(cancel);
    cancelWorst = std::max(cancelWorst, cancel);
  }
  state.counters["cancel_ms"] = cancelWorst * 1e3;
  state.counters["one_day_read_ms"] = readBest * 1e3;
}
BENCHMARK(BM_CancelRegroup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  int appArgc = 1;
  QApplication app(appArgc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(YearFile());
  return 0;
}
