#include "ui/app/data_window.h"

#include "ui/app/data_window_standin.h"

namespace nimbrel {

void CDeleteLater::operator()(QWidget* window) const {
  window->hide();
  window->deleteLater();
}

DataWindowPtr MakeDataWindow(const std::filesystem::path& file, IDataWindowHost& host) {
  return DataWindowPtr(new CDataWindowStandIn(file, host)); // the stand-in until the data window lands
}

} // namespace nimbrel
