#pragma once

#include "base/status.h"
#include "data/data_item.h"
#include "print/print_list_ctrl.h"
#include "print/report_list.h"

#include <QDateTime>
#include <QPageLayout>
#include <QRect>
#include <QSize>

#include <functional>
#include <string>

class QPagedPaintDevice;
class QPainter;

namespace nimbrel {

// One print job on any paged device: the desktop passes its QPrinter (named and set up in the print
// dialog), the command line and the tests a QPdfWriter; both receive the same pages.
struct CPrintJob {
  std::string title;                // printed in the title box
  int screenDpi = kScreenDpi;       // the resolution the font sizes are given for
  std::function<QDateTime()> clock; // the job time; the local time when empty
  // Called after every page but the last with the pages done and the page count; false stops the
  // job there (the desktop shows progress and a Cancel button).
  std::function<bool(int done, int pageCount)> progress;
  // Aborts the device's job after a cancel or a failed page (QPrinter::abort); a PDF keeps the pages
  // printed so far.
  std::function<void()> abort;
};

// Prints every page of `list` with `printer` (whose options the caller has set), each page between a
// page start and a page end. Cancelled when `progress` stops it, Io when the device refuses the
// document or a page.
Status PrintReport(QPagedPaintDevice& device, CPrintListCtrl& printer, const IReportList& list, const CPrintJob& job);

// The data window's table: the total line first, every text as the table shows it, with the data
// window's print options.
Status PrintTable(QPagedPaintDevice& device, const CDataSeries& series, const CPrintJob& job);

// The graph printout of a data window.
struct CGraphPrintout {
  QSize windowSize; // the graph window's size on screen: the printed graph keeps its proportions
  // The chart's own drawing into the given rectangle of the page.
  std::function<void(QPainter&, const QRect&)> draw;
  // Hides (false) and shows again (true) the chart's "Cursor" hover label around the drawing; may be
  // empty when the caller takes care of it.
  std::function<void(bool visible)> showCursorLabel;
};

// One page: the page frame (title box, an empty one-column list, footer), the first and last
// date-time of the table with the group interval between them, and the graph.
Status PrintGraph(QPagedPaintDevice& device, const CDataSeries& series, const CGraphPrintout& graph,
                  const CPrintJob& job);

// The group interval as the graph printout names it; empty for a value that is not one of the 23.
std::string GroupIntervalText(int seconds);

// Where the graph stands on a page of `page` device units: scaled with the window's proportions, the
// full width at 1/14 (portrait) or 1/10 (landscape) of the height from the top when the window is
// relatively wider than the page, otherwise the full height, centred across; then narrowed by
// `narrow` at each side.
QRect GraphRect(QSize page, QSize window, QPageLayout::Orientation orientation, int narrow);

} // namespace nimbrel
