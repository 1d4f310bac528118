#pragma once

#include "print/report_list.h"

#include <QColor>
#include <QDateTime>
#include <QFont>

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QPainter;
class QPaintDevice;

namespace nimbrel {

// The fixed lengths of the printed page (margins, insets, gaps, line widths) are given in the units of
// a 600 dpi printer and scaled to the device's resolution, so a page looks the same on every printer.
inline constexpr int kReferenceDpi = 600;
// The resolution the font sizes are given for (screen pixels).
inline constexpr int kScreenDpi = 96;

// How a report list is printed. The defaults are the printer's own; DataWindowPrintOptions() gives
// what the data window uses.
struct CPrintOptions {
  bool header = true;      // the framed title box at the top of every page
  bool footer = true;      // the framed footer with page number and job time at the bottom
  bool clipColumns = true; // a column that would end beyond the page, and every later one, is left out
  bool columnLines = true; // vertical lines between the columns
  bool rowLines = false;   // a horizontal line under every row
  bool headerFill = false; // fill the title box with headerColour
  bool footerFill = false; // fill the footer box with footerColour
  QColor headerColour = Qt::white;
  QColor footerColour = Qt::white;
  // With the footer on, shown in the bands above and below the title instead of page and time.
  std::optional<std::string> customHeader;
  std::optional<std::string> customFooter;
  CColumnAlign headerAlign = CColumnAlign::Right;
  CColumnAlign footerAlign = CColumnAlign::Right;
  // Faces of the header, footer and table fonts.
  std::array<std::string, 3> faces{"Arial", "Arial", "Arial"};
  // Sizes in screen pixels: the header and table fonts (first), the footer font (second); the third is
  // kept but not used.
  std::array<int, 3> sizes{10, 10, 10};
  int leftMargin = 0; // shifts every column and both boxes (units of a 600 dpi printer)
  int topMargin = 0;  // shifts the title box, the column titles and the rows (the same units)
  int screenDpi = kScreenDpi;
};

// The data window's settings for every job: margins 150, "Arial" 15 everywhere.
CPrintOptions DataWindowPrintOptions();

// The page range of a job and the page being printed, as the printing loop and the printer share them.
struct CPrintInfo {
  int minPage = 1;
  int maxPage = 0;
  int currentPage = 1;
  bool continuePrinting = true;
};

// Lays out a report list on printed pages: a framed title box, the column titles, as many rows as fit
// and a framed footer with page number and the job's time. One object serves job after job; each job
// calls Start, Prepare, PrintPage for every page, then End. Fonts are measured on the printer; the
// margins and fixed lengths are scaled from kReferenceDpi to the device's resolution.
class CPrintListCtrl {
public:
  CPrintListCtrl() = default;
  explicit CPrintListCtrl(CPrintOptions options) : options_(std::move(options)) {}

  CPrintOptions& Options() { return options_; }
  [[nodiscard]] const CPrintOptions& Options() const { return options_; }

  // The clock that gives the job time (the local time by default).
  void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  // Stores the title, counts columns and rows and takes the job time. False for a list without a
  // header: there is nothing to measure or print.
  bool Start(const IReportList& list, std::string title);
  // Creates the fonts on the painter's device, measures the columns and computes the rows per page and
  // the page count, which becomes the page range of `info`.
  bool Prepare(QPainter& painter, CPrintInfo& info);
  // Prints page info.currentPage. Without Prepare's fonts it prints nothing and tells the job to stop.
  bool PrintPage(QPainter& painter, CPrintInfo& info);
  // Forgets the fonts, the columns and the list.
  void End();

  [[nodiscard]] int RowsPerPage() const { return rowsPerPage_; }
  [[nodiscard]] int PageCount() const { return pageCount_; }
  // "%04d/%02d/%02d  %02d:%02d:%02d" of the job time, as the footer shows it.
  [[nodiscard]] std::string JobTimeText() const;

private:
  struct CColumn {
    int width = 0;
    CColumnAlign align = CColumnAlign::Left;
    std::string title;
  };
  struct CFonts {
    QFont header;
    QFont table;
    QFont footer;
    QFont title; // the header font at twice its height
    int h1 = 0;
    int h2 = 0;
    int h3 = 0;
  };

  [[nodiscard]] int Ux(int units) const;
  [[nodiscard]] int Uy(int units) const;
  void PrintTitleBox(QPainter& painter, int page, int width) const;
  void PrintFooter(QPainter& painter, int page, int width, int height) const;
  // One line of cells from the left margin at `top`; the column lines reach `lineDepth` below it.
  void PrintCells(QPainter& painter, int top, int width, int lineDepth,
                  const std::function<std::string(int)>& text) const;

  CPrintOptions options_;
  std::function<QDateTime()> clock_;
  const IReportList* list_ = nullptr;
  std::string title_;
  QDateTime jobTime_;
  std::vector<CColumn> columns_;
  std::size_t rowCount_ = 0;
  int rowsPerPage_ = 0;
  int pageCount_ = 0;
  std::optional<CFonts> fonts_;
  int dpiX_ = kReferenceDpi;
  int dpiY_ = kReferenceDpi;
};

// A font of `face` whose line (ascent and descent) is `height` device pixels on `device`.
QFont PrinterFont(const std::string& face, int height, const QPaintDevice* device, bool bold = false);

} // namespace nimbrel
