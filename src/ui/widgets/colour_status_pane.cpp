#include "ui/widgets/colour_status_pane.h"

#include <QPainter>
#include <QPalette>

#include <cmath>

namespace nimbrel {

CColourStatusPane::CColourStatusPane(const QString& accessibleName, int width, const QString& text,
                                     const QColor& background, QWidget* parent)
    : QLabel(parent) {
  setAccessibleName(accessibleName);
  setFixedWidth(width);
  setMargin(2);
  setIndent(3);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  SetState(text, background);
}

void CColourStatusPane::SetState(const QString& text, const QColor& background) {
  background_ = background;
  // Relative luminance above about a fifth reads better with black than with white (yellow,
  // green and pure red all take black).
  const auto linear = [](float c) { return c <= 0.04045F ? c / 12.92F : std::pow((c + 0.055F) / 1.055F, 2.4F); };
  const float luminance = 0.2126F * linear(background.redF()) + 0.7152F * linear(background.greenF()) +
                          0.0722F * linear(background.blueF());
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, luminance > 0.18F ? Qt::black : Qt::white);
  setPalette(pal);
  setText(text);
  setAccessibleDescription(text);
  update();
}

void CColourStatusPane::paintEvent(QPaintEvent* event) {
  {
    QPainter p(this);
    p.fillRect(contentsRect(), background_);
  }
  QLabel::paintEvent(event);
}

} // namespace nimbrel
