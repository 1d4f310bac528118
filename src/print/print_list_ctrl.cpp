#include "print/print_list_ctrl.h"

#include "base/text.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace nimbrel {

namespace {

// Characters of a UTF-8 text (the list's texts are plain ASCII; a title may not be).
std::size_t Characters(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U; }));
}

int AlignFlags(CColumnAlign align) {
  switch (align) {
  case CColumnAlign::Centre:
    return Qt::AlignHCenter;
  case CColumnAlign::Right:
    return Qt::AlignRight;
  default:
    return Qt::AlignLeft;
  }
}

constexpr int kLine = Qt::AlignVCenter | Qt::TextSingleLine;

QString Q(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CPrintOptions DataWindowPrintOptions() {
  CPrintOptions options;
  options.leftMargin = 150;
  options.topMargin = 150;
  options.faces = {"Arial", "Arial", "Arial"};
  options.sizes = {15, 15, 15};
  return options;
}

QFont PrinterFont(const std::string& face, int height, const QPaintDevice* device, bool bold) {
  QFont font(Q(face));
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  font.setPixelSize(std::max(1, height));
  // A printer font's height is its whole line; the pixel size is the em, so correct it once by the
  // proportion measured on the device.
  const int measured = QFontMetrics(font, device).height();
  if (measured > 0 && measured != height) {
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(static_cast<double>(height) * height / measured))));
  }
  return font;
}

bool CPrintListCtrl::Start(const IReportList& list, std::string title) {
  title_ = std::move(title);
  if (!list.HasHeader()) {
    return false;
  }
  list_ = &list;
  columns_.assign(static_cast<std::size_t>(std::max(list.ColumnCount(), 0)), CColumn{});
  rowCount_ = list.RowCount();
  jobTime_ = clock_ ? clock_() : QDateTime::currentDateTime();
  return true;
}

bool CPrintListCtrl::Prepare(QPainter& painter, CPrintInfo& info) {
  const QPaintDevice* device = painter.device();
  if (device == nullptr) {
    return false;
  }
  dpiX_ = device->logicalDpiX();
  dpiY_ = device->logicalDpiY();
  const int screenDpi = options_.screenDpi > 0 ? options_.screenDpi : kScreenDpi;
  const auto printerHeight = [&](int size) {
    return static_cast<int>(std::lround(static_cast<double>(size) * dpiY_ / screenDpi));
  };
  const int headerHeight = printerHeight(options_.sizes[0]);
  CFonts f;
  f.header = PrinterFont(options_.faces[0], headerHeight, device);
  f.table = PrinterFont(options_.faces[2], headerHeight, device);
  f.footer = PrinterFont(options_.faces[1], printerHeight(options_.sizes[1]), device);
  f.title = PrinterFont(options_.faces[0], 2 * headerHeight, device);
  f.h1 = QFontMetrics(f.header, device).height();
  f.h2 = QFontMetrics(f.table, device).height();
  f.h3 = QFontMetrics(f.footer, device).height();
  const int xWidth = QFontMetrics(f.table, device).horizontalAdvance(QLatin1Char('X'));

  std::string text;
  for (std::size_t c = 0; c < columns_.size() && list_ != nullptr; ++c) {
    const CReportColumn column = list_->Column(static_cast<int>(c));
    CColumn& out = columns_[c];
    out.title = column.title;
    out.align = column.align;
    out.width = 0;
    if (column.width == 0) {
      continue;
    }
    std::size_t longest = Characters(column.title);
    for (std::size_t row = 0; row < rowCount_; ++row) {
      list_->Text(row, static_cast<int>(c), text);
      if (text.find("COMMENTS") != std::string::npos) {
        break;
      }
      longest = std::max(longest, Characters(text));
    }
    out.width = static_cast<int>(longest + 1) * xWidth;
  }

  // The top margin is taken from the room too: the rows then end above the footer, as they must,
  // whatever the margin.
  int space = device->height() - Uy(options_.topMargin);
  if (options_.footer) {
    space -= Uy(14) + f.h3;
  }
  space -= f.h2 + Uy(10);
  if (options_.header) {
    space -= 4 * f.h1 + Uy(20);
  }
  space -= Uy(10);
  // A page too small for a single row still counts one per page, so the count stays finite.
  rowsPerPage_ = std::max(1, space / (f.h2 + Uy(6)));
  const std::size_t perPage = static_cast<std::size_t>(rowsPerPage_);
  pageCount_ = std::max(1, static_cast<int>((rowCount_ + perPage - 1) / perPage));
  info.minPage = 1;
  info.maxPage = pageCount_;
  fonts_ = std::move(f);
  return true;
}

