#pragma once

#include "chart/chart2d.h"
#include "chart/zoom_mode.h"
#include "data/data_item.h"

#include <QRect>

#include <array>
#include <optional>
#include <vector>

class QPainter;

namespace nimbrel {

// Mouse buttons as the controller counts them: a button state is the sum of the buttons held.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

inline constexpr int kZoomLevels = 24;

// One shown view: first and last point (counted from 1), a low bound kept with it, and the top of the
// rain axis.
struct CViewRange {
  int first = 1;
  int last = 1;
  int low = 0;
  int high = 0;
};

enum class ChartCursor { Unchanged, Normal, Zoom };

// What the chart widget and its data window must do after an event. The widget carries it out and
// decides nothing of its own.
struct CChartActions {
  bool repaint = false; // the chart changed: draw it again (this clears any rubber band)
  bool beep = false;
  ChartCursor cursor = ChartCursor::Unchanged;
  // Rubber-band rectangles (corners inclusive) to draw inverted, in order, after any repaint: drawing
  // the same rectangle twice erases it.
  std::vector<QRect> band;
  std::optional<int> showRow;          // table row to scroll into view (0 is the "TOTAL RAIN" line)
  std::optional<bool> scrollButtons;   // show (true) or hide "<<" and ">>"
  std::optional<bool> zoomPlusPressed; // the pressed "Zoom +" picture shows (true) or the released one
  std::optional<bool> zoomMinusEnabled;
};

// The chart of one data window and every rule of it: set-up, fill from the rows, the view-range stack,
// the hover label, rectangle zoom, zoom out, scrolling and double-click. The data window's widgets
// forward their events here and carry out the returned actions.
class CChartController {
public:
  explicit CChartController(CZoomMode& zoomMode);

  [[nodiscard]] const CChart2D& Chart() const { return chart_; }

  // The state a data window starts with: released "Zoom +", "Zoom -" disabled, "<<" ">>" hidden.
  [[nodiscard]] static CChartActions Initial();

  // Hands the rows of a complete reading to the chart and shows the full view. The series is kept by
  // reference for the hover texts and must stay alive until the next fill. The axis titles follow the
  // series' unit ("Rain [mm]"/"Temp[C]" or "Rain [inch]"/"Temp[F]"; other units keep them).
  CChartActions Fill(const CDataSeries& series);
  // The chart's on-screen size and drawing scale.
  CChartActions Resize(QSize size, double scale);

  // Mouse events in chart pixels: the buttons held while moving; the button pressed or released.
  CChartActions MouseMove(int buttons, int x, int y);
  CChartActions ButtonDown(int button, int x, int y);
  CChartActions ButtonUp(int button, int x, int y);
  CChartActions DoubleClick();

  // "Zoom +": toggles the shared zoom mode. ZoomModeChanged() is what any window shows for the mode.
  CChartActions ZoomPlus();
  [[nodiscard]] CChartActions ZoomModeChanged() const;
  CChartActions ZoomMinus();
  CChartActions ScrollLeft();  // "<<"
  CChartActions ScrollRight(); // ">>"

  // The chart into a printer's rectangle, without the hover label.
  void DrawForPrinter(QPainter& painter, const QRect& target);

  [[nodiscard]] int Level() const { return level_; }
  [[nodiscard]] const CViewRange& Entry(int level) const { return views_.at(static_cast<std::size_t>(level)); }
  [[nodiscard]] bool StackFull() const { return stackFull_; }
  [[nodiscard]] bool ScrollButtonsShown() const { return level_ > 0; }

private:
  void ShowViewRange(const CViewRange& view);
  void ApplyLevel(int level, CChartActions& actions);
  void Hover(int x, int y);
  [[nodiscard]] QRect BandRect() const;
  [[nodiscard]] bool InsideX(int x) const;
  [[nodiscard]] bool InsideY(int y) const;
  CChartActions Scroll(int direction);
  CChartActions Finish(CChartActions actions, std::uint64_t repaintsBefore) const;

  CZoomMode& zoomMode_;
  CChart2D chart_;
  const CDataSeries* series_ = nullptr;
  int interval_ = 60;
  std::array<CViewRange, kZoomLevels> views_{};
  int level_ = 0;
  bool stackFull_ = false;
  QPoint corner1_{-1, 0};
  QPoint corner2_{-1, 0};
  QPoint lastPointer_{0, 0};
};

} // namespace nimbrel
