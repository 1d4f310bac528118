#pragma once

#include "chart/scale_map.h"
#include "chart/series_data.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QPainter;

namespace nimbrel {

enum class ChartAxis { Time, Left, Right };
enum class PlotStyle {
  Bars, // from the axis origin to the value, one per point
  Line  // points joined in order, broken at holes
};
// Which side of its anchor a label placed by pixel stands on.
enum class LabelSide { Right, Left };

// The data point of group 1 nearest to a pixel. `point` counts from 1 (0: the group has no points);
// `value` is the vertical data coordinate of the pixel on group 1's axis, truncated to an integer.
struct CNearestPoint {
  int series = 0;
  int point = 0;
  int value = 0;
};

// The scale of drawing for a device of `dpi` logical dots per inch: 1 on a 96 dpi screen, 6.25 on a
// 600 dpi printer. Pens, fonts and margins grow with it.
double ChartScaleForDpi(double dpi);

// A data value as a whole number, toward zero and held within the range of int.
int TruncToInt(double value);

// The time chart of a data window: plot groups of series against a time axis and two value axes,
// labels and markers. Not a widget: it keeps the state, answers the queries in the pixels of its view
// size, and draws itself into any painter and rectangle (screen, clipboard picture, printer).
// Groups and series count from 1 and are made on first use; numbers below 1 are ignored.
class CChart2D {
public:
  CChart2D();

  // The size of the on-screen view, and its drawing scale; the pixel queries answer for it.
  void SetViewSize(QSize size, double scale = 1.0);
  [[nodiscard]] QSize ViewSize() const { return viewSize_; }

  // Series data. The point count resizes X and Y (new Y values are holes); X and Y are then copied
  // whole up to the point count. X must ascend (seconds after the time base).
  void SetPointCount(int group, int series, std::size_t count);
  void SetXData(int group, int series, std::span<const double> values);
  void SetYData(int group, int series, std::span<const double> values);
  [[nodiscard]] std::size_t PointCount(int group, int series) const;
  // The data of a series; nothing for a group or series never used.
  [[nodiscard]] const CSeriesData* FindSeries(int group, int series) const;
  void SetGroupStyle(int group, PlotStyle style);
  void SetGroupColor(int group, QColor color);
  // A group is drawn against the left (default) or the right value axis.
  void SetGroupAxis(int group, ChartAxis axis);

  // Axes. The time axis: X = 0 stands for `base` (seconds since 2000-01-01 00:00:00), and its labels
  // follow `format` ("%y", "%m", "%d", "%H", "%M", "%S").
  void SetTimeBase(std::uint32_t base);
  void SetTimeFormat(std::string format);
  void SetAxisTitle(ChartAxis axis, std::string title);
  void SetAxisShown(ChartAxis axis, bool shown);
  // The value the bars of the axis's groups grow from.
  void SetAxisOrigin(ChartAxis axis, double origin);
  void SetAxisRange(ChartAxis axis, double min, double max);
  [[nodiscard]] std::uint32_t TimeBase() const { return timeBase_; }
  [[nodiscard]] const std::string& TimeFormat() const { return timeFormat_; }
  [[nodiscard]] std::pair<double, double> AxisRange(ChartAxis axis) const;
  [[nodiscard]] const std::string& AxisTitle(ChartAxis axis) const;

  // Labels: named text boxes ("\r" breaks lines), placed at a pixel of the view or attached to a point
  // (group, series, point counted from 1) so they move with the data. Names may repeat; the
  // operations by name act on the first label of that name.
  void AddPixelLabel(std::string name, std::string text, QColor background, QPoint anchor);
  void AddPointLabel(std::string name, std::string text, QColor background, int group, int series, int point);
  void SetLabelText(const std::string& name, std::string text);
  void SetLabelPixel(const std::string& name, QPoint anchor, LabelSide side);
  void SetLabelShown(const std::string& name, bool shown);
  void RemoveAllLabels();
  struct CLabel {
    std::string name;
    std::string text;
    QColor background;
    bool shown = true;
    bool attached = false;
    QPoint anchor;
    LabelSide side = LabelSide::Right;
    int group = 0;
    int series = 0;
    int point = 0;
  };
  [[nodiscard]] const std::vector<CLabel>& Labels() const { return labels_; }
  [[nodiscard]] const CLabel* FindLabel(const std::string& name) const;

