#include "download/download.h"

#include "base/text.h"
#include "download/memory_pages.h"

#include <algorithm>
#include <ctime>

namespace nimbrel {

CDownload::CDownload(Deps deps)
    : deps_(std::move(deps)), dump_(deps_.programDirectory), progressTimer_(deps_.scheduler), steps_(deps_.scheduler) {}

// The one place the state changes; the listener's page mode follows it.
void CDownload::Enter(State state) {
  state_ = state;
  switch (state) {
  case State::RainPages:
  case State::TempPages:
    downloading_ = true;
    break;
  case State::Stalled:
    break; // a stalled download keeps what it had: the status window waits for Stop
  default:
    downloading_ = false;
    break;
  }
  deps_.port.SetPageMode(downloading_);
}

// ---------------------------------------------------------------------------------------------
// Start and decision

void CDownload::OnDownload() {
  const auto now = std::chrono::system_clock::to_time_t(deps_.scheduler.WallNow());
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32] = {};
  std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &local);
  deps_.trace.Restart(Printf("%s %s\r\n", stamp, "start download"));

  openDumpPending_ = false;
  deps_.queue.SetReadyToSend();
  oldDataMode_ = tempFromHistory_ = false;
  deps_.data.DataSaved = deps_.data.DataDisplayed = false;
  rainOverrun_ = tempOverrun_ = false;
  deps_.pointers = CMemoryPointers{};
  currentRainPage_ = shownPage_ = shownLines_ = 0;
  tempCountSeen_ = false;
  pagesMissed_ = 0;
  release_ = Status(StatusCode::Cancelled, "the memory release was not asked for");
  releaseAsked_ = {};
  progress_ = {};
  activity_ = 0;
  for (int number : {GET_TIP_VALUE, GET_UNIT, GET_WRITE_MEM_POINTER_R, GET_READ_MEM_POINTER_R, GET_HIST_MEM_POINTER_R,
                     GET_WRITE_MEM_POINTER_T, GET_READ_MEM_POINTER_T, GET_HIST_MEM_POINTER_T, GET_FLAGS}) {
    deps_.queue.QueueCommand(number, "");
  }
  Enter(State::ReadingPointers);
  deps_.view.ShowDownloadStatus(StatusValues());
}

void CDownload::OnFlags(const std::string& trimmed, bool decide) {
  if (trimmed == "00") {
    rainOverrun_ = tempOverrun_ = false;
  } else if (trimmed == "01") {
    rainOverrun_ = true;
  } else if (trimmed == "02") {
    tempOverrun_ = true;
  } else if (trimmed == "03") {
    rainOverrun_ = tempOverrun_ = true;
  }
  deps_.trace.Append(Printf("Command GET_FLAGS ack receive %s\r\n", trimmed.c_str()));
  if (decide && state_ == State::ReadingPointers) {
    Decide();
  }
}

bool CDownload::PointersValid() {
  const CMemoryPointers& p = deps_.pointers;
  struct Check {
    const char* name;
    int value;
    int low, high;
  };
  const Check checks[] = {
      {"GET_WRITE_MEM_POINTER_R", p.WritePointerR, kRainFirstPage, kRainLastPage},
      {"GET_READ_MEM_POINTER_R", p.ReadPointerR, kRainFirstPage, kRainLastPage},
      {"GET_HIST_MEM_POINTER_R", p.HistPointerR, kRainFirstPage, kRainLastPage},
      {"GET_WRITE_MEM_POINTER_T", p.WritePointerT, kTempFirstPage, kTempLastPage},
      {"GET_READ_MEM_POINTER_T", p.ReadPointerT, kTempFirstPage, kTempLastPage},
      {"GET_HIST_MEM_POINTER_T", p.HistPointerT, kTempFirstPage, kTempLastPage},
  };
  for (const auto& c : checks) {
    if (c.value < c.low || c.value > c.high) {
      deps_.prompts.Message(Printf("ERROR: memory pointer out of range, download not possible.\n\n(%s = %d, "
                                   "expected %d to %d)",
                                   c.name, c.value, c.low, c.high),
                            Icon::Error);
      return false;
    }
  }
  return true;
}

