#include "cli/commands.h"
#include "cli/instrument_commands.h"
#include "support/session_fakes.h"
#include "support/test_app.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <tuple>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;

struct Pointers {
  int wR, rR, hR, wT, rT, hT;
};

// The session's view of a port the test keeps (the command owns only this handle).
class PortHandle final : public ISessionPort {
public:
  explicit PortHandle(InMemoryPort& port) : port_(port) {}
  std::uint32_t Open(const std::string& name, LinkEventSink sink) override { return port_.Open(name, std::move(sink)); }
  std::uint32_t Close() override { return port_.Close(); }
  [[nodiscard]] bool IsOpen() const override { return port_.IsOpen(); }
  std::uint32_t Configure(std::uint32_t b, int d, int p, int s) override { return port_.Configure(b, d, p, s); }
  std::uint32_t SetFlowControl(int mode) override { return port_.SetFlowControl(mode); }
  std::uint32_t Purge() override { return port_.Purge(); }
  std::uint32_t WriteString(const std::string& text) override { return port_.WriteString(text); }
  std::uint32_t Read(std::string& out, std::size_t maxBytes) override { return port_.Read(out, maxBytes); }
  void EmptyReceiveBuffer() override { port_.EmptyReceiveBuffer(); }
  CLinkShared& Shared() override { return port_.Shared(); }

private:
  InMemoryPort& port_;
};

// nimbrel-cli's instrument commands in-process, in virtual time, against the fake instrument on COM2.
struct Cli {
  Cli() {
    port.AddDevice("COM2", instrument.Responder());
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
    // port.ini naming COM2 without detection
    dir.Write("port.ini", "AUTODETECT=0\nCOM= COM2\nBAUDRATE= 9600\nPARITY= N\nNUMBIT= 8\nBITSTOP= 1\nFLOW_CTRL= H\n");
  }
  int operator()(const std::string& command, QStringList args) {
    args.prepend(QString::fromStdString("nimbrel-cli " + command));
    return cli::RunInstrumentCommand(command, args, env);
  }
  void SetPointers(const Pointers& p) {
    std::tie(instrument.writeR, instrument.readR, instrument.histR) = std::tie(p.wR, p.rR, p.hR);
    std::tie(instrument.writeT, instrument.readT, instrument.histT) = std::tie(p.wT, p.rT, p.hT);
  }
  [[nodiscard]] bool Sent(const std::string& text) const {
    return std::find(port.writes.begin(), port.writes.end(), text) != port.writes.end();
  }

  ManualScheduler sched;
  InMemoryPort port{sched};
  FakeInstrument instrument;
  TempDir dir;
  cli::InstrumentEnv env;
  std::string out, err;
  std::function<bool()> interruptWhen;
};

