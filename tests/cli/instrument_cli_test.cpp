#include "cli/commands.h"
#include "cli/instrument_commands.h"
#include "support/session_rig.h"
#include "support/test_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;

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
      : instrument(MakePointerState(p), [] { return sim::SecondsSince2000(sim::CivilTime{2026, 3, 1, 12, 0, 0}); }) {
    port.AddDevice("COM2", [this](const std::string& w) { return instrument.Receive(w); });
    env.programDirectory = dir.Path();
    env.makePort = [this](const std::filesystem::path&) { return std::make_unique<PortHandle>(port); };
    env.scheduler = &sched;
    env.runUntil = [this](const std::function<bool()>& done) {
      const Millis end = sched.Now() + Millis(3600 * 1000);
      while (!done() && sched.Now() < end && sched.RunNext()) {
      }
    };
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
       "Download Complete\nWARNING\nDo you want to clear instrument memory ? No\n"},
      {"--clear-memory releases it", {12, 10, 3, 1460, 1458, 1455}, {"--clear-memory"}, 0, {"WN0012", "WW1460"}, {},
       "Clear memory successfull.\n"},
      {"--old-data fetches the old pages", noNewRain, {"--old-data"}, 0, {"KR0004", "KS1456"}, {"WN0005"},
       "Download Complete\n"},
      {"memory empty: exit 3", {5, 5, 5, 1460, 1460, 1460}, {}, 3, {"RQ"}, {"KR0005"}, "Memory Empty\n"},
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
    EXPECT_EQ(cli.err.find("pages (100%)") != std::string::npos, c.exit == 0);
    EXPECT_FALSE(cli.port.IsOpen());
  }

  Cli folder; // a target that can never receive the file is refused before the instrument is touched
  std::filesystem::create_directory(folder.dir / "out");
  EXPECT_EQ(folder("download", {"--output", QString::fromStdString((folder.dir / "out").string())}), cli::kExitUsage);
  EXPECT_TRUE(folder.port.opened.empty());
  EXPECT_TRUE(std::filesystem::is_directory(folder.dir / "out"));
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
}

TEST(CliInstrument, InfoPortChoiceMaintenanceAndArgumentErrors) {
  {
    Cli cli;
    EXPECT_EQ(cli("info", {}), cli::kExitOk);
    EXPECT_EQ(cli.out, "Instr. Type: TBR4470 Rain Gauge\n\nSerial Num.: 12345678\n\nFirmware Ver.: V2.14\n\n"
                       "Firmware Date: 2006/01/14\n");
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
    if (c.exit == 2) {
      EXPECT_TRUE(cli.port.opened.empty()); // arguments are checked before the instrument is touched
    }
  }
  // A refused maintenance command reports the failure.
  Cli refused;
  refused.instrument.SetFaults(Faults([](sim::Faults& f) { f.refuse = {{"K0", 4}}; }));
  EXPECT_EQ(refused("clear-counter", {"partial", "--yes"}), cli::kExitFailed);
  EXPECT_NE(refused.err.find("WARNING : Command not recognized.\n\n(Command = 19 ,param = )"), std::string::npos);
}

} // namespace
} // namespace nimbrel::test
