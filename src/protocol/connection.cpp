#include "protocol/session.h"
#include "base/text.h"

namespace nimbrel {

namespace {
constexpr int kFlowHardware = 1;
constexpr int kParityNone = 0;
constexpr int kOneStopBit = 0;
constexpr std::size_t kProbeBytes = 100;
} // namespace

std::string CSession::PortName() const {
  return fixedPort_ ? *fixedPort_ : Printf("%s%d", "COM", Settings.Settings.Port);
}

InstrumentMenu CSession::Menu() const {
  return MenuState({Connected, Downloading(), !CurrentDumpPath.empty(), Markers});
}

void CSession::SetStatus(const std::string& text, std::uint32_t colour) {
  deps_.view.SetLinkStatus({text, colour, colour == kColourYellow ? 0x000080U : 0xFFFF00U});
}

bool CSession::OpenPort(const std::string& name) {
  LinkEventSink sink = [this](const LinkEvent& event) { OnLinkEvent(event); };
  if (deps_.marshal) {
    sink = deps_.marshal(std::move(sink));
  }
  return deps_.port.Open(name, std::move(sink)) == 0;
}

void CSession::Connect() {
  if (connecting_ || Connected) {
    return;
  }
  connecting_ = true;
  RetryCount = 0;
  ProcedureState = 0;
  InstrStatus.Reset();
  deps_.port.Shared().Downloading.store(false);
  deps_.port.Shared().ReceiveEnabled.store(false);
  deps_.view.ShowConnecting("");
  if (fixedPort_) {
    ProbeFixed();
    return;
  }
  if (Settings.AutoDetect != 0) {
    Settings = deps_.settingsStore.Read();
    ProbeConfigured();
  } else {
    ProbeFixed();
  }
}

// Writes the probe after the port has settled and hands what came back within the wait to `answered`.
void CSession::Probe(const std::function<void(const std::string&)>& answered) {
  Later(deps_.timing.portSettle, [this, answered] {
    deps_.port.WriteString(kProbeText);
    Later(deps_.timing.probeWait, [this, answered] {
      std::string reply;
      deps_.port.Read(reply, kProbeBytes);
      answered(reply);
    });
  });
}

void CSession::ProbeConfigured() {
  const std::string name = PortName();
  if (!OpenPort(name)) {
    ScanPort(1);
    return;
  }
  deps_.port.Configure(static_cast<std::uint32_t>(Settings.Settings.BaudRate), 8, kParityNone, kOneStopBit);
  deps_.port.SetFlowControl(kFlowHardware);
  deps_.view.ShowConnecting(
      Printf("Connecting to...\r\rPort = %s\rBaudrate = %d", name.c_str(), Settings.Settings.BaudRate));
  Probe([this](const std::string& reply) {
    // On the configured port any answer will do.
    if (!reply.empty()) {
      Found();
      return;
    }
    deps_.port.Purge();
    deps_.port.Close();
    ScanPort(1);
  });
}

void CSession::ScanPort(int n) {
  if (n > 2) {
    ConnectFailed("Warning : Instrument not responding.\nPlease check port settings", Icon::Warning,
                  "Error :connection failure");
    return;
  }
  const std::string name = Printf("%s%d", "COM", n);
  if (!OpenPort(name)) {
    ScanPort(n + 1);
    return;
  }
  Settings.Settings.Port = n;
  Settings.Settings.BaudRate = 9600;
  deps_.view.ShowConnecting(Printf("Connecting to...\r\rPort = %s\rBaudrate = %d", name.c_str(), 9600));
  deps_.port.SetFlowControl(kFlowHardware);
  deps_.port.Configure(9600, 8, kParityNone, kOneStopBit);
  Probe([this, n](const std::string& reply) {
    if (!reply.empty() && reply.find("Rain") != std::string::npos) {
      deps_.settingsStore.Write(Settings);
      Found();
      return;
    }
    deps_.port.Close();
    ScanPort(n + 1);
  });
}

void CSession::ProbeFixed() {
  const std::string name = PortName();
  if (!OpenPort(name)) {
    Message("Error : fail opening COM port.", Icon::Error);
    if (deps_.port.IsOpen()) {
      deps_.port.Close();
    }
    deps_.view.HideConnecting();
    Connected = false;
    connecting_ = false;
    SetStatus("Error : connection failure", kColourRed);
    deps_.view.ConnectFinished(false);
    return;
  }
  Settings.Settings.BaudRate = 9600; // whatever the file said
  deps_.port.Configure(9600, 8, kParityNone, kOneStopBit);
  deps_.port.SetFlowControl(kFlowHardware);
  Later(deps_.timing.portSettle, [this, name] {
    deps_.view.ShowConnecting(Printf("Connecting to...\r\rPort = %s\rBaudrate = %d", name.c_str(), 9600));
    deps_.port.WriteString(kProbeText);
    Later(deps_.timing.probeWait, [this] {
      std::string reply;
      deps_.port.Read(reply, kProbeBytes);
      if (reply.find("Rain") != std::string::npos) {
        Found();
        return;
      }
      deps_.port.Purge();
      deps_.port.Close();
      ConnectFailed("ERROR: Instrument not responding.", Icon::Error, "Error : connection failure");
    });
  });
}

void CSession::ConnectFailed(const std::string& message, Icon icon, const std::string& status) {
  deps_.view.HideConnecting();
  Message(message, icon);
  Connected = false;
  connecting_ = false;
  SetStatus(status, kColourRed);
  deps_.view.ConnectFinished(false);
}

void CSession::Found() {
  Connected = true;
  SetStatus(fixedPort_ && fixedPort_->rfind("COM", 0) != 0
                ? Printf("Connected to %s %d 8,N,1", fixedPort_->c_str(), Settings.Settings.BaudRate)
                : Printf("Connected to COM%d %d 8,N,1", Settings.Settings.Port, Settings.Settings.BaudRate),
            kColourGreen);
  deps_.view.HideConnecting();
  Battery();
}

void CSession::Battery() {
  CurrentCommand = nullptr;
  deps_.port.Purge();
  Later(deps_.timing.batteryPurge, [this] {
    deps_.port.WriteString(GET_BATTERY);
    Later(deps_.timing.probeWait, [this] {
      std::string reply;
      deps_.port.Read(reply, kProbeBytes);
      if (reply == "1\r\n") {
        Message("WARNING:Low battery detected.\nAdvise substitution.", Icon::Warning);
      } else if (reply == "0\r\n") {
        Message("WARNING:Very Low battery detected.\nUrgent substitution!", Icon::Error);
      }
      ClearQueue();
      ProcedureState = 0;
      QueueCommand(GET_INSTR_TYPE, "");
      QueueCommand(GET_SERIAL_NUM, "");
      QueueCommand(GET_FW_VERSION, "");
      QueueCommand(GET_FW_DATE, "");
      StartSendTick();
      ReadyToSend = true;
      connecting_ = false;
      deps_.view.ConnectFinished(true);
    });
  });
}

void CSession::OnInstrInfo() {
  deps_.view.ShowInstrumentInfo(Printf("Instr. Type: %s\n\nSerial Num.: %s\n\nFirmware Ver.: %s\n\nFirmware Date: %s",
                                       InstrStatus.InstrType.c_str(), InstrStatus.SerialNum.c_str(),
                                       InstrStatus.FwVersion.c_str(), InstrStatus.FwDate.c_str()));
  deps_.view.SetTitle(Printf("Nimbrel %s - %s", InstrStatus.InstrType.c_str(), InstrStatus.SerialNum.c_str()));
}

bool CSession::Disconnect() {
  if (deps_.view.SavePrompt() == -1) {
    return false;
  }
  StopReplyTimer();
  if (deps_.port.IsOpen()) {
    deps_.port.Close();
  }
  Connected = false;
  deps_.port.Shared().ReceiveEnabled.store(false);
  SetStatus("Disconnected", kColourYellow);
  ClearQueue();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Maintenance

void CSession::OnClearPartialCounter() {
  if (deps_.prompts.Question("WARNING: Confirm clearing partial counter ?", Buttons::YesNo, Icon::Warning,
                             Answer::No) == Answer::Yes) {
    ReadyToSend = true;
    QueueCommand(CLEAR_PARTIAL_COUNTER, "");
  }
}

void CSession::OnClearTotalCounter() {
  if (deps_.prompts.Question("WARNING: Confirm clearing total counter ?", Buttons::YesNo, Icon::Warning, Answer::No) ==
      Answer::Yes) {
    ReadyToSend = true;
    QueueCommand(CLEAR_TOTAL_COUNTER, "");
  }
}

void CSession::OnEraseMemory() {
  if (!Markers.production && !Markers.erase) {
    return;
  }
  if (deps_.prompts.Question("WARNING: Confirm erase instrument memory ?", Buttons::YesNo, Icon::Warning, Answer::No) ==
      Answer::Yes) {
    QueueCommand(ERASE_MEM_1, "");
    QueueCommand(ERASE_MEM_2, "");
  }
}

void CSession::OnSetSerialNumber() {
  if (!Markers.production) {
    return;
  }
  if (auto number = deps_.view.AskSerialNumber()) {
    QueueCommand(SET_SERIAL_NUM, number->substr(0, 8));
  }
}

} // namespace nimbrel