bool CPrintListCtrl::PrintPage(QPainter& painter, CPrintInfo& info) {
  const QPaintDevice* device = painter.device();
  if (!fonts_ || device == nullptr) {
    info.continuePrinting = false;
    return false;
  }
  const CFonts& f = *fonts_;
  const int width = device->width();
  const int height = device->height();
  const int left = Ux(options_.leftMargin);
  const int top = Uy(options_.topMargin);
  const int page = info.currentPage;

  painter.save();
  painter.setPen(QPen(Qt::black, std::max(1, Ux(1))));
  int y = top;
  if (options_.header) {
    PrintTitleBox(painter, page, width);
    y += 4 * f.h1 + Uy(20);
  }

  painter.setFont(f.table);
  PrintCells(painter, y, width, Uy(10), [this](int c) { return columns_[static_cast<std::size_t>(c)].title; });
  painter.save();
  painter.setPen(QPen(Qt::black, std::max(1, Uy(3)), Qt::SolidLine, Qt::FlatCap));
  const int underline = y + f.h2 + Uy(5);
  painter.drawLine(left, underline, width - left, underline);
  painter.restore();
  y += f.h2 + Uy(10);

  if (options_.footer) {
    PrintFooter(painter, page, width, height);
  }

  painter.setFont(f.table);
  const std::size_t perPage = static_cast<std::size_t>(rowsPerPage_);
  const std::size_t first = static_cast<std::size_t>(std::max(page - 1, 0)) * perPage;
  const std::size_t last = std::min(first + perPage, rowCount_);
  const int limit = height - (options_.footer ? f.h3 + Uy(14) : 0);
  std::string text;
  for (std::size_t row = first; row < last && list_ != nullptr; ++row) {
    if (y + f.h2 > limit) {
      break;
    }
    PrintCells(painter, y, width, Uy(6), [&](int c) {
      list_->Text(row, c, text);
      return text;
    });
    if (options_.rowLines) {
      const int under = y + f.h2 + Uy(3);
      painter.drawLine(left, under, width - left, under);
    }
    y += f.h2 + Uy(6);
  }
  painter.restore();
  return true;
}

void CPrintListCtrl::End() {
  fonts_.reset();
  columns_.clear();
  list_ = nullptr;
  rowCount_ = 0;
}

std::string CPrintListCtrl::JobTimeText() const {
  const QDate d = jobTime_.date();
  const QTime t = jobTime_.time();
  return Printf("%04d/%02d/%02d  %02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

int CPrintListCtrl::Ux(int units) const {
  return static_cast<int>(std::lround(static_cast<double>(units) * dpiX_ / kReferenceDpi));
}

int CPrintListCtrl::Uy(int units) const {
  return static_cast<int>(std::lround(static_cast<double>(units) * dpiY_ / kReferenceDpi));
}

void CPrintListCtrl::PrintTitleBox(QPainter& painter, int page, int width) const {
  const CFonts& f = *fonts_;
  const int left = Ux(options_.leftMargin);
  const int top = Uy(options_.topMargin);
  const QRect box(QPoint(left, top), QPoint(width - left - 1, top + 4 * f.h1));
  if (options_.headerFill) {
    painter.fillRect(box, options_.headerColour);
  }
  painter.drawRect(box);
  painter.setFont(f.title);
  painter.drawText(QRect(left, top + f.h1, box.width(), 2 * f.h1), Qt::AlignHCenter | kLine, Q(title_));

  // The band above the title spans the top of the page, the one below the title the box's last line.
  painter.setFont(f.header);
  const QRect above(0, 0, width, f.h1);
  const QRect below(0, top + 3 * f.h1, width, f.h1);
  if (!options_.footer) {
    painter.drawText(above, Qt::AlignRight | kLine, Q(Printf("Page : %d", page)));
    painter.drawText(below, Qt::AlignRight | kLine, Q(JobTimeText()));
    return;
  }
  if (options_.customHeader) {
    painter.drawText(above, AlignFlags(options_.headerAlign) | kLine, Q(*options_.customHeader));
  }
  if (options_.customFooter) {
    painter.drawText(below, AlignFlags(options_.footerAlign) | kLine, Q(*options_.customFooter));
  }
}

void CPrintListCtrl::PrintFooter(QPainter& painter, int page, int width, int height) const {
  const CFonts& f = *fonts_;
  const int left = Ux(options_.leftMargin);
  const QRect frame(QPoint(left, height - f.h3 - Uy(4)), QPoint(width - left - 1, height - 1));
  if (options_.footerFill) {
    painter.fillRect(frame, options_.footerColour);
  }
  painter.drawRect(frame);
  painter.setFont(f.footer);
  const QRect inside = frame.adjusted(Ux(4), 0, -Ux(4), 0);
  painter.drawText(inside, Qt::AlignLeft | kLine, Q(Printf("Page : %d", page)));
  painter.drawText(inside, Qt::AlignRight | kLine, Q(JobTimeText()));
}

void CPrintListCtrl::PrintCells(QPainter& painter, int top, int width, int lineDepth,
                                const std::function<std::string(int)>& text) const {
  const int inset = Ux(4);
  int x = Ux(options_.leftMargin);
  bool first = true;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    const CColumn& column = columns_[c];
    if (column.width == 0) {
      continue;
    }
    if (x > width || (options_.clipColumns && x + column.width > width)) {
      break;
    }
    if (options_.columnLines && !first) {
      painter.drawLine(x - Ux(2), top, x - Ux(2), top + fonts_->h2 + lineDepth);
    }
    painter.drawText(QRect(x + inset, top, column.width - 2 * inset, fonts_->h2), AlignFlags(column.align) | kLine,
                     Q(text(static_cast<int>(c))));
    x += column.width;
    first = false;
  }
}

} // namespace nimbrel
