#pragma once

#include "base/prompts.h"
#include "base/scheduler.h"
#include "base/status.h"
#include "link/session_port.h"
#include "protocol/command.h"
#include "protocol/timing.h"
#include "protocol/trace.h"

#include <list>
#include <memory>
#include <string>

namespace nimbrel {

// How a reply line is taken, by its first character.
enum class ReplyClass { Refusal, WrongState, Acknowledgement };
ReplyClass ClassifyReply(const std::string& line);

// Why a command was given up after its repeats.
enum class GiveUp { TimedOut, Refused, WrongState };

// The procedures' side of the queue: what the replies mean and what to do when a command cannot
// be had. Implemented by the instrument session, which routes each to the procedure it belongs to.
class IReplyHandler {
public:
  IReplyHandler() = default;
  IReplyHandler(const IReplyHandler&) = delete;
  IReplyHandler& operator=(const IReplyHandler&) = delete;
  virtual ~IReplyHandler() = default;

  // An acknowledgement; the command has left the queue, the queue finishes it afterwards.
  virtual void OnAcknowledged(const CCommand& command, const std::string& reply) = 0;
  // A "?" that a procedure takes at once instead of repeating the command (a temperature page
  // the instrument does not hold). False: the repeats apply.
  virtual bool TakeRefusal(const CCommand& command) = 0;
  // The command is given up. `message` is the text the user must see ("Command %d : Timeout
  // Expired", ...); the handler shows it in the order its procedure needs and ends what cannot go on.
  virtual void OnGivenUp(const CCommand& command, GiveUp why, const std::string& message) = 0;
  // A command could not be written: the line is gone.
  virtual void OnWriteFailed(const Status& status) = 0;
};

// The command queue of the main window: commands wait in order, the send tick (500 ms) sends the
// oldest one when the previous one is finished, a reply time-out follows every send, and one retry
// policy covers time-outs, refusals and wrong-state replies alike: a command goes out at most four
// times. Runs on the session's thread.
class CCommandQueue {
public:
  CCommandQueue(ISessionPort& port, IScheduler& scheduler, IPrompts& prompts, const CTrace& trace,
                const SessionTiming& timing);
  CCommandQueue(const CCommandQueue&) = delete;
  CCommandQueue& operator=(const CCommandQueue&) = delete;
  ~CCommandQueue();

  void SetHandler(IReplyHandler* handler) { handler_ = handler; }

  // Adds a command behind the others; "Syntax message incorrect" when the number is not a command.
  void QueueCommand(int number, const std::string& parameter);
  // The next tick may send (the procedures that queue a burst set it).
  void SetReadyToSend() { readyToSend_ = true; }
  // The send tick, started by the first connection and never stopped.
  void StartSendTick();
  // Deletes every queued command and forgets the current one.
  void Clear();
  // The current command leaves the queue (a page is complete, a page request is dropped).
  void RemoveCurrent();
  // The common ending of a handled command.
  void Finish();
  // The repeats start over (the procedure that used them is gone).
  void ResetRetries() { retryCount_ = 0; }
  // A complete reply line from the listener. -1 when no command awaited it.
  int OnReply(const std::string& line);
  // A page line arrived: only the first line of a page is supervised.
  void StopReplyTimer() { replyTimer_.Stop(); }

  [[nodiscard]] const CCommand* Current() const { return current_; }
  [[nodiscard]] bool Empty() const { return queue_.empty(); }
  [[nodiscard]] std::size_t Size() const { return queue_.size(); }
  [[nodiscard]] bool ReadyToSend() const { return readyToSend_; }
  [[nodiscard]] int RetryCount() const { return retryCount_; }
  // Nothing queued and nothing awaited.
  [[nodiscard]] bool Idle() const { return queue_.empty() && current_ == nullptr; }

private:
  void OnSendTick();
  void SendString(const std::string& text);
  void OnReplyTimeout();
  // One more repeat of the current command if it has repeats left.
  bool Retry();

  ISessionPort& port_;
  IPrompts& prompts_;
  const CTrace& trace_;
  const SessionTiming& timing_;
  IReplyHandler* handler_ = nullptr;
  std::list<std::unique_ptr<CCommand>> queue_; // new commands at the front, the tail is sent
  CCommand* current_ = nullptr;                // the tail entry whose reply is awaited
  bool readyToSend_ = false;
  int retryCount_ = 0;
  std::string lastReply_;
  CTimer tick_;
  CTimer replyTimer_;
};

} // namespace nimbrel
