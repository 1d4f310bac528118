#pragma once

#include "app/instrument_session.h"
#include "support/in_memory_port.h"
#include "support/instrument_memory.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel::test {

// Records what the windows are told, in order, and answers the session's dialogs from its fields.
class RecordingView final : public ISessionView, public IDownloadView {
public:
  void SetLinkStatus(const LinkStatus& s) override {
    status = s;
    log.push_back("status:" + s.text);
  }
  void SetTitle(const std::string& text) override { title = text; }
  void ShowConnecting(const std::string& text) override { log.push_back("connecting:" + text); }
  void HideConnecting() override { log.push_back("connecting hidden"); }
  void ConnectFinished(bool connected) override { log.push_back(connected ? "connected" : "not connected"); }
  void ShowInstrumentInfo(const std::string& text) override { log.push_back("info:" + text); }
  void ShowWaitDialog(const std::string& text) override { log.push_back("wait:" + text); }
  void DestroyWaitDialog() override { log.push_back("wait destroyed"); }
  void ShowSetupDialog() override { log.push_back("setup dialog"); }
  std::optional<std::string> AskSerialNumber(const std::string& prompt) override {
    serialPrompt = prompt;
    return serialNumber;
  }
  int SavePrompt() override { return savePrompt; }
  void ShowDownloadStatus(const DownloadStatusValues& v) override { last = v; }
  void UpdateDownloadStatus(const DownloadStatusValues& v) override { last = v; }
  void HideDownloadStatus() override {}
  void DestroyDownloadStatus() override {}
  void DownloadEnded(DownloadEnd how) override { ended.push_back(how); }
  void OpenDataWindow(const std::filesystem::path& path) override { opened.push_back(path); }
  std::optional<DownloadOption> ChooseDownloadOption(const std::string& message, bool oldTemperature) override {
    optionAsked.push_back(message + (oldTemperature ? " (old temperature)" : ""));
    return option;
  }

  std::vector<std::string> log;
  LinkStatus status;
  std::string title;
  DownloadStatusValues last;
  std::vector<DownloadEnd> ended;
  std::vector<std::filesystem::path> opened;
  int savePrompt = 0;
  std::optional<DownloadOption> option;
  std::vector<std::string> optionAsked; // each message, marked when only old temperature data are offered
  std::optional<std::string> serialNumber;
  std::string serialPrompt;
};

class MemorySettingsStore final : public IPortSettingsStore {
public:
  Status Read(CPortConfig& config) override {
    config = file;
    return Status::Ok();
  }
  Status Write(const CPortConfig& s) override {
    file = s;
    ++writes;
    return Status::Ok();
  }
  CPortConfig file;
  int writes = 0;
};

// A device that answers each command text from `script` first ("" for silence), then as `otherwise`.
using Script = std::map<std::string, std::deque<std::string>>;
InMemoryPort::Responder Scripted(Script& script, InMemoryPort::Responder otherwise);

// The texts written to `port` since index `from`, without their CR.
std::vector<std::string> WrittenTexts(const InMemoryPort& port, std::size_t from = 0);

// Runs `sched` until `done` holds, nothing is left to run or ten virtual minutes have passed.
void RunVirtual(ManualScheduler& sched, const std::function<bool()>& done);

// One session with fakes around it, in virtual time, in a fresh program directory; the instrument
// is the simulator's engine on an in-memory line, under the name "COM2".
struct SessionRig {
  // COM2 at 9600 baud, no automatic detection.
  static CPortConfig Com2();
  explicit SessionRig(sim::InstrumentState state = MakePointerState(), CPortConfig settings = Com2(),
                      FactoryMarkers markers = {});
  // Connects on COM2 (the script, then the instrument) and runs until the identity is read.
  void ConnectAndSettle();
  // Runs until the session has nothing queued or pending and no one-shot timer is due.
  void Settle();
  [[nodiscard]] std::vector<std::string> WritesFrom(std::size_t from) const { return WrittenTexts(port, from); }
  [[nodiscard]] std::string Trace() const { return ReadFileBytes(dir / "debug.txt"); }
  [[nodiscard]] std::string Dump() const { return ReadFileBytes(dir / "DumpFile.rlg"); }

  ManualScheduler sched;
  InMemoryPort port{sched};
  ScriptedPrompts prompts;
  RecordingView view;
  MemorySettingsStore store;
  TempDir dir;
  sim::Instrument instrument;
  Script script;
  std::unique_ptr<CInstrumentSession> session;
};

} // namespace nimbrel::test
