#include "pdf_pages.h"
#include "print/print_job.h"
#include "support/temp_dir.h"

#include <QBitmap>
#include <QPainter>
#include <QRegion>

#include <gtest/gtest.h>

#include <tuple>

namespace nimbrel {
namespace {

TEST(PrintGraph, DateLineAndGraphScaledToThePage) {
  // A4 at 600 dpi is 4961 x 7016 units, rendered here at a tenth of that; 150 units stay free at each
  // side of the graph.
  constexpr double kW = 496.1;
  constexpr double kV = 701.6;
  // The rows, the date line as read back (blanks folded), the page, the chart window and the graph on the page.
  const std::tuple<CDataSeries, const char*, QPageLayout::Orientation, QSize, QRectF> cases[] = {
      {test::Rows(900, 0),
       "\nStart Date: Group Interval: 15 min Stop Date: TOTAL RAIN\n",
       QPageLayout::Portrait,
       {800, 400},
       {15, kV / 14, kW - 30, kW / 2}},
      {test::Rows(5184000, 3),
       "\nStart Date: 2005/03/01 10:15:00 Interval: 2 months Stop Date: 2005/06/29 10:15:00\n",
       QPageLayout::Landscape,
       {800, 400},
       {15, kW / 10, kV - 30, kV / 2}},
      {test::Rows(900, 1),
       "\nStart Date: 2005/03/01 10:15:00 Group Interval: 15 min Stop Date: 2005/03/01 10:15:00\n",
       QPageLayout::Portrait,
       {300, 600},
       {(kW - kV / 2) / 2 + 15, 0, kV / 2 - 30, kV}},
  };
  for (const auto& [series, line, orientation, window, placed] : cases) {
    SCOPED_TRACE(line);
    test::TempDir dir;
    auto pdf = test::PdfAt(dir / "graph.pdf", 210, 297, orientation);
    std::vector<std::string> events;
    const CGraphPrintout graph{window,
                               [&events](QPainter& painter, const QRect& area) {
                                 events.emplace_back("draw");
                                 painter.fillRect(area, Qt::red);
                               },
                               [&events](bool visible) { events.emplace_back(visible ? "show" : "hide"); }};
    CPrintJob job;
    job.title = "Graph title";
    ASSERT_TRUE(PrintGraph(*pdf, series, graph, job).ok());
    pdf.reset();
    EXPECT_EQ(events, (std::vector<std::string>{"hide", "draw", "show"}));
    const auto pages = test::PdfPageTexts(dir / "graph.pdf");
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_EQ(pages[0].rfind("Graph title\n", 0), 0U) << pages[0];
    EXPECT_NE(pages[0].find(line), std::string::npos) << pages[0];

    const QImage page = test::RenderFirstPage(dir / "graph.pdf", 60);
    const QRect red =
        QRegion(QBitmap::fromImage(page.createMaskFromColor(qRgb(255, 0, 0), Qt::MaskOutColor))).boundingRect();
    EXPECT_LT((QRectF(red).topLeft() - placed.topLeft()).manhattanLength(), 2.5) << red.x() << "," << red.y();
    EXPECT_LT((QRectF(red).bottomRight() - placed.bottomRight()).manhattanLength(), 2.5)
        << red.width() << "x" << red.height();
  }
}

} // namespace
} // namespace nimbrel