TEST(CliDownload, ExitCodesAnswersAndOutputFollowTheFlags) {
  TestApp();
  struct Case {
    const char* name;
    Pointers pointers;
    QStringList flags;
    int exit;
    Strings mustSend, mustNotSend;
    std::string errHas;
  };
  const Pointers newData{12, 10, 3, 1460, 1458, 1455}, noNewRain{5, 5, 3, 1460, 1458, 1455};
  // One case per entry: formatted, every field would get a line of its own.
  // clang-format off
  const Case cases[] = {
      {"new data, memory kept", newData, {}, 0, {"KR0011\r", "KS1460\r"}, {"WN0012\r"},
       "Download Complete\nWARNING\nDo you want to clear instrument memory ? No\n"},
      {"new data, memory released", newData, {"--clear-memory"}, 0, {"WN0012\r", "WW1460\r"}, {},
       "Clear memory successfull.\n"},
      {"memory empty", {5, 5, 5, 1460, 1460, 1460}, {}, 3, {"RQ\r"}, {"KR0005\r"}, "Memory Empty\n"},
      {"no new rain: new temperature only", noNewRain, {}, 0, {"KS1459\r"}, {"KR0004\r"},
       "Download only new Temperature data\n"},
      {"no new rain: old data asked for", noNewRain, {"--old-data"}, 0, {"KR0004\r", "KS1456\r"}, {"WN0005\r"},
       "Download Complete\n"},
      {"only old data, not asked for", {5, 5, 3, 1460, 1460, 1455}, {}, 1, {"RQ\r"}, {"KR0004\r"},
       "add --old-data"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Cli cli;
    cli.SetPointers(c.pointers);
    const std::string copy = (cli.dir / "copy.rlg").string();
    EXPECT_EQ(cli("download", c.flags + QStringList{"--output", QString::fromStdString(copy)}), c.exit);
    for (const auto& s : c.mustSend) {
      EXPECT_TRUE(cli.Sent(s)) << s;
    }
    for (const auto& s : c.mustNotSend) {
      EXPECT_FALSE(cli.Sent(s)) << s;
    }
    EXPECT_NE(cli.err.find(c.errHas), std::string::npos) << cli.err;
    EXPECT_EQ(ReadFileBytes(copy), c.exit == 0 ? cli.dir.Read("DumpFile.rlg") : "");
    EXPECT_EQ(cli.err.find("pages (100%)") != std::string::npos, c.exit == 0);
    EXPECT_FALSE(cli.port.IsOpen());
  }
}

TEST(CliDownload, CtrlCAndASilentInstrumentStopTheDownload) {
  TestApp();
  {
    Cli cli;
    cli.SetPointers({20, 10, 3, 1460, 1458, 1455});
    cli.interruptWhen = [&cli] { return cli.Sent("KR0013\r"); };
    EXPECT_EQ(cli("download", {"--output", "x.rlg"}), cli::kExitFailed);
    EXPECT_NE(cli.err.find("Interrupted.\nConfirm stop downloading ? Yes\n"), std::string::npos) << cli.err;
    EXPECT_FALSE(cli.Sent("KR0014\r"));
  }
  {
    Cli cli;
    cli.instrument.writeR = 12, cli.instrument.readR = 10, cli.instrument.histR = 3;
    cli.instrument.overrides["KR0012\r"] = "Z0\r\n0B5C2E41\r\n"; // two lines of 65, then silence
    EXPECT_EQ(cli("download", {}), cli::kExitFailed);
    EXPECT_NE(cli.err.find("ERROR: the instrument stopped sending during page 12.\n"), std::string::npos) << cli.err;
  }
}

TEST(CliInstrument, InfoMaintenanceAndArgumentErrors) {
  TestApp();
  {
    Cli cli;
    EXPECT_EQ(cli("info", {}), cli::kExitOk);
    EXPECT_EQ(cli.out, "Instr. Type: Rain gauge TBR4470\n\nSerial Num.: 12345678\n\nFirmware Ver.: V1.02\n\nFirmware "
                       "Date: 2006/01/14\n");
    EXPECT_NE(cli.err.find("Connected to COM2 9600 8,N,1\n"), std::string::npos);
  }
  {
    Cli cli; // --port wins over port.ini; nothing answers on COM5
    EXPECT_EQ(cli("info", {"--port", "COM5"}), cli::kExitFailed);
    EXPECT_NE(cli.err.find("Error : fail opening COM port.\n"), std::string::npos);
  }
  {
    Cli cli;
    cli.port.AddDevice("/dev/ttyUSB7", cli.instrument.Responder());
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
      {"clear-counter", {"partial", "--yes"}, {}, 0, {"K0\r"}, "Partial counter clear successfully.\n"},
      {"clear-counter", {"half", "--yes"}, {}, 2, {}, "partial or total"},
      {"erase-memory", {"--yes"}, {}, 1, {}, "Produzione.dll or Ermem.dll"},
      {"erase-memory", {}, {"Ermem.dll"}, 2, {}, "add --yes"},
      {"erase-memory", {"--yes"}, {"Ermem.dll"}, 0, {"K5\r", "K6\r"}, "Erase memory successfull\n"},
      {"set-serial", {"87654321"}, {"Ermem.dll"}, 1, {}, "Produzione.dll"},
      {"set-serial", {"123456789"}, {"Produzione.dll"}, 2, {}, "at most 8 characters"},
      {"set-serial", {"87654321"}, {"Produzione.dll"}, 0, {"DS87654321\r"}, "Set serial number successfully.\n"},
      {"download", {"--no-such-flag"}, {}, 2, {}, "no-such-flag"},
  };
  for (const auto& c : cases) {
    Cli cli;
    SCOPED_TRACE(c.command + (" " + c.args.join(" ").toStdString()));
    for (const auto& m : c.markers) {
      cli.dir.Write(m, "");
    }
    cli.instrument.overrides["K0\r"] = cli.instrument.overrides["K1\r"] = "OK\r\n";
    EXPECT_EQ(cli(c.command, c.args), c.exit);
    Strings sent;
    std::copy_if(cli.port.writes.begin(), cli.port.writes.end(), std::back_inserter(sent),
                 [](const std::string& w) { return w[0] == 'K' || w[0] == 'D'; });
    EXPECT_EQ(sent, c.sent);
    EXPECT_NE(cli.err.find(c.errHas), std::string::npos) << cli.err;
    if (c.exit == 2) {
      EXPECT_TRUE(cli.port.opened.empty()); // arguments are checked before the instrument is touched
    }
  }
  // Every instrument command answers --help.
  for (const char* command : {"info", "download", "clear-counter", "erase-memory", "set-serial"}) {
    Cli cli;
    EXPECT_EQ(cli(command, {"--help"}), cli::kExitOk);
    EXPECT_NE(cli.out.find("--port"), std::string::npos) << command;
    EXPECT_TRUE(cli.port.opened.empty());
  }
  // A refused maintenance command reports the failure.
  Cli refused;
  refused.instrument.overrides["K0\r"] = "?\r\n";
  EXPECT_EQ(refused("clear-counter", {"partial", "--yes"}), cli::kExitFailed);
  EXPECT_NE(refused.err.find("WARNING : Command not recognized.\n\n(Command = 19 ,param = )"), std::string::npos);
}

} // namespace
} // namespace nimbrel::test
