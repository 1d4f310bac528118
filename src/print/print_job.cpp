#include "print/print_job.h"

#include "base/text.h"
#include "viewer/intervals.h"
#include "viewer/table_model.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include <array>
#include <cmath>
#include <cstdint>

namespace nimbrel {

namespace {

// In the order of the interval list; the 2-month text is the one the printout has always carried.
constexpr std::array<const char*, kIntervals.size()> kGroupIntervalTexts{
    "Group Interval: 1 sec",    "Group Interval: 5 sec",    "Group Interval: 10 sec",  "Group Interval: 30 sec",
    "Group Interval: 1 min",    "Group Interval: 5 min",    "Group Interval: 15 min",  "Group Interval: 30 min",
    "Group Interval: 1 hour",   "Group Interval: 2 hours",  "Group Interval: 4 hours", "Group Interval: 8 hours",
    "Group Interval: 12 hours", "Group Interval: 1 day",    "Group Interval: 2 days",  "Group Interval: 7 days",
    "Group Interval: 14 days",  "Group Interval: 1 month",  "Interval: 2 months",      "Group Interval: 3 months",
    "Group Interval: 4 months", "Group Interval: 6 months", "Group Interval: 1 year",
};

Status DocumentRefused() {
  return {StatusCode::Io, "Unable to print: the printer did not accept the document. Check the printer and try again."};
}

Status PageRefused(int done, int count) {
  return {StatusCode::Io, Printf("Printing stopped after page %d of %d: the printer did not accept the page. Check the "
                                 "printer and print again.",
                                 done, count)};
}

int Scaled(int units, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(units) * dpi / kReferenceDpi));
}

QString Q(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string LineLabel(const CDataSeries& series, std::size_t line) {
  CCellText text;
  CellText(series, line, 0, text);
  return std::string(text.View());
}

} // namespace

Status PrintReport(QPagedPaintDevice& device, CPrintListCtrl& printer, const IReportList& list, const CPrintJob& job) {
  if (job.clock) {
    printer.SetClock(job.clock);
  }
  if (!printer.Start(list, job.title)) {
    return {StatusCode::InvalidArgument, "Nothing to print: the list has no columns."};
  }
  QPainter painter;
  if (!painter.begin(&device)) {
    printer.End();
    return DocumentRefused();
  }
  CPrintInfo info;
  printer.Prepare(painter, info);
  Status stopped;
  for (int page = info.minPage; page <= info.maxPage && info.continuePrinting; ++page) {
    // The end of one page is the start of the next; the last page ends with the document.
    if (page > info.minPage && !device.newPage()) {
      stopped = PageRefused(page - 1, info.maxPage);
      break;
    }
    info.currentPage = page;
    printer.PrintPage(painter, info);
    if (page < info.maxPage && job.progress && !job.progress(page, info.maxPage)) {
      stopped = {StatusCode::Cancelled, Printf("Printing cancelled after page %d of %d.", page, info.maxPage)};
      break;
    }
  }
  printer.End();
  if (!stopped.ok()) {
    if (job.abort) {
      job.abort();
    }
    painter.end();
    return stopped;
  }
  if (!painter.end()) {
    return PageRefused(info.maxPage - 1, info.maxPage);
  }
  return Status::Ok();
}

Status PrintTable(QPagedPaintDevice& device, const CDataSeries& series, const CPrintJob& job) {
  CPrintOptions options = DataWindowPrintOptions();
  options.screenDpi = job.screenDpi;
  CPrintListCtrl printer(options);
  const CTableReportList list(series);
  return PrintReport(device, printer, list, job);
}

std::string GroupIntervalText(int seconds) {
  const auto position = PositionOf(seconds);
  return position ? kGroupIntervalTexts[static_cast<std::size_t>(*position)] : std::string();
}

QRect GraphRect(QSize page, QSize window, QPageLayout::Orientation orientation, int narrow) {
  if (window.isEmpty() || page.isEmpty()) {
    return {};
  }
  const std::int64_t pw = page.width();
  const std::int64_t ph = page.height();
  const std::int64_t ww = window.width();
  const std::int64_t wh = window.height();
  QRect rect;
  if (ww * ph > pw * wh) {
    const int top = static_cast<int>(ph / (orientation == QPageLayout::Landscape ? 10 : 14));
    rect = QRect(0, top, page.width(), static_cast<int>(pw * wh / ww));
  } else {
    const int width = static_cast<int>(ph * ww / wh);
    rect = QRect((page.width() - width) / 2, 0, width, page.height());
  }
  return rect.adjusted(narrow, 0, -narrow, 0);
}

Status PrintGraph(QPagedPaintDevice& device, const CDataSeries& series, const CGraphPrintout& graph,
                  const CPrintJob& job) {
  // The page frame is the one of a list with a single empty column: title box, title row, footer.
  CPrintOptions options = DataWindowPrintOptions();
  options.columnLines = false;
  options.screenDpi = job.screenDpi;
  CPrintListCtrl printer(options);
  if (job.clock) {
    printer.SetClock(job.clock);
  }
  const CFixedReportList frame({{"", 80, CColumnAlign::Left}});
  QPainter painter;
  if (!painter.begin(&device)) {
    return DocumentRefused();
  }
  printer.Start(frame, job.title);
  CPrintInfo info;
  printer.Prepare(painter, info);
  printer.PrintPage(painter, info);
  printer.End();

  const int width = device.width();
  const int height = device.height();
  const QPageLayout::Orientation orientation = device.pageLayout().orientation();
  const bool landscape = orientation == QPageLayout::Landscape;
  const std::size_t lines = series.LineCount();
  const std::string texts[] = {
      Printf("Start Date: %s", lines > 1 ? LineLabel(series, 1).c_str() : ""),
      GroupIntervalText(series.interval),
      Printf("Stop Date: %s", LineLabel(series, lines - 1).c_str()),
  };
  const int across[] = {5, 45, landscape ? 75 : 70};
  const QFont font = PrinterFont("Times New Roman", Scaled(64, device.logicalDpiY()), &device, true);
  const QFontMetrics metrics(font, &device);

  const QRect area = GraphRect(QSize(width, height), graph.windowSize, orientation, Scaled(150, device.logicalDpiX()));
  if (graph.draw && !area.isEmpty()) {
    if (graph.showCursorLabel) {
      graph.showCursorLabel(false);
    }
    painter.save();
    graph.draw(painter, area);
    painter.restore();
    if (graph.showCursorLabel) {
      graph.showCursorLabel(true);
    }
  }

  // The date line stands at its place on the page, unless the graph covers that place: then it
  // follows just below the graph when there is room above the footer, so it is never hidden.
  int top = height * (landscape ? 60 : 32) / 100;
  const int below = area.bottom() + metrics.height() / 2;
  if (graph.draw && top < area.bottom() && below + metrics.height() * 3 < height) {
    top = below;
  }
  painter.setFont(font);
  painter.setPen(Qt::black);
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    painter.drawText(QPoint(width * across[i] / 100, top + metrics.ascent()), Q(texts[i]));
  }
  if (!painter.end()) {
    return PageRefused(0, 1);
  }
  return Status::Ok();
}

} // namespace nimbrel
