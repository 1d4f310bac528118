#pragma once

#include <atomic>
#include <filesystem>

namespace nimbrel {

class IPrompts;
class CZoomMode;
class CViewFileDlg;

// What a data window needs of the main window that owns it: the user's prompts, the zoom mode all
// data windows share, the cancel request of file reading, the program directory, the save rules
// and the slot the window occupies.
class IDataWindowHost {
public:
  IDataWindowHost() = default;
  IDataWindowHost(const IDataWindowHost&) = delete;
  IDataWindowHost& operator=(const IDataWindowHost&) = delete;
  virtual ~IDataWindowHost() = default;

  virtual IPrompts& Prompts() = 0;
  virtual CZoomMode& ZoomMode() = 0;
  virtual std::atomic<bool>& CancelRequest() = 0;
  [[nodiscard]] virtual std::filesystem::path ProgramDirectory() const = 0;
  // The data window's "Save As..." for the file it shows.
  virtual void SaveDataWindowAs(const std::filesystem::path& file) = 0;
  // The close request: while the instrument is connected the save prompt for downloaded data runs
  // first; false when the user cancelled there and the window stays open.
  virtual bool MayClose() = 0;
  // The window is gone: its slot is free again.
  virtual void Closed(CViewFileDlg* window) = 0;
};

} // namespace nimbrel
