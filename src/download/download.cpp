#include "protocol/session.h"
#include "base/text.h"

#include <algorithm>
#include <ctime>

namespace nimbrel {

namespace {
int RainPagesBetween(int first, int last) {
  return ((last - first) % kRainPages + kRainPages) % kRainPages + 1;
}
int TempPagesBetween(int first, int last) {
  return ((last - first) % kTempPages + kTempPages) % kTempPages + 1;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Start and decision

void CSession::OnDownload() {
  if (!Menu().download.enabled) {
    return;
  }
  const auto now = std::chrono::system_clock::to_time_t(deps_.scheduler.WallNow());
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32] = {};
  std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &local);
  (void)WriteTextMode(TracePath(), Printf("%s %s\r\n", stamp, "start download"), true);

  OpenDumpPending = false;
  ReadyToSend = true;
  ProcedureState = 1;
  OldDataMode = DataSaved = DataDisplayed = false;
  RainOverrun = TempOverrun = false;
  WritePointerR = ReadPointerR = HistPointerR = 0;
  WritePointerT = ReadPointerT = HistPointerT = 0;
  CurrentRainPage = ShownPage = ShownLines = 0;
  TempCountSeen = false;
  Progress = {};
  activity_ = 0;
  for (int number : {GET_TIP_VALUE, GET_UNIT, GET_WRITE_MEM_POINTER_R, GET_READ_MEM_POINTER_R, GET_HIST_MEM_POINTER_R,
                     GET_WRITE_MEM_POINTER_T, GET_READ_MEM_POINTER_T, GET_HIST_MEM_POINTER_T, GET_FLAGS}) {
    QueueCommand(number, "");
  }
  deps_.view.ShowDownloadStatus(StatusValues());
}

bool CSession::PointersValid() {
  struct Check {
    const char* name;
    int value;
    int low, high;
  };
  const Check checks[] = {
      {"GET_WRITE_MEM_POINTER_R", WritePointerR, kRainFirstPage, kRainLastPage},
      {"GET_READ_MEM_POINTER_R", ReadPointerR, kRainFirstPage, kRainLastPage},
      {"GET_HIST_MEM_POINTER_R", HistPointerR, kRainFirstPage, kRainLastPage},
      {"GET_WRITE_MEM_POINTER_T", WritePointerT, kTempFirstPage, kTempLastPage},
      {"GET_READ_MEM_POINTER_T", ReadPointerT, kTempFirstPage, kTempLastPage},
      {"GET_HIST_MEM_POINTER_T", HistPointerT, kTempFirstPage, kTempLastPage},
  };
  for (const auto& c : checks) {
    if (c.value < c.low || c.value > c.high) {
      Message(Printf("ERROR: memory pointer out of range, download not possible.\n\n(%s = %d, expected %d to %d)",
                     c.name, c.value, c.low, c.high),
              Icon::Error);
      return false;
    }
  }
  return true;
}

int CSession::TempPagesFrom(int start) const {
  return WritePointerT == HistPointerT ? 0 : TempPagesBetween(start, WritePointerT);
}

void CSession::DownloadDecide() {
  if (!PointersValid()) {
    deps_.view.DestroyDownloadStatus();
    deps_.port.Shared().Downloading.store(false);
    EndDownload(DownloadEnd::Refused);
    return;
  }
  if (WritePointerR != ReadPointerR) {
    CurrentRainPage = NextRainPage(ReadPointerR);
    // Temperature plan as the end of the rain phase will decide it.
    const bool tempOld = WritePointerT == ReadPointerT;
    Progress.pagesTotal =
        RainPagesBetween(CurrentRainPage, WritePointerR) + (tempOld ? 0 : TempPagesFrom(NextTempPage(ReadPointerT)));
    Wait_InitDump_R();
    return;
  }
  if (WritePointerR == HistPointerR && WritePointerT == HistPointerT) {
    Message("Memory Empty", Icon::Information);
    deps_.view.HideDownloadStatus();
    deps_.view.DestroyDownloadStatus();
    deps_.port.Shared().Downloading.store(false);
    EndDownload(DownloadEnd::MemoryEmpty);
    return;
  }
  const bool oldTemperature = WritePointerT == ReadPointerT;
  const int rainPages =
      (WritePointerR - HistPointerR) < 0 ? WritePointerR - HistPointerR + kRainPages : WritePointerR - HistPointerR;
  const int tempPages =
      (WritePointerT - HistPointerT) < 0 ? WritePointerT - HistPointerT + kTempPages : WritePointerT - HistPointerT;
  const std::string message =
      Printf("%s.\nOld data\n(%d Rain Pages - %d Temp.Pages)",
             oldTemperature ? "NO NEW RAIN AND TEMP. DATA FOUND" : "NO NEW RAIN DATA FOUND", rainPages, tempPages);
  TempFromHistory = false;
  const auto choice = deps_.view.ChooseDownloadOption(message, oldTemperature);
  // With old temperature only the old-data choice is offered; anything else counts as Cancel.
  if (!choice || (oldTemperature && *choice != DownloadOption::RainAndTemperatureOld)) {
    deps_.view.HideDownloadStatus();
    deps_.view.DestroyDownloadStatus();
    deps_.port.Shared().Downloading.store(false);
    EndDownload(DownloadEnd::Cancelled);
    return;
  }
  std::error_code ec;
  std::filesystem::remove(DumpFilePath(), ec);
  if (*choice == DownloadOption::NewTemperatureOnly) {
    CurrentTempPage = NextTempPage(ReadPointerT);
    Progress.pagesTotal = TempPagesFrom(CurrentTempPage);
    Wait_InitDump_T();
    return;
  }
  OldDataMode = TempFromHistory = true;
  CurrentTempPage = NextTempPage(HistPointerT);
  CurrentRainPage = NextRainPage(HistPointerR);
  const bool noRain = HistPointerR == WritePointerR;
  Progress.pagesTotal =
      (noRain ? 0 : RainPagesBetween(CurrentRainPage, WritePointerR)) + TempPagesFrom(CurrentTempPage);
  if (noRain) {
    Wait_InitDump_T();
  } else {
    Wait_InitDump_R();
  }
}

// ---------------------------------------------------------------------------------------------
// Rain phase

void CSession::Wait_InitDump_R() {
  deps_.port.Shared().Downloading.store(true);
  pagesStarted_ = deps_.scheduler.Now();
  const bool created = WriteTextMode(DumpFilePath(), "", true);
  if (!created) {
    Message("Unable to create default dump file", Icon::None);
  } else {
    if (InstrStatus.TipValue == 0.0F) {
      Message("ERROR: H2O millimeters per tip not found.", Icon::Error);
      EndDownload(DownloadEnd::Stalled);
      return;
    }
    const std::string resolution = Printf("%.5f", static_cast<double>(InstrStatus.TipValue));
    (void)WriteTextMode(
        DumpFilePath(),
        Printf(
            "********** Nimbrel   -TBR4470-   Serial Num:%s **********\r\n\r\nmm H2O per tip = %s\r\nUnit Meas =%s\r\n",
            InstrStatus.SerialNum.c_str(), resolution.c_str(), InstrStatus.Unit == 1 ? "1" : "0"));
  }
  CurrentDumpPath = DumpFilePath();
  ShownLines = 0;
  deps_.view.ShowDownloadStatus(StatusValues());
  if (!progressTimer_) {
    progressTimer_ = deps_.scheduler.Start(deps_.timing.progressTick, true, [this] {
      activity_ = (activity_ + 1) % 21;
      UpdateEstimate();
      deps_.view.SetTitle(ProgressTitle(deps_.view.IsMinimised()));
      deps_.view.UpdateDownloadStatus(StatusValues());
    });
  }
  ShownPage = CurrentRainPage;
  deps_.port.Shared().DumpPhase.store(0);
  const std::string page = Printf("%.4d", CurrentRainPage);
  QueueCommand(DUMP_PAGE_R, page);
  PageLineCount = 0;
  Trace(Printf("Wait_InitDump_R: send  DUMP_PAGE_R %s\r\n", page.c_str()));
}

int CSession::OnRainPageLine(const std::string& line) {
  if (!WriteTextMode(DumpFilePath(), line)) {
    DumpFileFailed();
    return -1;
  }
  ++PageLineCount;
  ++ShownLines;
  if (PageLineCount < kRainPageLines) {
    return -1;
  }
  ShownPage = CurrentRainPage;
  PageDone();
  deps_.view.UpdateDownloadStatus(StatusValues());
  PageLineCount = 0;
  ShownLines = 0;
  if (CurrentRainPage == WritePointerR) {
    RemoveCurrent();
    RainPhaseEnd();
    return 0;
  }
  CurrentRainPage = NextRainPage(CurrentRainPage);
  ShownPage = CurrentRainPage;
  Later(deps_.timing.pageGap, [this] { NextRainRequest(); });
  return 1;
}

void CSession::NextRainRequest() {
  RemoveCurrent();
  const std::string page = Printf("%.4d", CurrentRainPage);
  QueueCommand(DUMP_PAGE_R, page);
  PageLineCount = 0;
  ReadyToSend = true;
  Trace(Printf("Send  DUMP_PAGE_R %s\r\n", page.c_str()));
}

void CSession::RainPhaseEnd() {
  if (WritePointerT == ReadPointerT && !OldDataMode) {
    WritePointerT = HistPointerT; // nothing new: the temperature phase ends at once
  } else {
    CurrentTempPage = NextTempPage(TempFromHistory ? HistPointerT : ReadPointerT);
  }
  Wait_InitDump_T();
}

// ---------------------------------------------------------------------------------------------
// Temperature phase

void CSession::Wait_InitDump_T() {
  deps_.port.Shared().Downloading.store(true);
  if (!WriteTextMode(DumpFilePath(),
                     Printf("TEMPERATURE (-TBR4470- Serial Num: %s)\r\n", InstrStatus.SerialNum.c_str()))) {
    Message("Unable to open default dump file", Icon::None);
  }
  deps_.view.ShowDownloadStatus(StatusValues());
  CurrentDumpPath = DumpFilePath();
  const int tempPages = TempPagesFrom(CurrentTempPage);
  Progress.pagesTotal = Progress.pagesDone + tempPages;
  if (tempPages == 0) {
    FinishOutsidePage();
    return;
  }
  if (!progressTimer_) {
    pagesStarted_ = deps_.scheduler.Now();
    progressTimer_ = deps_.scheduler.Start(deps_.timing.progressTick, true, [this] {
      activity_ = (activity_ + 1) % 21;
      UpdateEstimate();
      deps_.view.SetTitle(ProgressTitle(deps_.view.IsMinimised()));
      deps_.view.UpdateDownloadStatus(StatusValues());
    });
  }
  ShownPage = CurrentTempPage;
  deps_.port.Shared().DumpPhase.store(1);
  ReadyToSend = true;
  const std::string page = Printf("%.4d", CurrentTempPage);
  QueueCommand(DUMP_PAGE_T, page);
  PageLineCount = 0;
  Trace(Printf("Wait_InitDump_T: send  DUMP_PAGE_T %s\r\n", page.c_str()));
}

int CSession::OnTempPageLine(const std::string& line) {
  const auto count = line.find("NUM T MEAS:");
  if (count != std::string::npos) {
    TempMeasCount = LeadingInt(line.substr(count + 11));
    TempCountSeen = true;
    PageLineCount = 0;
    return 1;
  }
  if (!WriteTextMode(DumpFilePath(), line)) {
    DumpFileFailed();
    return -1;
  }
  ++PageLineCount;
  ++ShownLines;
  // A page that announces 0 measurements ends after its one following line.
  if (!TempCountSeen || TempMeasCount < 0 || PageLineCount != TempMeasCount + 1) {
    return -1;
  }
  ShownPage = CurrentTempPage;
  PageDone();
  deps_.view.UpdateDownloadStatus(StatusValues());
  PageLineCount = 0;
  ShownLines = 0;
  if (CurrentTempPage == WritePointerT) {
    FinishDownload();
    return 0;
  }
  CurrentTempPage = NextTempPage(CurrentTempPage);
  ShownPage = CurrentTempPage;
  Later(deps_.timing.pageGap, [this] { NextTempRequest(); });
  return 1;
}

void CSession::NextTempRequest() {
  RemoveCurrent();
  QueueCommand(DUMP_PAGE_T, Printf("%.4d", CurrentTempPage));
  PageLineCount = 0;
  ReadyToSend = true;
}

void CSession::SkipTempPage() {
  RemoveCurrent();
  PageDone();
  if (CurrentTempPage == WritePointerT) {
    // The instrument refused the last page it holds: nothing follows it, so the download ends
    // here instead of going round the temperature memory again.
    FinishOutsidePage();
    return;
  }
  CurrentTempPage = NextTempPage(CurrentTempPage);
  Later(deps_.timing.pageGap, [this] {
    const std::string page = Printf("%.4d", CurrentTempPage);
    QueueCommand(DUMP_PAGE_T, page);
    deps_.port.Shared().ReceiveEnabled.store(true);
    ReadyToSend = true;
    Trace(Printf("Send  DUMP_PAGE_T %s\r\n", page.c_str()));
  });
}

// ---------------------------------------------------------------------------------------------
// End

void CSession::StopProgressTimer() {
  if (progressTimer_) {
    deps_.scheduler.Stop(*progressTimer_);
    progressTimer_.reset();
  }
}

// The finish reached without a page line to carry it: the port message that opens the file is
// sent from here, once the finish has run.
void CSession::FinishOutsidePage() {
  FinishDownload();
  deps_.port.Shared().ReceiveEnabled.store(true);
  OpenDumpPending = true;
  Later(Millis(0), [this] {
    if (OpenDumpPending) {
      OnSerialMsg();
    }
  });
}

void CSession::FinishDownload() {
  StopProgressTimer();
  deps_.port.Shared().Downloading.store(false);
  DownloadStatusValues done = StatusValues();
  done.activity = done.activityMax;
  deps_.view.UpdateDownloadStatus(done);
  Message("Download Complete", Icon::Information);
  if (RainOverrun) {
    Message("WARNING: Overrun detected in Rain memory.", Icon::Warning);
  }
  if (TempOverrun) {
    Message("WARNING: Overrun detected in Temperature memory.", Icon::Warning);
  }
  if (!OldDataMode) {
    if (deps_.prompts.Question("WARNING\nDo you want to clear instrument memory ?", Buttons::YesNo, Icon::Question,
                               Answer::No) == Answer::Yes) {
      const std::string rain = Printf("%.4d", WritePointerR);
      const std::string temp = Printf("%.4d", WritePointerT);
      QueueCommand(SET_MEM_POINTER_R, rain);
      QueueCommand(SET_MEM_POINTER_T, temp);
      Trace(Printf("Clear Mem after download finish: send  SET_MEM_POINTER_R %s\r\n", rain.c_str()));
      Trace(Printf("Clear Mem after download finish: send  SET_MEM_POINTER_T %s\r\n", temp.c_str()));
    } else {
      Trace("Mem not clear after download end\r\n");
    }
  }
  // The last page request is done with; later commands (the memory release, maintenance) go out.
  RemoveCurrent();
  ReadyToSend = true;
  deps_.view.HideDownloadStatus();
  EndDownload(DownloadEnd::Complete);
}

// A page line that cannot be stored would be lost and its page would never complete: the
// download ends here, with what the file holds so far.
void CSession::DumpFileFailed() {
  // The download ends before the message box is shown: lines still on their way are ignored.
  StopReplyTimer();
  StopProgressTimer();
  CancelSteps();
  deps_.port.Shared().Downloading.store(false);
  ClearQueue();
  deps_.port.Purge();
  deps_.port.EmptyReceiveBuffer();
  LastReply.clear();
  RetryCount = 0;
  ReadyToSend = true;
  deps_.port.Shared().ReceiveEnabled.store(true);
  Message("unable to open DEFAULT_DUMP_FILE", Icon::None);
  Message("Download Interrupted", Icon::None);
  deps_.view.HideDownloadStatus();
  deps_.view.DestroyDownloadStatus();
  EndDownload(DownloadEnd::Interrupted);
}

void CSession::OpenDumpFile() {
  DataDisplayed = true;
  deps_.view.OpenDataWindow(CurrentDumpPath);
}

void CSession::OnStopDownload() {
  if (deps_.prompts.Question("Confirm stop downloading ?", Buttons::YesNo, Icon::Question, Answer::No) != Answer::Yes) {
    return;
  }
  StopReplyTimer();
  StopProgressTimer();
  CancelSteps();
  deps_.port.Shared().Downloading.store(false);
  deps_.port.Shared().ReceiveEnabled.store(false);
  ClearQueue();
  deps_.port.Purge();
  deps_.port.EmptyReceiveBuffer();
  LastReply.clear();
  deps_.view.HideDownloadStatus();
  deps_.view.DestroyDownloadStatus();
  CurrentDumpPath.clear();
  OpenDumpPending = false;
  ReadyToSend = true;
  EndDownload(DownloadEnd::Stopped);
}

void CSession::EndDownload(DownloadEnd how) {
  if (ProcedureState == 1) {
    ProcedureState = -1;
  }
  deps_.view.DownloadEnded(how);
}

// ---------------------------------------------------------------------------------------------
// Progress

void CSession::PageDone() {
  ++Progress.pagesDone;
  UpdateEstimate();
}

void CSession::UpdateEstimate() {
  Progress.pagesTotal = std::max(Progress.pagesTotal, Progress.pagesDone);
  if (Progress.pagesDone == 0) {
    Progress.remaining.reset();
    return;
  }
  const auto elapsed = deps_.scheduler.Now() - pagesStarted_;
  Progress.remaining = elapsed * (Progress.pagesTotal - Progress.pagesDone) / Progress.pagesDone;
}

DownloadStatusValues CSession::StatusValues() const {
  DownloadStatusValues v;
  v.pageNum = Printf("%d", ShownPage);
  v.dataDownloaded = Printf("%d", ShownLines);
  v.activity = activity_;
  v.progress = Progress;
  return v;
}

std::string CSession::ProgressTitle(bool minimised) const {
  return minimised ? Printf("Download progress: file %d - line %d", ShownPage, ShownLines)
                   : Printf("Nimbrel %s - %s", InstrStatus.InstrType.c_str(), InstrStatus.SerialNum.c_str());
}

} // namespace nimbrel