int CDownload::TempPagesFrom(int start) const {
  const CMemoryPointers& p = deps_.pointers;
  return p.WritePointerT == p.HistPointerT ? 0 : TempPagesBetween(start, p.WritePointerT);
}

void CDownload::Decide() {
  const CMemoryPointers& p = deps_.pointers;
  if (!PointersValid()) {
    End(DownloadEnd::Refused);
    return;
  }
  if (p.WritePointerR != p.ReadPointerR) {
    currentRainPage_ = NextRainPage(p.ReadPointerR);
    // The temperature plan as the end of the rain phase will decide it.
    const bool tempOld = p.WritePointerT == p.ReadPointerT;
    progress_.pagesTotal = RainPagesBetween(currentRainPage_, p.WritePointerR) +
                           (tempOld ? 0 : TempPagesFrom(NextTempPage(p.ReadPointerT)));
    Wait_InitDump_R();
    return;
  }
  if (p.WritePointerR == p.HistPointerR && p.WritePointerT == p.HistPointerT) {
    deps_.prompts.Message("Memory Empty", Icon::Information);
    End(DownloadEnd::MemoryEmpty);
    return;
  }
  const bool oldTemperature = p.WritePointerT == p.ReadPointerT;
  const int rainPages = p.WritePointerR - p.HistPointerR < 0 ? p.WritePointerR - p.HistPointerR + kRainPages
                                                             : p.WritePointerR - p.HistPointerR;
  const int tempPages = p.WritePointerT - p.HistPointerT < 0 ? p.WritePointerT - p.HistPointerT + kTempPages
                                                             : p.WritePointerT - p.HistPointerT;
  const std::string message =
      Printf("%s.\nOld data\n(%d Rain Pages - %d Temp.Pages)",
             oldTemperature ? "NO NEW RAIN AND TEMP. DATA FOUND" : "NO NEW RAIN DATA FOUND", rainPages, tempPages);
  tempFromHistory_ = false;
  Enter(State::Choosing);
  const auto choice = deps_.view.ChooseDownloadOption(message, oldTemperature);
  // With old temperature only the old-data choice is offered; anything else counts as Cancel.
  if (!choice || (oldTemperature && *choice != DownloadOption::RainAndTemperatureOld)) {
    End(DownloadEnd::Cancelled);
    return;
  }
  // A new file starts; the old one stays until the new download has data.
  created_ = dump_.Create();
  if (*choice == DownloadOption::NewTemperatureOnly) {
    currentTempPage_ = NextTempPage(p.ReadPointerT);
    progress_.pagesTotal = TempPagesFrom(currentTempPage_);
    Wait_InitDump_T();
    return;
  }
  oldDataMode_ = tempFromHistory_ = true;
  currentTempPage_ = NextTempPage(p.HistPointerT);
  currentRainPage_ = NextRainPage(p.HistPointerR);
  const bool noRain = p.HistPointerR == p.WritePointerR;
  progress_.pagesTotal =
      (noRain ? 0 : RainPagesBetween(currentRainPage_, p.WritePointerR)) + TempPagesFrom(currentTempPage_);
  if (noRain) {
    Wait_InitDump_T();
  } else {
    Wait_InitDump_R();
  }
}

// ---------------------------------------------------------------------------------------------
// Rain phase

void CDownload::Wait_InitDump_R() {
  Enter(State::RainPages);
  pagesStarted_ = deps_.scheduler.Now();
  created_ = dump_.Create();
  if (!created_.ok()) {
    deps_.prompts.Message("Unable to create default dump file", Icon::None);
  } else {
    if (deps_.status.TipValue == 0.0F) {
      deps_.prompts.Message("ERROR: H2O millimeters per tip not found.", Icon::Error);
      End(DownloadEnd::Stalled);
      return;
    }
    dump_.WriteHeader(deps_.status.SerialNum, deps_.status.TipValue, deps_.status.Unit);
  }
  deps_.data.CurrentDumpPath = dump_.Path();
  shownLines_ = 0;
  deps_.view.ShowDownloadStatus(StatusValues());
  StartProgress();
  shownPage_ = currentRainPage_;
  const std::string page = Printf("%.4d", currentRainPage_);
  deps_.queue.QueueCommand(DUMP_PAGE_R, page);
  pageLineCount_ = 0;
  deps_.trace.Append(Printf("Wait_InitDump_R: send  DUMP_PAGE_R %s\r\n", page.c_str()));
}

