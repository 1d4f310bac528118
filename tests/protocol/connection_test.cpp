#include "support/session_rig.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

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
  const std::string notResponding = "Warning : Instrument not responding.\nPlease check port settings";
  struct Case {
    const char* name;
    CPortConfig settings;
    std::map<std::string, std::string> devices; // name -> probe answer ("" silent, "sim" the instrument's)
    Strings opened;
    std::string status; // "Connected..." or a failure
    Strings messages;
    bool rewritten;     // the port found is kept in the settings
    std::uint32_t baud; // of the last Configure
  };
  // clang-format off
  const Case cases[] = {
      {"auto, configured port answers anything", Settings(4, 19200, 1), {{"COM4", "XYZ\r\n"}}, {"COM4"},
       "Connected to COM4 19200 8,N,1", {}, false, 19200},
      {"auto, COM1 silent, COM2 answers", Settings(4, 19200, 1), {{"COM1", ""}, {"COM2", "sim"}}, {"COM1", "COM2"},
       "Connected to COM2 9600 8,N,1", {}, true, 9600},
      {"auto, scan needs Rain", Settings(4, 19200, 1), {{"COM1", "XYZ\r\n"}}, {"COM1"}, "Error :connection failure",
       {notResponding}, false, 9600},
      {"auto, instrument on COM3 is not scanned", Settings(4, 9600, 1), {{"COM3", "sim"}}, {},
       "Error :connection failure", {notResponding}, false, 0},
      {"fixed port always at 9600", Settings(2, 19200, 0), {{"COM2", "sim"}}, {"COM2"},
       "Connected to COM2 9600 8,N,1", {}, false, 9600},
      {"fixed port missing: the message names the port and the reason", Settings(3, 9600, 0), {{"COM2", "sim"}}, {},
       "Error : connection failure", {"Error : fail opening COM port.\ncannot open COM3: No such file or directory"},
       false, 0},
      {"fixed port answers without Rain", Settings(2, 9600, 0), {{"COM2", "XYZ\r\n"}}, {"COM2"},
       "Error : connection failure", {"ERROR: Instrument not responding."}, false, 9600},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SessionRig rig(MakePointerState(), c.settings);
    rig.store.file = c.settings;
    rig.store.file.Settings.DataBits = 0; // a partial port.ini: the rewrite must not keep these
    rig.store.file.Settings.Flow.clear();
    for (const auto& [name, answer] : c.devices) {
      rig.port.AddDevice(name, [&rig, answer = answer](const std::string& w) {
        if (w != "AA\r" || rig.session->Connected() || answer == "sim") {
          return rig.instrument.Receive(w);
        }
        sim::Output out;
        out.pieces.push_back({0, answer});
        return answer.empty() ? sim::Output{} : out;
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
    EXPECT_EQ(rig.session->Connected(), connected);
    EXPECT_EQ(rig.port.IsOpen(), connected);
    EXPECT_EQ(rig.store.writes, c.rewritten ? 1 : 0);
    if (c.rewritten) {
      EXPECT_EQ(rig.store.file, Settings(2, 9600, 1));
    }
  }
}

TEST(Connection, ChecksTheBatteryThenReadsAndShowsTheIdentity) {
  const std::tuple<int, const char*, Icon> cases[] = {
      {1, "WARNING:Low battery detected.\nAdvise substitution.", Icon::Warning},
      {0, "WARNING:Very Low battery detected.\nUrgent substitution!", Icon::Error},
      {2, "", Icon::None},
  };
  for (const auto& [battery, warning, icon] : cases) {
    SCOPED_TRACE(battery);
    sim::Settings settings;
    settings.battery = battery;
    SessionRig rig(MakePointerState({}, settings));
    rig.ConnectAndSettle();
    EXPECT_EQ(rig.prompts.Texts(), *warning != '\0' ? Strings{warning} : Strings{});
    EXPECT_EQ(rig.prompts.shown.empty() ? Icon::None : rig.prompts.shown[0].icon, icon);
    EXPECT_EQ(rig.WritesFrom(0), (Strings{"AA", "RZ", "AA", "AS", "AG", "AH"}));
    const std::string info = "info:Instr. Type: TBR4470 Rain Gauge\n\nSerial Num.: 12345678\n\n"
                             "Firmware Ver.: V2.14\n\nFirmware Date: 2006/01/14";
    EXPECT_EQ(rig.view.log, (Strings{"connecting:", "connecting:Connecting to...\r\rPort = COM2\rBaudrate = 9600",
                                     "status:Connected to COM2 9600 8,N,1", "connecting hidden", "connected", info}));
    EXPECT_EQ(rig.view.title, "Nimbrel TBR4470 Rain Gauge - 12345678");
  }
}

TEST(Connection, HangUpAndDisconnectEndTheLinkAndAllowAnotherConnection) {
  SessionRig rig;
  rig.port.AddDevice("COM2", Scripted(rig.script, [&rig](const std::string& w) { return rig.instrument.Receive(w); }));
  rig.session->Connect();
  rig.sched.Advance(Millis(5)); // the port is open, the probe not written yet
  rig.port.HangUp();
  rig.Settle();
  EXPECT_FALSE(rig.session->Connected() || rig.port.IsOpen());
  EXPECT_EQ(rig.view.log.back(), "not connected");
  EXPECT_EQ(rig.prompts.Texts(), Strings{"ERROR: the instrument is no longer connected (the port was closed)."});
  EXPECT_TRUE(rig.port.writes.empty());
  rig.prompts.shown.clear();
  rig.session->Connect();
  rig.Settle();
  ASSERT_TRUE(rig.session->Connected());

  rig.script["RB\r"] = {""};
  rig.session->OnInstrumentSetup();
  rig.sched.Advance(Millis(600)); // a command sent, awaiting its reply
  rig.view.savePrompt = -1;
  EXPECT_FALSE(rig.session->Disconnect());
  EXPECT_TRUE(rig.session->Connected());
  EXPECT_TRUE(rig.port.IsOpen());
  rig.view.savePrompt = 0;
  EXPECT_TRUE(rig.session->Disconnect());
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.view.status.text, "Disconnected");
  rig.Settle();
  EXPECT_TRUE(rig.prompts.shown.empty()); // no time-out after the disconnection
}

TEST(Connection, SetupReadQueuesItsFifteenCommandsAndAbortsOnATimeout) {
  SessionRig rig;
  rig.ConnectAndSettle();
  const std::size_t from = rig.port.writes.size();
  rig.session->OnInstrumentSetup();
  rig.Settle();
  EXPECT_EQ(rig.WritesFrom(from),
            (Strings{"RM", "RN", "RS", "RT", "RU", "RW", "RC", "RD", "AA", "AS", "AG", "AH", "FA", "RB", "RA"}));
  EXPECT_EQ(rig.view.log.back(), "setup dialog");
  EXPECT_FLOAT_EQ(rig.session->InstrStatus().TipValue, 0.2F);

  rig.script["RD\r"] = {"", "", "", ""};
  const std::size_t again = rig.port.writes.size();
  rig.session->OnInstrumentSetup();
  rig.Settle();
  EXPECT_EQ(rig.prompts.Texts(), (Strings{"Comunication error: setup abort", "Command 23 : Timeout Expired"}));
  EXPECT_EQ(rig.WritesFrom(again), (Strings{"RM", "RN", "RS", "RT", "RU", "RW", "RC", "RD", "RD", "RD", "RD"}));
  EXPECT_EQ(rig.session->Procedure(), ProcedureState::Idle);
}

// Each maintenance command asks first where it must, needs its marker files, and reports how it
// ended; a given-up first erase step still sends the second, which the instrument refuses alone.
TEST(Maintenance, CommandsAskNeedTheirMarkersAndReportHowTheyEnded) {
  using Action = void (CInstrumentSession::*)();
  const Action partial = &CInstrumentSession::OnClearPartialCounter, erase = &CInstrumentSession::OnEraseMemory,
               serial = &CInstrumentSession::OnSetSerialNumber;
  const char* const partialQuestion = "WARNING: Confirm clearing partial counter ?";
  const char* const eraseQuestion = "WARNING: Confirm erase instrument memory ?";
  const FactoryMarkers none{}, eraseOnly{false, true}, production{true, false};
  struct Case {
    Action action;
    FactoryMarkers markers;
    std::optional<Answer> answer; // to the question, when one must be asked
    Strings writes;
    Strings texts; // every text shown, the question first
    StatusCode outcome;
    Script script = {};
  };
  // clang-format off
  const Case cases[] = {
      {partial, none, Answer::No, {}, {partialQuestion}, StatusCode::Cancelled},
      {&CInstrumentSession::OnClearTotalCounter, none, Answer::Yes, {"K1"},
       {"WARNING: Confirm clearing total counter ?", "Total counter clear successfully."}, StatusCode::Ok},
      {erase, none, {}, {}, {}, StatusCode::Cancelled},
      {erase, production, Answer::Yes, {"K5", "K5", "K5", "K5", "K6", "K6", "K6", "K6"},
       {eraseQuestion, "Command 7 : Timeout Expired", "WARNING : WRONG INSTR STATUS Received.\n\n(Command = 8 ,param = )"},
       StatusCode::Protocol, {{"K5\r", {"", "", "", ""}}}},
      {serial, eraseOnly, {}, {}, {}, StatusCode::Cancelled},
      {serial, production, {}, {"DS12345678"}, {"Set serial number successfully."}, StatusCode::Ok},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.writes.size() << " writes, texts " << c.texts.size());
    SessionRig rig(MakePointerState(), SessionRig::Com2(), c.markers);
    rig.ConnectAndSettle();
    const std::size_t from = rig.port.writes.size();
    rig.script = c.script;
    rig.view.serialNumber = "123456789";
    if (c.answer) {
      rig.prompts.ExpectQuestion(c.texts.front(), *c.answer);
    }
    (rig.session.get()->*c.action)();
    rig.Settle();
    EXPECT_EQ(rig.WritesFrom(from), c.writes);
    EXPECT_EQ(rig.prompts.Texts(), c.texts);
    EXPECT_EQ(rig.session->Maintenance().Outcome().code(), c.outcome);
    EXPECT_EQ(rig.view.serialPrompt, c.writes == Strings{"DS12345678"} ? "Inserire numero di serie" : "");
  }
}

} // namespace
} // namespace nimbrel::test
