#include "data/open_save.h"

#include "base/prompts.h"
#include "base/safe_file.h"
#include "base/text.h"

#include <utility>

namespace nimbrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataFileName = "Nimbrel.rlg";
constexpr const char* kDataSuffix = "rlg";

FileChoice Dialog(FileChoice::Kind kind, const char* filter, fs::path start = {}) {
  return {kind, filter, kDataFileName, kDataSuffix, std::move(start)};
}

// The text after the last dot of the file name, compared as it stands: ".RLG" is not a data file name.
bool HasDataSuffix(const fs::path& file) {
  const std::string name = file.filename().string();
  const auto dot = name.rfind('.');
  return dot != std::string::npos && name.compare(dot + 1, std::string::npos, kDataSuffix) == 0;
}

} // namespace

COpenSave::COpenSave(OpenSaveState& state, IOpenSaveHost& host, IPrompts& prompts, fs::path programDirectory)
    : COpenSave(OpenSaveRecord{state.currentDumpPath, state.dataSaved, state.dataDisplayed}, host, prompts,
                std::move(programDirectory)) {}

COpenSave::COpenSave(OpenSaveRecord record, IOpenSaveHost& host, IPrompts& prompts, fs::path programDirectory)
    : state_(record), host_(host), prompts_(prompts), programDirectory_(std::move(programDirectory)) {}

bool COpenSave::DisconnectToOpen() {
  if (host_.IsConnected()) {
    if (prompts_.Question(kConfirmDisconnectToOpenText, Buttons::YesNo, Icon::Warning, Answer::No) != Answer::Yes) {
      return false;
    }
    // The file is opened whatever became of the disconnection.
    host_.Disconnect();
  }
  return true;
}

void COpenSave::OpenFiles(const std::vector<fs::path>& files) {
  if (files.empty() || !DisconnectToOpen()) {
    return;
  }
  for (const fs::path& file : files) {
    state_.dataDisplayed = true;
    host_.OpenDataWindow(file);
  }
}

void COpenSave::Open() {
  if (!DisconnectToOpen()) {
    return;
  }
  const auto file = prompts_.ChooseFile(Dialog(FileChoice::Kind::Open, "Nimbrel files (*.rlg;)|*.rlg;||"));
  if (!file) {
    return;
  }
  state_.dataDisplayed = true;
  host_.OpenDataWindow(*file);
}

void COpenSave::SaveAs() {
  const auto target = prompts_.ChooseFile(Dialog(FileChoice::Kind::Save, "Nimbrel files (*.rlg)|*.rlg||"));
  if (!target) {
    return;
  }
  if (!HasDataSuffix(*target)) {
    prompts_.Message("ERROR: Bad file extention.", Icon::Error);
    return;
  }
  if (!CopyFileAtomically(state_.currentDumpPath, *target).ok()) {
    prompts_.Message(kFileNotSavedText, Icon::Warning);
    return;
  }
  state_.dataSaved = true;
}

void COpenSave::SaveDataWindowAs(const fs::path& windowFile) {
  const auto target =
      prompts_.ChooseFile(Dialog(FileChoice::Kind::Save, "Nimbrel files (*.rlg;)|*.rlg||", programDirectory_));
  if (!target) {
    return;
  }
  if (!HasDataSuffix(*target)) {
    prompts_.Message("ERROR: Bad File extention.", Icon::Error);
    return;
  }
  // Counts as saved whatever the copy gives; a failure is still reported, with its reason.
  state_.dataSaved = true;
  const Status copied = CopyFileAtomically(windowFile, *target);
  if (!copied.ok()) {
    prompts_.Message(std::string(kFileNotSavedText) + "\n" + copied.message() +
                         "\nChoose another name or folder and save again.",
                     Icon::Warning);
  }
}

int COpenSave::SavePrompt() {
  if (!state_.dataSaved && state_.dataDisplayed) {
    const Answer answer = prompts_.Question(kSaveCurrentDataText, Buttons::YesNoCancel, Icon::Question, Answer::Cancel);
    if (answer == Answer::Cancel) {
      return -1;
    }
    if (answer == Answer::Yes) {
      const auto target = prompts_.ChooseFile(Dialog(FileChoice::Kind::Save, "Nimbrel files (*.rlg;)|*.rlg||"));
      if (!target) {
        return 0; // the caller goes on; the data stay as they are, unsaved
      }
      if (!HasDataSuffix(*target)) {
        prompts_.Message("ERROR: Bad File Extention", Icon::Error);
        return -1;
      }
      if (!CopyFileAtomically(state_.currentDumpPath, *target).ok()) {
        prompts_.Message(kFileNotSavedText, Icon::Warning);
        return -1;
      }
      state_.dataSaved = true;
    }
  }
  CloseDownloadedData();
  return 0;
}

void COpenSave::CloseDownloadedData() {
  host_.ClearDownloading();
  state_.dataDisplayed = false;
  state_.currentDumpPath.clear(); // the file stays on disk
  host_.SetTitle(host_.IsConnected()
                     ? Printf("Nimbrel %s - %s", host_.InstrumentType().c_str(), host_.SerialNumber().c_str())
                     : std::string("Nimbrel"));
  host_.CloseLastDataWindow();
}

} // namespace nimbrel