void CDownload::OnPageLine(const std::string& line) {
  if (!downloading_ || state_ == State::Stalled) {
    return; // a line still on its way when the download ended
  }
  // Page mode starts with the phase, but the page request goes out on the next tick: a line that
  // comes before it answers no page and stays out of the file.
  const CCommand* awaited = deps_.queue.Current();
  if (awaited == nullptr ||
      (awaited->GetCommandNumber() != DUMP_PAGE_R && awaited->GetCommandNumber() != DUMP_PAGE_T)) {
    deps_.trace.Append("Line before any page request, left out of the file: " + line + "\r\n");
    return;
  }
  deps_.queue.StopReplyTimer();
  if (state_ == State::TempPages) {
    if (OnTempPageLine(line) == 0) {
      PostOpenDumpFile(); // the download is over: the next port message opens the file
    }
    return;
  }
  (void)OnRainPageLine(line); // its result only tells whether the phase ended; the state says so too
}

int CDownload::OnRainPageLine(const std::string& line) {
  if (!dump_.AppendLine(line).ok()) {
    DumpFileFailed();
    return -1;
  }
  ++pageLineCount_;
  ++shownLines_;
  if (pageLineCount_ < kRainPageLines) {
    return -1;
  }
  shownPage_ = currentRainPage_;
  PageDone();
  deps_.view.UpdateDownloadStatus(StatusValues());
  pageLineCount_ = 0;
  shownLines_ = 0;
  if (currentRainPage_ == deps_.pointers.WritePointerR) {
    deps_.queue.RemoveCurrent();
    RainPhaseEnd();
    return 0;
  }
  currentRainPage_ = NextRainPage(currentRainPage_);
  shownPage_ = currentRainPage_;
  steps_.Later(deps_.timing.pageGap, [this] { NextRainRequest(); });
  return 1;
}

void CDownload::NextRainRequest() {
  deps_.queue.RemoveCurrent();
  const std::string page = Printf("%.4d", currentRainPage_);
  deps_.queue.QueueCommand(DUMP_PAGE_R, page);
  pageLineCount_ = 0;
  deps_.queue.SetReadyToSend();
  deps_.trace.Append(Printf("Send  DUMP_PAGE_R %s\r\n", page.c_str()));
}

void CDownload::RainPhaseEnd() {
  CMemoryPointers& p = deps_.pointers;
  if (p.WritePointerT == p.ReadPointerT && !oldDataMode_) {
    p.WritePointerT = p.HistPointerT; // nothing new: the temperature phase ends at once
  } else {
    currentTempPage_ = NextTempPage(tempFromHistory_ ? p.HistPointerT : p.ReadPointerT);
  }
  Wait_InitDump_T();
}

// ---------------------------------------------------------------------------------------------
// Temperature phase

void CDownload::Wait_InitDump_T() {
  Enter(State::TempPages);
  if (!dump_.WriteTemperatureSection(deps_.status.SerialNum).ok() || (!dump_.Started() && !created_.ok())) {
    deps_.prompts.Message("Unable to open default dump file", Icon::None);
  }
  deps_.view.ShowDownloadStatus(StatusValues());
  deps_.data.CurrentDumpPath = dump_.Path();
  const int tempPages = TempPagesFrom(currentTempPage_);
  progress_.pagesTotal = progress_.pagesDone + tempPages;
  if (tempPages == 0) {
    FinishOutsidePage();
    return;
  }
  if (!progressTimer_.Running()) {
    pagesStarted_ = deps_.scheduler.Now();
    StartProgress();
  }
  shownPage_ = currentTempPage_;
  deps_.queue.SetReadyToSend();
  const std::string page = Printf("%.4d", currentTempPage_);
  deps_.queue.QueueCommand(DUMP_PAGE_T, page);
  pageLineCount_ = 0;
  deps_.trace.Append(Printf("Wait_InitDump_T: send  DUMP_PAGE_T %s\r\n", page.c_str()));
}

