#pragma once

#include "base/prompts.h"
#include "base/scheduler.h"
#include "link/session_port.h"
#include "protocol/command.h"
#include "protocol/instr_status.h"
#include "protocol/menu.h"
#include "protocol/session_view.h"
#include "protocol/timing.h"

#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace nimbrel {

// Instrument memory geometry: rain pages 0..1452, temperature pages 1453..2000, each wrapping.
inline constexpr int kRainFirstPage = 0;
inline constexpr int kRainLastPage = 1452;
inline constexpr int kRainPages = 1453;
inline constexpr int kTempFirstPage = 1453;
inline constexpr int kTempLastPage = 2000;
inline constexpr int kTempPages = 548;
inline constexpr int kRainPageLines = 65;

int NextRainPage(int page); // 1453 becomes 0
int NextTempPage(int page); // 2001 becomes 1453

// What the session is given: the port, time, the user, the windows, the program directory.
struct SessionDeps {
  ISessionPort& port;
  IScheduler& scheduler;
  IPrompts& prompts;
  ISessionView& view;
  IPortSettingsStore& settingsStore;
  std::filesystem::path programDirectory;
  CPortConfig settings;   // as read at start-up
  FactoryMarkers markers; // as found at start-up
  SessionTiming timing;   // the product's values unless a test scales them
  // Wraps the sink the port's listener calls so events reach the session's thread in order
  // (Qt: a queued invocation). Empty when the port already delivers on the session's thread.
  std::function<LinkEventSink(LinkEventSink)> marshal;
};

// The instrument session of the main window: the command queue and its pump, reply dispatch, the
// protocol trace, connection and disconnection, maintenance commands and the download. Runs on
// one thread; the listener's lines arrive as LinkEvents through OnLinkEvent.
//
// The state is public on purpose: the main window forwards to it and shows it, and the tests
// check it; the operations keep it consistent.
class CSession {
public:
  explicit CSession(SessionDeps deps);
  ~CSession();
  CSession(const CSession&) = delete;
  CSession& operator=(const CSession&) = delete;

  // ---- command queue ----
  void QueueCommand(int number, const std::string& parameter);
  void SendString(const std::string& text);
  // The send tick (500 ms), started by the first connection and never stopped.
  void StartSendTick();
  // Handles the line in LastReply. -1 when no command awaited it.
  int OnSerialMsg();
  // One event from the listener, on the session's thread.
  void OnLinkEvent(const LinkEvent& event);
  // Deletes every queued command and forgets the current one.
  void ClearQueue();
  // The user cancelled the wait dialog: the procedure's commands are dropped.
  void OnWaitDialogCancel();
  // Appends one formatted line to debug.txt (text mode: LF written as CR LF).
  void Trace(const std::string& line) const;
  [[nodiscard]] std::filesystem::path TracePath() const { return deps_.programDirectory / "debug.txt"; }
  // Nothing queued, nothing awaited, no timed step pending.
  [[nodiscard]] bool Idle() const;

  // ---- connection ----
  void Connect();
  // Returns false when the save prompt abandoned the disconnection.
  bool Disconnect();
  // Use this port name, at 9600 baud without detection, instead of port.ini ("COMn" or a device path).
  void SetFixedPort(std::optional<std::string> name) { fixedPort_ = std::move(name); }
  void OnInstrInfo();
  [[nodiscard]] std::string PortName() const;
  [[nodiscard]] InstrumentMenu Menu() const;
  [[nodiscard]] bool Downloading() const { return deps_.port.Shared().Downloading.load(); }
  [[nodiscard]] int DumpPhase() const { return deps_.port.Shared().DumpPhase.load(); }

  // ---- maintenance ----
  void OnClearPartialCounter();
  void OnClearTotalCounter();
  void OnEraseMemory();
  void OnSetSerialNumber();

  // ---- download ----
  void OnDownload();
  void OnStopDownload();
  void Wait_InitDump_R();
  void Wait_InitDump_T();
  int OnRainPageLine(const std::string& line);
  int OnTempPageLine(const std::string& line);
  void OpenDumpFile();
  // The data of the last download were saved or discarded: Download is possible again.
  void ReleaseDumpFile() { CurrentDumpPath.clear(); }
  [[nodiscard]] std::filesystem::path DumpFilePath() const { return deps_.programDirectory / "DumpFile.rlg"; }
  [[nodiscard]] DownloadStatusValues StatusValues() const;
  // The main window's title while downloading (the minimised form shows page and line).
  [[nodiscard]] std::string ProgressTitle(bool minimised) const;

  // ---- session state ----
  std::list<std::unique_ptr<CCommand>> Queue; // new commands at the front, the tail is sent
  CCommand* CurrentCommand = nullptr;         // the tail entry whose reply is awaited
  bool ReadyToSend = false;
  int RetryCount = 0;
  int ProcedureState = -1; // -1 idle, 0 connection, 1 download, 3 setup read
  std::string LastReply;
  bool Connected = false;
  CPortConfig Settings;
  CInstrStatus InstrStatus;
  FactoryMarkers Markers;

  // ---- download state ----
  int WritePointerR = 0, ReadPointerR = 0, HistPointerR = 0;
  int WritePointerT = 0, ReadPointerT = 0, HistPointerT = 0;
  bool RainOverrun = false, TempOverrun = false;
  int CurrentRainPage = 0;
  int CurrentTempPage = 0;
  int PageLineCount = 0;
  int TempMeasCount = 0;
  bool TempCountSeen = false; // a "NUM T MEAS:" line has arrived in this download
  bool OldDataMode = false;
  bool TempFromHistory = false;
  int ShownPage = 0, ShownLines = 0;
  bool DataDisplayed = false, DataSaved = false;
  bool OpenDumpPending = false;
  std::filesystem::path CurrentDumpPath;
  DownloadProgress Progress;

private:
  // A timed step: runs fn after `delay` unless the session ends or CancelSteps runs first.
  void Later(Millis delay, std::function<void()> fn);
  void CancelSteps();
  void OnSendTick();
  void OnReplyTimeout();
  void StopReplyTimer();
  void Finish();
  void RemoveCurrent();
  void Acknowledge(int number);
  void Refused(CCommand& command);
  void WrongState(CCommand& command);
  void Message(const std::string& text, Icon icon) { deps_.prompts.Message(text, icon); }

  // connection steps
  void ProbeConfigured();
  void ScanPort(int n);
  void ProbeFixed();
  void Probe(const std::function<void(const std::string&)>& answered);
  bool OpenPort(const std::string& name);
  void Found();
  void Battery();
  void ConnectFailed(const std::string& message, Icon icon, const std::string& status);
  void SetStatus(const std::string& text, std::uint32_t colour);

  // download steps
  void DownloadDecide();
  void RainPhaseEnd();
  void NextRainRequest();
  void NextTempRequest();
  void SkipTempPage();
  void FinishDownload();
  void FinishOutsidePage();
  void DumpFileFailed();
  void StopProgressTimer();
  void EndDownload(DownloadEnd how);
  void PageDone();
  void UpdateEstimate();
  [[nodiscard]] int TempPagesFrom(int start) const;
  [[nodiscard]] bool PointersValid();

  SessionDeps deps_;
  std::optional<std::string> fixedPort_;
  std::optional<IScheduler::TimerId> tickTimer_;
  std::optional<IScheduler::TimerId> replyTimer_;
  std::optional<IScheduler::TimerId> progressTimer_;
  std::set<IScheduler::TimerId> steps_;
  bool connecting_ = false;
  bool connectedOnce_ = false;
  int activity_ = 0;
  Millis pagesStarted_{0};
};

} // namespace nimbrel
