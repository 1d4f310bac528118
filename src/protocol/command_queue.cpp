#include "protocol/command_queue.h"

#include "base/text.h"

namespace nimbrel {

namespace {
constexpr int kRepeats = 3; // after the first send
} // namespace

ReplyClass ClassifyReply(const std::string& line) {
  if (!line.empty() && line[0] == '?') {
    return ReplyClass::Refusal;
  }
  if (!line.empty() && line[0] == '#') {
    return ReplyClass::WrongState;
  }
  return ReplyClass::Acknowledgement;
}

CCommandQueue::CCommandQueue(ISessionPort& port, IScheduler& scheduler, IPrompts& prompts, const CTrace& trace,
                             const SessionTiming& timing)
    : port_(port), prompts_(prompts), trace_(trace), timing_(timing), tick_(scheduler), replyTimer_(scheduler) {}

CCommandQueue::~CCommandQueue() = default;

void CCommandQueue::QueueCommand(int number, const std::string& parameter) {
  auto command = std::make_unique<CCommand>(number, parameter);
  if (!command->IsValid()) {
    prompts_.Message("Syntax message incorrect", Icon::Warning);
    return;
  }
  queue_.push_front(std::move(command));
}

void CCommandQueue::StartSendTick() {
  if (!tick_.Running()) {
    tick_.Start(timing_.sendTick, true, [this] { OnSendTick(); });
  }
}

void CCommandQueue::Clear() {
  current_ = nullptr;
  queue_.clear();
}

void CCommandQueue::RemoveCurrent() {
  if (current_ != nullptr && !queue_.empty() && queue_.back().get() == current_) {
    queue_.pop_back();
  }
  current_ = nullptr;
}

void CCommandQueue::Finish() {
  lastReply_.clear();
  port_.SetReceiveEnabled(true);
  RemoveCurrent();
  retryCount_ = 0;
  readyToSend_ = true;
}

void CCommandQueue::SendString(const std::string& text) {
  readyToSend_ = false;
  // The purge and the buffer request drop what an earlier reply left behind; they cannot fail in a
  // way that stops the send, which reports its own failure.
  (void)port_.Purge();
  port_.EmptyReceiveBuffer();
  lastReply_.clear();
  // Reception is on before the text goes out: a fast instrument can answer while the trace line is
  // still being written, and the listener only looks at bytes that arrive while it may take them.
  port_.SetReceiveEnabled(true);
  const Status written = port_.WriteString(text);
  trace_.Append(Printf("SendString: %s\r\n", text.c_str()));
  if (!written.ok()) {
    trace_.Append(Printf("SendString failed: %s\r\n", written.message().c_str()));
    replyTimer_.Stop();
    if (handler_ != nullptr) {
      handler_->OnWriteFailed(written);
    }
  }
}

void CCommandQueue::OnSendTick() {
  if (!readyToSend_ || queue_.empty()) {
    return;
  }
  current_ = queue_.back().get();
  const int timeout = current_->GetTimeout();
  replyTimer_.Start(timing_.TimeoutFor(timeout), false, [this] { OnReplyTimeout(); });
  SendString(current_->GetCommandString());
}

bool CCommandQueue::Retry() {
  if (retryCount_ >= kRepeats) {
    retryCount_ = 0;
    return false;
  }
  ++retryCount_;
  readyToSend_ = true; // the same command, still at the tail, goes out on the next tick
  return true;
}

void CCommandQueue::OnReplyTimeout() {
  port_.SetReceiveEnabled(true);
  port_.EmptyReceiveBuffer();
  (void)port_.Purge(); // what a late reply left is dropped; a failed purge changes nothing here
  if (current_ == nullptr) {
    readyToSend_ = true;
    return;
  }
  if (Retry()) {
    return;
  }
  const CCommand given = *current_;
  RemoveCurrent();
  lastReply_.clear();
  readyToSend_ = true;
  trace_.Append(Printf("Command %d given up: no reply after %d sends\r\n", given.GetCommandNumber(), kRepeats + 1));
  if (handler_ != nullptr) {
    handler_->OnGivenUp(given, GiveUp::TimedOut, Printf("Command %d : Timeout Expired", given.GetCommandNumber()));
  }
}

int CCommandQueue::OnReply(const std::string& line) {
  lastReply_ = line;
  trace_.Append(Printf("OnSerialMsg:RECEIVE %s\r\n", lastReply_.c_str()));
  if (current_ == nullptr) {
    return -1;
  }
  replyTimer_.Stop();
  if (lastReply_.empty()) {
    // A line always carries at least its LF; a bare CR LF is an acknowledgement like any other.
    prompts_.Message("WARNING: Empty message received", Icon::None);
    Finish();
    return 0;
  }
  const CCommand command = *current_; // the procedures may remove the current command
  switch (ClassifyReply(lastReply_)) {
  case ReplyClass::Refusal:
    trace_.Append(
        Printf("Command %d (par %s)nack receive\r\n", command.GetCommandNumber(), command.GetParameter().c_str()));
    if (handler_ != nullptr && handler_->TakeRefusal(command)) {
      return 0;
    }
    if (Retry()) {
      return 0;
    }
    trace_.Append(Printf("Command %d given up: refused %d times\r\n", command.GetCommandNumber(), kRepeats + 1));
    if (handler_ != nullptr) {
      handler_->OnGivenUp(command, GiveUp::Refused,
                          Printf("WARNING : Command not recognized.\n\n(Command = %d ,param = %s)",
                                 command.GetCommandNumber(), command.GetParameter().c_str()));
    }
    Finish();
    break;
  case ReplyClass::WrongState:
    if (Retry()) {
      return 0;
    }
    trace_.Append(
        Printf("Command %d given up: wrong instrument state %d times\r\n", command.GetCommandNumber(), kRepeats + 1));
    if (handler_ != nullptr) {
      handler_->OnGivenUp(command, GiveUp::WrongState,
                          Printf("WARNING : WRONG INSTR STATUS Received.\n\n(Command = %d ,param = %s)",
                                 command.GetCommandNumber(), command.GetParameter().c_str()));
    }
    Finish();
    break;
  case ReplyClass::Acknowledgement: {
    RemoveCurrent(); // the entry leaves the queue before its action runs
    const std::string reply = lastReply_;
    if (handler_ != nullptr) {
      handler_->OnAcknowledged(command, reply);
    }
    Finish();
    break;
  }
  }
  return 0;
}

} // namespace nimbrel
