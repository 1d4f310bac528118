#pragma once

#include "ui/viewer/data_window_host.h"

#include <QWidget>

#include <filesystem>
#include <memory>

namespace nimbrel {

// Data windows are destroyed by the event loop, never from inside one of their own handlers.
struct CDeleteLater {
  void operator()(QWidget* window) const;
};
using DataWindowPtr = std::unique_ptr<QWidget, CDeleteLater>;

// A data window for `file`, shown by the caller. It reads its file while it is made.
DataWindowPtr MakeDataWindow(const std::filesystem::path& file, IDataWindowHost& host);

} // namespace nimbrel
