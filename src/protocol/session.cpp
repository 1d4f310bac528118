#include "protocol/session.h"

#include "base/text.h"

namespace nimbrel {

int NextRainPage(int page) {
  return page + 1 > kRainLastPage ? kRainFirstPage : page + 1;
}
int NextTempPage(int page) {
  return page + 1 > kTempLastPage ? kTempFirstPage : page + 1;
}

CSession::CSession(SessionDeps deps) : Settings(deps.settings), Markers(deps.markers), deps_(std::move(deps)) {}

CSession::~CSession() {
  CancelSteps();
  for (auto* timer : {&tickTimer_, &replyTimer_, &progressTimer_}) {
    if (*timer) {
      deps_.scheduler.Stop(**timer);
    }
  }
  if (deps_.port.IsOpen()) {
    deps_.port.Close();
  }
}

void CSession::Later(Millis delay, std::function<void()> fn) {
  auto id = std::make_shared<IScheduler::TimerId>(0);
  *id = deps_.scheduler.After(delay, [this, id, fn = std::move(fn)] {
    steps_.erase(*id);
    fn();
  });
  steps_.insert(*id);
}

void CSession::CancelSteps() {
  for (auto id : steps_) {
    deps_.scheduler.Stop(id);
  }
  steps_.clear();
}

bool CSession::Idle() const {
  return Queue.empty() && CurrentCommand == nullptr && steps_.empty() && !connecting_;
}

void CSession::Trace(const std::string& line) const {
  // A trace line that cannot be written is lost without a word: the trace never disturbs the user.
  (void)WriteTextMode(TracePath(), line);
}

// ---------------------------------------------------------------------------------------------
// The queue

void CSession::QueueCommand(int number, const std::string& parameter) {
  auto command = std::make_unique<CCommand>(number, parameter);
  if (!command->IsValid()) {
    Message("Syntax message incorrect", Icon::Warning);
    return;
  }
  Queue.push_front(std::move(command));
}

void CSession::OnWaitDialogCancel() {
  StopReplyTimer();
  ClearQueue();
}

void CSession::ClearQueue() {
  CurrentCommand = nullptr;
  Queue.clear();
}

void CSession::RemoveCurrent() {
  if (CurrentCommand != nullptr && !Queue.empty() && Queue.back().get() == CurrentCommand) {
    Queue.pop_back();
  }
  CurrentCommand = nullptr;
}

void CSession::SendString(const std::string& text) {
  ReadyToSend = false;
  deps_.port.Purge();
  deps_.port.EmptyReceiveBuffer();
  LastReply.clear();
  // Reception is on before the text goes out: a fast instrument can answer while the trace line is
  // still being written, and the listener only looks at bytes that arrive while it may take them.
  deps_.port.Shared().ReceiveEnabled.store(true);
  deps_.port.WriteString(text);
  Trace(Printf("SendString: %s\r\n", text.c_str()));
}

void CSession::StartSendTick() {
  if (!tickTimer_) {
    tickTimer_ = deps_.scheduler.Start(deps_.timing.sendTick, true, [this] { OnSendTick(); });
  }
}

void CSession::OnSendTick() {
  if (!ReadyToSend || Queue.empty()) {
    return;
  }
  CurrentCommand = Queue.back().get();
  if (CurrentCommand->GetCommandNumber() < 0) {
    return;
  }
  SendString(CurrentCommand->GetCommandString());
  StopReplyTimer();
  replyTimer_ = deps_.scheduler.After(deps_.timing.TimeoutFor(CurrentCommand->GetTimeout()), [this] {
    replyTimer_.reset();
    OnReplyTimeout();
  });
}

void CSession::StopReplyTimer() {
  if (replyTimer_) {
    deps_.scheduler.Stop(*replyTimer_);
    replyTimer_.reset();
  }
}

void CSession::OnReplyTimeout() {
  deps_.port.Shared().ReceiveEnabled.store(true);
  deps_.port.EmptyReceiveBuffer();
  deps_.port.Purge();
  if (CurrentCommand == nullptr) {
    ReadyToSend = true;
    return;
  }
  if (RetryCount < 3) {
    ++RetryCount;
    ReadyToSend = true;
    return;
  }
  const int number = CurrentCommand->GetCommandNumber();
  const std::string message = Printf("Command %d : Timeout Expired", number);
  RemoveCurrent();
  RetryCount = 0;
  LastReply.clear();
  if (ProcedureState == 3) {
    Message("Comunication error: setup abort", Icon::Warning);
    deps_.view.DestroyWaitDialog();
    ClearQueue();
    ProcedureState = -1;
  }
  ReadyToSend = true;
  const bool downloading = Downloading();
  if (downloading) {
    // Ended before the message box: a late page line must not continue the download under it.
    StopProgressTimer();
    deps_.port.Shared().Downloading.store(false);
  }
  Message(message, Icon::None);
  if (downloading) {
    Message("Download Interrupted", Icon::None);
    deps_.view.HideDownloadStatus();
    deps_.view.DestroyDownloadStatus();
    EndDownload(DownloadEnd::Interrupted);
  } else if (ProcedureState == 1 && number == GET_FLAGS) {
    // No decision can be taken: the status window waits for "Stop Download".
    EndDownload(DownloadEnd::Stalled);
  }
}

void CSession::Finish() {
  LastReply.clear();
  deps_.port.Shared().ReceiveEnabled.store(true);
  RemoveCurrent();
  RetryCount = 0;
  ReadyToSend = true;
}

// ---------------------------------------------------------------------------------------------
// Replies

void CSession::OnLinkEvent(const LinkEvent& event) {
  switch (event.kind) {
  case LinkEvent::Kind::Reply:
    LastReply = event.line;
    OnSerialMsg();
    break;
  case LinkEvent::Kind::PageLine: {
    if (!Downloading()) {
      return; // a line still on its way when the download was stopped
    }
    StopReplyTimer();
    const bool temperature = DumpPhase() == 1;
    const int result = temperature ? OnTempPageLine(event.line) : OnRainPageLine(event.line);
    if (temperature && result == 0) {
      // The download is over: the next port message opens the file, as the listener would post it.
      OpenDumpPending = true;
      Later(Millis(0), [this] {
        if (OpenDumpPending) {
          OnSerialMsg();
        }
      });
    }
    break;
  }
  case LinkEvent::Kind::Overflow:
    Message("ERROR:Serial Buffer full", Icon::Warning);
    break;
  case LinkEvent::Kind::HangUp: {
    const bool downloading = Downloading();
    const bool wasConnecting = connecting_;
    connecting_ = false;
    StopReplyTimer();
    CancelSteps();
    StopProgressTimer();
    deps_.port.Shared().Downloading.store(false);
    deps_.port.Shared().ReceiveEnabled.store(false);
    ClearQueue();
    RetryCount = 0;
    ReadyToSend = true;
    if (deps_.port.IsOpen()) {
      deps_.port.Close();
    }
    Connected = false;
    SetStatus("Disconnected", kColourYellow);
    Message("ERROR: the instrument is no longer connected (the port was closed).", Icon::Error);
    if (wasConnecting) {
      deps_.view.HideConnecting();
      deps_.view.ConnectFinished(false);
    }
    if (downloading) {
      Message("Download Interrupted", Icon::None);
      deps_.view.HideDownloadStatus();
      deps_.view.DestroyDownloadStatus();
      EndDownload(DownloadEnd::Interrupted);
    }
    break;
  }
  }
}

int CSession::OnSerialMsg() {
  if (OpenDumpPending) {
    OpenDumpPending = false;
    OpenDumpFile();
    return 0;
  }
  Trace(Printf("OnSerialMsg:RECEIVE %s\r\n", LastReply.c_str()));
  if (CurrentCommand == nullptr) {
    return -1;
  }
  StopReplyTimer();
  if (LastReply.empty() || LastReply.find_first_not_of(std::string("\0\r\n", 3)) == std::string::npos) {
    // A bare line end (or NULs) carries no answer at all.
    Message("WARNING: Empty message received", Icon::None);
    Finish();
    return 0;
  }
  CCommand& command = *CurrentCommand;
  if (LastReply[0] == '?') {
    Refused(command);
  } else if (LastReply[0] == '#') {
    WrongState(command);
  } else {
    const int number = command.GetCommandNumber();
    RemoveCurrent(); // the entry leaves the queue before its action runs
    Acknowledge(number);
    Finish();
  }
  return 0;
}

void CSession::Refused(CCommand& command) {
  const int number = command.GetCommandNumber();
  const std::string& parameter = command.GetParameter(); // used before the command goes
  Trace(Printf("Command %d (par %s)nack receive\r\n", number, parameter.c_str()));
  if (number == DUMP_PAGE_T) {
    SkipTempPage();
    return;
  }
  if (RetryCount < 3) {
    ++RetryCount;
    ReadyToSend = true;
    return;
  }
  RetryCount = 0;
  Message(Printf("WARNING : Command not recognized.\n\n(Command = %d ,param = %s)", number, parameter.c_str()),
          Icon::None);
  if (number == DUMP_PAGE_R) {
    RemoveCurrent();
    LastReply.clear();
    deps_.port.Shared().ReceiveEnabled.store(true);
    ReadyToSend = true;
    PageDone();
    RainPhaseEnd();
    return;
  }
  deps_.view.DestroyWaitDialog();
  Finish();
}

void CSession::WrongState(CCommand& command) {
  if (RetryCount < 3) {
    ++RetryCount;
    ReadyToSend = true;
    return;
  }
  RetryCount = 0;
  Message(Printf("WARNING : WRONG INSTR STATUS Received.\n\n(Command = %d ,param = %s)", command.GetCommandNumber(),
                 command.GetParameter().c_str()),
          Icon::None);
  Finish();
}

void CSession::Acknowledge(int number) {
  const std::string trimmed = Trimmed(LastReply);
  auto pointer = [this, &trimmed](int& field, const char* name) {
    field = LeadingInt(trimmed);
    Trace(Printf("Command %s ack receive %d\r\n", name, field));
  };
  switch (number) {
  case GET_INSTR_TYPE:
    InstrStatus.InstrType = TrimmedRight(LastReply);
    break;
  case GET_SERIAL_NUM: {
    const auto colon = LastReply.find(':');
    InstrStatus.SerialNum = Trimmed(colon == std::string::npos ? LastReply : LastReply.substr(colon + 1));
    break;
  }
  case SET_SERIAL_NUM:
    Message("Set serial number successfully.", Icon::Information);
    break;
  case GET_FW_VERSION:
    InstrStatus.FwVersion = TrimmedRight(LastReply);
    break;
  case GET_FW_DATE:
    InstrStatus.FwDate = LastReply.size() > 7 ? Trimmed(LastReply.substr(7)) : std::string();
    if (ProcedureState == 0) {
      OnInstrInfo();
    }
    break;
  case GET_DATE_TIME:
    InstrStatus.DateTime = ParseInstrDateTime(LastReply);
    break;
  case ERASE_MEM_2:
    Message("Erase memory successfull", Icon::Information);
    break;
  case GET_FLAGS:
    if (trimmed == "00") {
      RainOverrun = TempOverrun = false;
    } else if (trimmed == "01") {
      RainOverrun = true;
    } else if (trimmed == "02") {
      TempOverrun = true;
    } else if (trimmed == "03") {
      RainOverrun = TempOverrun = true;
    }
    Trace(Printf("Command GET_FLAGS ack receive %s\r\n", trimmed.c_str()));
    if (ProcedureState == 1) {
      DownloadDecide();
    }
    break;
  case GET_READ_MEM_POINTER_R:
    pointer(ReadPointerR, "GET_READ_MEM_POINTER_R");
    break;
  case GET_WRITE_MEM_POINTER_R:
    pointer(WritePointerR, "GET_WRITE_MEM_POINTER_R");
    break;
  case GET_HIST_MEM_POINTER_R:
    pointer(HistPointerR, "GET_HIST_MEM_POINTER_R");
    break;
  case GET_TIP_VALUE:
    InstrStatus.TipValue = static_cast<float>(LeadingNumber(trimmed));
    if (ProcedureState == 3) {
      deps_.view.DestroyWaitDialog();
      deps_.view.ShowSetupDialog();
    }
    break;
  case SET_MEM_POINTER_R:
    Message("Clear memory successfull.", Icon::Information);
    break;
  case GET_UNIT:
    InstrStatus.Unit = LeadingInt(trimmed);
    break;
  case SET_UNIT:
    deps_.view.DestroyWaitDialog();
    break;
  case CLEAR_PARTIAL_COUNTER:
    Message("Partial counter clear successfully.", Icon::Information);
    break;
  case CLEAR_TOTAL_COUNTER:
    Message("Total counter clear successfully.", Icon::Information);
    break;
  case GET_CONTACT_TYPE:
    InstrStatus.ContactType = LeadingInt(trimmed);
    break;
  case GET_ALERT_MODE:
    InstrStatus.AlertMode = LeadingInt(trimmed);
    break;
  case GET_READ_MEM_POINTER_T:
    pointer(ReadPointerT, "GET_READ_MEM_POINTER_T");
    break;
  case GET_WRITE_MEM_POINTER_T:
    pointer(WritePointerT, "GET_WRITE_MEM_POINTER_T");
    break;
  case GET_HIST_MEM_POINTER_T:
    pointer(HistPointerT, "GET_HIST_MEM_POINTER_T");
    break;
  case SET_MEM_POINTER_T:
    Trace("Command SET_MEM_POINTER_T ack receive\r\n");
    break;
  default:
    break; // acknowledgement only
  }
}

} // namespace nimbrel
