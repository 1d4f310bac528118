#include "base/text.h"
#include "support/session_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;

// A connected session with the identity read; the trace and the messages start empty.
struct Connected : SessionRig {
  Connected() {
    ConnectAndSettle();
    EXPECT_TRUE(session->Connected);
    from = port.writes.size();
    std::filesystem::remove(dir / "debug.txt");
    prompts.shown.clear();
  }
  // Sends one command whose reply is `reply` and runs until it is handled.
  void Ask(int number, const std::string& text, const std::string& reply) {
    instrument.overrides[text] = reply;
    session->QueueCommand(number, "");
    Settle();
  }
  std::size_t from = 0;
};

TEST(Queue, SendsInOrderOneAtATimeAndOnePerTick) {
  Connected rig;
  rig.instrument.before["RB\r"] = {""}; // the first send of GET_UNIT goes unanswered
  rig.session->QueueCommand(GET_UNIT, "");
  rig.session->QueueCommand(GET_TIP_VALUE, "");
  rig.session->QueueCommand(GET_ALERT_MODE, "");
  rig.Settle();
  ASSERT_EQ(rig.WritesFrom(rig.from), (Strings{"RB\r", "RB\r", "RA\r", "RD\r"}));
  const auto& t = rig.port.writeTimes;
  const std::size_t f = rig.from;
  EXPECT_GE(t[f + 1] - t[f], Millis(2000)); // B waited for A's time-out and repeat
  for (std::size_t i = f + 1; i < t.size(); ++i) {
    EXPECT_GE(t[i] - t[i - 1], Millis(500)) << "two sends in one tick";
  }
}

TEST(Queue, ReadyToSendWhileAwaitingAReplySendsTheSameCommandAgain) {
  Connected rig;
  rig.instrument.before["RB\r"] = {""};
  rig.session->QueueCommand(GET_UNIT, "");
  rig.sched.Advance(Millis(600));
  ASSERT_EQ(rig.WritesFrom(rig.from), Strings{"RB\r"});
  rig.prompts.ExpectQuestion("WARNING: Confirm clearing partial counter ?", Answer::Yes);
  rig.session->OnClearPartialCounter();
  rig.sched.Advance(Millis(500));
  // The tail is still GET_UNIT: it goes again, with a fresh time-out, before the counter command.
  EXPECT_EQ(rig.WritesFrom(rig.from), (Strings{"RB\r", "RB\r"}));
  rig.Settle();
  EXPECT_EQ(rig.WritesFrom(rig.from), (Strings{"RB\r", "RB\r", "K0\r"}));
  EXPECT_EQ(rig.session->InstrStatus.Unit, 0);
}

TEST(Queue, UnansweredCommandGoesOutFourTimesThenTheNextOne) {
  struct Case {
    int number;
    const char* text;
    Millis timeout;
  };
  for (const Case c : {Case{GET_UNIT, "RB\r", Millis(2000)}, Case{ERASE_MEM_2, "K6\r", Millis(10000)}}) {
    SCOPED_TRACE(c.text);
    Connected rig;
    rig.instrument.overrides[c.text] = "";
    rig.session->QueueCommand(c.number, "");
    rig.session->QueueCommand(GET_ALERT_MODE, "");
    rig.session->ReadyToSend = true;
    rig.Settle();
    ASSERT_EQ(rig.WritesFrom(rig.from), (Strings{c.text, c.text, c.text, c.text, "RD\r"}));
    const auto& t = rig.port.writeTimes;
    for (std::size_t i = rig.from + 1; i < rig.from + 4; ++i) {
      // The time-out, then the wait for the next tick.
      EXPECT_GE(t[i] - t[i - 1], c.timeout);
      EXPECT_LE(t[i] - t[i - 1], c.timeout + Millis(500));
    }
    EXPECT_EQ(rig.prompts.Texts(), Strings{Printf("Command %d : Timeout Expired", c.number)});
  }
}

