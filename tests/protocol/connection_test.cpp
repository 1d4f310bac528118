#include "protocol/menu.h"
#include "support/session_fakes.h"

#include <gtest/gtest.h>

#include <optional>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;

CPortConfig Settings(int port, int baud, int autoDetect) {
  CPortConfig s = SessionRig::Com2();
  s.Settings.Port = port;
  s.Settings.BaudRate = baud;
  s.AutoDetect = autoDetect;
  return s;
}

TEST(Connection, FindsTheInstrumentOnTheConfiguredPortOrByScanning) {
  const std::string rain = "Rain gauge TBR4470\r\n";
  const std::string notResponding = "Warning : Instrument not responding.\nPlease check port settings";
  struct Case {
    const char* name;
    CPortConfig settings;
    std::map<std::string, std::string> devices; // name -> probe answer ("" silent)
    Strings opened;
    std::string status; // "Connected..." or a failure
    Strings messages;
    bool rewritten;     // the port found is kept in the settings
    std::uint32_t baud; // of the last Configure
  };
  // One case per entry: formatted, every field would get a line of its own.
  // clang-format off
  const Case cases[] = {
      {"auto, configured port answers anything", Settings(4, 19200, 1), {{"COM4", "XYZ\r\n"}}, {"COM4"},
       "Connected to COM4 19200 8,N,1", {}, false, 19200},
      {"auto, instrument on COM2, file names COM4", Settings(4, 19200, 1), {{"COM2", rain}}, {"COM2"},
       "Connected to COM2 9600 8,N,1", {}, true, 9600},
      {"auto, COM1 silent, COM2 answers", Settings(4, 19200, 1), {{"COM1", ""}, {"COM2", rain}}, {"COM1", "COM2"},
       "Connected to COM2 9600 8,N,1", {}, true, 9600},
      {"auto, scan needs Rain", Settings(4, 19200, 1), {{"COM1", "XYZ\r\n"}}, {"COM1"}, "Error :connection failure",
       {notResponding}, false, 9600},
      {"auto, instrument on COM3 is not scanned", Settings(4, 9600, 1), {{"COM3", rain}}, {},
       "Error :connection failure", {notResponding}, false, 0},
      {"fixed port always at 9600", Settings(2, 19200, 0), {{"COM2", rain}}, {"COM2"},
       "Connected to COM2 9600 8,N,1", {}, false, 9600},
      {"fixed port missing", Settings(3, 9600, 0), {{"COM2", rain}}, {}, "Error : connection failure",
       {"Error : fail opening COM port."}, false, 0},
      {"fixed port answers without Rain", Settings(2, 9600, 0), {{"COM2", "XYZ\r\n"}}, {"COM2"},
       "Error : connection failure", {"ERROR: Instrument not responding."}, false, 9600},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SessionRig rig(c.settings);
    rig.store.file = c.settings;
    for (const auto& device : c.devices) {
      rig.port.AddDevice(device.first, [&rig, answer = device.second](const std::string& w) {
        return w == "AA\r" && !rig.session->Connected ? answer : rig.instrument.Answer(w);
      });
    }
    rig.session->Connect();
    rig.Settle();
    const bool connected = c.status.starts_with("Connected");
    EXPECT_EQ(rig.port.opened, c.opened);
    EXPECT_EQ(rig.view.status.text, c.status);
    EXPECT_EQ(rig.view.status.colour, connected ? kColourGreen : kColourRed);
    EXPECT_EQ(rig.prompts.Texts(), c.messages);
    EXPECT_EQ(rig.port.configuredBaud, c.baud);
    EXPECT_EQ(rig.session->Connected, connected);
    EXPECT_EQ(rig.port.IsOpen(), connected);
    EXPECT_EQ(rig.store.writes, c.rewritten ? 1 : 0);
    if (c.rewritten) {
      EXPECT_EQ(rig.store.file, Settings(2, 9600, 1));
    }
  }
}

TEST(Connection, SuccessfulScanRewritesPortIni) {
  SessionRig rig;
  rig.dir.Write("port.ini",
                "AUTODETECT=1\nCOM= COM4\nBAUDRATE= 19200\nPARITY= N\nNUMBIT= 8\nBITSTOP= 1\nFLOW_CTRL= H\n");
  CPortIniStore store(rig.dir.Path(), rig.prompts);
  const CPortConfig atStart = store.Read();
  ASSERT_EQ(atStart.Settings.Port, 4);
  rig.session.reset();
  rig.session = std::make_unique<CSession>(
      SessionDeps{rig.port, rig.sched, rig.prompts, rig.view, store, rig.dir.Path(), atStart, {}, {}, {}});
  rig.ConnectAndSettle();
  ASSERT_TRUE(rig.session->Connected);
  CPortConfig expected = atStart;
  expected.Settings.Port = 2;
  expected.Settings.BaudRate = 9600;
  EXPECT_EQ(rig.dir.Read("port.ini"), FormatPortSettings(expected));
  EXPECT_TRUE(rig.prompts.shown.empty());
}

