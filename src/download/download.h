#pragma once

#include "base/prompts.h"
#include "base/scheduler.h"
#include "download/download_view.h"
#include "download/dump_file.h"
#include "link/session_port.h"
#include "protocol/command_queue.h"
#include "protocol/instr_status.h"
#include "protocol/timing.h"
#include "protocol/trace.h"

#include <filesystem>
#include <functional>
#include <string>

namespace nimbrel {

// What the last download leaves for the shell: its dump file while it is current (Download and
// Open stay disabled until the data are saved or discarded) and whether it is shown and saved.
struct CDownloadedData {
  std::filesystem::path CurrentDumpPath;
  bool DataSaved = false;
  bool DataDisplayed = false;
};

// The download of the instrument memory: the pointers and overrun flags, the choice of pages, the
// page requests one at a time, every page line into the dump file, progress, Stop, and the memory
// release offered at the end. Page lines come from the listener through OnPageLine.
class CDownload {
public:
  enum class State {
    Idle,            // nothing running (also after the end of any download)
    ReadingPointers, // the tip value, the unit, the pointers and the flags are being read
    Choosing,        // only old data: the options dialog decides
    RainPages,       // rain pages arrive (the listener is in page mode)
    TempPages,       // temperature pages arrive (the listener is in page mode)
    Finishing,       // "Download Complete" and the questions after it
    Stalled,         // cannot go on by itself; "Stop Download" ends it
  };

  struct Deps {
    ISessionPort& port;
    CCommandQueue& queue;
    IScheduler& scheduler;
    IPrompts& prompts;
    IDownloadView& view;
    const CTrace& trace;
    const CInstrStatus& status;
    CMemoryPointers& pointers;
    CDownloadedData& data;
    const SessionTiming& timing;
    std::filesystem::path programDirectory;
    // Told once at the end of every download, however it ended.
    std::function<void(DownloadEnd)> ended;
  };

  explicit CDownload(Deps deps);
  CDownload(const CDownload&) = delete;
  CDownload& operator=(const CDownload&) = delete;

  // "Download Data": queues the readings before the pages and shows the status window.
  void OnDownload();
  // "Stop Download" (asks first).
  void OnStopDownload();

  // The acknowledgement of GET_FLAGS; `decide` when it belongs to a download.
  void OnFlags(const std::string& trimmed, bool decide);
  // One page line from the listener (page mode).
  void OnPageLine(const std::string& line);
  // A "?" to a temperature page: the page is skipped at once. True when it was one.
  bool TakeRefusal(const CCommand& command);
  // A command given up: a page request refused three times ends the rain phase; any command
  // given up while pages arrive interrupts the download. Shows `message` in the download's order.
  // False when the download has nothing to do with it (the caller shows the message).
  bool OnGivenUp(const CCommand& command, GiveUp why, const std::string& message);
  // The acknowledgement or the failure of a memory release this download asked for
  // (SET_MEM_POINTER_R / _T; other numbers are ignored).
  void OnReleaseAcknowledged(int number);
  void OnReleaseGivenUp(int number);
  // The link went away: `tellUser` says so, and a running download ends with what the file holds
  // (stopped before the message, reported after it).
  void OnLinkLost(const std::function<void()>& tellUser);
  // The finish has posted the opening of the file: true when this port message opens it.
  bool TakeOpenDumpPending();

  [[nodiscard]] State GetState() const { return state_; }
  // The listener hands page lines to the download (page mode).
  [[nodiscard]] bool Downloading() const { return downloading_; }
  [[nodiscard]] const DownloadProgress& Progress() const { return progress_; }
  [[nodiscard]] DownloadStatusValues StatusValues() const;
  // The main window's title while downloading (the minimised form shows page and line).
  [[nodiscard]] std::string ProgressTitle(bool minimised) const;
  [[nodiscard]] bool OldDataMode() const { return oldDataMode_; }
  [[nodiscard]] bool RainOverrun() const { return rainOverrun_; }
  [[nodiscard]] bool TempOverrun() const { return tempOverrun_; }
  [[nodiscard]] const std::filesystem::path& DumpFilePath() const { return dump_.Path(); }
  // Pages the instrument would not give (refused rain pages, skipped temperature pages): a
  // download with missed pages is not complete, and releasing the memory would lose them.
  [[nodiscard]] int PagesMissed() const { return pagesMissed_; }
  // How the memory release after the last download went: Cancelled when not asked for,
  // Incomplete while it runs, Protocol naming the pointer that was not set.
  [[nodiscard]] const Status& ReleaseOutcome() const { return release_; }
  // A timed step (the pause between pages, the opening of the file) is still to run.
  [[nodiscard]] bool Busy() const { return steps_.Pending(); }

private:
  void Enter(State state);
  void Decide();
  bool PointersValid();
  [[nodiscard]] int TempPagesFrom(int start) const;
  void Wait_InitDump_R();
  void Wait_InitDump_T();
  int OnRainPageLine(const std::string& line);
  int OnTempPageLine(const std::string& line);
  void NextRainRequest();
  void NextTempRequest();
  void RainPhaseEnd();
  void SkipTempPage();
  void FinishDownload();
  void FinishOutsidePage();
  void PostOpenDumpFile();
  void OpenDumpFile();
  void DumpFileFailed();
  void StartProgress();
  void PageDone();
  void UpdateEstimate();
  // Stops what keeps a download going (timers, timed steps, page mode), before any message box
  // so that no late page line continues the download underneath it.
  void Halt();
  // The one ending of every download: the status window and the report to the session.
  void End(DownloadEnd how);

  Deps deps_;
  CDumpFile dump_;
  State state_ = State::Idle;
  bool downloading_ = false;
  bool rainOverrun_ = false, tempOverrun_ = false;
  int currentRainPage_ = 0;
  int currentTempPage_ = 0; // kept from one download to the next
  int pageLineCount_ = 0;
  int tempMeasCount_ = 0;
  bool tempCountSeen_ = false; // a "NUM T MEAS:" line has arrived in this download
  bool oldDataMode_ = false;
  bool tempFromHistory_ = false;
  int shownPage_ = 0, shownLines_ = 0;
  int pagesMissed_ = 0;
  Status created_;                       // of the dump file's last start
  Status release_;                       // of the memory release
  std::pair<bool, bool> releaseAsked_{}; // rain and temperature pointers still to be set
  bool openDumpPending_ = false;
  DownloadProgress progress_;
  int activity_ = 0;
  Millis pagesStarted_{0};
  CTimer progressTimer_;
  CSteps steps_;
};

} // namespace nimbrel