int CDownload::OnTempPageLine(const std::string& line) {
  const auto count = line.find("NUM T MEAS:");
  if (count != std::string::npos) {
    tempMeasCount_ = LeadingInt(std::string_view(line).substr(count + 11));
    tempCountSeen_ = true;
    pageLineCount_ = 0;
    return 1;
  }
  if (!dump_.AppendLine(line).ok()) {
    DumpFileFailed();
    return -1;
  }
  ++pageLineCount_;
  ++shownLines_;
  // A page that announces 0 measurements ends after its one following line.
  if (!tempCountSeen_ || tempMeasCount_ < 0 || pageLineCount_ != tempMeasCount_ + 1) {
    return -1;
  }
  shownPage_ = currentTempPage_;
  PageDone();
  deps_.view.UpdateDownloadStatus(StatusValues());
  pageLineCount_ = 0;
  shownLines_ = 0;
  if (currentTempPage_ == deps_.pointers.WritePointerT) {
    FinishDownload();
    return 0;
  }
  currentTempPage_ = NextTempPage(currentTempPage_);
  shownPage_ = currentTempPage_;
  steps_.Later(deps_.timing.pageGap, [this] { NextTempRequest(); });
  return 1;
}

void CDownload::NextTempRequest() {
  deps_.queue.RemoveCurrent();
  deps_.queue.QueueCommand(DUMP_PAGE_T, Printf("%.4d", currentTempPage_));
  pageLineCount_ = 0;
  deps_.queue.SetReadyToSend();
}

bool CDownload::TakeRefusal(const CCommand& command) {
  if (command.GetCommandNumber() != DUMP_PAGE_T || state_ != State::TempPages) {
    return false;
  }
  SkipTempPage();
  return true;
}

void CDownload::SkipTempPage() {
  deps_.queue.RemoveCurrent();
  ++pagesMissed_;
  PageDone();
  if (currentTempPage_ == deps_.pointers.WritePointerT) {
    // The instrument refused the last page it holds: nothing follows it, so the download ends
    // here instead of going round the temperature memory again.
    FinishOutsidePage();
    return;
  }
  currentTempPage_ = NextTempPage(currentTempPage_);
  steps_.Later(deps_.timing.pageGap, [this] {
    const std::string page = Printf("%.4d", currentTempPage_);
    deps_.queue.QueueCommand(DUMP_PAGE_T, page);
    deps_.port.SetReceiveEnabled(true);
    deps_.queue.SetReadyToSend();
    deps_.trace.Append(Printf("Send  DUMP_PAGE_T %s\r\n", page.c_str()));
  });
}

// ---------------------------------------------------------------------------------------------
// End

bool CDownload::OnGivenUp(const CCommand& command, GiveUp why, const std::string& message) {
  if (why == GiveUp::Refused && command.GetCommandNumber() == DUMP_PAGE_R && state_ == State::RainPages) {
    deps_.prompts.Message(message, Icon::None);
    deps_.queue.RemoveCurrent();
    deps_.port.SetReceiveEnabled(true);
    deps_.queue.SetReadyToSend();
    ++pagesMissed_;
    PageDone();
    RainPhaseEnd();
    return true;
  }
  if (state_ == State::ReadingPointers && command.GetCommandNumber() == GET_FLAGS) {
    // No decision can be taken, whether the flags never came or were refused: the status window
    // waits for "Stop Download".
    deps_.prompts.Message(message, Icon::None);
    End(DownloadEnd::Stalled);
    return true;
  }
  if (why != GiveUp::TimedOut || !downloading_) {
    return false;
  }
  Halt();
  deps_.prompts.Message(message, Icon::None);
  End(DownloadEnd::Interrupted);
  return true;
}

void CDownload::OnReleaseAcknowledged(int number) {
  bool& pending = number == SET_MEM_POINTER_R ? releaseAsked_.first : releaseAsked_.second;
  if (!pending || release_.code() != StatusCode::Incomplete) {
    return;
  }
  pending = false;
  if (!releaseAsked_.first && !releaseAsked_.second) {
    release_ = Status::Ok();
  }
}

