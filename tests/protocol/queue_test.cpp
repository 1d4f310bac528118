#include "base/text.h"
#include "protocol/command_queue.h"
#include "support/session_rig.h"

#include <gtest/gtest.h>

namespace nimbrel::test {
namespace {

using Strings = std::vector<std::string>;

// What the procedures were told, in order.
class Handler final : public IReplyHandler {
public:
  void OnAcknowledged(const CCommand& c, const std::string& reply) override {
    log.push_back(Printf("ack %d %s", c.GetCommandNumber(), Trimmed(reply).c_str()));
  }
  bool TakeRefusal(const CCommand& c) override { return c.GetCommandNumber() == takeRefusalsOf; }
  void OnGivenUp(const CCommand& /*c*/, GiveUp /*why*/, const std::string& message) override {
    log.push_back("given up: " + message);
  }
  void OnWriteFailed(const Status& s) override { log.push_back("write failed: " + s.message()); }
  Strings log;
  int takeRefusalsOf = -1;
};

// The queue alone on an in-memory line, in virtual time. Each command text gets the scripted
// replies first ("" for silence), then "7".
struct QueueRig {
  QueueRig() {
    port.AddDevice("COM1", Scripted(script, [](const std::string& /*written*/) {
                     sim::Output out;
                     out.pieces.push_back({0, "7\r\n"});
                     return out;
                   }));
    EXPECT_TRUE(port.Open("COM1", [this](const LinkEvent& e) { (void)queue.OnReply(e.line); }).ok());
    queue.SetHandler(&handler);
    queue.StartSendTick();
  }
  void Queue(std::initializer_list<int> numbers) {
    for (int n : numbers) {
      queue.QueueCommand(n, "");
    }
    queue.SetReadyToSend();
  }
  void Settle() {
    RunVirtual(sched, [this] { return queue.Idle() && !sched.HasOneShotPending(); });
  }
  [[nodiscard]] Strings Writes() const { return WrittenTexts(port); }

