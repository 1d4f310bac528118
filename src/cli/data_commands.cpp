#include "cli/data_commands.h"

#include "base/safe_file.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "data/rlg_reader.h"
#include "viewer/intervals.h"
#include "viewer/sheet.h"
#include "viewer/stats.h"
#include "viewer/table_model.h"

#include <QCommandLineParser>

#include <cstdio>
#include <optional>
#include <string>

namespace nimbrel::cli {

namespace {

void PrintIntervals() {
  std::fprintf(stderr, "The interval must be one of (seconds or text):\n");
  for (const CInterval& i : kIntervals) {
    std::fprintf(stderr, "  %9d  \"%s\"\n", i.seconds, i.text);
  }
}

struct CLoaded {
  std::string path;
  CDataSeries series;
  CReadDetails details;
};

// Parses the common FILE and --interval, reads the file. Returns an exit code, or nullopt when the
// series is ready.
void Out(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
}
void Err(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stderr);
}

std::optional<int> Load(CCommandLine& command, const QStringList& args, CLoaded& loaded, bool withDetails) {
  QCommandLineParser& parser = command.Parser();
  parser.addPositionalArgument("FILE", "the .rlg data file");
  parser.addOption(
      {"interval", "group interval: seconds (900) or the list text (\"15 min\"); default by file size", "I"});
  if (auto exit = command.Parse(args, Out, Err)) {
    return exit;
  }
  const QStringList files = parser.positionalArguments();
  if (files.size() != 1) {
    Err("expected one FILE\n\n" + command.HelpText());
    return kExitUsage;
  }
  std::optional<int> interval;
  if (parser.isSet("interval")) {
    interval = ParseInterval(parser.value("interval").toStdString());
    if (!interval) {
      std::fprintf(stderr, "unknown interval '%s'\n", parser.value("interval").toLocal8Bit().constData());
      PrintIntervals();
      return kExitUsage;
    }
  }
  loaded.path = files[0].toLocal8Bit().toStdString();
  std::string bytes;
  if (const Status read = LoadDataFile(loaded.path, bytes); !read.ok()) {
    std::fprintf(stderr, "%s\n", read.message().c_str());
    return kExitFailed;
  }
  CReadOptions options;
  options.details = withDetails ? &loaded.details : nullptr;
  const int seconds = interval.value_or(DefaultInterval(bytes.size()));
  const Status status = ReadRlgBuffer(bytes, seconds, loaded.series, options);
  if (loaded.series.resolutionDefaulted) {
    std::fprintf(stderr, "%s\n", kResolutionMessage);
  }
  if (!status.ok()) {
    std::fprintf(stderr, "%s: %s\n", loaded.path.c_str(), status.message().c_str());
    // Too many rows is a choice to make again (a longer interval), like a bad argument.
    return status.code() == StatusCode::TooLarge ? kExitUsage : kExitFailed;
  }
  if (!loaded.series.foundRainHeader && !loaded.series.foundTemperature) {
    // Read all the same, as the data window reads any file; but the user should know.
    std::fprintf(stderr,
                 "WARNING: %s has neither the rain header nor a TEMPERATURE section: it does not look like a data "
                 "file of the instrument; it was read as one anyway.\n",
                 loaded.path.c_str());
  }
  return std::nullopt;
}

} // namespace

int RunTable(const QStringList& args) {
  CCommandLine command("table",
                       "Writes the table text of a data file (what \"Copy Table to Clipboard\" copies) to standard "
                       "output: the header line, the total line and one line per row, each ending in CR LF.",
                       "FILE", 1);
  CLoaded loaded;
  if (auto exit = Load(command, args, loaded, false)) {
    return *exit;
  }
  // Streamed line by line: a table of millions of rows never exists as text.
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  bool ok = true;
  StreamTableText(loaded.series, [&ok](std::string_view piece) {
    ok = ok && std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
  });
  if (std::fflush(stdout) != 0 || !ok) {
    std::fprintf(stderr, "cannot write the table to standard output\n");
    return kExitFailed;
  }
  return kExitOk;
}