TEST(Queue, RefusalsWrongStateAndTimeoutsShareOneRetryCount) {
  struct Case {
    Strings replies; // given before the normal answer "7"
    std::size_t sends;
    std::string warning; // empty: the command completed
  };
  const std::string notRecognized = "WARNING : Command not recognized.\n\n(Command = 17 ,param = )";
  const std::string wrongState = "WARNING : WRONG INSTR STATUS Received.\n\n(Command = 17 ,param = )";
  const Case cases[] = {
      {{"#\r\n"}, 2, ""},
      {{"?\r\n", "#\r\n", "?\r\n"}, 4, ""},
      {{"?\r\n", "#\r\n", "?\r\n", "#\r\n"}, 4, wrongState},
      {{"#\r\n", "#\r\n", "#\r\n", "?\r\n"}, 4, notRecognized},
      {{"", "?\r\n", "", "#\r\n"}, 4, wrongState},
      {{"?\r\n", "?\r\n", "?\r\n", ""}, 4, "Command 17 : Timeout Expired"},
  };
  for (const auto& c : cases) {
    Connected rig;
    rig.instrument.before["RB\r"] = c.replies;
    rig.instrument.unit = "7\r\n";
    rig.session->QueueCommand(GET_UNIT, "");
    rig.session->QueueCommand(GET_ALERT_MODE, "");
    rig.Settle();
    Strings expected(c.sends, "RB\r");
    expected.emplace_back("RD\r");
    EXPECT_EQ(rig.WritesFrom(rig.from), expected) << c.replies.size();
    EXPECT_EQ(rig.prompts.Texts(), c.warning.empty() ? Strings{} : Strings{c.warning});
    EXPECT_EQ(rig.session->InstrStatus.Unit, c.warning.empty() ? 7 : 0);
    EXPECT_EQ(rig.session->RetryCount, 0);
  }
}

TEST(Queue, TimeoutDuringSetupReadAbortsItBeforeTheTimeoutMessage) {
  Connected rig;
  rig.instrument.overrides["RB\r"] = "";
  rig.session->ProcedureState = 3;
  rig.session->QueueCommand(GET_UNIT, "");
  rig.session->QueueCommand(GET_ALERT_MODE, "");
  rig.Settle();
  EXPECT_EQ(rig.prompts.Texts(), (Strings{"Comunication error: setup abort", "Command 17 : Timeout Expired"}));
  EXPECT_EQ(rig.WritesFrom(rig.from), Strings(4, "RB\r")); // GET_ALERT_MODE was dropped with the setup read
  EXPECT_EQ(rig.view.log.back(), "wait destroyed");
}

TEST(Queue, TraceHoldsSendsReceivesRefusalsAndAcknowledgementsByteForByte) {
  Connected rig;
  rig.instrument.before["RB\r"] = {"?\r\n"};
  rig.instrument.unit = "1\r\n";
  rig.session->QueueCommand(GET_UNIT, "");
  rig.session->QueueCommand(GET_WRITE_MEM_POINTER_R, "");
  rig.session->QueueCommand(SET_MEM_POINTER_T, "1460");
  rig.Settle();
  EXPECT_EQ(rig.Trace(), "SendString: RB\r\r\r\n"
                         "OnSerialMsg:RECEIVE ?\r\r\n\r\r\n"
                         "Command 17 (par )nack receive\r\r\n"
                         "SendString: RB\r\r\r\n"
                         "OnSerialMsg:RECEIVE 1\r\r\n\r\r\n"
                         "SendString: RM\r\r\r\n"
                         "OnSerialMsg:RECEIVE 5\r\r\n\r\r\n"
                         "Command GET_WRITE_MEM_POINTER_R ack receive 5\r\r\n"
                         "SendString: WW1460\r\r\r\n"
                         "OnSerialMsg:RECEIVE OK\r\r\n\r\r\n"
                         "Command SET_MEM_POINTER_T ack receive\r\r\n");
}

TEST(Queue, EmptyGarbageOverlongAndUnsolicitedLinesAreHandled) {
  struct Case {
    std::string reply;
    int unit;
    bool warned;
  };
  const Case cases[] = {
      {"\r\n", 0, true},     {std::string("\0\0\r\n", 4), 0, true}, {"\n", 0, true},
      {"xyz\r\n", 0, false}, {"  7 apples\r\n", 7, false},          {std::string("\0003\r\n", 4), 0, false},
  };
  for (const auto& c : cases) {
    Connected rig;
    rig.session->InstrStatus.Unit = -5;
    rig.Ask(GET_UNIT, "RB\r", c.reply);
    EXPECT_EQ(rig.prompts.Texts(), c.warned ? Strings{"WARNING: Empty message received"} : Strings{});
    EXPECT_EQ(rig.session->InstrStatus.Unit, c.warned ? -5 : c.unit);
    EXPECT_TRUE(rig.session->Idle()); // the command is done either way
  }

  Connected rig;
  rig.port.Arrive(std::string(600, 'A'));
  rig.Settle();
  EXPECT_EQ(rig.prompts.Texts(), Strings{"ERROR:Serial Buffer full"});
  rig.prompts.shown.clear();
  rig.port.EmptyReceiveBuffer(); // as the next send would
  rig.port.Arrive("HELLO\r\n");  // nobody asked
  rig.Settle();
  EXPECT_TRUE(rig.prompts.shown.empty());
  EXPECT_NE(rig.Trace().find("OnSerialMsg:RECEIVE HELLO\r\r\n\r\r\n"), std::string::npos);
  EXPECT_EQ(rig.session->OnSerialMsg(), -1);
}