TEST(Connection, ChecksTheBatteryThenReadsAndShowsTheIdentity) {
  struct Case {
    std::string answer;
    std::optional<ScriptedPrompts::Shown> warning;
  };
  const Case cases[] = {
      {"1\r\n", ScriptedPrompts::Shown{"WARNING:Low battery detected.\nAdvise substitution.", Icon::Warning, false}},
      {"0\r\n", ScriptedPrompts::Shown{"WARNING:Very Low battery detected.\nUrgent substitution!", Icon::Error, false}},
      {"", std::nullopt},
      {"1\r\n\r\n", std::nullopt},
  };
  for (const auto& c : cases) {
    SessionRig rig;
    rig.instrument.battery = c.answer;
    rig.ConnectAndSettle();
    ASSERT_EQ(rig.prompts.shown.size(), c.warning ? 1U : 0U) << c.answer;
    if (c.warning) {
      EXPECT_EQ(rig.prompts.shown[0].text, c.warning->text);
      EXPECT_EQ(rig.prompts.shown[0].icon, c.warning->icon);
    }
    EXPECT_EQ(rig.port.writes, (Strings{"AA\r", "RZ\r", "AA\r", "AS\r", "AG\r", "AH\r"}));
    const std::string info = "info:Instr. Type: Rain gauge TBR4470\n\nSerial Num.: 12345678\n\n"
                             "Firmware Ver.: V1.02\n\nFirmware Date: 2006/01/14";
    EXPECT_EQ(rig.view.log, (Strings{"connecting:", "connecting:Connecting to...\r\rPort = COM2\rBaudrate = 9600",
                                     "status:Connected to COM2 9600 8,N,1", "connecting hidden", "connected", info}));
    EXPECT_EQ(rig.view.title, "Nimbrel Rain gauge TBR4470 - 12345678");
    EXPECT_EQ(rig.port.flowControl, 1);
  }
}

TEST(Connection, HangUpWhileConnectingEndsTheAttemptAndAllowsAnother) {
  SessionRig rig;
  rig.port.AddDevice("COM2", rig.instrument.Responder());
  rig.session->Connect();
  rig.sched.Advance(Millis(5)); // the port is open, the probe not written yet
  rig.port.HangUp();
  rig.Settle();
  EXPECT_FALSE(rig.session->Connected);
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.view.log.back(), "not connected");
  EXPECT_EQ(rig.prompts.Texts(), Strings{"ERROR: the instrument is no longer connected (the port was closed)."});
  EXPECT_TRUE(rig.port.writes.empty());
  rig.session->Connect();
  rig.Settle();
  EXPECT_TRUE(rig.session->Connected);
}

TEST(Connection, DisconnectHonoursTheSavePrompt) {
  SessionRig rig;
  rig.ConnectAndSettle();
  rig.instrument.overrides["RB\r"] = "";
  rig.session->QueueCommand(GET_UNIT, "");
  rig.sched.Advance(Millis(600)); // sent, awaiting its reply
  ASSERT_NE(rig.session->CurrentCommand, nullptr);

  rig.view.savePrompt = -1;
  EXPECT_FALSE(rig.session->Disconnect());
  EXPECT_TRUE(rig.session->Connected);
  EXPECT_TRUE(rig.port.IsOpen());

  rig.view.savePrompt = 0;
  EXPECT_TRUE(rig.session->Disconnect());
  EXPECT_FALSE(rig.session->Connected);
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.view.status.text, "Disconnected");
  rig.Settle();
  EXPECT_TRUE(rig.prompts.shown.empty()); // no time-out after the disconnection
}

