#pragma once

#include "app/menu_state.h"
#include "base/prompts.h"
#include "base/scheduler.h"
#include "download/download.h"
#include "link/port_settings.h"
#include "link/session_port.h"
#include "protocol/command_queue.h"
#include "protocol/connection.h"
#include "protocol/instr_status.h"
#include "protocol/maintenance.h"
#include "protocol/session_view.h"
#include "protocol/timing.h"
#include "protocol/trace.h"
#include "setup/setup_model.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace nimbrel {

// Which procedure the replies belong to.
enum class ProcedureState { Idle = -1, Connection = 0, Download = 1, SetupRead = 3 };

// The main window's instrument session: it owns the command queue, the connection, the maintenance
// commands and the download, wires them together, and holds what they share — the instrument record,
// the memory pointers, the procedure the replies belong to and what the last download left. Front
// ends (the desktop, nimbrel-cli, the tests) call its operations and read its state through
// accessors; the windows see it through the view seams. Runs on one thread; the listener's lines
// arrive as LinkEvents through OnLinkEvent.
class CInstrumentSession final : private IReplyHandler {
public:
  struct Deps {
    ISessionPort& port;
    IScheduler& scheduler;
    IPrompts& prompts;
    ISessionView& view;
    IDownloadView& downloadView;
    IPortSettingsStore& settingsStore;
    std::filesystem::path programDirectory;
    CPortConfig settings;   // as read at start-up
    FactoryMarkers markers; // as found at start-up
    SessionTiming timing;   // the product's values unless a test scales them
    // Wraps the sink the port's listener calls so events reach the session's thread in order
    // (Qt: a queued hand-over). Empty when the port already delivers on the session's thread.
    std::function<LinkEventSink(LinkEventSink)> marshal;
  };

  explicit CInstrumentSession(Deps deps);
  CInstrumentSession(const CInstrumentSession&) = delete;
  CInstrumentSession& operator=(const CInstrumentSession&) = delete;
  ~CInstrumentSession() override;

  // ---- the Instrument menu ----
  void Connect();
  // False when the save prompt abandoned the disconnection.
  bool Disconnect();
  void OnInstrInfo();
  void OnDownload();
  void OnStopDownload();
  void OnClearPartialCounter() { maintenance_.OnClearPartialCounter(); }
  void OnClearTotalCounter() { maintenance_.OnClearTotalCounter(); }
  void OnEraseMemory() { maintenance_.OnEraseMemory(); }
  void OnSetSerialNumber() { maintenance_.OnSetSerialNumber(); }
  // "Instr. Setup ": reads the settings; the setup dialog opens with the last value.
  void OnInstrumentSetup();
  // The setup dialog's "Apply": queues the write sequence (true; the dialog closes) or leaves the
  // dialog open after a refused value or the clock question's Cancel (false).
  bool ApplySetup();
  // The setup dialog's model: the values it shows and the rules of its controls.
  [[nodiscard]] CSetupModel& SetupModel() { return setup_; }
  // The user cancelled the wait dialog: the procedure's commands are dropped.
  void OnWaitDialogCancel();
  // The port settings the next Connect uses; "Port Setup"'s OK changes them.
  [[nodiscard]] const CPortConfig& PortSettings() const { return connection_.Settings(); }
  void SetPortSettings(const CPortConfig& settings) { connection_.SetSettings(settings); }
  // Use this port name, at 9600 baud without detection, instead of port.ini.
  void SetFixedPort(std::optional<std::string> name) { connection_.SetFixedPort(std::move(name)); }

  // One event from the listener, on the session's thread.
  void OnLinkEvent(const LinkEvent& event);

  // ---- state ----
  [[nodiscard]] bool Connected() const { return connection_.Connected(); }
  [[nodiscard]] bool Connecting() const { return connection_.Connecting(); }
  [[nodiscard]] bool Downloading() const { return download_.Downloading(); }
  // Every menu item and tool-bar button of the main window, by the one enabling rule.
  [[nodiscard]] ShellMenuState Menu() const;
  [[nodiscard]] ProcedureState Procedure() const { return procedure_; }
  [[nodiscard]] const CInstrStatus& InstrStatus() const { return status_; }
  [[nodiscard]] const CMemoryPointers& Pointers() const { return pointers_; }
  [[nodiscard]] const CCommandQueue& Queue() const { return queue_; }
  [[nodiscard]] const CConnection& Connection() const { return connection_; }
  [[nodiscard]] const CMaintenance& Maintenance() const { return maintenance_; }
  [[nodiscard]] const CDownload& Download() const { return download_; }
  [[nodiscard]] const CTrace& Trace() const { return trace_; }
  // What the last download left; the save and open rules change it.
  [[nodiscard]] CDownloadedData& DownloadedData() { return data_; }
  [[nodiscard]] const CDownloadedData& DownloadedData() const { return data_; }
  // Nothing queued or awaited and no timed step of any procedure pending.
  [[nodiscard]] bool Idle() const;

private:
  // The one place the procedure changes.
  void SetProcedure(ProcedureState state) { procedure_ = state; }
  void LinkLost(const std::string& message);

  // IReplyHandler
  void OnAcknowledged(const CCommand& command, const std::string& reply) override;
  bool TakeRefusal(const CCommand& command) override;
  void OnGivenUp(const CCommand& command, GiveUp why, const std::string& message) override;
  void OnWriteFailed(const Status& status) override;

  Deps deps_;
  CTrace trace_;
  CInstrStatus status_;
  CMemoryPointers pointers_;
  CDownloadedData data_;
  ProcedureState procedure_ = ProcedureState::Idle;
  CCommandQueue queue_;
  CConnection connection_;
  CMaintenance maintenance_;
  CDownload download_;
  CSetupModel setup_;
};

} // namespace nimbrel