TEST(Replies, PendingDumpOpenTakesTheNextMessageAndNothingElse) {
  Connected rig;
  rig.instrument.overrides["RB\r"] = "";
  rig.session->QueueCommand(GET_UNIT, "");
  rig.sched.Advance(Millis(600));
  ASSERT_NE(rig.session->CurrentCommand, nullptr);
  rig.session->CurrentDumpPath = rig.dir / "DumpFile.rlg";
  rig.session->OpenDumpPending = true;
  rig.session->LastReply = "1\r\n";
  EXPECT_EQ(rig.session->OnSerialMsg(), 0);
  EXPECT_EQ(rig.view.opened, std::vector<std::filesystem::path>{rig.dir / "DumpFile.rlg"});
  ASSERT_NE(rig.session->CurrentCommand, nullptr); // the command still waits for its own reply
  EXPECT_EQ(rig.session->Queue.size(), 1U);
  EXPECT_EQ(rig.Trace().find("RECEIVE 1"), std::string::npos);
}

TEST(Replies, AcknowledgementsFillTheInstrumentRecord) {
  Connected rig;
  rig.session->ProcedureState = -1;
  auto& s = rig.session->InstrStatus;
  rig.Ask(GET_SERIAL_NUM, "AS\r", "Serial Number : 0012 3456 \r\n");
  EXPECT_EQ(s.SerialNum, "0012 3456");
  rig.Ask(GET_SERIAL_NUM, "AS\r", "a:b:c\r\n");
  EXPECT_EQ(s.SerialNum, "b:c");
  rig.Ask(GET_INSTR_TYPE, "AA\r", "  TBR4470 Rain \r\n");
  EXPECT_EQ(s.InstrType, "  TBR4470 Rain");
  rig.Ask(GET_FW_DATE, "AH\r", "FWDATE  2006/01/14 \r\n");
  EXPECT_EQ(s.FwDate, "2006/01/14");
  rig.Ask(GET_TIP_VALUE, "RA\r", " 0.25mm\r\n");
  EXPECT_FLOAT_EQ(s.TipValue, 0.25F);
  rig.Ask(GET_ALERT_MODE, "RD\r", "-1\r\n");
  EXPECT_EQ(s.AlertMode, -1);
  rig.Ask(GET_DATE_TIME, "FA\r", "2026/13/05 20:53:27\r\n");
  EXPECT_EQ(s.DateTime, (InstrDateTime{0.0, true}));
  // Outside the connection the firmware date opens no dialog.
  EXPECT_EQ(std::count_if(rig.view.log.begin(), rig.view.log.end(),
                          [](const std::string& e) { return e.rfind("info:", 0) == 0; }),
            1); // the connection's own

  struct Flags {
    const char* reply;
    bool startRain, startTemp, rain, temp;
  };
  const Flags flags[] = {
      {"00\r\n", true, true, false, false},
      {"02\r\n", false, false, false, true},
      {" 03 \r\n", false, false, true, true},
      {"04\r\n", true, false, true, false},
  };
  for (const auto& f : flags) {
    rig.session->RainOverrun = f.startRain;
    rig.session->TempOverrun = f.startTemp;
    rig.Ask(GET_FLAGS, "RQ\r", f.reply);
    EXPECT_EQ(rig.session->RainOverrun, f.rain) << f.reply;
    EXPECT_EQ(rig.session->TempOverrun, f.temp) << f.reply;
  }
  EXPECT_TRUE(rig.prompts.shown.empty());
}

} // namespace
} // namespace nimbrel::test
