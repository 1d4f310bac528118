#include "app/instrument_session.h"

#include "base/text.h"

namespace nimbrel {

CInstrumentSession::CInstrumentSession(Deps deps)
    : deps_(std::move(deps)), trace_(deps_.programDirectory),
      queue_(deps_.port, deps_.scheduler, deps_.prompts, trace_, deps_.timing),
      connection_({deps_.port, queue_, deps_.scheduler, deps_.prompts, deps_.view, deps_.settingsStore, status_,
                   deps_.timing,
                   [this] {
                     LinkEventSink sink = [this](const LinkEvent& event) { OnLinkEvent(event); };
                     return deps_.marshal ? deps_.marshal(std::move(sink)) : sink;
                   }},
                  deps_.settings),
      maintenance_(queue_, deps_.prompts, deps_.view, deps_.markers),
      download_({deps_.port, queue_, deps_.scheduler, deps_.prompts, deps_.downloadView, trace_, status_, pointers_,
                 data_, deps_.timing, deps_.programDirectory,
                 [this](DownloadEnd how) {
                   if (procedure_ == ProcedureState::Download) {
                     SetProcedure(ProcedureState::Idle);
                   }
                   deps_.downloadView.DownloadEnded(how);
                 }}),
      setup_(status_, deps_.scheduler) {
  queue_.SetHandler(this);
}

CInstrumentSession::~CInstrumentSession() {
  queue_.SetHandler(nullptr);
  if (deps_.port.IsOpen()) {
    deps_.port.Close(); // no event reaches the session after this
  }
}

ShellMenuState CInstrumentSession::Menu() const {
  return MainWindowState(
      {Connected(), Connecting(), Downloading(), !data_.CurrentDumpPath.empty(), maintenance_.Markers()});
}

bool CInstrumentSession::Idle() const {
  return queue_.Idle() && !connection_.Connecting() && !connection_.Busy() && !download_.Busy();
}

// ---------------------------------------------------------------------------------------------
// The Instrument menu

void CInstrumentSession::Connect() {
  if (connection_.GetState() != CConnection::State::Disconnected) {
    return;
  }
  queue_.ResetRetries();
  SetProcedure(ProcedureState::Connection);
  status_.Reset();
  connection_.Connect();
}

bool CInstrumentSession::Disconnect() {
  if (deps_.view.SavePrompt() == -1) {
    return false;
  }
  queue_.StopReplyTimer();
  connection_.Disconnect();
  queue_.Clear();
  return true;
}

void CInstrumentSession::OnInstrInfo() {
  connection_.ShowInstrumentInfo();
}

void CInstrumentSession::OnDownload() {
  if (!Menu()[ShellCommand::Download].enabled) {
    return;
  }
  SetProcedure(ProcedureState::Download);
  download_.OnDownload();
}

void CInstrumentSession::OnStopDownload() {
  download_.OnStopDownload();
}

void CInstrumentSession::OnInstrumentSetup() {
  if (!Menu()[ShellCommand::Setup].enabled) {
    return;
  }
  status_.Reset();
  SetProcedure(ProcedureState::SetupRead);
  queue_.SetReadyToSend();
  for (int number : SetupReadCommands()) {
    queue_.QueueCommand(number, "");
  }
  deps_.view.ShowWaitDialog(kReceivingSetupText);
}

bool CInstrumentSession::ApplySetup() {
  const auto plan = setup_.Apply({pointers_.WritePointerR, pointers_.WritePointerT}, deps_.prompts);
  if (!plan) {
    return false;
  }
  for (const SetupCommand& command : plan->commands) {
    queue_.QueueCommand(command.number, command.parameter);
  }
  if (plan->clearsMemory) {
    queue_.SetReadyToSend();
  }
  deps_.view.ShowWaitDialog(plan->waitText);
  return true;
}

void CInstrumentSession::OnWaitDialogCancel() {
  queue_.StopReplyTimer();
  queue_.Clear();
}

// ---------------------------------------------------------------------------------------------
// The line

void CInstrumentSession::OnLinkEvent(const LinkEvent& event) {
  switch (event.kind) {
  case LinkEvent::Kind::Reply:
    // The finish of a download posts the message that opens its file; that message carries no reply.
    if (download_.TakeOpenDumpPending()) {
      return;
    }
    (void)queue_.OnReply(event.line); // an unsolicited line is only traced
    break;
  case LinkEvent::Kind::PageLine:
    download_.OnPageLine(event.line);
    break;
  case LinkEvent::Kind::Overflow:
    deps_.prompts.Message("ERROR:Serial Buffer full", Icon::Warning);
    break;
  case LinkEvent::Kind::HangUp:
    LinkLost("ERROR: the instrument is no longer connected (the port was closed).");
    break;
  }
}

void CInstrumentSession::LinkLost(const std::string& message) {
  trace_.Append("Link lost: " + message + "\r\n");
  queue_.StopReplyTimer();
  queue_.Clear();
  queue_.ResetRetries();
  queue_.SetReadyToSend();
  if (procedure_ == ProcedureState::SetupRead) {
    deps_.view.DestroyWaitDialog();
    SetProcedure(ProcedureState::Idle);
  }
  download_.OnLinkLost([this, &message] { connection_.LinkLost(message); });
  // A disconnection asks about the downloaded data first; a link that went away asks afterwards,
  // so that they can be saved or let go (they would otherwise keep Connect and Open disabled).
  if (!data_.CurrentDumpPath.empty()) {
    (void)deps_.view.SavePrompt(); // the link is gone whatever the answer
  }
}

void CInstrumentSession::OnWriteFailed(const Status& status) {
  LinkLost("ERROR: the instrument cannot be reached: " + status.message() + "\nCheck the cable and connect again.");
}

// ---------------------------------------------------------------------------------------------
// Replies

void CInstrumentSession::OnAcknowledged(const CCommand& command, const std::string& reply) {
  const int number = command.GetCommandNumber();
  StoreReply(number, reply, status_, pointers_, trace_);
  switch (number) {
  case GET_FW_DATE:
    if (procedure_ == ProcedureState::Connection) {
      connection_.ShowInstrumentInfo();
    }
    break;
  case GET_FLAGS:
    download_.OnFlags(Trimmed(reply), procedure_ == ProcedureState::Download);
    break;
  case GET_TIP_VALUE:
    if (procedure_ == ProcedureState::SetupRead) {
      deps_.view.DestroyWaitDialog();
      deps_.view.ShowSetupDialog();
    }
    break;
  case SET_MEM_POINTER_R:
    deps_.prompts.Message("Clear memory successfull.", Icon::Information);
    download_.OnReleaseAcknowledged(number);
    break;
  case SET_MEM_POINTER_T:
    trace_.Append("Command SET_MEM_POINTER_T ack receive\r\n");
    download_.OnReleaseAcknowledged(number);
    break;
  case SET_UNIT:
    deps_.view.DestroyWaitDialog();
    break;
  default:
    (void)maintenance_.OnAcknowledged(number); // false: a command whose acknowledgement shows nothing
    break;
  }
}

bool CInstrumentSession::TakeRefusal(const CCommand& command) {
  return download_.TakeRefusal(command);
}

void CInstrumentSession::OnGivenUp(const CCommand& command, GiveUp why, const std::string& message) {
  if (why == GiveUp::TimedOut && procedure_ == ProcedureState::SetupRead) {
    deps_.prompts.Message("Comunication error: setup abort", Icon::Warning);
    deps_.view.DestroyWaitDialog();
    queue_.Clear();
    SetProcedure(ProcedureState::Idle);
  }
  if (download_.OnGivenUp(command, why, message)) {
    return;
  }
  deps_.prompts.Message(message, Icon::None);
  const int number = command.GetCommandNumber();
  maintenance_.OnGivenUp(number, message);
  download_.OnReleaseGivenUp(number);
  if (why == GiveUp::Refused) {
    deps_.view.DestroyWaitDialog();
  }
  if (procedure_ == ProcedureState::Connection &&
      (number == GET_INSTR_TYPE || number == GET_SERIAL_NUM || number == GET_FW_VERSION || number == GET_FW_DATE)) {
    // An instrument that stopped answering the identity would cost every other identity command
    // its four sends too: the identity read ends with the first command given up.
    queue_.Clear();
    SetProcedure(ProcedureState::Idle);
  }
}

} // namespace nimbrel