  ManualScheduler sched;
  InMemoryPort port{sched};
  ScriptedPrompts prompts;
  TempDir dir;
  CTrace trace{dir.Path()};
  SessionTiming timing;
  CCommandQueue queue{port, sched, prompts, trace, timing};
  Handler handler;
  Script script;
};

TEST(Queue, SendsInOrderOnePerTickAndGivesUpAfterFourSends) {
  struct Case {
    int number;
    const char* text;
    Millis timeout;
  };
  for (const Case c : {Case{GET_UNIT, "RB", Millis(2000)}, Case{ERASE_MEM_2, "K6", Millis(10000)}}) {
    SCOPED_TRACE(c.text);
    QueueRig rig;
    rig.script[std::string(c.text) + "\r"] = {"", "", "", ""};
    rig.Queue({c.number, GET_ALERT_MODE, GET_TIP_VALUE});
    rig.Settle();
    ASSERT_EQ(rig.Writes(), (Strings{c.text, c.text, c.text, c.text, "RD", "RA"}));
    const auto& t = rig.port.writeTimes;
    for (std::size_t i = 1; i < t.size(); ++i) {
      EXPECT_GE(t[i] - t[i - 1], Millis(500)) << "two sends in one tick";
      if (i < 4) { // the time-out, then the wait for the next tick
        EXPECT_GE(t[i] - t[i - 1], c.timeout);
        EXPECT_LE(t[i] - t[i - 1], c.timeout + Millis(500));
      }
    }
    EXPECT_EQ(rig.handler.log, (Strings{Printf("given up: Command %d : Timeout Expired", c.number),
                                        Printf("ack %d 7", GET_ALERT_MODE), Printf("ack %d 7", GET_TIP_VALUE)}));
  }
}

TEST(Queue, RefusalsWrongStateAndTimeoutsShareOneRetryCount) {
  const std::string notRecognized = "given up: WARNING : Command not recognized.\n\n(Command = 17 ,param = )";
  const std::string wrongState = "given up: WARNING : WRONG INSTR STATUS Received.\n\n(Command = 17 ,param = )";
  struct Case {
    std::deque<std::string> replies; // before the answer "7"
    std::size_t sends;
    std::string end;
  };
  const Case cases[] = {
      {{"\r\n"}, 1, "ack 17 "}, // a bare line end is an answer, not an empty message
      {{"?\r\n", "#\r\n", "?\r\n"}, 4, "ack 17 7"},
      {{"?\r\n", "#\r\n", "?\r\n", "#\r\n"}, 4, wrongState},
      {{"#\r\n", "#\r\n", "#\r\n", "?\r\n"}, 4, notRecognized},
      {{"?\r\n", "?\r\n", "?\r\n", ""}, 4, "given up: Command 17 : Timeout Expired"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.replies.size());
    QueueRig rig;
    rig.script["RB\r"] = c.replies;
    rig.Queue({GET_UNIT, GET_ALERT_MODE});
    rig.Settle();
    Strings expected(c.sends, "RB");
    expected.emplace_back("RD");
    EXPECT_EQ(rig.Writes(), expected);
    EXPECT_EQ(rig.handler.log, (Strings{c.end, "ack 23 7"}));
    EXPECT_EQ(rig.queue.RetryCount(), 0);
  }

  // A refusal a procedure takes at once is not repeated.
  QueueRig rig;
  rig.handler.takeRefusalsOf = GET_UNIT;
  rig.script["RB\r"] = {"?\r\n"};
  rig.Queue({GET_UNIT});
  rig.sched.Advance(Millis(3000));
  EXPECT_EQ(rig.Writes(), Strings{"RB"});
  EXPECT_TRUE(rig.handler.log.empty());
}

TEST(Queue, ReadyToSendWhileAwaitingAReplySendsTheSameCommandAgain) {
  QueueRig rig;
  rig.script["RB\r"] = {""};
  rig.Queue({GET_UNIT});
  rig.sched.Advance(Millis(600));
  ASSERT_EQ(rig.Writes(), Strings{"RB"});
  rig.queue.QueueCommand(CLEAR_PARTIAL_COUNTER, "");
  rig.queue.SetReadyToSend();
  rig.sched.Advance(Millis(500));
  // The tail is still GET_UNIT: it goes again, with a fresh time-out, before the counter command.
  EXPECT_EQ(rig.Writes(), (Strings{"RB", "RB"}));
  rig.Settle();
  EXPECT_EQ(rig.Writes(), (Strings{"RB", "RB", "K0"}));
}

TEST(Queue, TraceHoldsSendsReceivesAndRefusalsByteForByte) {
  QueueRig rig;
  rig.script["RB\r"] = {"?\r\n"};
  rig.queue.QueueCommand(GET_UNIT, "");
  rig.queue.QueueCommand(SET_MEM_POINTER_T, "1460");
  rig.queue.SetReadyToSend();
  rig.Settle();
  rig.port.Arrive("HELLO\r\n"); // nobody asked
  rig.port.SetReceiveEnabled(true);
  rig.port.Arrive("\n");
  rig.Settle();
  EXPECT_EQ(rig.dir.Read("debug.txt"), "SendString: RB\r\r\r\n"
                                       "OnSerialMsg:RECEIVE ?\r\r\n\r\r\n"
                                       "Command 17 (par )nack receive\r\r\n"
                                       "SendString: RB\r\r\r\n"
                                       "OnSerialMsg:RECEIVE 7\r\r\n\r\r\n"
                                       "SendString: WW1460\r\r\r\n"
                                       "OnSerialMsg:RECEIVE 7\r\r\n\r\r\n"
                                       "OnSerialMsg:RECEIVE HELLO\r\r\n\r\r\n"
                                       "OnSerialMsg:RECEIVE \r\n\r\r\n");
  EXPECT_TRUE(rig.prompts.shown.empty()); // an unsolicited line is only traced
}

TEST(Queue, AWriteThatFailsIsReportedAtOnceNotAsFourTimeouts) {
  QueueRig rig;
  rig.port.failWrites = Status(StatusCode::Io, "cannot write to COM1: Input/output error");
  rig.Queue({GET_UNIT});
  rig.sched.Advance(Millis(600));
  EXPECT_EQ(rig.handler.log, Strings{"write failed: cannot write to COM1: Input/output error"});
  EXPECT_NE(rig.dir.Read("debug.txt").find("SendString failed: cannot write to COM1: Input/output error"),
            std::string::npos);
  rig.sched.Advance(Millis(10000));
  EXPECT_EQ(rig.handler.log.size(), 1U) << "the reply time-out must not run after a failed write";
}

} // namespace
} // namespace nimbrel::test