void CDownload::OnReleaseGivenUp(int number) {
  bool& pending = number == SET_MEM_POINTER_R ? releaseAsked_.first : releaseAsked_.second;
  if (!pending) {
    return;
  }
  pending = false;
  release_ = Status(StatusCode::Protocol,
                    Printf("%s was not accepted: the instrument still holds the downloaded %s data, and the next "
                           "download fetches them again",
                           CommandName(number), number == SET_MEM_POINTER_R ? "rain" : "temperature"));
}

void CDownload::OnLinkLost(const std::function<void()>& tellUser) {
  // Any download under way ends, the reading of its pointers included: nothing can answer it now.
  if (state_ == State::Idle) {
    tellUser();
    return;
  }
  Halt();
  tellUser();
  End(DownloadEnd::Interrupted);
}

void CDownload::FinishOutsidePage() {
  FinishDownload();
  // The finish was reached without a page line to carry it: the port message that opens the file
  // is sent from here.
  deps_.port.SetReceiveEnabled(true);
  PostOpenDumpFile();
}

void CDownload::PostOpenDumpFile() {
  openDumpPending_ = true;
  steps_.Later(Millis(0), [this] { (void)TakeOpenDumpPending(); });
}

bool CDownload::TakeOpenDumpPending() {
  if (!openDumpPending_) {
    return false;
  }
  openDumpPending_ = false;
  OpenDumpFile();
  return true;
}

void CDownload::FinishDownload() {
  Halt();
  Enter(State::Finishing);
  DownloadStatusValues done = StatusValues();
  done.activity = done.activityMax;
  deps_.view.UpdateDownloadStatus(done);
  if (!dump_.Finish().ok()) {
    deps_.prompts.Message("Unable to create default dump file", Icon::None);
  }
  deps_.prompts.Message("Download Complete", Icon::Information);
  if (rainOverrun_) {
    deps_.prompts.Message("WARNING: Overrun detected in Rain memory.", Icon::Warning);
  }
  if (tempOverrun_) {
    deps_.prompts.Message("WARNING: Overrun detected in Temperature memory.", Icon::Warning);
  }
  if (!oldDataMode_) {
    if (pagesMissed_ > 0) {
      deps_.prompts.Message(Printf("WARNING: %d memory page%s could not be read.\nClearing the instrument memory now "
                                   "would lose %s for good.",
                                   pagesMissed_, pagesMissed_ == 1 ? "" : "s", pagesMissed_ == 1 ? "it" : "them"),
                            Icon::Warning);
    }
    if (deps_.prompts.Question("WARNING\nDo you want to clear instrument memory ?", Buttons::YesNo, Icon::Question,
                               Answer::No) == Answer::Yes) {
      const std::string rain = Printf("%.4d", deps_.pointers.WritePointerR);
      const std::string temp = Printf("%.4d", deps_.pointers.WritePointerT);
      deps_.queue.QueueCommand(SET_MEM_POINTER_R, rain);
      deps_.queue.QueueCommand(SET_MEM_POINTER_T, temp);
      releaseAsked_ = {true, true};
      release_ = Status(StatusCode::Incomplete, "the memory release is under way");
      deps_.trace.Append(Printf("Clear Mem after download finish: send  SET_MEM_POINTER_R %s\r\n", rain.c_str()));
      deps_.trace.Append(Printf("Clear Mem after download finish: send  SET_MEM_POINTER_T %s\r\n", temp.c_str()));
    } else {
      deps_.trace.Append("Mem not clear after download end\r\n");
    }
  }
  // The last page request is done with; later commands (the memory release, maintenance) go out.
  deps_.queue.RemoveCurrent();
  deps_.queue.SetReadyToSend();
  End(DownloadEnd::Complete);
}

// A page line that cannot be stored would be lost and its page would never complete: the
// download ends here, with what the file holds so far.
void CDownload::DumpFileFailed() {
  Halt();
  deps_.queue.StopReplyTimer();
  deps_.queue.Clear();
  deps_.queue.ResetRetries();
  (void)deps_.port.Purge(); // what is still on its way is dropped; nothing to report if it fails
  deps_.port.EmptyReceiveBuffer();
  deps_.queue.SetReadyToSend();
  deps_.port.SetReceiveEnabled(true);
  deps_.prompts.Message("unable to open DEFAULT_DUMP_FILE", Icon::None);
  End(DownloadEnd::Interrupted);
}

