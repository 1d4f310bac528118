// Finding the instrument through nimbrel-cli info: the configured port, the scan of COM1 and COM2,
// the baud rate in force, and the battery answer. COMn names resolve to links in the program
// directory; the ports that hold no instrument link to a device that does not exist.

#include "e2e_support.h"
#include "link/port_settings.h"
#include "support/scripted_prompts.h"

#include <gtest/gtest.h>

namespace nimbrel::test::e2e {
namespace {

using Strings = std::vector<std::string>;

CPortConfig ReadIni(const TempDir& dir) {
  CPortConfig config;
  EXPECT_TRUE(ReadPortSettings(dir / "port.ini", config).ok());
  return config;
}

struct Case {
  const char* name;
  std::string instrumentType;
  std::string instrumentPort; // the link to the simulator
  struct {
    int port, baud;
    bool autoDetect;
  } ini; // port.ini before the run
  int exit;
  Strings errHas;
  Strings commands;
  std::optional<std::pair<int, int>> iniAfter; // port and baud rewritten; nullopt: file unchanged
};

TEST(ConnectionEndToEnd, ConfiguredPortScanAndBaudRate) {
  const Strings connected = ConnectCommands();
  const Case cases[] = {
      {"configured port answers without \"Rain\": found at the configured rate",
       "TBR4470 Gauge",
       "COM2",
       {2, 19200, true},
       0,
       {"Connected to COM2 19200 8,N,1\n"},
       connected,
       std::nullopt},
      {"configured COM4 is absent: the scan finds COM2 and rewrites port.ini",
       "TBR4470 Rain Gauge",
       "COM2",
       {4, 4800, true},
       0,
       {"Connected to COM2 9600 8,N,1\n"},
       connected,
       std::pair{2, 9600}},
      {"instrument on COM3: the scan covers COM1 and COM2 only",
       "TBR4470 Rain Gauge",
       "COM3",
       {4, 9600, true},
       1,
       {"Warning : Instrument not responding.\nPlease check port settings\n", "Error :connection failure\n"},
       {},
       std::nullopt},
      {"scan: an answer without \"Rain\" is not the instrument",
       "TBR4470 Gauge",
       "COM2",
       {4, 9600, true},
       1,
       {"Warning : Instrument not responding.\nPlease check port settings\n"},
       {"AA"},
       std::nullopt},
      {"no detection, 19200 in the file: connected at 9600",
       "TBR4470 Rain Gauge",
       "COM2",
       {2, 19200, false},
       0,
       {"Connected to COM2 9600 8,N,1\n"},
       connected,
       std::nullopt},
      {"no detection, answer without \"Rain\"",
       "TBR4470 Gauge",
       "COM2",
       {2, 9600, false},
       1,
       {"ERROR: Instrument not responding.\n", "Error : connection failure\n"},
       {"AA"},
       std::nullopt},
      {"no detection, configured port absent",
       "TBR4470 Rain Gauge",
       "COM3",
       {2, 9600, false},
       1,
       {"Error : fail opening COM port.\n", "Error : connection failure\n"},
       {},
       std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Settings settings;
    settings.instrumentType = c.instrumentType;
    SimRig rig(MakeState({}, settings));
    for (const char* name : {"COM1", "COM2", "COM3", "COM4"}) {
      if (c.instrumentPort == name) {
        rig.Link(name);
      } else {
        rig.LinkTo(name, (rig.dir / "no-such-device").string());
      }
    }
    rig.WritePortIni(c.ini.port, c.ini.baud, c.ini.autoDetect);
    const std::string iniBefore = rig.dir.Read("port.ini");

    const Result r = RunInProcess(rig.dir.Path(), "info", {});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exit, c.exit) << r.err;
    for (const auto& t : c.errHas) {
      EXPECT_NE(r.err.find(t), std::string::npos) << t << "\n--- standard error:\n" << r.err;
    }
    EXPECT_EQ(rig.Commands(), c.commands);
    if (c.exit == 0) {
      EXPECT_NE(r.out.find("Instr. Type: " + c.instrumentType + "\n\nSerial Num.: 12345678"), std::string::npos)
          << r.out;
    }
    if (c.iniAfter) {
      const CPortConfig after = ReadIni(rig.dir);
      EXPECT_EQ(after.Settings.Port, c.iniAfter->first);
      EXPECT_EQ(after.Settings.BaudRate, c.iniAfter->second);
      EXPECT_EQ(after.AutoDetect, 1);
    } else {
      EXPECT_EQ(rig.dir.Read("port.ini"), iniBefore);
    }
  }
}

TEST(ConnectionEndToEnd, BatteryAnswers) {
  const std::string low = "WARNING:Low battery detected.\nAdvise substitution.";
  const std::string veryLow = "WARNING:Very Low battery detected.\nUrgent substitution!";
  const struct {
    int battery;
    std::string shown, notShown;
  } cases[] = {{1, low, veryLow}, {0, veryLow, low}, {2, "", "battery"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.battery);
    sim::Settings settings;
    settings.battery = c.battery;
    SimRig rig(MakeState({}, settings));
    rig.Link("COM2");
    rig.WritePortIni(2, 9600, false);
    const Result r = RunInProcess(rig.dir.Path(), "info", {});
    EXPECT_EQ(r.exit, 0) << r.err; // a weak battery is a warning, the connection goes on
    EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(c.notShown), std::string::npos) << r.err;
    EXPECT_EQ(rig.Commands(), ConnectCommands());
  }
}

// The scan with the real program and its real pauses: a second of waiting per probed port.
TEST(ConnectionEndToEnd, RealProgramScanFindsTheInstrument) {
  SimRig rig(MakeState({}));
  rig.LinkTo("COM1", (rig.dir / "no-such-device").string());
  rig.Link("COM2");
  rig.LinkTo("COM4", (rig.dir / "no-such-device").string());
  rig.WritePortIni(4, 9600, true);
  const Result r = RunProgram(rig.dir.Path(), "info", {});
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.err.find("Connected to COM2 9600 8,N,1\n"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Serial Num.: 12345678"), std::string::npos) << r.out;
  EXPECT_EQ(ReadIni(rig.dir).Settings.Port, 2);
  EXPECT_EQ(rig.Commands(), ConnectCommands());
}

} // namespace
} // namespace nimbrel::test::e2e
