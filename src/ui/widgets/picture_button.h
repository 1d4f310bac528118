#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QSize>
#include <QString>

namespace nimbrel {

// A flat button of a fixed size that shows only a picture, drawn by itself so that it looks the
// same under every style: raised at rest, lit under the pointer, sunken while pressed, faded when
// disabled. Its tool tip is also its accessible name, so screen readers and UI automation find it
// by the text the user sees on hovering.
class CPictureButton : public QAbstractButton {
  Q_OBJECT
public:
  CPictureButton(const QIcon& picture, const QString& toolTip, QSize size, QWidget* parent = nullptr);

  [[nodiscard]] QSize sizeHint() const override { return size(); }

protected:
  void paintEvent(QPaintEvent* event) override;
};

} // namespace nimbrel
