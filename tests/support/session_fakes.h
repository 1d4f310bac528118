#pragma once

#include "protocol/session.h"
#include "support/in_memory_port.h"
#include "support/scripted_prompts.h"
#include "support/temp_dir.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace nimbrel::test {

// A TBR4470 as far as the session sees it: identity, battery, pointers, flags, pages, and
// per-command deviations (refusals, silence, odd replies).
class FakeInstrument {
public:
  std::string type = "Rain gauge TBR4470\r\n";
  std::string serialLine = "S/N:12345678\r\n";
  std::string battery = "2\r\n";
  std::string tip = "0.200\r\n";
  std::string unit = "0\r\n";
  int writeR = 5, readR = 5, histR = 5;
  int writeT = 1460, readT = 1460, histT = 1460;
  std::string flags = "00\r\n";
  int tempSamples = 3;            // samples per temperature page
  std::set<int> missingTempPages; // answered "?"
  // Exact text written -> reply instead of the normal one ("" = silence).
  std::map<std::string, std::string> overrides;
  // Exact text written -> replies given before the normal one, one per send ("?\r\n", "#\r\n"...).
  std::map<std::string, std::vector<std::string>> before;

  std::string Answer(const std::string& written);
  InMemoryPort::Responder Responder() {
    return [this](const std::string& w) { return Answer(w); };
  }
  static std::string RainPage(int page);
  std::string TempPage(int page) const;
};

// Records what the windows are told, in order, and answers the session's dialogs from a script.
class RecordingView final : public ISessionView {
public:
  void SetLinkStatus(const LinkStatus& status) override;
  void SetTitle(const std::string& text) override { title = text; }
  void ShowConnecting(const std::string& text) override { log.push_back("connecting:" + text); }
  void HideConnecting() override { log.push_back("connecting hidden"); }
  void ConnectFinished(bool connected) override { log.push_back(connected ? "connected" : "not connected"); }
  void ShowInstrumentInfo(const std::string& text) override { log.push_back("info:" + text); }
  void DestroyWaitDialog() override { log.push_back("wait destroyed"); }
  void ShowDownloadStatus(const DownloadStatusValues& v) override;
  void UpdateDownloadStatus(const DownloadStatusValues& v) override { last = v; }
  void HideDownloadStatus() override { log.push_back("status hidden"); }
  void DestroyDownloadStatus() override { log.push_back("status destroyed"); }
  void DownloadEnded(DownloadEnd how) override { ended.push_back(how); }
  void OpenDataWindow(const std::filesystem::path& path) override { opened.push_back(path); }
  int SavePrompt() override { return savePrompt; }
  std::optional<DownloadOption> ChooseDownloadOption(const std::string& message, bool oldTemperature) override;
  std::optional<std::string> AskSerialNumber() override { return serialNumber; }

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
};

class MemorySettingsStore final : public IPortSettingsStore {
public:
  CPortConfig Read() override {
    ++reads;
    return file;
  }
  void Write(const CPortConfig& s) override {
    file = s;
    ++writes;
  }
  CPortConfig file;
  int reads = 0;
  int writes = 0;
};

// One session with fakes around it, in virtual time, in a fresh program directory.
struct SessionRig {
  // COM2 at 9600 baud, no automatic detection.
  static CPortConfig Com2();
  explicit SessionRig(CPortConfig settings = Com2(), FactoryMarkers markers = {});
  // Connects on COM2 (the instrument answers there) and runs until the identity is read.
  void ConnectAndSettle();
  // Runs until the session has nothing queued or pending and no one-shot timer is due, or ten
  // virtual minutes have passed.
  void Settle();
  // The texts written to the port since index `from`.
  [[nodiscard]] std::vector<std::string> WritesFrom(std::size_t from) const;
  [[nodiscard]] std::string Trace() const { return ReadFileBytes(dir / "debug.txt"); }
  [[nodiscard]] std::string Dump() const { return ReadFileBytes(dir / "DumpFile.rlg"); }

  ManualScheduler sched;
  InMemoryPort port{sched};
  ScriptedPrompts prompts;
  RecordingView view;
  MemorySettingsStore store;
  TempDir dir;
  FakeInstrument instrument;
  std::unique_ptr<CSession> session;
};

} // namespace nimbrel::test
