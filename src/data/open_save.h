#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace nimbrel {

class IPrompts;

// What the open and save rules keep between calls: the main window's record of the downloaded data.
struct OpenSaveState {
  std::filesystem::path currentDumpPath; // the last download's file; empty when there is none
  bool dataSaved = false;                // the user saved the downloaded data
  bool dataDisplayed = false;            // a data window shows downloaded or opened data
};

// The same record kept elsewhere (the instrument session keeps the program's one copy): the rules
// change its fields in place.
struct OpenSaveRecord {
  std::filesystem::path& currentDumpPath;
  bool& dataSaved;
  bool& dataDisplayed;
};

// What the open and save rules need of the rest of the program.
class IOpenSaveHost {
public:
  IOpenSaveHost() = default;
  IOpenSaveHost(const IOpenSaveHost&) = delete;
  IOpenSaveHost& operator=(const IOpenSaveHost&) = delete;
  virtual ~IOpenSaveHost() = default;

  [[nodiscard]] virtual bool IsConnected() const = 0;
  // The instrument's identity for the main window's title while connected.
  [[nodiscard]] virtual std::string InstrumentType() const = 0;
  [[nodiscard]] virtual std::string SerialNumber() const = 0;
  // The session's Disconnect, which runs SavePrompt first and may be abandoned there.
  virtual void Disconnect() = 0;
  virtual void ClearDownloading() = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // Closes the data window opened last, if it is still open.
  virtual void CloseLastDataWindow() = 0;
  // Opens a data window for the file in the first free slot (telling the user when none is free).
  virtual void OpenDataWindow(const std::filesystem::path& file) = 0;
};

inline constexpr const char* kConfirmDisconnectToOpenText =
    "WARNING: To open file, instrument must be disconnected.\nConfirm disconnection ?";
inline constexpr const char* kSaveCurrentDataText = "Do you want to save current data ?";
inline constexpr const char* kFileNotSavedText = "Error : File not saved.";

// Opening data files and keeping downloaded data by copying them: File ▸ Open, File ▸ Save as,
// a data window's "Save As..." and the save prompt that guards unsaved downloads. A save never
// rewrites data: it copies an existing file byte for byte, through a temporary file beside the
// target, so a failure leaves no half-written file and never replaces a folder.
class COpenSave {
public:
  COpenSave(OpenSaveState& state, IOpenSaveHost& host, IPrompts& prompts, std::filesystem::path programDirectory);
  COpenSave(OpenSaveRecord record, IOpenSaveHost& host, IPrompts& prompts, std::filesystem::path programDirectory);

  // File ▸ Open: disconnects first when the user agrees, then opens the chosen file in a data window.
  void Open();
  // Files dropped on the main window: File ▸ Open without its file dialog, each file in a window.
  void OpenFiles(const std::vector<std::filesystem::path>& files);
  // File ▸ Save as: copies the last download's file to a file the user chooses.
  void SaveAs();
  // A data window's "Save As...": copies the file that window shows.
  void SaveDataWindowAs(const std::filesystem::path& windowFile);
  // Before disconnecting and before closing a data window while connected: offers to save unsaved
  // downloaded data, then closes them. -1 when the caller must not go on (the user cancelled or the
  // save failed), 0 otherwise.
  int SavePrompt();

private:
  void CloseDownloadedData();
  // The question before opening while connected; false when the user keeps the connection.
  bool DisconnectToOpen();

  OpenSaveRecord state_;
  IOpenSaveHost& host_;
  IPrompts& prompts_;
  std::filesystem::path programDirectory_;
};

} // namespace nimbrel