int RunExport(const QStringList& args) {
  CCommandLine command("export",
                       "Writes the table of a data file as a spreadsheet (.xlsx) or as comma-separated values "
                       "(.csv). Spreadsheets of more than 30000 lines are exported in chunks of 30000 lines: "
                       "--chunk picks one. The file is written beside OUT and renamed into place when complete.",
                       "FILE", 1);
  QCommandLineParser& parser = command.Parser();
  parser.addOption({"xlsx", "the .xlsx file to write (replaced if it exists)", "OUT"});
  parser.addOption({"csv", "the .csv file to write instead, every line unless --chunk is given", "OUT"});
  parser.addOption({"chunk", "the chunk to export, from 1, when the table has more than 30000 lines", "K"});
  CLoaded loaded;
  if (auto exit = Load(command, args, loaded, false)) {
    return *exit;
  }
  const bool csv = parser.isSet("csv");
  if (csv == parser.isSet("xlsx") || parser.value(csv ? "csv" : "xlsx").isEmpty()) {
    std::fprintf(stderr, "export: give one of --xlsx OUT or --csv OUT\n");
    return kExitUsage;
  }
  const std::filesystem::path target = parser.value(csv ? "csv" : "xlsx").toLocal8Bit().toStdString();
  const std::filesystem::path input = loaded.path;
  if (const Status usable = CheckTarget(target, &input); !usable.ok()) {
    std::fprintf(stderr, "export: %s\n", usable.message().c_str());
    return kExitUsage;
  }
  const CDataSeries& series = loaded.series;
  CLineRange range{0, series.LineCount()};
  const std::vector<CChunkChoice> choices = ChunkChoices(series);
  const auto listChunks = [&choices] {
    for (const CChunkChoice& c : choices) {
      std::fprintf(stderr, "  %s\t%s\n", c.name.c_str(), c.start.c_str());
    }
  };
  if (series.LineCount() > kSheetChunkLines && !csv) {
    if (!parser.isSet("chunk")) {
      std::fprintf(stderr, "%s\n", kExportChooseChunk);
      listChunks();
      std::fprintf(stderr, "Choose one with --chunk K (1 to %zu).\n", choices.size());
      return kExitUsage;
    }
  }
  if (parser.isSet("chunk")) {
    bool number = false;
    const int k = parser.value("chunk").toInt(&number);
    const auto chunks = SheetChunks(series.LineCount());
    if (!number || k < 1 || static_cast<std::size_t>(k) > chunks.size()) {
      std::fprintf(stderr, "export: --chunk must be a number from 1 to %zu:\n", chunks.size());
      listChunks();
      return kExitUsage;
    }
    range = chunks[static_cast<std::size_t>(k - 1)];
  }
  if (const Status written = csv ? WriteSheetCsv(series, range, target) : WriteSheetXlsx(series, range, target);
      !written.ok()) {
    std::fprintf(stderr, "export: %s\n", written.message().c_str());
    return kExitFailed;
  }
  return kExitOk;
}

int RunStats(const QStringList& args) {
  CCommandLine command(
      "stats",
      "Rain and temperature statistics of a data file, per group and for the whole file: rain and tips, the "
      "highest rain intensity over 5, 10, 15, 30 and 60 minutes (sliding over the tip times), temperature "
      "min/mean/max (markers excluded), gap rows, marker samples and tips less than 1 s after the one before.",
      "FILE", 1);
  command.Parser().addOption({"csv", "comma-separated values instead of an aligned table"});
  CLoaded loaded;
  if (auto exit = Load(command, args, loaded, true)) {
    return *exit;
  }
  const std::string text =
      FormatStats(loaded.series, ComputeStats(loaded.series, loaded.details), command.IsSet("csv"));
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "cannot write to standard output\n");
    return kExitFailed;
  }
  return kExitOk;
}

} // namespace nimbrel::cli
