#pragma once

#include "link/port_settings.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace nimbrel {

class IPrompts;

// Background colours of the link pane of the status bar (COLORREF byte order: 0x00BBGGRR).
inline constexpr std::uint32_t kColourYellow = 0x00FFFF;
inline constexpr std::uint32_t kColourGreen = 0x00FF00;
inline constexpr std::uint32_t kColourRed = 0x0000FF;

struct LinkStatus {
  std::string text;
  std::uint32_t colour = kColourYellow;
  std::uint32_t alternateColour = 0x000080; // for the pane's alternative drawing style
};

// How far a download has come: pages fetched (or skipped) of the pages to fetch, and the time
// left estimated from the pace so far (unknown before the first page).
struct DownloadProgress {
  int pagesDone = 0;
  int pagesTotal = 0;
  std::optional<std::chrono::milliseconds> remaining;
  [[nodiscard]] int Percent() const { return pagesTotal <= 0 ? 0 : std::min(100, pagesDone * 100 / pagesTotal); }
};

// What the "Download Status" window shows.
struct DownloadStatusValues {
  std::string pageNum;        // "Page Num."
  std::string dataDownloaded; // "Data downloaded"
  int activity = 0;           // the cycling activity bar, 0..activityMax
  int activityMax = 20;
  DownloadProgress progress;
};

// The user's choice in the download options dialog.
enum class DownloadOption {
  NewTemperatureOnly = 0,    // "Download only new Temperature data"
  RainAndTemperatureOld = 1, // "Download Rain and Temperature  old data"
};

// How a download ended, for front ends that wait for it (nimbrel-cli).
enum class DownloadEnd {
  Complete,    // "Download Complete" reached
  MemoryEmpty, // nothing to download
  Cancelled,   // the user cancelled the options dialog
  Refused,     // the memory pointers made no sense; nothing was requested
  Stopped,     // "Stop Download"
  Interrupted, // a command was given up or the port went away
  Stalled,     // the procedure cannot go on by itself (tip value 0, GET_FLAGS given up): Stop ends it
};

// What the windows show of the session. The desktop program implements it with dialogs and the
// status bar, nimbrel-cli with standard error and its flags, the tests with recorders.
class ISessionView {
public:
  ISessionView() = default;
  ISessionView(const ISessionView&) = delete;
  ISessionView& operator=(const ISessionView&) = delete;
  virtual ~ISessionView() = default;

  virtual void SetLinkStatus(const LinkStatus& status) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // The connecting dialog: shown (created on first use) with a text, or hidden.
  virtual void ShowConnecting(const std::string& text) = 0;
  virtual void HideConnecting() = 0;
  // Reported once at the end of every Connect, whatever the outcome.
  virtual void ConnectFinished(bool connected) { (void)connected; }
  // The modal "Instrument Info" dialog; returns when the user pressed OK.
  virtual void ShowInstrumentInfo(const std::string& text) = 0;
  // The setup wait dialog, destroyed when a procedure ends or fails.
  virtual void DestroyWaitDialog() = 0;
  // The setup read has its last value (GET_TIP_VALUE): the setup dialog opens.
  virtual void ShowSetupDialog() {}
  // The "Download Status" window.
  virtual void ShowDownloadStatus(const DownloadStatusValues& values) = 0;
  virtual void UpdateDownloadStatus(const DownloadStatusValues& values) = 0;
  virtual void HideDownloadStatus() = 0;
  virtual void DestroyDownloadStatus() = 0;
  virtual void DownloadEnded(DownloadEnd how) { (void)how; }
  // Opens the downloaded file in a data window.
  virtual void OpenDataWindow(const std::filesystem::path& path) = 0;
  // The save prompt for downloaded data before disconnecting: -1 abandons the disconnection.
  virtual int SavePrompt() = 0;
  // The download options dialog; nullopt is Cancel. When `oldTemperature` is set the only choice
  // offered is RainAndTemperatureOld.
  virtual std::optional<DownloadOption> ChooseDownloadOption(const std::string& message, bool oldTemperature) = 0;
  // The serial number dialog ("Inserire numero di serie", at most 8 characters); nullopt is Cancel.
  virtual std::optional<std::string> AskSerialNumber() = 0;
  [[nodiscard]] virtual bool IsMinimised() const { return false; }
};

// Reading and writing port.ini (with its own messages when the file is missing or not writable).
class IPortSettingsStore {
public:
  IPortSettingsStore() = default;
  IPortSettingsStore(const IPortSettingsStore&) = delete;
  IPortSettingsStore& operator=(const IPortSettingsStore&) = delete;
  virtual ~IPortSettingsStore() = default;
  virtual CPortConfig Read() = 0;
  virtual void Write(const CPortConfig& config) = 0;
};

// port.ini in the program directory, read and written by the link's rules.
class CPortIniStore final : public IPortSettingsStore {
public:
  CPortIniStore(const std::filesystem::path& programDirectory, IPrompts& prompts);
  // Keeps the automatic-detection flag of the last read, as the program-wide record does.
  CPortConfig Read() override;
  void Write(const CPortConfig& config) override;

private:
  std::filesystem::path file_;
  IPrompts& prompts_;
  CPortConfig config_;
};

// The factory marker files found in the program directory at start-up.
struct FactoryMarkers {
  bool production = false; // "Produzione.dll"
  bool erase = false;      // "Ermem.dll"
  static FactoryMarkers Find(const std::filesystem::path& programDirectory);
};

} // namespace nimbrel
