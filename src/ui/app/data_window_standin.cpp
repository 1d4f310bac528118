#include "ui/app/data_window_standin.h"

#include "ui/widgets/picture_button.h"
#include "ui/widgets/pictures.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace nimbrel {

// NOLINTBEGIN(cppcoreguidelines-owning-memory): Qt widgets are owned by their parents

CDataWindowStandIn::CDataWindowStandIn(std::filesystem::path file, IDataWindowHost& host)
    : file_(std::move(file)), host_(host) {
  setAttribute(Qt::WA_DeleteOnClose, false); // the main window's table destroys it
  setWindowTitle(QString::fromStdString(file_.filename().string()));
  setWindowIcon(pictures::Icon(pictures::Id::Program));
  auto* save = new CPictureButton(pictures::Icon(pictures::Id::SaveAs), QStringLiteral("Save As..."),
                                  pictures::kDataButtonSize, this);
  connect(save, &CPictureButton::clicked, this, [this] { host_.SaveDataWindowAs(file_); });
  auto* path = new QLabel(QString::fromStdString(file_.string()), this);
  path->setAccessibleName(QStringLiteral("File"));
  path->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(path);
  layout->addStretch(1);
  resize(640, 420);
}

// NOLINTEND(cppcoreguidelines-owning-memory)

void CDataWindowStandIn::closeEvent(QCloseEvent* event) {
  if (!host_.MayCloseDataWindow()) {
    event->ignore();
    return;
  }
  event->accept();
  host_.DataWindowClosed(this);
}

} // namespace nimbrel
