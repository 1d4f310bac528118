#include "cli/print_command.h"

#include "base/safe_file.h"
#include "chart/chart_controller.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "data/rlg_reader.h"
#include "print/print_job.h"
#include "viewer/intervals.h"

#include <QPageSize>
#include <QPdfWriter>

#include <cstdio>
#include <string>

namespace nimbrel::cli {

namespace {

void Out(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
}
void Err(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stderr);
}

// The chart as a data window of the desktop's default size shows it, for the graph printout.
constexpr QSize kChartWindow{1000, 400};

} // namespace

int RunPrint(const QStringList& args) {
  CCommandLine command("print",
                       "Prints the table or the graph of a data file to a PDF, laid out as the desktop program "
                       "prints them (A4, 600 dpi): the same pages, for a report at the end of a scheduled "
                       "download. The PDF is written beside OUT and renamed into place when complete.",
                       "FILE", 1);
  QCommandLineParser& parser = command.Parser();
  parser.addPositionalArgument("FILE", "the .rlg data file");
  parser.addOption(
      {"interval", "group interval: seconds (900) or the list text (\"15 min\"); default by file size", "I"});
  parser.addOption({"graph", "print the graph instead of the table"});
  parser.addOption({"title", "the title printed in the title box (default \"Title\")", "T"});
  parser.addOption({"landscape", "landscape pages"});
  parser.addOption({"pdf", "the PDF file to write (replaced if it exists)", "OUT"});
  if (auto exit = command.Parse(args, Out, Err)) {
    return *exit;
  }
  const QStringList files = parser.positionalArguments();
  if (files.size() != 1 || !parser.isSet("pdf") || parser.value("pdf").isEmpty()) {
    Err("print: give one FILE and --pdf OUT\n\n" + command.HelpText());
    return kExitUsage;
  }
  const std::filesystem::path input = files[0].toLocal8Bit().toStdString();
  const std::filesystem::path target = parser.value("pdf").toLocal8Bit().toStdString();
  if (const Status usable = CheckTarget(target, &input); !usable.ok()) {
    Err("print: " + usable.message() + "\n");
    return kExitUsage;
  }
  std::string bytes;
  if (const Status loaded = LoadDataFile(input, bytes); !loaded.ok()) {
    Err(loaded.message() + "\n");
    return kExitFailed;
  }
  int interval = DefaultInterval(bytes.size());
  if (parser.isSet("interval")) {
    const auto parsed = ParseInterval(parser.value("interval").toStdString());
    if (!parsed) {
      Err("unknown interval '" + parser.value("interval").toStdString() + "'\n");
      return kExitUsage;
    }
    interval = *parsed;
  }
  CDataSeries series;
  if (const Status read = ReadRlgBuffer(bytes, interval, series); !read.ok()) {
    Err(input.string() + ": " + read.message() + "\n");
    return read.code() == StatusCode::TooLarge ? kExitUsage : kExitFailed;
  }
  if (series.resolutionDefaulted) {
    Err(std::string(kResolutionMessage) + "\n");
  }

  CPrintJob job;
  job.title = parser.isSet("title") ? parser.value("title").toStdString() : "Title";
  const bool graph = parser.isSet("graph");
  const Status written = WriteFileAtomically(target, [&](const std::filesystem::path& temporary) {
    QPdfWriter pdf(QString::fromStdString(temporary.string()));
    pdf.setResolution(kReferenceDpi);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(parser.isSet("landscape") ? QPageLayout::Landscape : QPageLayout::Portrait);
    pdf.setTitle(QString::fromStdString(job.title));
    if (!graph) {
      return PrintTable(pdf, series, job);
    }
    CZoomMode zoomMode;
    CChartController chart(zoomMode);
    (void)chart.Resize(kChartWindow, 1.0); // the actions only concern a widget
    (void)chart.Fill(series);
    CGraphPrintout printout;
    printout.windowSize = kChartWindow;
    printout.draw = [&chart](QPainter& painter, const QRect& rect) { chart.DrawForPrinter(painter, rect); };
    return PrintGraph(pdf, series, printout, job);
  });
  if (!written.ok()) {
    Err("print: " + written.message() + "\n");
    return kExitFailed;
  }
  return kExitOk;
}

} // namespace nimbrel::cli
