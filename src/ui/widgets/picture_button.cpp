#include "ui/widgets/picture_button.h"

#include <QPainter>
#include <QPalette>

#include <utility>

namespace nimbrel {

CPictureButton::CPictureButton(const QIcon& picture, const QString& toolTip, QSize size, QWidget* parent)
    : QAbstractButton(parent) {
  setIcon(picture);
  setToolTip(toolTip);
  setAccessibleName(toolTip);
  setFixedSize(size);
  setAttribute(Qt::WA_Hover); // repaint when the pointer enters and leaves
}

void CPictureButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  const QPalette& pal = palette();
  const bool sunken = isDown() || isChecked();
  const bool lit = isEnabled() && underMouse() && !sunken;

  QColor face = pal.color(QPalette::Button);
  if (lit) {
    face = face.lighter(110);
  } else if (sunken) {
    face = face.darker(115);
  }
  p.fillRect(rect(), face);

  // A one-pixel bevel: light at the top left and dark at the bottom right, the other way round when sunken.
  QColor topLeft = pal.color(QPalette::Light);
  QColor bottomRight = pal.color(QPalette::Dark);
  if (sunken) {
    std::swap(topLeft, bottomRight);
  }
  const QRect r = rect().adjusted(0, 0, -1, -1);
  p.setPen(topLeft);
  p.drawLine(r.topLeft(), r.topRight());
  p.drawLine(r.topLeft(), r.bottomLeft());
  p.setPen(bottomRight);
  p.drawLine(r.bottomLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomRight());
  if (lit || hasFocus()) {
    p.setPen(QPen(pal.color(QPalette::Highlight), 1, hasFocus() && !lit ? Qt::DotLine : Qt::SolidLine));
    p.drawRect(r);
  }

  QRect pictureArea = rect().adjusted(1, 1, -1, -1);
  if (sunken) {
    pictureArea.translate(1, 1);
  }
  const QIcon::Mode mode = !isEnabled() ? QIcon::Disabled : (lit ? QIcon::Active : QIcon::Normal);
  icon().paint(&p, pictureArea, Qt::AlignCenter, mode, isChecked() ? QIcon::On : QIcon::Off);
}

} // namespace nimbrel
