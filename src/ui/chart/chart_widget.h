#pragma once

#include "chart/chart_controller.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

class QPushButton;

namespace nimbrel {

// The chart on screen: paints the core's drawing, forwards the mouse and the "<<" ">>" buttons to the
// controller and carries out what it answers. The rubber band inverts the pixels of its border on a
// cached picture of the chart, so drawing it twice erases it.
class CChartWidget : public QWidget {
  Q_OBJECT

public:
  explicit CChartWidget(CChartController& controller, QWidget* parent = nullptr);

  // Carries out the controller's answer; the data window passes the answers of Fill, ZoomPlus,
  // ZoomMinus and ZoomModeChanged here too.
  void Apply(const CChartActions& actions);
  // The clipboard picture: the chart drawn into an image of the widget's size.
  [[nodiscard]] QImage Picture() const;

signals:
  void showRowRequested(int row);
  void zoomPlusPressedChanged(bool pressed);
  void zoomMinusEnabledChanged(bool enabled);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  void Render();
  void InvertBorder(const QRect& rect);
  void PlaceScrollButtons();

  CChartController& controller_;
  QPushButton* left_;  // owned by this widget
  QPushButton* right_; // owned by this widget
  QImage frame_;       // the chart's picture with the rubber band inverted into it
  std::uint64_t renderedRepaints_ = ~std::uint64_t{0};
};

} // namespace nimbrel
