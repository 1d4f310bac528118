#include "protocol/connection.h"

#include "base/text.h"

namespace nimbrel {

namespace {
constexpr std::size_t kProbeBytes = 100;
constexpr std::uint32_t kScanBaud = 9600;
} // namespace

CConnection::CConnection(Deps deps, CPortConfig settings)
    : deps_(std::move(deps)), settings_(std::move(settings)), steps_(deps_.scheduler) {}

std::string CConnection::PortName() const {
  return fixedPort_ ? *fixedPort_ : Printf("%s%d", "COM", settings_.Settings.Port);
}

void CConnection::Enter(State state) {
  state_ = state;
}

void CConnection::SetStatus(const std::string& text, std::uint32_t colour) {
  deps_.view.SetLinkStatus({text, colour, colour == kColourYellow ? 0x000080U : 0xFFFF00U});
}

Status CConnection::OpenPort(const std::string& name) {
  return deps_.port.Open(name, deps_.makeSink());
}

void CConnection::Connect() {
  if (state_ != State::Disconnected) {
    return;
  }
  Enter(State::Connecting);
  deps_.port.SetPageMode(false);
  deps_.port.SetReceiveEnabled(false);
  deps_.view.ShowConnecting("");
  if (!fixedPort_ && settings_.AutoDetect != 0) {
    if (Status read = deps_.settingsStore.Read(settings_); !read.ok()) {
      deps_.prompts.Message(read.message(), Icon::Warning);
    }
    ProbeConfigured();
    return;
  }
  ProbeFixed();
}

// Writes the probe after the port has settled and hands what came back within the wait to `answered`.
void CConnection::Probe(const std::function<void(const std::string&)>& answered) {
  steps_.Later(deps_.timing.portSettle, [this, answered] {
    if (!deps_.port.WriteString(kProbeText).ok()) {
      answered(""); // nothing went out, so nothing can come back
      return;
    }
    steps_.Later(deps_.timing.probeWait, [this, answered] {
      std::string reply;
      // Nothing within the wait (a time-out) is an empty answer.
      (void)deps_.port.Read(reply, kProbeBytes);
      answered(reply);
    });
  });
}

void CConnection::ProbeConfigured() {
  const std::string name = PortName();
  if (!OpenPort(name).ok()) {
    ScanPort(1);
    return;
  }
  const Status configured =
      deps_.port.Configure(static_cast<std::uint32_t>(settings_.Settings.BaudRate), 8, kParityNone, kOneStopBit);
  const Status flow = deps_.port.SetFlowControl(kFlowHardware);
  if (!configured.ok() || !flow.ok()) {
    deps_.port.Close();
    ScanPort(1);
    return;
  }
  deps_.view.ShowConnecting(
      Printf("Connecting to...\r\rPort = %s\rBaudrate = %d", name.c_str(), settings_.Settings.BaudRate));
  Probe([this](const std::string& reply) {
    // On the configured port any answer will do.
    if (!reply.empty()) {
      Found();
      return;
    }
    (void)deps_.port.Purge(); // the port is closed next
    deps_.port.Close();
    ScanPort(1);
  });
}

void CConnection::ScanPort(int n) {
  if (n > 2) {
    Failed("Warning : Instrument not responding.\nPlease check port settings", Icon::Warning,
           "Error :connection failure");
    return;
  }
  const std::string name = Printf("%s%d", "COM", n);
  if (!OpenPort(name).ok()) {
    ScanPort(n + 1);
    return;
  }
  settings_.Settings.Port = n;
  settings_.Settings.BaudRate = static_cast<std::int32_t>(kScanBaud);
  deps_.view.ShowConnecting(Printf("Connecting to...\r\rPort = %s\rBaudrate = %d", name.c_str(), 9600));
  const Status flow = deps_.port.SetFlowControl(kFlowHardware);
  const Status configured = deps_.port.Configure(kScanBaud, 8, kParityNone, kOneStopBit);
  if (!flow.ok() || !configured.ok()) {
    deps_.port.Close();
    ScanPort(n + 1);
    return;
  }
  Probe([this, n](const std::string& reply) {
    if (reply.find("Rain") != std::string::npos) {
      settings_ = WithValidValues(settings_);
      if (Status written = deps_.settingsStore.Write(settings_); !written.ok()) {
        deps_.prompts.Message(written.message(), Icon::Warning);
      }
      Found();
      return;
    }
    deps_.port.Close();
    ScanPort(n + 1);
  });
}

void CConnection::ProbeFixed() {
  const std::string name = PortName();
  Status opened = OpenPort(name);
  if (opened.ok()) {
    settings_.Settings.BaudRate = static_cast<std::int32_t>(kScanBaud); // whatever the file said
    opened = deps_.port.Configure(kScanBaud, 8, kParityNone, kOneStopBit);
    if (opened.ok()) {
      opened = deps_.port.SetFlowControl(kFlowHardware);
    }
  }
  if (!opened.ok()) {
    if (deps_.port.IsOpen()) {
      deps_.port.Close();
    }
    deps_.view.HideConnecting();
    deps_.prompts.Message("Error : fail opening COM port.\n" + opened.message(), Icon::Error);
    Enter(State::Disconnected);
    SetStatus("Error : connection failure", kColourRed);
    deps_.view.ConnectFinished(false);
    return;
  }
  steps_.Later(deps_.timing.portSettle, [this, name] {
    deps_.view.ShowConnecting(Printf("Connecting to...\r\rPort = %s\rBaudrate = %d", name.c_str(), 9600));
    const Status written = deps_.port.WriteString(kProbeText);
    steps_.Later(deps_.timing.probeWait, [this, written] {
      std::string reply;
      if (written.ok()) {
        (void)deps_.port.Read(reply, kProbeBytes); // nothing within the wait is an empty answer
      }
      if (reply.find("Rain") != std::string::npos) {
        Found();
        return;
      }
      (void)deps_.port.Purge(); // the port is closed next
      deps_.port.Close();
      Failed(written.ok() ? "ERROR: Instrument not responding."
                          : "ERROR: Instrument not responding.\n" + written.message(),
             Icon::Error, "Error : connection failure");
    });
  });
}

void CConnection::Failed(const std::string& message, Icon icon, const std::string& status) {
  deps_.view.HideConnecting();
  deps_.prompts.Message(message, icon);
  Enter(State::Disconnected);
  SetStatus(status, kColourRed);
  deps_.view.ConnectFinished(false);
}

void CConnection::Found() {
  Enter(State::Connected);
  SetStatus(fixedPort_ && fixedPort_->rfind("COM", 0) != 0
                ? Printf("Connected to %s %d 8,N,1", fixedPort_->c_str(), settings_.Settings.BaudRate)
                : Printf("Connected to COM%d %d 8,N,1", settings_.Settings.Port, settings_.Settings.BaudRate),
            kColourGreen);
  deps_.view.HideConnecting();
  Battery();
}

void CConnection::Battery() {
  deps_.queue.Clear();      // no command awaits a reply during the direct reads
  (void)deps_.port.Purge(); // drops the rest of the probe's answer; nothing to report if it fails
  steps_.Later(deps_.timing.batteryPurge, [this] {
    const Status written = deps_.port.WriteString(GET_BATTERY);
    steps_.Later(deps_.timing.probeWait, [this, written] {
      std::string reply;
      if (written.ok()) {
        (void)deps_.port.Read(reply, kProbeBytes); // no answer: nothing is reported
      }
      if (reply == "1\r\n") {
        deps_.prompts.Message("WARNING:Low battery detected.\nAdvise substitution.", Icon::Warning);
      } else if (reply == "0\r\n") {
        deps_.prompts.Message("WARNING:Very Low battery detected.\nUrgent substitution!", Icon::Error);
      }
      deps_.queue.Clear();
      for (int number : {GET_INSTR_TYPE, GET_SERIAL_NUM, GET_FW_VERSION, GET_FW_DATE}) {
        deps_.queue.QueueCommand(number, "");
      }
      deps_.queue.StartSendTick();
      deps_.queue.SetReadyToSend();
      deps_.view.ConnectFinished(true);
    });
  });
}

void CConnection::ShowInstrumentInfo() {
  const CInstrStatus& s = deps_.status;
  deps_.view.ShowInstrumentInfo(Printf("Instr. Type: %s\n\nSerial Num.: %s\n\nFirmware Ver.: %s\n\nFirmware Date: %s",
                                       s.InstrType.c_str(), s.SerialNum.c_str(), s.FwVersion.c_str(),
                                       s.FwDate.c_str()));
  deps_.view.SetTitle(Printf("Nimbrel %s - %s", s.InstrType.c_str(), s.SerialNum.c_str()));
}

void CConnection::Disconnect() {
  steps_.CancelAll();
  if (deps_.port.IsOpen()) {
    deps_.port.Close();
  }
  deps_.port.SetReceiveEnabled(false);
  Enter(State::Disconnected);
  SetStatus("Disconnected", kColourYellow);
}

void CConnection::LinkLost(const std::string& message) {
  const bool wasConnecting = state_ == State::Connecting;
  steps_.CancelAll();
  deps_.port.SetReceiveEnabled(false);
  if (deps_.port.IsOpen()) {
    deps_.port.Close();
  }
  Enter(State::Disconnected);
  SetStatus("Disconnected", kColourYellow);
  deps_.prompts.Message(message, Icon::Error);
  if (wasConnecting) {
    deps_.view.HideConnecting();
    deps_.view.ConnectFinished(false);
  }
}

} // namespace nimbrel
