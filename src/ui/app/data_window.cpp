#include "ui/app/data_window.h"

#include "ui/viewer/view_file_dlg.h"

namespace nimbrel {

void CDeleteLater::operator()(QWidget* window) const {
  window->hide();
  window->deleteLater();
}

DataWindowPtr MakeDataWindow(const std::filesystem::path& file, IDataWindowHost& host) {
  return DataWindowPtr(new CViewFileDlg(file, host));
}

} // namespace nimbrel
