#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/viewer/sel_excel_interval.h"
#include "ui/viewer/wait_dialogs.h"
#include "ui/widgets/pictures.h"
#include "viewer/intervals.h"
#include "viewer_support.h"

#include <QAccessible>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace nimbrel::test {
namespace {

bool RowShown(const QTableView& table, int row) {
  return table.viewport()->rect().intersects(table.visualRect(table.model()->index(row, 0)));
}

TEST(DataWindow, OpensAtTheIntervalTheFileSizeSuggests) {
  FakeHost host;
  std::string padded = ReadFileBytes(TestData("basic.rlg"));
  for (const auto& [bytes, interval] : {std::pair{5000U, "1 min"}, {50000U, "1 hour"}, {150000U, "1 day"}}) {
    padded.resize(bytes, '\n'); // blank lines after the last sample change only the size
    host.dir.Write("sized.rlg", padded);
    CViewFileDlg window(host.dir / "sized.rlg", host);
    EXPECT_EQ(ListText(window), interval);
    EXPECT_EQ(window.windowTitle().toStdString(),
              (host.dir / "sized.rlg").string() + " ( TBR4470 - Ser. Num. : 12345678 )");
  }
  // A file that cannot be read: the total line alone and the path alone as title.
  CViewFileDlg missing(host.dir / "missing.rlg", host);
  EXPECT_EQ(missing.windowTitle().toStdString(), (host.dir / "missing.rlg").string());
  ASSERT_EQ(Table(missing).model()->rowCount(), 1);
  EXPECT_EQ(LineText(Table(missing), 0), "TOTAL RAIN\t\t0.000\t\t");
  EXPECT_TRUE(host.prompts.shown.empty());
}

TEST(DataWindow, NoToTheExpansionChangesNothingAndCancelFallsBackToOneDay) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  QTableView& table = Table(window);
  table.scrollTo(table.model()->index(200, 0), QAbstractItemView::PositionAtTop);
  const int scrolled = table.verticalScrollBar()->value();
  host.prompts.ExpectQuestion(kExpandQuestion, Answer::No);
  ChooseInterval(window, "1 sec");
  EXPECT_EQ(ListText(window), "1 day");
  EXPECT_EQ(window.View().Interval(), kOneDay);
  EXPECT_EQ(table.verticalScrollBar()->value(), scrolled) << "the table was rebuilt";

  // Cancel in the wait dialog, clicked once the reading shows it.
  bool clicked = false;
  std::function<void()> click = [&] {
    auto* wait = window.findChild<CWaitElabInfoDlg*>();
    clicked = wait != nullptr && wait->isVisible();
    clicked ? wait->CancelButton()->click() : QTimer::singleShot(0, click);
  };
  QTimer::singleShot(0, click);
  ChooseInterval(window, "1 hour");
  ASSERT_TRUE(clicked);
  EXPECT_EQ(ListText(window), "1 day");
  EXPECT_EQ(table.model()->rowCount(), static_cast<int>(window.View().Series().LineCount()));
  EXPECT_FALSE(window.findChild<CWaitElabInfoDlg*>()->isVisible());
  EXPECT_TRUE(ChartOf(window).isEnabled());
}

TEST(DataWindow, StartsWithItsButtonsReleasedLaysOutBySizeAndClosesThroughTheHost) {
  FakeHost host;
  Button(CViewFileDlg(TestData("basic.rlg"), host), "Zoom +")->click(); // zoom mode on, window gone
  CViewFileDlg window(TestData("basic.rlg"), host);
  window.show();
  EXPECT_EQ(Button(window, "Zoom +")->icon().pixmap(34, 17).toImage(),
            pictures::Icon(pictures::Id::ZoomIn).pixmap(34, 17).toImage());
  EXPECT_FALSE(Button(window, "Zoom -")->isEnabled());
  for (QPushButton* scroll : ChartOf(window).findChildren<QPushButton*>()) {
    EXPECT_TRUE(scroll->isHidden());
  }
  window.resize(800, 601);
  EXPECT_EQ(Table(window).geometry(), QRect(0, 40, 800, 270));
  EXPECT_EQ(ChartOf(window).geometry(), QRect(0, 320, 800, 281));

  host.mayClose = false;
  EXPECT_FALSE(window.close());
  host.mayClose = true;
  EXPECT_TRUE(window.close());
  EXPECT_EQ(host.closed, std::vector<CViewFileDlg*>{&window});
}

