#include "chart/chart2d.h"

#include "chart/axis_ticks.h"
#include "chart/decimate.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace nimbrel {

namespace {

// Margins around the plot area at scale 1: room for the value labels and titles at the sides, the
// "<<" and ">>" buttons above, and two lines of time labels below.
constexpr double kSideMargin = 66.0;
constexpr double kTopMargin = 26.0;
constexpr double kBottomMargin = 44.0;
constexpr double kFontPixels = 11.0;
constexpr double kTitlePixels = 12.0;
constexpr double kTick = 4.0;

double DeviceScale(const QPainter& painter) {
  const QPaintDevice* device = painter.device();
  double scale = ChartScaleForDpi(device != nullptr ? device->logicalDpiY() : 96.0);
  // A painter already scaled by its owner (a print layout drawing a screen-sized rectangle) must not
  // be scaled twice.
  const double magnification = std::sqrt(std::abs(painter.worldTransform().determinant()));
  if (magnification > 0.0) {
    scale /= magnification;
  }
  return std::clamp(scale, 0.25, 64.0);
}

QFont ChartFont(double pixels, double scale, bool bold = false) {
  QFont font;
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * scale))));
  font.setBold(bold);
  return font;
}

QPen Pen(QColor color, double scale) {
  QPen pen(color);
  pen.setWidthF(std::max(1.0, std::round(scale)));
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (const char c : text) {
    if (c == '\r') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

std::uint32_t InstrTimeAt(std::uint32_t base, double x) {
  const double t = std::floor(static_cast<double>(base) + x);
  return static_cast<std::uint32_t>(std::clamp(t, 0.0, 4294967295.0));
}

} // namespace

double ChartScaleForDpi(double dpi) {
  const double scale = dpi / 96.0;
  return std::abs(scale - 1.0) < 0.05 ? 1.0 : std::max(scale, 0.25);
}

int TruncToInt(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  return static_cast<int>(std::clamp(std::trunc(value), static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

struct CChart2D::CLayout {
  QRect target;
  QRect plot;
  double scale = 1.0;
  CScaleMap time;
};

CChart2D::CChart2D() = default;

void CChart2D::SetViewSize(QSize size, double scale) {
  viewSize_ = size;
  viewScale_ = scale;
  Changed();
}

CChart2D::CGroup* CChart2D::Group(int group) {
  if (group < 1) {
    return nullptr;
  }
  if (static_cast<std::size_t>(group) > groups_.size()) {
    groups_.resize(static_cast<std::size_t>(group));
  }
  return &groups_[static_cast<std::size_t>(group - 1)];
}

const CChart2D::CGroup* CChart2D::FindGroup(int group) const {
  if (group < 1 || static_cast<std::size_t>(group) > groups_.size()) {
    return nullptr;
  }
  return &groups_[static_cast<std::size_t>(group - 1)];
}

CSeriesData* CChart2D::Series(int group, int series) {
  CGroup* g = Group(group);
  if (g == nullptr || series < 1) {
    return nullptr;
  }
  if (static_cast<std::size_t>(series) > g->series.size()) {
    g->series.resize(static_cast<std::size_t>(series));
  }
  return &g->series[static_cast<std::size_t>(series - 1)];
}

const CSeriesData* CChart2D::FindSeries(int group, int series) const {
  const CGroup* g = FindGroup(group);
  if (g == nullptr || series < 1 || static_cast<std::size_t>(series) > g->series.size()) {
    return nullptr;
  }
  return &g->series[static_cast<std::size_t>(series - 1)];
}

void CChart2D::SetPointCount(int group, int series, std::size_t count) {
  if (CSeriesData* s = Series(group, series)) {
    s->Resize(count);
    Changed();
  }
}

void CChart2D::SetXData(int group, int series, std::span<const double> values) {
  CSeriesData* s = Series(group, series);
  if (s == nullptr) {
    return;
  }
  // Another series with the same times lends them instead of a second copy.
  const CSeriesData* same = nullptr;
  for (const auto& g : groups_) {
    for (const auto& other : g.series) {
      if (&other != s && other.Size() == s->Size() && other.SameX(values)) {
        same = &other;
      }
    }
  }
  if (same != nullptr) {
    s->ShareX(*same);
  } else {
    s->SetX(values);
  }
  Changed();
}

void CChart2D::SetYData(int group, int series, std::span<const double> values) {
  if (CSeriesData* s = Series(group, series)) {
    s->SetY(values);
    Changed();
  }
}

std::size_t CChart2D::PointCount(int group, int series) const {
  const CSeriesData* s = FindSeries(group, series);
  return s != nullptr ? s->Size() : 0;
}

void CChart2D::SetGroupStyle(int group, PlotStyle style) {
  if (CGroup* g = Group(group)) {
    g->style = style;
    Changed();
  }
}

void CChart2D::SetGroupColor(int group, QColor color) {
  if (CGroup* g = Group(group)) {
    g->color = color;
    Changed();
  }
}

void CChart2D::SetGroupAxis(int group, ChartAxis axis) {
  if (CGroup* g = Group(group)) {
    g->axis = axis == ChartAxis::Right ? ChartAxis::Right : ChartAxis::Left;
    Changed();
  }
}

CChart2D::CAxis& CChart2D::Axis(ChartAxis axis) {
  return axis == ChartAxis::Time ? time_ : axis == ChartAxis::Left ? left_ : right_;
}

const CChart2D::CAxis& CChart2D::Axis(ChartAxis axis) const {
  return axis == ChartAxis::Time ? time_ : axis == ChartAxis::Left ? left_ : right_;
}

void CChart2D::SetTimeBase(std::uint32_t base) {
  timeBase_ = base;
  Changed();
}

void CChart2D::SetTimeFormat(std::string format) {
  timeFormat_ = std::move(format);
  Changed();
}

void CChart2D::SetAxisTitle(ChartAxis axis, std::string title) {
  Axis(axis).title = std::move(title);
  Changed();
}

void CChart2D::SetAxisShown(ChartAxis axis, bool shown) {
  Axis(axis).shown = shown;
  Changed();
}

void CChart2D::SetAxisOrigin(ChartAxis axis, double origin) {
  Axis(axis).origin = origin;
  Changed();
}

void CChart2D::SetAxisRange(ChartAxis axis, double min, double max) {
  Axis(axis).min = min;
  Axis(axis).max = max;
  Changed();
}

std::pair<double, double> CChart2D::AxisRange(ChartAxis axis) const {
  return {Axis(axis).min, Axis(axis).max};
}

const std::string& CChart2D::AxisTitle(ChartAxis axis) const {
  return Axis(axis).title;
}

void CChart2D::AddPixelLabel(std::string name, std::string text, QColor background, QPoint anchor) {
  CLabel label;
  label.name = std::move(name);
  label.text = std::move(text);
  label.background = background;
  label.anchor = anchor;
  labels_.push_back(std::move(label));
  Changed();
}

void CChart2D::AddPointLabel(std::string name, std::string text, QColor background, int group, int series, int point) {
  CLabel label;
  label.name = std::move(name);
  label.text = std::move(text);
  label.background = background;
  label.attached = true;
  label.group = group;
  label.series = series;
  label.point = point;
  labels_.push_back(std::move(label));
  Changed();
}

CChart2D::CLabel* CChart2D::Label(const std::string& name) {
  const auto it = std::find_if(labels_.begin(), labels_.end(), [&](const CLabel& l) { return l.name == name; });
  return it != labels_.end() ? &*it : nullptr;
}

const CChart2D::CLabel* CChart2D::FindLabel(const std::string& name) const {
  const auto it = std::find_if(labels_.begin(), labels_.end(), [&](const CLabel& l) { return l.name == name; });
  return it != labels_.end() ? &*it : nullptr;
}

void CChart2D::SetLabelText(const std::string& name, std::string text) {
  if (CLabel* label = Label(name)) {
    label->text = std::move(text);
    Changed();
  }
}

void CChart2D::SetLabelPixel(const std::string& name, QPoint anchor, LabelSide side) {
  if (CLabel* label = Label(name)) {
    label->attached = false;
    label->anchor = anchor;
    label->side = side;
    Changed();
  }
}

void CChart2D::SetLabelShown(const std::string& name, bool shown) {
  if (CLabel* label = Label(name)) {
    label->shown = shown;
    Changed();
  }
}

void CChart2D::RemoveAllLabels() {
  labels_.clear();
  Changed();
}

void CChart2D::AddMarker(std::string name, QColor color, double x) {
  markers_.push_back({std::move(name), color, x, true});
  Changed();
}

void CChart2D::SetMarkerShown(const std::string& name, bool shown) {
  for (CMarker& marker : markers_) {
    if (marker.name == name) {
      marker.shown = shown;
      Changed();
      return;
    }
  }
}

bool CChart2D::MarkerShown(const std::string& name) const {
  const auto it = std::find_if(markers_.begin(), markers_.end(), [&](const CMarker& m) { return m.name == name; });
  return it != markers_.end() && it->shown;
}

void CChart2D::SetBatch(bool on) {
  batch_ = on;
  Flush();
}

void CChart2D::SetGroupBatch(int group, bool on) {
  if (CGroup* g = Group(group)) {
    g->batch = on;
    Flush();
  }
}

void CChart2D::Changed() {
  dirty_ = true;
  Flush();
}

void CChart2D::Flush() {
  const bool collecting =
      batch_ || std::any_of(groups_.begin(), groups_.end(), [](const CGroup& g) { return g.batch; });
  if (dirty_ && !collecting) {
    dirty_ = false;
    ++repaints_;
  }
}

double CChart2D::Highest(int group, int series) const {
  const CSeriesData* s = FindSeries(group, series);
  const CMinMax m = s != nullptr ? s->Summary(0, s->Size()) : CMinMax{};
  return m.Any() ? m.max : 0.0;
}

double CChart2D::Lowest(int group, int series) const {
  const CSeriesData* s = FindSeries(group, series);
  const CMinMax m = s != nullptr ? s->Summary(0, s->Size()) : CMinMax{};
  return m.Any() ? m.min : 0.0;
}

CChart2D::CLayout CChart2D::Layout(const QRect& target, double scale) const {
  CLayout layout;
  layout.target = target;
  layout.scale = scale;
  const int side = static_cast<int>(std::lround(kSideMargin * scale));
  const int top = static_cast<int>(std::lround(kTopMargin * scale));
  const int bottom = static_cast<int>(std::lround(kBottomMargin * scale));
  QRect plot(QPoint(target.left() + side, target.top() + top), QPoint(target.right() - side, target.bottom() - bottom));
  plot.setWidth(std::max(plot.width(), 2));
  plot.setHeight(std::max(plot.height(), 2));
  layout.plot = plot;
  layout.time = CScaleMap(time_.min, time_.max, plot.left(), plot.right());
  return layout;
}

CChart2D::CLayout CChart2D::ViewLayout() const {
  return Layout(QRect(QPoint(0, 0), viewSize_), viewScale_);
}

CScaleMap CChart2D::ValueMap(const CLayout& layout, ChartAxis axis) const {
  const CAxis& a = Axis(axis == ChartAxis::Right ? ChartAxis::Right : ChartAxis::Left);
  return {a.min, a.max, static_cast<double>(layout.plot.bottom()), static_cast<double>(layout.plot.top())};
}

QRect CChart2D::PlotRect() const {
  return ViewLayout().plot;
}

QPointF CChart2D::PixelToData(QPoint pixel) const {
  const CLayout layout = ViewLayout();
  const CGroup* g = FindGroup(1);
  const CScaleMap y = ValueMap(layout, g != nullptr ? g->axis : ChartAxis::Left);
  return {layout.time.ToValue(pixel.x()), y.ToValue(pixel.y())};
}

CNearestPoint CChart2D::Nearest(QPoint pixel, int /*mode*/) const {
  const QPointF data = PixelToData(pixel);
  CNearestPoint nearest;
  nearest.value = TruncToInt(data.y());
  const CSeriesData* s = FindSeries(1, 1);
  if (s == nullptr || s->Size() == 0) {
    return nearest;
  }
  nearest.series = 1;
  nearest.point = static_cast<int>(std::min<std::size_t>(s->Nearest(data.x()) + 1, INT_MAX));
  return nearest;
}

std::optional<QPointF> CChart2D::PointAt(const CLayout& layout, int group, int series, int point) const {
  const CGroup* g = FindGroup(group);
  const CSeriesData* s = FindSeries(group, series);
  if (g == nullptr || s == nullptr || point < 1 || static_cast<std::size_t>(point) > s->Size()) {
    return std::nullopt;
  }
  const auto i = static_cast<std::size_t>(point - 1);
  if (IsHole(s->Y()[i])) {
    return std::nullopt;
  }
  return QPointF(layout.time.ToPixel(s->X()[i]), ValueMap(layout, g->axis).ToPixel(s->Y()[i]));
}

std::optional<QPointF> CChart2D::PointPixel(int group, int series, int point) const {
  return PointAt(ViewLayout(), group, series, point);
}

void CChart2D::draw(QPainter& painter, const QRect& target) const {
  painter.save();
  const CLayout layout = Layout(target, DeviceScale(painter));
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(target, Qt::white);
  DrawAxes(painter, layout);
  DrawGroups(painter, layout);
  DrawLabels(painter, layout, target);
  painter.restore();
}

QImage CChart2D::Picture(QSize size) const {
  QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  draw(painter, image.rect());
  return image;
}

void CChart2D::DrawAxes(QPainter& painter, const CLayout& layout) const {
  const double s = layout.scale;
  const QRect& plot = layout.plot;
  const QRect& target = layout.target;
  const QFont font = ChartFont(kFontPixels, s);
  const QFontMetricsF metrics(font, painter.device());
  painter.setFont(font);
  const QPen grid = Pen(QColor(225, 225, 225), s);
  const QPen ink = Pen(Qt::black, s);
  const double tick = kTick * s;
  const double lineHeight = metrics.height();

  // Time axis: a step long enough that neighbouring labels keep a gap of one line height.
  const bool datelessFormat = timeFormat_.find("%d") == std::string::npos;
  double labelWidth = metrics.horizontalAdvance(QString::fromStdString(FormatChartTime(timeFormat_, timeBase_)));
  if (datelessFormat) {
    labelWidth = std::max(labelWidth, metrics.horizontalAdvance(QStringLiteral("88/88/88")));
  }
  const double density = layout.time.Density();
  const double step = TimeStep(density > 0.0 ? (labelWidth + lineHeight) / density : 1.0);
  std::string previousDate;
  for (const double x : TimeTicks(layout.time.S1(), layout.time.S2(), timeBase_, step)) {
    const double px = std::round(layout.time.ToPixel(x));
    painter.setPen(grid);
    painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
    painter.setPen(ink);
    painter.drawLine(QPointF(px, plot.bottom()), QPointF(px, plot.bottom() + tick));
    const std::uint32_t t = InstrTimeAt(timeBase_, x);
    std::string text = FormatChartTime(timeFormat_, t);
    if (datelessFormat) {
      // Formats without the date get it on a second line wherever the day changes.
      const std::string date = FormatChartTime("%y/%m/%d", t);
      if (date != previousDate) {
        text += '\n' + date;
        previousDate = date;
      }
    }
    const QRectF box(px - labelWidth / 2.0 - lineHeight / 2.0, plot.bottom() + tick + s, labelWidth + lineHeight,
                     2.0 * lineHeight);
    if (box.left() >= target.left() && box.right() <= target.right() + 1) {
      painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(text));
    }
  }

  // Value axes: the left one draws the horizontal grid.
  const int maxTicks = std::max(2, static_cast<int>(plot.height() / (2.0 * lineHeight)));
  for (const ChartAxis side : {ChartAxis::Left, ChartAxis::Right}) {
    const CAxis& axis = Axis(side);
    if (!axis.shown) {
      continue;
    }
    const CScaleMap map = ValueMap(layout, side);
    const CValueTicks ticks = ValueTicks(map.S1(), map.S2(), maxTicks);
    const bool left = side == ChartAxis::Left;
    for (const double v : ticks.values) {
      const double py = std::round(map.ToPixel(v));
      if (left) {
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
      }
      painter.setPen(ink);
      const double edge = left ? plot.left() : plot.right();
      painter.drawLine(QPointF(edge, py), QPointF(left ? edge - tick : edge + tick, py));
      const double gap = tick + 2.0 * s;
      const QRectF box = left ? QRectF(QPointF(target.left() + lineHeight, py - lineHeight / 2.0),
                                       QPointF(edge - gap, py + lineHeight / 2.0))
                              : QRectF(QPointF(edge + gap, py - lineHeight / 2.0),
                                       QPointF(target.right() - lineHeight, py + lineHeight / 2.0));
      const Qt::Alignment align = Qt::AlignVCenter | (left ? Qt::AlignRight : Qt::AlignLeft);
      painter.drawText(box, static_cast<int>(align.toInt()), QString::fromStdString(TickText(v, ticks.decimals)));
    }
    // The title reads upwards along the left edge and downwards along the right one.
    painter.save();
    painter.setFont(ChartFont(kTitlePixels, s, true));
    const double titleX = left ? target.left() + 2.0 * s : target.right() - 2.0 * s;
    painter.translate(titleX, (plot.top() + plot.bottom()) / 2.0);
    painter.rotate(left ? -90.0 : 90.0);
    painter.drawText(QRectF(-plot.height() / 2.0, 0.0, plot.height(), 2.0 * lineHeight),
                     Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(axis.title));
    painter.restore();
  }
  painter.setPen(ink);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot);
}

void CChart2D::DrawGroups(QPainter& painter, const CLayout& layout) const {
  const double s = layout.scale;
  painter.save();
  painter.setClipRect(layout.plot.adjusted(1, 1, 0, 0));
  for (const CGroup& group : groups_) {
    const CScaleMap y = ValueMap(layout, group.axis);
    const double origin = Axis(group.axis).origin;
    const QPen pen = Pen(group.color, s);
    for (const CSeriesData& series : group.series) {
      if (group.style == PlotStyle::Bars) {
        const std::vector<QRect> bars = BarShapes(series, layout.time, y, origin);
        painter.setPen(Qt::NoPen);
        painter.setBrush(group.color);
        painter.drawRects(bars.data(), static_cast<int>(bars.size()));
        continue;
      }
      CLineShapes shapes = LineShapes(series, layout.time, y);
      painter.setPen(pen);
      for (const QPolygonF& path : shapes.paths) {
        if (path.size() == 1) {
          painter.drawPoint(path.front());
        } else {
          painter.drawPolyline(path);
        }
      }
      painter.drawLines(shapes.joins.data(), static_cast<int>(shapes.joins.size()));
      // A column's stroke as wide as the pen.
      const int width = static_cast<int>(pen.widthF());
      for (QRect& span : shapes.spans) {
        span.adjust(-(width - 1) / 2, -(width - 1) / 2, width / 2, width / 2);
      }
      painter.setPen(Qt::NoPen);
      painter.setBrush(group.color);
      painter.drawRects(shapes.spans.data(), static_cast<int>(shapes.spans.size()));
    }
  }
  for (const CMarker& marker : markers_) {
    if (!marker.shown || IsHole(marker.x) || marker.x < layout.time.S1() || marker.x > layout.time.S2()) {
      continue;
    }
    const double px = std::round(layout.time.ToPixel(marker.x));
    painter.setPen(Pen(marker.color, s));
    painter.drawLine(QPointF(px, layout.plot.top()), QPointF(px, layout.plot.bottom()));
  }
  painter.restore();
}

void CChart2D::DrawLabels(QPainter& painter, const CLayout& layout, const QRect& target) const {
  const double s = layout.scale;
  const QFont font = ChartFont(kFontPixels, s);
  const QFontMetricsF metrics(font, painter.device());
  painter.setFont(font);
  const double pad = 3.0 * s;
  const auto box = [&](const CLabel& label, std::vector<std::string>& lines) {
    lines = SplitLines(label.text);
    double width = 0.0;
    for (const std::string& line : lines) {
      width = std::max(width, metrics.horizontalAdvance(QString::fromStdString(line)));
    }
    return QSizeF(width + 2.0 * pad, static_cast<double>(lines.size()) * metrics.height() + 2.0 * pad);
  };
  const auto paint = [&](const CLabel& label, const QRectF& r, const std::vector<std::string>& lines) {
    painter.fillRect(r, label.background);
    painter.setPen(Pen(Qt::black, s));
    painter.drawRect(r);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      painter.drawText(
          QPointF(r.left() + pad, r.top() + pad + static_cast<double>(i) * metrics.height() + metrics.ascent()),
          QString::fromStdString(lines[i]));
    }
  };
  std::vector<std::string> lines;
  // Labels on points first, in order, each left out where it would cover the one before.
  double lastRight = -1e300;
  const QRectF plot(layout.plot);
  for (const CLabel& label : labels_) {
    if (!label.shown || !label.attached || label.text.empty()) {
      continue;
    }
    const std::optional<QPointF> at = PointAt(layout, label.group, label.series, label.point);
    if (!at || at->x() < plot.left() || at->x() > plot.right()) {
      continue;
    }
    const QSizeF size = box(label, lines);
    QRectF r(QPointF(at->x() - size.width() / 2.0, at->y() - 3.0 * s - size.height()), size);
    r.moveTop(std::clamp(r.top(), plot.top(), std::max(plot.top(), plot.bottom() - size.height())));
    if (r.left() < lastRight) {
      continue;
    }
    lastRight = r.right();
    paint(label, r, lines);
  }
  // Labels placed by pixel, on top: their anchors are pixels of the view, stretched to the target.
  for (const CLabel& label : labels_) {
    if (!label.shown || label.attached || label.text.empty()) {
      continue;
    }
    const double fx = viewSize_.width() > 0 ? static_cast<double>(target.width()) / viewSize_.width() : 1.0;
    const double fy = viewSize_.height() > 0 ? static_cast<double>(target.height()) / viewSize_.height() : 1.0;
    const QPointF anchor(target.left() + label.anchor.x() * fx, target.top() + label.anchor.y() * fy);
    const QSizeF size = box(label, lines);
    QRectF r(anchor, size);
    if (label.side == LabelSide::Left) {
      r.moveRight(anchor.x());
    }
    r.moveLeft(std::clamp(r.left(), static_cast<double>(target.left()),
                          std::max<double>(target.left(), target.right() - size.width())));
    r.moveTop(std::clamp(r.top(), static_cast<double>(target.top()),
                         std::max<double>(target.top(), target.bottom() - size.height())));
    paint(label, r, lines);
  }
}

} // namespace nimbrel