  // Markers: named vertical lines at an X value (a hole value keeps them out of sight).
  void AddMarker(std::string name, QColor color, double x = kHole);
  void SetMarkerShown(const std::string& name, bool shown);
  [[nodiscard]] bool MarkerShown(const std::string& name) const;

  // While the chart's or any group's batch switch is on, changes are collected; when the last switch
  // goes off after a change, one repaint is requested.
  void SetBatch(bool on);
  void SetGroupBatch(int group, bool on);
  // How many repaints the chart has requested so far.
  [[nodiscard]] std::uint64_t RepaintCount() const { return repaints_; }

  // Queries, in pixels of the view.
  [[nodiscard]] double Highest(int group, int series) const; // 0 when no point has a value
  [[nodiscard]] double Lowest(int group, int series) const;
  [[nodiscard]] QPointF PixelToData(QPoint pixel) const; // X and group 1's value
  // Search modes 1 and 3 both find the nearest point by time; other modes do the same.
  [[nodiscard]] CNearestPoint Nearest(QPoint pixel, int mode) const;
  [[nodiscard]] QRect PlotRect() const;
  // Where a point stands in the view; nothing for a point that does not exist or is a hole.
  [[nodiscard]] std::optional<QPointF> PointPixel(int group, int series, int point) const;

  // The whole chart into `target`, scaled to the painter's device.
  void draw(QPainter& painter, const QRect& target) const;
  // The chart drawn into an image of `size` (the clipboard picture).
  [[nodiscard]] QImage Picture(QSize size) const;

private:
  struct CAxis {
    std::string title;
    bool shown = true;
    double origin = 0.0;
    double min = 0.0;
    double max = 1.0;
  };
  struct CGroup {
    std::vector<CSeriesData> series;
    PlotStyle style = PlotStyle::Line;
    QColor color = Qt::black;
    ChartAxis axis = ChartAxis::Left;
    bool batch = false;
  };
  struct CMarker {
    std::string name;
    QColor color;
    double x = kHole;
    bool shown = true;
  };
  struct CLayout;

  CGroup* Group(int group);
  [[nodiscard]] const CGroup* FindGroup(int group) const;
  CSeriesData* Series(int group, int series);
  CAxis& Axis(ChartAxis axis);
  [[nodiscard]] const CAxis& Axis(ChartAxis axis) const;
  CLabel* Label(const std::string& name);
  void Changed();
  void Flush();
  [[nodiscard]] CLayout Layout(const QRect& target, double scale) const;
  [[nodiscard]] CLayout ViewLayout() const;
  [[nodiscard]] CScaleMap ValueMap(const CLayout& layout, ChartAxis axis) const;
  [[nodiscard]] std::optional<QPointF> PointAt(const CLayout& layout, int group, int series, int point) const;
  void DrawAxes(QPainter& painter, const CLayout& layout) const;
  void DrawGroups(QPainter& painter, const CLayout& layout) const;
  void DrawLabels(QPainter& painter, const CLayout& layout, const QRect& target) const;

  QSize viewSize_{400, 300};
  double viewScale_ = 1.0;
  std::vector<CGroup> groups_;
  CAxis time_;
  CAxis left_;
  CAxis right_;
  std::uint32_t timeBase_ = 0;
  std::string timeFormat_ = "%y/%m/%d";
  std::vector<CLabel> labels_;
  std::vector<CMarker> markers_;
  bool batch_ = false;
  bool dirty_ = false;
  std::uint64_t repaints_ = 0;
};

} // namespace nimbrel
