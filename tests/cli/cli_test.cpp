#include "cli/commands.h"
#include "cli/instrument_commands.h"
#include "data/rlg_reader.h"
#include "support/child_process.h"
#include "support/session_rig.h"
#include "support/test_app.h"
#include "viewer/table_model.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;

ChildResult RunCli(const std::vector<std::string>& args) {
  return RunChild(BuiltProgram("nimbrel-cli"), args);
}

// Without --interval the size decides (a small file: one minute); the table streams out as the
// data window would copy it, with the message the reader left to its caller.
TEST(DataCli, TablePrintsTheTableTextOfTheFile) {
  const std::string file = std::string(NIMBREL_TEST_DATA_DIR) + "/zero_resolution.rlg";
  CDataSeries series;
  ASSERT_TRUE(ReadRlgFile(file, 60, series).ok());
  const ChildResult run = RunCli({"table", file});
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, TableText(series));
  EXPECT_EQ(run.err, std::string(kResolutionMessage) + "\n");

  const ChildResult stats = RunCli({"stats", file, "--csv"});
  EXPECT_EQ(stats.exit, 0) << stats.err;
  EXPECT_EQ(stats.out.rfind("group,tips,rain_mm,", 0), 0U) << stats.out;
  EXPECT_NE(RunCli({"stats", file}).out.find(" mm/h"), std::string::npos);

  // Anything is read as the data window reads it, but a file of neither rain nor temperature is
  // named as such.
  TempDir dir;
  dir.Write("photo.jpg", std::string("\xff\xd8\xff\xe0\0\x10JFIF", 11));
  const ChildResult odd = RunCli({"table", (dir / "photo.jpg").string()});
  EXPECT_EQ(odd.exit, 0);
  EXPECT_NE(odd.err.find("does not look like a data file"), std::string::npos) << odd.err;
}