void CDownload::OpenDumpFile() {
  deps_.data.DataDisplayed = true;
  deps_.view.OpenDataWindow(deps_.data.CurrentDumpPath);
}

void CDownload::OnStopDownload() {
  if (deps_.prompts.Question("Confirm stop downloading ?", Buttons::YesNo, Icon::Question, Answer::No) != Answer::Yes) {
    return;
  }
  Halt();
  deps_.queue.StopReplyTimer();
  deps_.port.SetReceiveEnabled(false);
  deps_.queue.Clear();
  (void)deps_.port.Purge(); // what is still on its way is dropped; nothing to report if it fails
  deps_.port.EmptyReceiveBuffer();
  deps_.data.CurrentDumpPath.clear();
  openDumpPending_ = false;
  deps_.queue.SetReadyToSend();
  End(DownloadEnd::Stopped);
}

void CDownload::Halt() {
  progressTimer_.Stop();
  steps_.CancelAll();
  Enter(State::Idle);
}

void CDownload::End(DownloadEnd how) {
  if (how == DownloadEnd::Stalled) {
    Enter(State::Stalled);
  } else {
    Halt();
  }
  if (how != DownloadEnd::Complete && !dump_.Started()) {
    // Nothing new came: the last good file stays as it was and is not the current data.
    deps_.data.CurrentDumpPath.clear();
  }
  switch (how) {
  case DownloadEnd::Interrupted:
    deps_.trace.Append("Download interrupted: the file keeps the lines received so far\r\n");
    deps_.prompts.Message("Download Interrupted", Icon::None);
    deps_.view.HideDownloadStatus();
    deps_.view.DestroyDownloadStatus();
    break;
  case DownloadEnd::Refused:
    deps_.view.DestroyDownloadStatus();
    break;
  case DownloadEnd::Complete:
    deps_.view.HideDownloadStatus();
    break;
  case DownloadEnd::Stalled:
    deps_.trace.Append("Download waiting: it cannot go on by itself until Stop Download\r\n");
    break; // the status window stays until "Stop Download"
  case DownloadEnd::Stopped:
    deps_.trace.Append("Download stopped by the user\r\n");
    deps_.view.HideDownloadStatus();
    deps_.view.DestroyDownloadStatus();
    break;
  case DownloadEnd::MemoryEmpty:
  case DownloadEnd::Cancelled:
    deps_.view.HideDownloadStatus();
    deps_.view.DestroyDownloadStatus();
    break;
  }
  deps_.ended(how);
}

// ---------------------------------------------------------------------------------------------
// Progress

void CDownload::StartProgress() {
  if (progressTimer_.Running()) {
    return;
  }
  progressTimer_.Start(deps_.timing.progressTick, true, [this] {
    activity_ = (activity_ + 1) % 21;
    UpdateEstimate();
    deps_.view.SetTitle(ProgressTitle(deps_.view.IsMinimised()));
    deps_.view.UpdateDownloadStatus(StatusValues());
  });
}

void CDownload::PageDone() {
  ++progress_.pagesDone;
  UpdateEstimate();
}

void CDownload::UpdateEstimate() {
  progress_.pagesTotal = std::max(progress_.pagesTotal, progress_.pagesDone);
  if (progress_.pagesDone == 0) {
    progress_.remaining.reset();
    return;
  }
  const auto elapsed = deps_.scheduler.Now() - pagesStarted_;
  progress_.remaining = elapsed * (progress_.pagesTotal - progress_.pagesDone) / progress_.pagesDone;
}

DownloadStatusValues CDownload::StatusValues() const {
  DownloadStatusValues v;
  v.pageNum = Printf("%d", shownPage_);
  v.dataDownloaded = Printf("%d", shownLines_);
  v.activity = activity_;
  v.progress = progress_;
  v.rainPhase = state_ != State::TempPages;
  return v;
}

std::string CDownload::ProgressTitle(bool minimised) const {
  return minimised ? Printf("Download progress: file %d - line %d", shownPage_, shownLines_)
                   : Printf("Nimbrel %s - %s", deps_.status.InstrType.c_str(), deps_.status.SerialNum.c_str());
}

} // namespace nimbrel