TEST(DataWindow, ZoomPlusInOneWindowSwitchesEveryWindow) {
  FakeHost host;
  CViewFileDlg first(TestData("basic.rlg"), host);
  CViewFileDlg second(TestData("basic.rlg"), host);
  const QImage pressed = pictures::Icon(pictures::Id::ZoomInPressed).pixmap(34, 17).toImage();
  Button(first, "Zoom +")->click();
  EXPECT_EQ(Button(second, "Zoom +")->icon().pixmap(34, 17).toImage(), pressed);
  EXPECT_TRUE(Button(second, "Zoom -")->isEnabled());
  Button(second, "Zoom +")->click();
  EXPECT_NE(Button(first, "Zoom +")->icon().pixmap(34, 17).toImage(), pressed);
  EXPECT_FALSE(host.zoom.IsOn());
}

// The chart's answers reach the window: the hover label, a drag that pushes a level and scrolls the
// table, ">>", "Zoom -", a double-click that scrolls the table, and a regrouping back at level 0.
TEST(DataWindow, ChartEventsReachTheChartAndTheTable) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  ChooseInterval(window, "1 hour");
  window.show();
  const QTableView& table = Table(window);
  const QRect plot = window.Chart().Chart().PlotRect();
  SendMouse(ChartOf(window), QEvent::MouseMove, plot.center(), Qt::NoButton);
  EXPECT_EQ(window.Chart().Chart().FindLabel("Cursor")->text.rfind("Time: 2024/", 0), 0U);

  DragZoom(window, host);
  ASSERT_EQ(window.Chart().Level(), 1);
  const CViewRange zoomed = window.Chart().Entry(1);
  EXPECT_TRUE(RowShown(table, zoomed.last - 11)) << "the drag scrolls the table to q - 10";
  PushButton(ChartOf(window), ">>")->click();
  EXPECT_EQ(window.Chart().Entry(1).first, zoomed.first + (zoomed.last - zoomed.first) / 10);
  Button(window, "Zoom -")->click();
  EXPECT_EQ(window.Chart().Level(), 0);
  EXPECT_TRUE(PushButton(ChartOf(window), "<<")->isHidden());

  const QPoint end(plot.right() - 1, plot.center().y());
  SendMouse(ChartOf(window), QEvent::MouseMove, end, Qt::NoButton);
  SendMouse(ChartOf(window), QEvent::MouseButtonDblClick, end, Qt::LeftButton);
  EXPECT_TRUE(RowShown(table, window.Chart().Chart().Nearest(end, 3).point));

  DragZoom(window, host);
  ChooseInterval(window, "1 day");
  EXPECT_EQ(window.Chart().Level(), 0);
  EXPECT_TRUE(PushButton(ChartOf(window), ">>")->isHidden());
}

// Screen readers and UI automation reach every control by a name.
TEST(DataWindow, EveryControlHasAName) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  DragZoom(window, host);
  const auto nameless = [](const QWidget& top) {
    std::vector<std::string> found;
    for (QWidget* w : top.findChildren<QWidget*>()) {
      const bool control = w->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(w) != nullptr;
      const bool part = qobject_cast<QAbstractScrollArea*>(w->parentWidget()) != nullptr; // scroll bars
      if (control && !part && QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty()) {
        found.push_back(w->metaObject()->className());
      }
    }
    return found;
  };
  EXPECT_EQ(nameless(window), std::vector<std::string>{});
  EXPECT_EQ(nameless(CSelDocToPrintDlg(true)), std::vector<std::string>{});
  EXPECT_EQ(nameless(CSelExcelInterval({{"Interval  1", "TOTAL RAIN"}}, std::vector<CChunkChoice>{})),
            std::vector<std::string>{});
  EXPECT_EQ(nameless(CWaitElabInfoDlg(host.cancel)), std::vector<std::string>{});
}

} // namespace
} // namespace nimbrel::test
