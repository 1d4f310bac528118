#include "chart/chart_controller.h"

#include "chart/axis_ticks.h"
#include "viewer/table_model.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

namespace nimbrel {

namespace {

const std::string kCursorLabel = "Cursor";
const std::string kGapLabel = "!";
const std::string kMarker = "x";
constexpr int kRain = 1;
constexpr int kTemperature = 2;

bool IsTemperatureMarker(float t) {
  return t == kErrorValue || t == kUnderflow || t == kOverflow || t == kNotAvailable;
}

} // namespace

CChartController::CChartController(CZoomMode& zoomMode) : zoomMode_(zoomMode) {
  // Both groups stay in batch until the first fill: nothing is worth drawing before it.
  for (const int group : {kRain, kTemperature}) {
    chart_.SetGroupBatch(group, true);
    chart_.SetPointCount(group, 1, 0);
  }
  chart_.RemoveAllLabels();
  chart_.AddPixelLabel(kCursorLabel, "", Qt::white, QPoint(0, 0));
  chart_.AddMarker(kMarker, QColor(255, 105, 180), kHole);
  chart_.SetAxisTitle(ChartAxis::Left, "R");
  chart_.SetAxisTitle(ChartAxis::Right, "T");
  chart_.SetAxisShown(ChartAxis::Left, true);
  chart_.SetAxisShown(ChartAxis::Right, true);
  chart_.SetGroupAxis(kTemperature, ChartAxis::Right);
  chart_.SetGroupStyle(kRain, PlotStyle::Bars);
  chart_.SetGroupStyle(kTemperature, PlotStyle::Line);
  chart_.SetGroupColor(kRain, QColor(0, 0, 255));
  chart_.SetGroupColor(kTemperature, QColor(255, 0, 0));
}

CChartActions CChartController::Initial() {
  CChartActions actions;
  actions.scrollButtons = false;
  actions.zoomPlusPressed = false;
  actions.zoomMinusEnabled = false;
  return actions;
}

CChartActions CChartController::Finish(CChartActions actions, std::uint64_t repaintsBefore) const {
  actions.repaint = actions.repaint || chart_.RepaintCount() != repaintsBefore;
  return actions;
}

CChartActions CChartController::Fill(const CDataSeries& series) {
  const std::uint64_t before = chart_.RepaintCount();
  CChartActions actions;
  series_ = &series;
  interval_ = series.interval;
  chart_.SetBatch(true);
  chart_.SetGroupBatch(kRain, true);
  chart_.SetGroupBatch(kTemperature, true);

  if (series.unit == 0 || series.unit == 1) {
    chart_.SetAxisTitle(ChartAxis::Left, series.unit == 0 ? "Rain [mm]" : "Rain [inch]");
    chart_.SetAxisTitle(ChartAxis::Right, series.unit == 0 ? "Temp[C]" : "Temp[F]");
  }
  if (const auto format = TimeLabelFormat(series.interval)) {
    chart_.SetTimeFormat(*format);
  }
  chart_.SetTimeBase(series.startTime);

  const std::size_t n = series.rows.size();
  chart_.SetPointCount(kRain, 1, n);
  chart_.SetPointCount(kTemperature, 1, n);
  // The "!" marks of the previous grouping stand on points that no longer mean the same rows.
  chart_.RemoveAllLabels();
  chart_.AddPixelLabel(kCursorLabel, "", Qt::white, QPoint(0, 0));
  std::vector<double> x(n);
  std::vector<double> rain(n);
  std::vector<double> temperature(n);
  bool inRun = false;
  for (std::size_t i = 0; i < n; ++i) {
    const CDataItem& row = series.rows[i];
    // The first point lies one second after the base.
    x[i] = static_cast<double>(series.interval) * static_cast<double>(i) + 1.0;
    rain[i] = row.rain;
    const bool marker = IsTemperatureMarker(row.temperature);
    temperature[i] = marker ? kHole : static_cast<double>(row.temperature);
    if (marker && !inRun) {
      const auto point = static_cast<int>(std::min<std::size_t>(row.rain == kNotAvailable ? i : i + 1, INT_MAX));
      chart_.AddPointLabel(kGapLabel, kGapLabel, QColor(255, 255, 0), kRain, 1, point);
    }
    inRun = marker;
  }
  chart_.SetXData(kRain, 1, x);
  chart_.SetXData(kTemperature, 1, x);
  chart_.SetYData(kRain, 1, rain);
  chart_.SetYData(kTemperature, 1, temperature);

  const double highest = chart_.Highest(kRain, 1);
  chart_.SetAxisOrigin(ChartAxis::Left, 0.0);
  chart_.SetAxisRange(ChartAxis::Left, 0.0, highest);
  chart_.SetAxisRange(ChartAxis::Right, chart_.Lowest(kTemperature, 1), chart_.Highest(kTemperature, 1));

  views_[0] = {1, static_cast<int>(std::min<std::size_t>(n, INT_MAX)), 0, TruncToInt(1.1 * highest)};
  ApplyLevel(0, actions);

  chart_.SetBatch(false);
  chart_.SetGroupBatch(kRain, false);
  chart_.SetGroupBatch(kTemperature, false);
  return Finish(actions, before);
}

CChartActions CChartController::Resize(QSize size, double scale) {
  const std::uint64_t before = chart_.RepaintCount();
  chart_.SetViewSize(size, scale);
  return Finish({}, before);
}

void CChartController::ShowViewRange(const CViewRange& view) {
  chart_.SetBatch(true);
  const double interval = interval_;
  chart_.SetAxisRange(ChartAxis::Time, (view.first - 1.0) * interval, (view.last - 1.0) * interval);
  chart_.SetAxisRange(ChartAxis::Left, 0.0, view.high);
  chart_.SetAxisOrigin(ChartAxis::Left, 0.0);
  chart_.SetBatch(false);
}

void CChartController::ApplyLevel(int level, CChartActions& actions) {
  ShowViewRange(views_[static_cast<std::size_t>(level)]);
  level_ = level;
  actions.scrollButtons = level > 0;
}

bool CChartController::InsideX(int x) const {
  const QRect plot = chart_.PlotRect();
  return x > plot.left() && x < plot.right();
}

bool CChartController::InsideY(int y) const {
  const QRect plot = chart_.PlotRect();
  return y > plot.top() && y < plot.bottom();
}

QRect CChartController::BandRect() const {
  return QRect(corner1_, corner2_).normalized();
}

void CChartController::Hover(int x, int y) {
  if (series_ == nullptr) {
    return;
  }
  const int p = chart_.Nearest(QPoint(x, y), 1).point;
  if (p == 0) {
    return;
  }
  CCellText time;
  CCellText rain;
  CCellText temperature;
  const auto line = static_cast<std::size_t>(p);
  CellText(*series_, line, 0, time);
  CellText(*series_, line, 1, rain);
  CellText(*series_, line, 2, temperature);
  const bool metric = series_->unit == 0;
  std::string text = "Time: ";
  text.append(time.View());
  text += "\rRain= ";
  text.append(rain.View());
  text += metric ? " [mm]\rTemp= " : " [inch]\rTemp= ";
  text.append(temperature.View());
  text += metric ? " [C]" : " [F]";

  // Near the right end the label goes to the left of the pointer, so it stays on the chart.
  const auto n = static_cast<long long>(chart_.PointCount(kRain, 1));
  const bool right = p < n - 10;
  chart_.SetBatch(true);
  chart_.SetLabelText(kCursorLabel, std::move(text));
  chart_.SetLabelPixel(kCursorLabel, QPoint(right ? x + 10 : x - 10, y - 50),
                       right ? LabelSide::Right : LabelSide::Left);
  chart_.SetBatch(false);
}

CChartActions CChartController::MouseMove(int buttons, int x, int y) {
  const std::uint64_t before = chart_.RepaintCount();
  CChartActions actions;
  lastPointer_ = QPoint(x, y);
  if (buttons == kLeftButton && zoomMode_.IsOn() && corner1_.x() != -1 && !stackFull_) {
    actions.cursor = ChartCursor::Zoom;
    actions.band.push_back(BandRect());
    if (InsideY(y)) {
      if (InsideX(x)) {
        corner2_.setX(x);
      }
      corner2_.setY(y);
    }
    actions.band.push_back(BandRect());
  } else if (buttons == 0) {
    Hover(x, y);
  }
  return Finish(std::move(actions), before);
}

CChartActions CChartController::ButtonDown(int button, int x, int y) {
  // Once the stack has been found full, rectangle zoom stays off for this window.
  if (button != kLeftButton || !zoomMode_.IsOn() || stackFull_) {
    return {};
  }
  const std::uint64_t before = chart_.RepaintCount();
  CChartActions actions;
  const QRect plot = chart_.PlotRect();
  corner1_ = QPoint(std::clamp(x, plot.left(), plot.right()), std::clamp(y, plot.top(), plot.bottom()));
  corner2_ = corner1_;
  if (level_ + 1 == kZoomLevels) {
    stackFull_ = true;
    actions.beep = true;
    return actions;
  }
  ++level_;
  CViewRange& view = views_[static_cast<std::size_t>(level_)];
  view.first = chart_.Nearest(corner1_, 1).point + 1;
  view.low = TruncToInt(chart_.PixelToData(corner2_).y());
  chart_.SetMarkerShown(kMarker, false);
  actions.band.push_back(BandRect());
  return Finish(std::move(actions), before);
}

CChartActions CChartController::ButtonUp(int button, int x, int y) {
  if (button != kLeftButton || !zoomMode_.IsOn() || corner1_.x() == -1 || stackFull_) {
    return {};
  }
  const std::uint64_t before = chart_.RepaintCount();
  CChartActions actions;
  actions.cursor = ChartCursor::Normal;
  if (level_ > 0) {
    actions.zoomMinusEnabled = true;
  }
  if (InsideX(x)) {
    corner2_.setX(x);
  }
  corner2_.setY(y);
  actions.band.push_back(BandRect());

  CViewRange& view = views_[static_cast<std::size_t>(level_)];
  const CNearestPoint nearest = chart_.Nearest(corner2_, 3);
  view.last = nearest.point + 1;
  // The nearest-point query's value is the data value at the release; with the drag's height added
  // below, the rain axis ends about one unit above the top of the rectangle.
  view.high = TruncToInt(nearest.value + 1.0);
  const auto y1 = static_cast<float>(chart_.PixelToData(corner1_).y());
  const double y2 = chart_.PixelToData(corner2_).y();
  const double d = static_cast<double>(y1) - y2;
  view.low = TruncToInt(view.low + d);
  view.high = TruncToInt(view.high + d);
  if (view.first > view.last) {
    std::swap(view.first, view.last);
  }
  if (view.last - view.first <= 1) {
    actions.band.push_back(BandRect());
  } else {
    chart_.SetMarkerShown(kMarker, false);
  }
  chart_.SetMarkerShown(kMarker, true);
  ApplyLevel(level_, actions);
  if (chart_.RepaintCount() != before) {
    actions.band.clear(); // the chart is drawn again, and the new picture has no band to erase
  }
  actions.showRow = std::max(0, nearest.point - 10);
  return Finish(std::move(actions), before);
}

CChartActions CChartController::DoubleClick() {
  CChartActions actions;
  actions.showRow = chart_.Nearest(lastPointer_, 3).point;
  return actions;
}

CChartActions CChartController::ZoomPlus() {
  zoomMode_.Toggle();
  return ZoomModeChanged();
}

CChartActions CChartController::ZoomModeChanged() const {
  CChartActions actions;
  actions.zoomPlusPressed = zoomMode_.IsOn();
  actions.zoomMinusEnabled = zoomMode_.IsOn();
  return actions;
}

CChartActions CChartController::ZoomMinus() {
  const std::uint64_t before = chart_.RepaintCount();
  CChartActions actions;
  if (level_ > 0) {
    ApplyLevel(level_ - 1, actions);
  }
  actions.zoomMinusEnabled = level_ > 0;
  return Finish(std::move(actions), before);
}

CChartActions CChartController::Scroll(int direction) {
  const std::uint64_t before = chart_.RepaintCount();
  CViewRange& view = views_[static_cast<std::size_t>(level_)];
  const int step = static_cast<int>(std::abs(static_cast<long long>(view.last) - view.first) / 10);
  if (direction > 0) {
    if (view.first > INT_MAX - step || view.last > INT_MAX - step) {
      return {};
    }
    view.first += step;
    view.last += step;
  } else {
    // A view may start one interval before the first point, no further left.
    if (view.first - step < 0) {
      return {};
    }
    view.first -= step;
    view.last -= step;
  }
  ShowViewRange(view);
  return Finish({}, before);
}

CChartActions CChartController::ScrollLeft() {
  return Scroll(-1);
}

CChartActions CChartController::ScrollRight() {
  return Scroll(+1);
}

void CChartController::DrawForPrinter(QPainter& painter, const QRect& target) {
  const CChart2D::CLabel* cursor = chart_.FindLabel(kCursorLabel);
  const bool shown = cursor != nullptr && cursor->shown;
  chart_.SetBatch(true);
  chart_.SetLabelShown(kCursorLabel, false);
  chart_.draw(painter, target);
  chart_.SetLabelShown(kCursorLabel, shown);
  chart_.SetBatch(false);
}

} // namespace nimbrel