TEST(Menu, InstrumentCommandsFollowConnectionDownloadDataAndMarkers) {
  auto enabled = [](const InstrumentMenu& m) {
    std::string out;
    const std::pair<const char*, const MenuItem*> items[] = {
        {"connect", &m.connect},  {"disconnect", &m.disconnect}, {"info", &m.instrInfo},   {"download", &m.download},
        {"setup", &m.setup},      {"partial", &m.clearPartial},  {"total", &m.clearTotal}, {"erase", &m.eraseMemory},
        {"serial", &m.setSerial}, {"port", &m.portSettings}};
    for (const auto& [name, item] : items) {
      if (item->enabled) {
        out += std::string(out.empty() ? "" : " ") + name;
      }
    }
    return out;
  };
  const FactoryMarkers none{}, eraseOnly{false, true}, production{true, false};
  struct Case {
    MenuInputs in;
    std::string enabled;
  };
  const Case cases[] = {
      {{false, false, false, none}, "connect port"},
      {{false, false, true, none}, "port"},
      {{true, false, false, none}, "disconnect info download setup partial total"},
      {{true, false, true, none}, "disconnect info setup partial total"},
      {{true, true, true, production}, ""},
      {{true, false, false, eraseOnly}, "disconnect info download setup partial total erase"},
      {{true, false, false, production}, "disconnect info download setup partial total erase serial"},
      {{false, false, false, production}, "connect port"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(enabled(MenuState(c.in)), c.enabled);
  }
  EXPECT_EQ(MenuState({true, false, false, none}).eraseMemory.text, "");
  EXPECT_EQ(MenuState({true, false, false, eraseOnly}).eraseMemory.text, "ERASE MEMORY");
  EXPECT_EQ(MenuState({true, false, false, production}).setSerial.text, "SET SERIAL NUM");

  TempDir dir;
  dir.Write("Ermem.dll", "");
  EXPECT_TRUE(FactoryMarkers::Find(dir.Path()).erase);
  EXPECT_FALSE(FactoryMarkers::Find(dir.Path()).production);
  dir.Write("Produzione.dll", "anything");
  EXPECT_TRUE(FactoryMarkers::Find(dir.Path()).production);
}

TEST(Maintenance, CountersAskFirstAndReportTheAcknowledgement) {
  const std::tuple<void (CSession::*)(), const char*, const char*, const char*> cases[] = {
      {&CSession::OnClearPartialCounter, "WARNING: Confirm clearing partial counter ?", "K0\r",
       "Partial counter clear successfully."},
      {&CSession::OnClearTotalCounter, "WARNING: Confirm clearing total counter ?", "K1\r",
       "Total counter clear successfully."},
  };
  for (const auto& [action, question, text, success] : cases) {
    for (Answer answer : {Answer::No, Answer::Yes}) {
      SessionRig rig;
      rig.ConnectAndSettle();
      const std::size_t from = rig.port.writes.size();
      rig.prompts.ExpectQuestion(question, answer);
      (rig.session.get()->*action)();
      rig.Settle();
      const bool yes = answer == Answer::Yes;
      EXPECT_EQ(rig.WritesFrom(from), yes ? Strings{text} : Strings{});
      EXPECT_EQ(rig.prompts.Texts(), yes ? (Strings{question, success}) : Strings{question});
    }
  }
}

TEST(Maintenance, FactoryCommandsNeedTheirMarkers) {
  const FactoryMarkers none{}, eraseOnly{false, true}, production{true, false};
  for (const auto& markers : {none, eraseOnly, production}) {
    SessionRig rig(SessionRig::Com2(), markers);
    rig.ConnectAndSettle();
    const std::size_t from = rig.port.writes.size();
    rig.view.serialNumber = "12345678";
    if (markers.erase || markers.production) {
      rig.prompts.ExpectQuestion("WARNING: Confirm erase instrument memory ?", Answer::Yes);
    }
    rig.session->OnEraseMemory();
    rig.Settle();
    rig.session->OnSetSerialNumber();
    rig.Settle();
    Strings expected;
    if (markers.erase || markers.production) {
      expected = {"K5\r", "K6\r"};
    }
    if (markers.production) {
      expected.emplace_back("DS12345678\r");
    }
    EXPECT_EQ(rig.WritesFrom(from), expected);
    EXPECT_TRUE(rig.prompts.AllAnswersUsed());
  }
}

TEST(Maintenance, EraseGoesOnAfterAGivenUpFirstStepAndSerialNumbersAreSentAsTyped) {
  SessionRig rig(SessionRig::Com2(), FactoryMarkers{true, false});
  rig.ConnectAndSettle();
  std::size_t from = rig.port.writes.size();
  rig.instrument.overrides["K5\r"] = "";
  rig.prompts.ExpectQuestion("WARNING: Confirm erase instrument memory ?", Answer::Yes);
  rig.session->OnEraseMemory();
  rig.Settle();
  EXPECT_EQ(rig.WritesFrom(from), (Strings{"K5\r", "K5\r", "K5\r", "K5\r", "K6\r"}));
  EXPECT_EQ(rig.prompts.Texts(), (Strings{"WARNING: Confirm erase instrument memory ?", "Command 7 : Timeout Expired",
                                          "Erase memory successfull"}));

  for (const auto& [typed, sent] : std::vector<std::pair<std::optional<std::string>, Strings>>{
           {"", {"DS\r"}}, {"123456789", {"DS12345678\r"}}, {std::nullopt, {}}}) {
    from = rig.port.writes.size();
    rig.prompts.shown.clear();
    rig.view.serialNumber = typed;
    rig.session->OnSetSerialNumber();
    rig.Settle();
    EXPECT_EQ(rig.WritesFrom(from), sent);
    EXPECT_EQ(rig.prompts.Texts(), sent.empty() ? Strings{} : Strings{"Set serial number successfully."});
  }
  EXPECT_EQ(rig.session->InstrStatus.SerialNum, "12345678"); // unchanged until the next identity read
}

} // namespace
} // namespace nimbrel::test
