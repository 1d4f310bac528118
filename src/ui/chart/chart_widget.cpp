#include "ui/chart/chart_widget.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace nimbrel {

namespace {

int ButtonCode(Qt::MouseButton button) {
  switch (button) {
  case Qt::LeftButton:
    return kLeftButton;
  case Qt::RightButton:
    return kRightButton;
  case Qt::MiddleButton:
    return kMiddleButton;
  default:
    return 0;
  }
}

int ButtonState(Qt::MouseButtons buttons) {
  return (buttons.testFlag(Qt::LeftButton) ? kLeftButton : 0) | (buttons.testFlag(Qt::RightButton) ? kRightButton : 0) |
         (buttons.testFlag(Qt::MiddleButton) ? kMiddleButton : 0);
}

} // namespace

CChartWidget::CChartWidget(CChartController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller), left_(new QPushButton(QStringLiteral("<<"), this)),
      right_(new QPushButton(QStringLiteral(">>"), this)) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  for (QPushButton* button : {left_, right_}) {
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
  }
  connect(left_, &QPushButton::clicked, this, [this] { Apply(controller_.ScrollLeft()); });
  connect(right_, &QPushButton::clicked, this, [this] { Apply(controller_.ScrollRight()); });
}

void CChartWidget::Apply(const CChartActions& actions) {
  if (!actions.band.empty()) {
    // The band goes onto the picture of the chart as it is now, so a pending repaint is done first.
    Render();
    for (const QRect& rect : actions.band) {
      InvertBorder(rect);
    }
  }
  if (actions.repaint || !actions.band.empty()) {
    update();
  }
  if (actions.beep) {
    QApplication::beep();
  }
  if (actions.cursor == ChartCursor::Zoom) {
    setCursor(Qt::CrossCursor);
  } else if (actions.cursor == ChartCursor::Normal) {
    unsetCursor();
  }
  if (actions.scrollButtons) {
    left_->setVisible(*actions.scrollButtons);
    right_->setVisible(*actions.scrollButtons);
    left_->raise();
    right_->raise();
  }
  if (actions.zoomPlusPressed) {
    emit zoomPlusPressedChanged(*actions.zoomPlusPressed);
  }
  if (actions.zoomMinusEnabled) {
    emit zoomMinusEnabledChanged(*actions.zoomMinusEnabled);
  }
  if (actions.showRow) {
    emit showRowRequested(*actions.showRow);
  }
}

QImage CChartWidget::Picture() const {
  return controller_.Chart().Picture(size());
}

void CChartWidget::Render() {
  // The picture is drawn again whenever the chart asked for a repaint since, which also wipes the band.
  const std::uint64_t repaints = controller_.Chart().RepaintCount();
  if (repaints == renderedRepaints_ && frame_.size() == size() * devicePixelRatio()) {
    return;
  }
  renderedRepaints_ = repaints;
  const qreal ratio = devicePixelRatio();
  frame_ = QImage(size() * ratio, QImage::Format_RGB32);
  frame_.setDevicePixelRatio(ratio);
  frame_.fill(Qt::white);
  QPainter painter(&frame_);
  controller_.Chart().draw(painter, rect());
}

void CChartWidget::InvertBorder(const QRect& rect) {
  const qreal ratio = frame_.devicePixelRatio();
  const QRect r(QPoint(static_cast<int>(rect.left() * ratio), static_cast<int>(rect.top() * ratio)),
                QPoint(static_cast<int>(rect.right() * ratio), static_cast<int>(rect.bottom() * ratio)));
  const QRect area = r & frame_.rect();
  const auto invert = [this](int x, int y) {
    auto* line = reinterpret_cast<QRgb*>(frame_.scanLine(y)); // NOLINT: a Format_RGB32 line is QRgb words
    line[x] ^= 0x00FFFFFFU;
  };
  if (area.isEmpty()) {
    return;
  }
  // Every border pixel once, even where the rectangle is one pixel thin.
  for (int x = area.left(); x <= area.right(); ++x) {
    if (r.top() == area.top()) {
      invert(x, r.top());
    }
    if (r.bottom() != r.top() && r.bottom() == area.bottom()) {
      invert(x, r.bottom());
    }
  }
  for (int y = std::max(area.top(), r.top() + 1); y <= std::min(area.bottom(), r.bottom() - 1); ++y) {
    if (r.left() == area.left()) {
      invert(r.left(), y);
    }
    if (r.right() != r.left() && r.right() == area.right()) {
      invert(r.right(), y);
    }
  }
}

void CChartWidget::paintEvent(QPaintEvent* /*event*/) {
  Render();
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), frame_);
}

void CChartWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceScrollButtons();
  Apply(controller_.Resize(size(), ChartScaleForDpi(logicalDpiY())));
}

void CChartWidget::PlaceScrollButtons() {
  const QSize hint(fontMetrics().horizontalAdvance(QStringLiteral(">>")) + 16, fontMetrics().height() + 6);
  left_->setGeometry(QRect(QPoint(0, 0), hint));
  right_->setGeometry(QRect(QPoint(width() - hint.width(), 0), hint));
}

void CChartWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  Apply(controller_.MouseMove(ButtonState(event->buttons()), p.x(), p.y()));
}

void CChartWidget::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  Apply(controller_.ButtonDown(ButtonCode(event->button()), p.x(), p.y()));
}

void CChartWidget::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  Apply(controller_.ButtonUp(ButtonCode(event->button()), p.x(), p.y()));
}

void CChartWidget::mouseDoubleClickEvent(QMouseEvent* /*event*/) {
  Apply(controller_.DoubleClick());
}

} // namespace nimbrel