TEST(DataCli, ExitCodesNameWhatWentWrong) {
  TempDir dir;
  std::string record = "TEMPERATURE (-TBR4470- Serial Num: 7)\n00000000\n";
  for (int i = 0; i < 2200; ++i) {
    record += " 20.5\n"; // 33000 rows at one minute: two chunks of the export
  }
  dir.Write("long.rlg", record);
  dir.Write("kept.xlsx", "an older export");
  std::filesystem::create_directory(dir / "folder.xlsx");
  const std::string input = (dir / "long.rlg").string();
  const auto out = [&dir](const char* name) { return (dir / name).string(); };
  struct Case {
    std::vector<std::string> args;
    int exit;
    const char* message;
  };
  const Case cases[] = {
      {{"table", out("missing.rlg")}, 1, "missing.rlg"},
      {{"table"}, 2, "FILE"},
      {{"table", input, "--bogus"}, 2, "bogus"},
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
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_EQ(dir.Read("kept.xlsx"), "an older export");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.xlsx"));
  EXPECT_EQ(dir.Read("long.rlg"), record);
  EXPECT_GT(std::filesystem::file_size(dir / "new.xlsx"), 0U);
}

// The session's view of a port the test keeps (the command owns only this handle).
class PortHandle final : public ISessionPort {
public:
  explicit PortHandle(InMemoryPort& port) : port_(port) {}
  Status Open(const std::string& name, LinkEventSink sink) override { return port_.Open(name, std::move(sink)); }
  void Close() override { port_.Close(); }
  [[nodiscard]] bool IsOpen() const override { return port_.IsOpen(); }
  Status Configure(std::uint32_t b, int d, int p, int s) override { return port_.Configure(b, d, p, s); }
  Status SetFlowControl(int mode) override { return port_.SetFlowControl(mode); }
  Status Purge() override { return port_.Purge(); }
  Status WriteString(const std::string& text) override { return port_.WriteString(text); }
  Status Read(std::string& out, std::size_t maxBytes) override { return port_.Read(out, maxBytes); }
  void SetReceiveEnabled(bool enabled) override { port_.SetReceiveEnabled(enabled); }
  void SetPageMode(bool downloading) override { port_.SetPageMode(downloading); }
  void EmptyReceiveBuffer() override { port_.EmptyReceiveBuffer(); }

private:
  InMemoryPort& port_;
};

// nimbrel-cli's instrument commands in-process, in virtual time, against the simulated instrument
// on COM2, with a port.ini naming COM2 without detection.
struct Cli {
  explicit Cli(const Pointers& p = {12, 10, 3, 1460, 1458, 1455})
      : instrument(MakePointerState(p), [] {
          return sim::SecondsSince2000(sim::CivilTime{2026, 3, 1, 12, 0, 0});
        }) {
    port.AddDevice("COM2", [this](const std::string& w) { return instrument.Receive(w); });
    env.programDirectory = dir.Path();
    env.makePort = [this](const std::filesystem::path&) { return std::make_unique<PortHandle>(port); };
    env.scheduler = &sched;
    env.runUntil = [this](const std::function<bool()>& done) { RunVirtual(sched, done); };
    env.marshal = [](LinkEventSink sink) { return sink; };
    env.out = [this](const std::string& s) { out += s; };
    env.err = [this](const std::string& s) { err += s; };
    env.progress = true;
    env.interrupted = [this] { return interruptWhen && interruptWhen(); };
    dir.Write("port.ini", "AUTODETECT=0\nCOM= COM2\nBAUDRATE= 9600\nPARITY= N\nNUMBIT= 8\nBITSTOP= 1\nFLOW_CTRL= H\n");
  }
  int operator()(const std::string& command, QStringList args) {
    TestApp();
    args.prepend(QString::fromStdString("nimbrel-cli " + command));
    return cli::RunInstrumentCommand(command, args, env);
  }
  [[nodiscard]] bool Sent(const std::string& text) const {
    return std::find(port.writes.begin(), port.writes.end(), text + "\r") != port.writes.end();
  }

  ManualScheduler sched;
  InMemoryPort port{sched};
  sim::Instrument instrument;
  TempDir dir;
  cli::InstrumentEnv env;
  std::string out, err;
  std::function<bool()> interruptWhen;
};

TEST(CliDownload, EachFlagDoesWhatItSays) {
  struct Case {
    const char* name;
    Pointers pointers;
    QStringList flags;
    int exit;
    Strings mustSend, mustNotSend;
    std::string errHas;
  };
  const Pointers noNewRain{5, 5, 3, 1460, 1458, 1455};
  // clang-format off
  const Case cases[] = {
      {"no flag: new data, memory kept", {12, 10, 3, 1460, 1458, 1455}, {}, 0, {"KR0011", "KS1460"}, {"WN0012"},
       "Download Complete\nWARNING\nDo you want to clear instrument memory ? No (add --clear-memory to release it)\n"},
      {"--clear-memory releases it", {12, 10, 3, 1460, 1458, 1455}, {"--clear-memory"}, 0, {"WN0012", "WW1460"}, {},
       "Clear memory successfull.\n"},
      {"--old-data fetches the old pages", noNewRain, {"--old-data"}, 0, {"KR0004", "KS1456"}, {"WN0005"},
       "Download Complete\n"},
      {"memory empty: exit 3", {5, 5, 5, 1460, 1460, 1460}, {}, 3, {"RQ"}, {"KR0005"}, "Memory Empty\n"},
      {"only old data and no --old-data: a choice to make, exit 2", {5, 5, 3, 1460, 1460, 1455}, {}, 2, {"RQ"},
       {"KR0004"}, "add --old-data"},
      {"no new rain: the automatic choice is said", noNewRain, {}, 0, {"KS1459"}, {"KR0004"},
       "Download only new Temperature data (chosen because there are no new rain data"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Cli cli(c.pointers);
    const std::string copy = (cli.dir / "copy.rlg").string();
    cli.dir.Write("copy.rlg", "an older copy");
    EXPECT_EQ(cli("download", c.flags + QStringList{"--output", QString::fromStdString(copy)}), c.exit);
    for (const auto& s : c.mustSend) {
      EXPECT_TRUE(cli.Sent(s)) << s;
    }
    for (const auto& s : c.mustNotSend) {
      EXPECT_FALSE(cli.Sent(s)) << s;
    }
    EXPECT_NE(cli.err.find(c.errHas), std::string::npos) << cli.err;
    // --output replaces an existing file with the download, and only after a complete one.
    EXPECT_EQ(ReadFileBytes(copy), c.exit == 0 ? cli.dir.Read("DumpFile.rlg") : "an older copy");
    EXPECT_EQ(cli.err.find("Download: 100%") != std::string::npos, c.exit == 0);
    EXPECT_FALSE(cli.port.IsOpen());
  }

  Cli self; // --output naming the dump file itself: nothing to copy, nothing to refuse
  EXPECT_EQ(self("download", {"--output", "DumpFile.rlg"}), cli::kExitOk) << self.err;

  Cli folder; // a target that can never receive the file is refused before the instrument is touched
  std::filesystem::create_directory(folder.dir / "out");
  EXPECT_EQ(folder("download", {"--output", QString::fromStdString((folder.dir / "out").string())}), cli::kExitUsage);
  EXPECT_TRUE(folder.port.opened.empty());
  EXPECT_TRUE(std::filesystem::is_directory(folder.dir / "out"));
}

TEST(CliDownload, TheMemoryIsReleasedOnlyWhenEverythingCameAndTheReleaseIsChecked) {
  { // A page the instrument would not give: incomplete, exit 4, the memory kept whatever the flag.
    Cli cli({12, 10, 3, 1460, 1458, 1455});
    cli.instrument.SetFaults(Faults([](sim::Faults& f) { f.refusePage = {{1459, 1}}; }));
    EXPECT_EQ(cli("download", {"--clear-memory"}), cli::kExitIncomplete);
    EXPECT_FALSE(cli.Sent("WN0012"));
    EXPECT_NE(cli.err.find("1 memory page could not be read"), std::string::npos) << cli.err;
    EXPECT_NE(cli.err.find("Do you want to clear instrument memory ? No (the memory is kept"), std::string::npos);
  }
  { // A release the instrument refuses: the failure names the pointer, exit 1.
    Cli cli({12, 10, 3, 1460, 1458, 1455});
    cli.instrument.SetFaults(Faults([](sim::Faults& f) { f.refuse = {{"WW", 4}}; }));
    EXPECT_EQ(cli("download", {"--clear-memory"}), cli::kExitFailed);
    EXPECT_NE(cli.err.find("Clear memory successfull.\n"), std::string::npos);
    EXPECT_NE(cli.err.find("ERROR: the instrument memory was not released: SET_MEM_POINTER_T was not accepted"),
              std::string::npos)
        << cli.err;
  }
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

TEST(CliDownload, CtrlCAndASilentInstrumentStopTheDownload) {
  {
    Cli cli({20, 10, 3, 1460, 1458, 1455});
    cli.interruptWhen = [&cli] { return cli.Sent("KR0013"); };
    EXPECT_EQ(cli("download", {}), cli::kExitFailed);
    EXPECT_NE(cli.err.find("Interrupted.\nConfirm stop downloading ? Yes\n"), std::string::npos) << cli.err;
    EXPECT_FALSE(cli.Sent("KR0014"));
  }
  {
    Cli cli;
    cli.instrument.SetFaults(Faults([](sim::Faults& f) { f.silentInPageAfterLines = 2; }));
    EXPECT_EQ(cli("download", {}), cli::kExitFailed);
    EXPECT_NE(cli.err.find("ERROR: the instrument stopped sending during page 11.\n"), std::string::npos) << cli.err;
  }
  { // GET_FLAGS given up: the desktop would wait for Stop; nimbrel-cli ends by itself.
    Cli cli;
    cli.instrument.SetFaults(Faults([](sim::Faults& f) { f.silent = {{"RQ", 4}}; }));
    EXPECT_EQ(cli("download", {}), cli::kExitFailed);
    EXPECT_NE(cli.err.find("ERROR: the download cannot go on by itself"), std::string::npos) << cli.err;
  }
}

TEST(CliInstrument, InfoPortChoiceMaintenanceAndArgumentErrors) {
  {
    Cli cli;
    EXPECT_EQ(cli("info", {}), cli::kExitOk);
    EXPECT_EQ(
        cli.out,
        "Instr. Type: TBR4470 Rain Gauge\nSerial Num.: 12345678\nFirmware Ver.: V2.14\nFirmware Date: 2006/01/14\n");
  }
  { // An instrument that stops answering after the probe: one command given up, not every one.
    Cli cli;
    cli.instrument.SetFaults(Faults([](sim::Faults& f) { f.silentAfterCommands = 2; }));
    EXPECT_EQ(cli("info", {}), cli::kExitFailed);
    EXPECT_EQ(std::count(cli.port.writes.begin(), cli.port.writes.end(), "AA\r"), 5); // the probe, then four sends
    EXPECT_FALSE(cli.Sent("AS"));
    EXPECT_NE(cli.err.find("did not give its identity"), std::string::npos) << cli.err;
  }
  {
    // --port COMn wins over port.ini, automatic detection included: no scan finds the COM2 instrument.
    Cli cli;
    cli.dir.Write("port.ini", "AUTODETECT=1\nCOM= COM2\nBAUDRATE= 9600\nPARITY= N\nNUMBIT= 8\nBITSTOP= 1\n");
    EXPECT_EQ(cli("info", {"--port", "COM5"}), cli::kExitFailed);
    EXPECT_TRUE(cli.port.opened.empty());
    EXPECT_NE(cli.err.find("Error : fail opening COM port.\ncannot open COM5"), std::string::npos) << cli.err;
  }
  {
    Cli cli;
    cli.port.AddDevice("/dev/ttyUSB7", [&cli](const std::string& w) { return cli.instrument.Receive(w); });
    EXPECT_EQ(cli("info", {"--port", "/dev/ttyUSB7"}), cli::kExitOk);
    EXPECT_EQ(cli.port.opened, Strings{"/dev/ttyUSB7"});
    EXPECT_NE(cli.err.find("Connected to /dev/ttyUSB7 9600 8,N,1\n"), std::string::npos);
  }
  struct Case {
    const char* command;
    QStringList args;
    Strings markers; // files in the program directory
    int exit;
    Strings sent; // maintenance texts written
    std::string errHas;
  };
  const Case cases[] = {
      {"clear-counter", {"partial"}, {}, 2, {}, "Not confirmed: add --yes"},
      {"clear-counter", {"partial", "--yes"}, {}, 0, {"K0"}, "Partial counter clear successfully.\n"},
      {"clear-counter", {"half", "--yes"}, {}, 2, {}, "partial or total"},
      {"erase-memory", {"--yes"}, {}, 1, {}, "Produzione.dll or Ermem.dll"},
      {"erase-memory", {"--yes"}, {"Ermem.dll"}, 0, {"K5", "K6"}, "Erase memory successfull\n"},
      {"set-serial", {"123456789"}, {"Produzione.dll"}, 2, {}, "at most 8 characters"},
      {"set-serial", {"87654321"}, {"Produzione.dll"}, 0, {"DS87654321"}, "Set serial number successfully.\n"},
      {"download", {"--no-such-flag"}, {}, 2, {}, "no-such-flag"},
      // Any help option shows help and does nothing else; Qt's --help-all is not offered.
      {"clear-counter", {"total", "--yes", "--help-all"}, {}, 2, {}, "'nimbrel-cli clear-counter --help'"},
      {"download", {"--help", "--clear-memory"}, {}, 0, {}, ""},
      {"info", {"extra"}, {}, 2, {}, "unexpected argument 'extra'"},
  };
  for (const auto& c : cases) {
    Cli cli;
    SCOPED_TRACE(c.command + (" " + c.args.join(" ").toStdString()));
    for (const auto& m : c.markers) {
      cli.dir.Write(m, "");
    }
    EXPECT_EQ(cli(c.command, c.args), c.exit);
    Strings sent;
    for (const auto& w : cli.port.writes) {
      if (w[0] == 'K' || w[0] == 'D') {
        sent.push_back(w.substr(0, w.size() - 1));
      }
    }
    EXPECT_EQ(sent, c.sent);
    EXPECT_NE(cli.err.find(c.errHas), std::string::npos) << cli.err;
    if (c.exit == 2 || c.args.contains("--help")) {
      EXPECT_TRUE(cli.port.opened.empty()); // arguments are checked before the instrument is touched
    }
  }
  Cli help;
  EXPECT_EQ(help("download", {"-h"}), cli::kExitOk);
  EXPECT_EQ(help.out.rfind("Usage: nimbrel-cli download [options]\n", 0), 0U) << help.out;
  // A refused maintenance command reports the failure.
  Cli refused;
  refused.instrument.SetFaults(Faults([](sim::Faults& f) { f.refuse = {{"K0", 4}}; }));
  EXPECT_EQ(refused("clear-counter", {"partial", "--yes"}), cli::kExitFailed);
  EXPECT_NE(refused.err.find("WARNING : Command not recognized.\n\n(Command = 19 ,param = )"), std::string::npos);
}

} // namespace
} // namespace nimbrel::test
