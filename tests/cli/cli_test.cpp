#include "cli/commands.h"
#include "cli/instrument_commands.h"
#include "data/rlg_reader.h"
#include "support/child_process.h"
#include "support/session_rig.h"
#include "support/test_app.h"
#include "viewer/table_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;

ChildResult RunCli(const std::vector<std::string>& args) {
  return RunChild(BuiltProgram("nimbrel-cli"), args);
}

// Each exit code names what went wrong. The table streams out as the data window would copy it (a
// small file without --interval: by the minute), with the message the reader left to its caller;
// anything is read as the data window reads it, but a file of neither rain nor temperature is named.
TEST(DataCli, OutputsAndExitCodes) {
  const std::string small = std::string(NIMBREL_TEST_DATA_DIR) + "/zero_resolution.rlg";
  CDataSeries series;
  ASSERT_TRUE(ReadRlgFile(small, 60, series).ok());
  const ChildResult table = RunCli({"table", small});
  EXPECT_EQ(table.out, TableText(series));
  EXPECT_EQ(table.err, std::string(kResolutionMessage) + "\n");

  TempDir dir;
  std::string record = "TEMPERATURE (-TBR4470- Serial Num: 7)\n00000000\n";
  for (int i = 0; i < 2200; ++i) {
    record += " 20.5\n"; // 33000 rows at one minute: two chunks of the export
  }
  dir.Write("long.rlg", record);
  dir.Write("kept.xlsx", "an older export");
  dir.Write("photo.jpg", std::string("\xff\xd8\xff\xe0\0\x10JFIF", 10));
  std::filesystem::create_directory(dir / "folder.xlsx");
  const std::string input = (dir / "long.rlg").string();
  const auto out = [&dir](const char* name) { return (dir / name).string(); };
  struct Case {
    std::vector<std::string> args;
    int exit;
    const char* err;
    const char* out = "";
  };
  const Case cases[] = {
      {{"stats", small, "--csv"}, 0, "", "group,tips,rain_mm,"},
      {{"stats", small}, 0, "", " mm/h"},
      {{"table", out("photo.jpg")}, 0, "does not look like a data file"},
      {{"table", out("missing.rlg")}, 1, "missing.rlg"},
      {{"table"}, 2, "FILE"},
      {{"export", input}, 2, "--xlsx"},
      {{"table", input, "--interval", "7"}, 2, "\"15 min\""},
      {{"export", input, "--xlsx", out("new.xlsx"), "--interval", "60"},
       2,
       "Excel process max no. 30000 datas.\nPlease select an interval to export\n"
       "  Interval  1\tTOTAL RAIN\n  Interval  2\t2000/01/21 19:59:00 \n"},
      {{"export", input, "--xlsx", out("kept.xlsx"), "--interval", "60", "--chunk", "3"}, 2, "--chunk"},
      {{"export", input, "--xlsx", out("folder.xlsx"), "--interval", "60", "--chunk", "1"}, 2, "folder.xlsx"},
      {{"export", input, "--xlsx", input, "--interval", "60", "--chunk", "1"}, 2, "long.rlg"},
      {{"export", input, "--xlsx", out("new.xlsx"), "--interval", "60", "--chunk", "2"}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    const ChildResult run = RunCli(c.args);
    EXPECT_EQ(run.exit, c.exit) << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
  }
  EXPECT_EQ(dir.Read("kept.xlsx"), "an older export");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.xlsx"));
  EXPECT_EQ(dir.Read("long.rlg"), record);
  EXPECT_GT(std::filesystem::file_size(dir / "new.xlsx"), 0U);
}

// nimbrel-cli's instrument commands in-process, in virtual time, against the simulated instrument
// under the names of `devices`, with a port.ini naming COM2 without detection. The command owns the
// port it makes; what it wrote is kept in `sent`.
struct Cli {
  explicit Cli(const Pointers& p = {})
      : instrument(MakePointerState(p), [] {
          return sim::SecondsSince2000(sim::CivilTime{2026, 3, 1, 12, 0, 0});
        }) {
    env.programDirectory = dir.Path();
    env.makePort = [this](const std::filesystem::path&) {
      ++ports;
      auto port = std::make_unique<InMemoryPort>(sched);
      for (const auto& name : devices) {
        port->AddDevice(name, [this](const std::string& w) {
          sent.push_back(w);
          return instrument.Receive(w);
        });
      }
      return port;
    };
    env.scheduler = &sched;
    env.runUntil = [this](const std::function<bool()>& done) { RunVirtual(sched, done); };
    env.marshal = [](LinkEventSink sink) { return sink; };
    env.out = [this](const std::string& s) { out += s; };
    env.err = [this](const std::string& s) { err += s; };
    env.progress = true;
    dir.Write("port.ini", "AUTODETECT=0\nCOM= COM2\nBAUDRATE= 9600\nPARITY= N\nNUMBIT= 8\nBITSTOP= 1\nFLOW_CTRL= H\n");
  }
  int operator()(const std::string& command, QStringList args) {
    TestApp();
    args.prepend(QString::fromStdString("nimbrel-cli " + command));
    return cli::RunInstrumentCommand(command, args, env);
  }
  [[nodiscard]] bool Sent(const std::string& text) const {
    return std::find(sent.begin(), sent.end(), text + "\r") != sent.end();
  }

  ManualScheduler sched;
  Strings devices{"COM2"};
  Strings sent;
  int ports = 0; // made by the command
  sim::Instrument instrument;
  TempDir dir;
  cli::InstrumentEnv env;
  std::string out, err;
};

using SetFaults = std::function<void(sim::Faults&)>;

// Each command line, with the files of the program directory and the instrument's faults, gives its
// exit code and message, writes what it must and nothing it must not.
TEST(CliInstrument, CommandsFlagsFaultsAndTheirExitCodes) {
  struct Case {
    const char* name;
    const char* command;
    QStringList args;
    int exit;
    std::string errHas;
    Strings sent = {}, notSent = {};
    SetFaults faults = {};
    std::map<std::string, std::string> files = {}; // written to the program directory
    Pointers pointers = {};                        // new rain and temperature
  };
  const Pointers noNewRain{5, 5, 3, 1460, 1458, 1455};
  const char* const autoDetect = "AUTODETECT=1\nCOM= COM2\nBAUDRATE= 9600\nPARITY= N\nNUMBIT= 8\nBITSTOP= 1\n";
  // clang-format off
  const Case cases[] = {
      {"download: new data, memory kept", "download", {}, 0,
       "Download Complete\nWARNING\nDo you want to clear instrument memory ? No (add --clear-memory to release it)\n",
       {"KR0011", "KS1460"}, {"WN0012"}},
      {"--old-data fetches the old pages", "download", {"--old-data"}, 0, "Download Complete\n", {"KR0004", "KS1456"},
       {"WN0005"}, {}, {}, noNewRain},
      {"memory empty: exit 3", "download", {}, 3, "Memory Empty\n", {"RQ"}, {"KR0005"}, {}, {},
       {5, 5, 5, 1460, 1460, 1460}},
      {"only old data and no --old-data: a choice to make, exit 2", "download", {}, 2, "add --old-data", {"RQ"},
       {"KR0004"}, {}, {}, {5, 5, 3, 1460, 1460, 1455}},
      {"no new rain: the automatic choice is said", "download", {}, 0,
       "Download only new Temperature data (chosen because there are no new rain data", {"KS1459"}, {"KR0004"}, {}, {},
       noNewRain},
      {"a page refused: incomplete, exit 4, the memory kept whatever the flag", "download", {"--clear-memory"}, 4,
       "1 memory page could not be read.\nClearing the instrument memory now would lose it for good.\nWARNING\n"
       "Do you want to clear instrument memory ? No (the memory is kept",
       {}, {"WN0012"}, [](sim::Faults& f) { f.refusePage = {{1459, 1}}; }},
      {"a refused release names the pointer, exit 1", "download", {"--clear-memory"}, 1,
       "ERROR: the instrument memory was not released: SET_MEM_POINTER_T was not accepted", {}, {},
       [](sim::Faults& f) { f.refuse = {{"WW", 4}}; }},
      {"silent inside a page", "download", {}, 1, "ERROR: the instrument stopped sending during page 11.\n", {}, {},
       [](sim::Faults& f) { f.silentInPageAfterLines = 2; }},
      {"GET_FLAGS given up: the desktop would wait for Stop, nimbrel-cli ends", "download", {}, 1,
       "ERROR: the download cannot go on by itself", {}, {}, [](sim::Faults& f) { f.silent = {{"RQ", 4}}; }},
      {"--output naming the dump file itself", "download", {"--output", "DumpFile.rlg"}, 0, ""},
      {"silent after the probe: one command given up, not every one", "info", {}, 1, "did not give its identity", {},
       {"AS"}, [](sim::Faults& f) { f.silentAfterCommands = 2; }},
      {"clear-counter asks for --yes", "clear-counter", {"partial"}, 2, "Not confirmed: add --yes"},
      {"clear-counter partial", "clear-counter", {"partial", "--yes"}, 0, "Partial counter clear successfully.\n",
       {"K0"}},
      {"clear-counter refused", "clear-counter", {"partial", "--yes"}, 1,
       "WARNING : Command not recognized.\n\n(Command = 19 ,param = )", {}, {},
       [](sim::Faults& f) { f.refuse = {{"K0", 4}}; }},
      {"clear-counter of neither", "clear-counter", {"half", "--yes"}, 2, "partial or total"},
      {"erase-memory without a marker", "erase-memory", {"--yes"}, 1, "Produzione.dll or Ermem.dll", {}, {"K5"}},
      {"erase-memory", "erase-memory", {"--yes"}, 0, "Erase memory successfull\n", {"K5", "K6"}, {}, {},
       {{"Ermem.dll", ""}}},
      {"set-serial too long", "set-serial", {"123456789"}, 2, "at most 8 characters", {}, {}, {},
       {{"Produzione.dll", ""}}},
      {"set-serial", "set-serial", {"87654321"}, 0, "Set serial number successfully.\n", {"DS87654321"}, {}, {},
       {{"Produzione.dll", ""}}},
      // An unknown option is named; Qt's --help-all is not offered.
      {"--help-all", "clear-counter", {"total", "--yes", "--help-all"}, 2,
       "Unknown option 'help-all'.\n'nimbrel-cli clear-counter --help' lists the options.\n"},
      {"an argument too many", "info", {"extra"}, 2, "unexpected argument 'extra'"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Cli cli(c.pointers);
    if (c.faults) {
      cli.instrument.SetFaults(Faults(c.faults));
    }
    for (const auto& [name, text] : c.files) {
      cli.dir.Write(name, text);
    }
    // The rows without faults run with --output: it replaces an existing file, and only after a
    // complete download.
    const bool output = c.command == std::string("download") && !c.faults && !c.args.contains("--output");
    QStringList args = c.args;
    for (QString& arg : args) { // the program directory's own dump file, not one in the test's directory
      if (arg == "DumpFile.rlg") {
        arg = QString::fromStdString((cli.dir / "DumpFile.rlg").string());
      }
    }
    if (output) {
      cli.dir.Write("copy.rlg", "an older copy");
      args << "--output" << QString::fromStdString((cli.dir / "copy.rlg").string());
    }
    EXPECT_EQ(cli(c.command, args), c.exit);
    EXPECT_NE(cli.err.find(c.errHas), std::string::npos) << cli.err;
    for (const auto& s : c.sent) {
      EXPECT_TRUE(cli.Sent(s)) << s;
    }
    for (const auto& s : c.notSent) {
      EXPECT_FALSE(cli.Sent(s)) << s;
    }
    if (c.exit == 2 && c.sent.empty()) {
      EXPECT_EQ(cli.ports, 0); // arguments are checked before the instrument is touched
    }
    if (output) {
      EXPECT_EQ(cli.dir.Read("copy.rlg"), c.exit == 0 ? cli.dir.Read("DumpFile.rlg") : "an older copy");
      EXPECT_EQ(cli.err.find("Download: 100%") != std::string::npos, c.exit == 0);
    }
  }

  Cli info;
  EXPECT_EQ(info("info", {}), cli::kExitOk);
  EXPECT_EQ(
      info.out,
      "Instr. Type: TBR4470 Rain Gauge\nSerial Num.: 12345678\nFirmware Ver.: V2.14\nFirmware Date: 2006/01/14\n");
  Cli device; // --port COMn wins over automatic detection: no scan, and port.ini is not rewritten
  device.dir.Write("port.ini", autoDetect);
  device.devices = {"COM5"};
  EXPECT_EQ(device("info", {"--port", "COM5"}), cli::kExitOk);
  EXPECT_NE(device.err.find("Connected to COM5 9600 8,N,1\n"), std::string::npos) << device.err;
  EXPECT_EQ(device.dir.Read("port.ini"), autoDetect);
  Cli help; // help and nothing else
  EXPECT_EQ(help("download", {"-h", "--clear-memory"}), cli::kExitOk);
  EXPECT_EQ(help.out.rfind("Usage: nimbrel-cli download [options]\n", 0), 0U) << help.out;
  EXPECT_EQ(help.ports, 0);
  Cli folder; // a target that can never receive the file is refused before the instrument is touched
  std::filesystem::create_directory(folder.dir / "out");
  EXPECT_EQ(folder("download", {"--output", QString::fromStdString((folder.dir / "out").string())}), cli::kExitUsage);
  EXPECT_EQ(folder.ports, 0);
  EXPECT_TRUE(std::filesystem::is_directory(folder.dir / "out"));
}

TEST(CliDownload, ProgressIsABarOnATerminalAndLinesOtherwise) {
  Cli bar;
  bar.env.terminal = true;
  EXPECT_EQ(bar("download", {}), cli::kExitOk);
  EXPECT_NE(bar.err.find("\r[########################] 100%  temperature page 1460: 4 of 4 pages"), std::string::npos)
      << bar.err;
  EXPECT_NE(bar.err.find("\r[######------------------]  25%  rain page 11: 1 of 4 pages, about "), std::string::npos);
  Cli lines;
  EXPECT_EQ(lines("download", {}), cli::kExitOk);
  EXPECT_NE(lines.err.find("Download: 50% (2 of 4 pages), about "), std::string::npos) << lines.err;
  EXPECT_EQ(lines.err.find('\r'), std::string::npos);
  Cli quiet;
  EXPECT_EQ(quiet("download", {"--quiet"}), cli::kExitOk);
  EXPECT_EQ(quiet.err.find("Download: "), std::string::npos);
}

} // namespace
} // namespace nimbrel::test
