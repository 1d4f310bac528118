#pragma once

#include "app/instrument_session.h"
#include "support/in_memory_port.h"
#include "support/instrument_memory.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel::test {

// Records what the windows are told, in order, and answers the session's dialogs from a script.
class RecordingView final : public ISessionView, public IDownloadView {
public:
  void SetLinkStatus(const LinkStatus& status) override;
  void SetTitle(const std::string& text) override { title = text; }
  void ShowConnecting(const std::string& text) override { log.push_back("connecting:" + text); }
  void HideConnecting() override { log.push_back("connecting hidden"); }
  void ConnectFinished(bool connected) override { log.push_back(connected ? "connected" : "not connected"); }
  void ShowInstrumentInfo(const std::string& text) override { log.push_back("info:" + text); }
  void ShowWaitDialog(const std::string& text) override { log.push_back("wait:" + text); }
  void DestroyWaitDialog() override { log.push_back("wait destroyed"); }
  void ShowSetupDialog() override { log.push_back("setup dialog"); }
  std::optional<std::string> AskSerialNumber(const std::string& prompt) override;
  int SavePrompt() override { return savePrompt; }
  void ShowDownloadStatus(const DownloadStatusValues& v) override;
  void UpdateDownloadStatus(const DownloadStatusValues& v) override { last = v; }
  void HideDownloadStatus() override { log.push_back("status hidden"); }
  void DestroyDownloadStatus() override { log.push_back("status destroyed"); }
  void DownloadEnded(DownloadEnd how) override { ended.push_back(how); }
  void OpenDataWindow(const std::filesystem::path& path) override { opened.push_back(path); }
  std::optional<DownloadOption> ChooseDownloadOption(const std::string& message, bool oldTemperature) override;

  std::vector<std::string> log;
  LinkStatus status;
  std::string title;
  DownloadStatusValues last;
  std::vector<DownloadEnd> ended;
  std::vector<std::filesystem::path> opened;
  int savePrompt = 0;
  std::optional<DownloadOption> option;
  std::string optionMessage;
  bool optionOldTemperature = false;
  int optionAsked = 0;
  std::optional<std::string> serialNumber;
  std::string serialPrompt;
};

class MemorySettingsStore final : public IPortSettingsStore {
public:
  Status Read(CPortConfig& config) override {
    ++reads;
    config = file;
    return Status::Ok();
  }
  Status Write(const CPortConfig& s) override {
    file = s;
    ++writes;
    return Status::Ok();
  }
  CPortConfig file;
  int reads = 0;
  int writes = 0;
};

// One session with fakes around it, in virtual time, in a fresh program directory; the instrument
// is the simulator's engine on an in-memory line, under the name "COM2".
struct SessionRig {
  // COM2 at 9600 baud, no automatic detection.
  static CPortConfig Com2();
  explicit SessionRig(sim::InstrumentState state = MakeState({}), CPortConfig settings = Com2(),
                      FactoryMarkers markers = {});
  // The instrument on the line: `script` answers first (per command text, "" for silence), then the
  // simulator's engine.
  InMemoryPort::Responder Device();
  // Connects on COM2 and runs until the identity is read.
  void ConnectAndSettle();
  // Runs until the session has nothing queued or pending and no one-shot timer is due, or ten
  // virtual minutes have passed.
  void Settle();
  // The texts written to the port since index `from`, without their CR.
  [[nodiscard]] std::vector<std::string> WritesFrom(std::size_t from) const;
  [[nodiscard]] std::string Trace() const { return ReadFileBytes(dir / "debug.txt"); }
  [[nodiscard]] std::string Dump() const { return ReadFileBytes(dir / "DumpFile.rlg"); }

  ManualScheduler sched;
  InMemoryPort port{sched};
  ScriptedPrompts prompts;
  RecordingView view;
  MemorySettingsStore store;
  TempDir dir;
  sim::Instrument instrument;
  std::map<std::string, std::deque<std::string>> script;
  std::unique_ptr<CInstrumentSession> session;
};

} // namespace nimbrel::test
