#pragma once

#include <QWidget>

#include <filesystem>
#include <memory>

namespace nimbrel {

// What a data window needs of the main window.
class IDataWindowHost {
public:
  IDataWindowHost() = default;
  IDataWindowHost(const IDataWindowHost&) = delete;
  IDataWindowHost& operator=(const IDataWindowHost&) = delete;
  virtual ~IDataWindowHost() = default;

  // The user closes a data window: false keeps it open (the save prompt of downloaded data was
  // cancelled or the save failed).
  virtual bool MayCloseDataWindow() = 0;
  // The window has closed: its slot is free again.
  virtual void DataWindowClosed(QWidget* window) = 0;
  // The window's "Save As...".
  virtual void SaveDataWindowAs(const std::filesystem::path& file) = 0;
};

// Data windows are destroyed by the event loop, never from inside one of their own handlers.
struct CDeleteLater {
  void operator()(QWidget* window) const;
};
using DataWindowPtr = std::unique_ptr<QWidget, CDeleteLater>;

// A data window for `file`, shown by the caller. A data window may offer an invokable "Print()"
// that Ctrl+P of the main window calls.
DataWindowPtr MakeDataWindow(const std::filesystem::path& file, IDataWindowHost& host);

} // namespace nimbrel
