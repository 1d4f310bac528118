#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace nimbrel {

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
  bool rainPhase = true; // which memory the pages come from
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
  Interrupted, // a command was given up, the dump file failed or the port went away
  Stalled,     // the procedure cannot go on by itself (tip value 0, GET_FLAGS given up): Stop ends it
};

// What the windows show of a download.
class IDownloadView {
public:
  IDownloadView() = default;
  IDownloadView(const IDownloadView&) = delete;
  IDownloadView& operator=(const IDownloadView&) = delete;
  virtual ~IDownloadView() = default;

  // The "Download Status" window.
  virtual void ShowDownloadStatus(const DownloadStatusValues& values) = 0;
  virtual void UpdateDownloadStatus(const DownloadStatusValues& values) = 0;
  virtual void HideDownloadStatus() = 0;
  virtual void DestroyDownloadStatus() = 0;
  virtual void DownloadEnded(DownloadEnd how) = 0;
  // Opens the downloaded file in a data window.
  virtual void OpenDataWindow(const std::filesystem::path& path) = 0;
  // The download options dialog; nullopt is Cancel. When `oldTemperature` is set the only choice
  // offered is RainAndTemperatureOld.
  virtual std::optional<DownloadOption> ChooseDownloadOption(const std::string& message, bool oldTemperature) = 0;
  // The main window's title during the download.
  virtual void SetTitle(const std::string& title) = 0;
  [[nodiscard]] virtual bool IsMinimised() const { return false; }
};

} // namespace nimbrel
