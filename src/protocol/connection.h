#pragma once

#include "base/prompts.h"
#include "base/scheduler.h"
#include "link/port_settings.h"
#include "link/session_port.h"
#include "protocol/command_queue.h"
#include "protocol/instr_status.h"
#include "protocol/session_view.h"
#include "protocol/timing.h"

#include <functional>
#include <optional>
#include <string>

namespace nimbrel {

// Finding the instrument and keeping the link: the probe on the configured port, the scan of COM1
// and COM2 with automatic detection, the battery check, the identity read, the instrument info
// dialog, the status pane, and the end of the link (disconnection or a link that went away).
class CConnection {
public:
  enum class State { Disconnected, Connecting, Connected };

  struct Deps {
    ISessionPort& port;
    CCommandQueue& queue;
    IScheduler& scheduler;
    IPrompts& prompts;
    ISessionView& view;
    IPortSettingsStore& settingsStore;
    const CInstrStatus& status;
    const SessionTiming& timing;
    // The sink the port's listener gets: events reach the session's thread in order.
    std::function<LinkEventSink()> makeSink;
  };

  CConnection(Deps deps, CPortConfig settings);
  CConnection(const CConnection&) = delete;
  CConnection& operator=(const CConnection&) = delete;

  // Starts a connection attempt (nothing when one runs or the link is up). The attempt ends with
  // ConnectFinished; when found, the identity commands are queued.
  void Connect();
  // Closes the port; the session has already asked the save prompt.
  void Disconnect();
  // The link went away (hang-up, a failed write): closes the port and tells the user `message`.
  void LinkLost(const std::string& message);
  // The instrument info dialog with the stored texts, then the title.
  void ShowInstrumentInfo();

  // Use this port name, at 9600 baud without detection, instead of port.ini ("COMn" or a device
  // path), for nimbrel-cli's --port.
  void SetFixedPort(std::optional<std::string> name) { fixedPort_ = std::move(name); }

  [[nodiscard]] State GetState() const { return state_; }
  [[nodiscard]] bool Connected() const { return state_ == State::Connected; }
  [[nodiscard]] bool Connecting() const { return state_ == State::Connecting; }
  [[nodiscard]] const CPortConfig& Settings() const { return settings_; }
  void SetSettings(const CPortConfig& settings) { settings_ = settings; }
  [[nodiscard]] std::string PortName() const;
  // Steps of the attempt still to run.
  [[nodiscard]] bool Busy() const { return steps_.Pending(); }

private:
  void Enter(State state);
  Status OpenPort(const std::string& name);
  void Probe(const std::function<void(const std::string&)>& answered);
  void ProbeConfigured();
  void ScanPort(int n);
  void ProbeFixed();
  void Found();
  void Battery();
  void Failed(const std::string& message, Icon icon, const std::string& status);
  void SetStatus(const std::string& text, std::uint32_t colour);

  Deps deps_;
  CPortConfig settings_;
  std::optional<std::string> fixedPort_;
  State state_ = State::Disconnected;
  CSteps steps_;
};

} // namespace nimbrel
