#include "support/temp_dir.h"
#include "ui/chart/chart_widget.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/viewer/sel_excel_interval.h"
#include "ui/viewer/view_file_dlg.h"
#include "ui/viewer/wait_dialogs.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/pictures.h"
#include "viewer/intervals.h"
#include "viewer_support.h"

#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace nimbrel::test {
namespace {

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

QString ListText(const QWidget& window) {
  return IntervalList(window)->currentText();
}

bool RowShown(const QTableView& table, int row) {
  const QRect cell = table.visualRect(table.model()->index(row, 0));
  return cell.isValid() && table.viewport()->rect().intersects(cell);
}

TEST(DataWindow, OpensAtTheIntervalTheFileSizeSuggestsWithTitleAndHeaders) {
  FakeHost host;
  const std::string record = ReadText(TestData("basic.rlg"));
  const std::pair<std::size_t, const char*> cases[] = {{5000, "1 min"}, {50000, "1 hour"}, {150000, "1 day"}};
  for (const auto& [bytes, interval] : cases) {
    SCOPED_TRACE(bytes);
    // Marks after the last sample are read and ignored: only the size changes.
    std::string padded = record;
    while (padded.size() + 5 <= bytes) {
      padded += "Z0\r\r\n";
    }
    padded.append(bytes - padded.size(), '\n');
    host.dir.Write("sized.rlg", padded);
    CViewFileDlg window(host.dir / "sized.rlg", host);
    EXPECT_EQ(ListText(window), interval);
    EXPECT_EQ(window.windowTitle().toStdString(),
              (host.dir / "sized.rlg").string() + " ( TBR4470 - Ser. Num. : 12345678 )");
    const QAbstractItemModel& model = *Table(window)->model();
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Rain [mm H2O]");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Temperature [C]");
    bool resolutionShown = false;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
      resolutionShown = resolutionShown || label->text() == "mm H2O per tip = 0.200";
    }
    EXPECT_TRUE(resolutionShown);
  }

  // A file that cannot be read: the total line alone, the path alone as title, no message.
  CViewFileDlg missing(host.dir / "missing.rlg", host);
  EXPECT_EQ(missing.windowTitle().toStdString(), (host.dir / "missing.rlg").string());
  ASSERT_EQ(Table(missing)->model()->rowCount(), 1);
  EXPECT_EQ(LineText(*Table(missing), 0), "TOTAL RAIN\t\t0.000\t\t");
  EXPECT_TRUE(host.prompts.shown.empty());
}

// The model shows every line as the core writes it (line 0 the total, line k row k - 1), and the
// icon of the line.
TEST(DataWindow, TableShowsTheTextsAndIconsOfEveryLine) {
  FakeHost host;
  CViewFileDlg window(TestData("basic.rlg"), host);
  for (const int interval : {3600, 900}) {
    SCOPED_TRACE(interval);
    ChooseInterval(window, kIntervals.at(static_cast<std::size_t>(*PositionOf(interval))).text);
    const std::string expected = ReadText(TestData("basic_" + std::to_string(interval) + ".txt"));
    std::string shown = "Date-Time\t\tRain [mm H2O]\tTemp [C]\r\n";
    const QTableView& table = *Table(window);
    for (int line = 0; line < table.model()->rowCount(); ++line) {
      shown += LineText(table, line) + "\r\n";
    }
    EXPECT_EQ(shown, expected);
  }
  const auto icon = [&window](int line) {
    return Table(window)->model()->index(line, 0).data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
  };
  const auto picture = [](pictures::Id id) { return pictures::Icon(id).pixmap(16, 16).toImage(); };
  EXPECT_EQ(icon(0), picture(pictures::Id::RowRain));    // the total line
  EXPECT_EQ(icon(3), picture(pictures::Id::RowWarning)); // no rain, "err"
  EXPECT_EQ(icon(4), picture(pictures::Id::RowPlain));
}

TEST(DataWindow, AnsweringNoToTheExpansionLeavesTableIntervalAndListAsTheyWere) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  QTableView& table = *Table(window);
  table.scrollTo(table.model()->index(200, 0), QAbstractItemView::PositionAtTop);
  const int scrolled = table.verticalScrollBar()->value();
  const int lines = table.model()->rowCount();
  host.prompts.ExpectQuestion(kExpandQuestion, Answer::No);
  ChooseInterval(window, "1 sec");
  EXPECT_TRUE(host.prompts.AllAnswersUsed());
  EXPECT_EQ(ListText(window), "1 day");
  EXPECT_EQ(window.View().Interval(), kOneDay);
  EXPECT_EQ(table.model()->rowCount(), lines);
  EXPECT_EQ(table.verticalScrollBar()->value(), scrolled) << "the table was rebuilt";
}

TEST(DataWindow, CancelInTheWaitDialogRegroupsByOneDay) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  bool clicked = false;
  // The wait dialog shows once the reading is under way; its Cancel is clicked as a user would.
  std::function<void()> clickCancel = [&] {
    auto* wait = window.findChild<CWaitElabInfoDlg*>();
    if (wait != nullptr && wait->isVisible()) {
      wait->CancelButton()->click();
      clicked = true;
    } else {
      QTimer::singleShot(0, clickCancel);
    }
  };
  QTimer::singleShot(0, clickCancel);
  ChooseInterval(window, "1 hour");
  ASSERT_TRUE(clicked);
  EXPECT_EQ(ListText(window), "1 day");
  EXPECT_EQ(window.View().Interval(), kOneDay);
  EXPECT_EQ(Table(window)->model()->rowCount(), static_cast<int>(window.View().Series().LineCount()));
  EXPECT_GT(Table(window)->model()->rowCount(), 300);
  EXPECT_FALSE(window.findChild<CWaitElabInfoDlg*>()->isVisible());
  EXPECT_TRUE(ChartOf(window)->isEnabled());
  EXPECT_FALSE(host.cancel.load());
}

TEST(DataWindow, SizeRuleAndTheButtonsAWindowStartsWith) {
  FakeHost host;
  CViewFileDlg window(TestData("basic.rlg"), host);
  window.show();
  window.resize(800, 601);
  EXPECT_EQ(Table(window)->geometry(), QRect(0, 40, 800, 270));
  EXPECT_EQ(ChartOf(window)->geometry(), QRect(0, 320, 800, 281));

  EXPECT_FALSE(Button(window, "Zoom -")->isEnabled());
  int zoomPlusShown = 0;
  for (CPictureButton* b : window.findChildren<CPictureButton*>()) {
    zoomPlusShown += b->toolTip() == "Zoom +" && !b->isHidden() ? 1 : 0;
  }
  EXPECT_EQ(zoomPlusShown, 1);
  for (QPushButton* scroll : ChartOf(window)->findChildren<QPushButton*>()) {
    EXPECT_TRUE(scroll->isHidden()) << scroll->text().toStdString();
  }
  // Columns keep their widths over a regrouping.
  ChooseInterval(window, "1 hour");
  const QHeaderView& header = *Table(window)->horizontalHeader();
  EXPECT_EQ(std::vector<int>({header.sectionSize(0), header.sectionSize(1), header.sectionSize(2)}),
            std::vector<int>({200, 100, 100}));
}

TEST(DataWindow, ZoomPlusInOneWindowSwitchesEveryWindowButANewOneStartsReleased) {
  FakeHost host;
  CViewFileDlg first(TestData("basic.rlg"), host);
  CViewFileDlg second(TestData("basic.rlg"), host);
  const auto pressedShown = [](const CViewFileDlg& w) {
    return Button(w, "Zoom +")->icon().pixmap(34, 17).toImage() ==
           pictures::Icon(pictures::Id::ZoomInPressed).pixmap(34, 17).toImage();
  };
  Button(first, "Zoom +")->click();
  EXPECT_TRUE(host.zoom.IsOn());
  EXPECT_TRUE(pressedShown(first));
  EXPECT_TRUE(pressedShown(second));
  EXPECT_TRUE(Button(second, "Zoom -")->isEnabled());

  CViewFileDlg third(TestData("basic.rlg"), host);
  EXPECT_FALSE(pressedShown(third));
  Button(second, "Zoom +")->click();
  EXPECT_FALSE(host.zoom.IsOn());
  EXPECT_FALSE(pressedShown(first));
  EXPECT_FALSE(Button(first, "Zoom -")->isEnabled());
}

// The chart's answers reach the window: a drag pushes a level and shows "<<" ">>", ">>" and
// "Zoom -" act on it, a double-click scrolls the table, and regrouping returns to the full view.
TEST(DataWindow, ChartEventsReachTheChartAndTheTable) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  ChooseInterval(window, "1 hour"); // 8760 points
  window.show();
  QTableView& table = *Table(window);
  CChartWidget& chart = *ChartOf(window);
  const QRect plot = window.Chart().Chart().PlotRect();

  SendMouse(chart, QEvent::MouseMove, plot.center(), Qt::NoButton, Qt::NoButton);
  const CChart2D::CLabel* hover = window.Chart().Chart().FindLabel("Cursor");
  ASSERT_NE(hover, nullptr);
  EXPECT_EQ(hover->text.rfind("Time: ", 0), 0U) << hover->text;

  DragZoom(window, host);
  ASSERT_EQ(window.Chart().Level(), 1);
  const QList<QPushButton*> scroll = chart.findChildren<QPushButton*>();
  ASSERT_EQ(scroll.size(), 2);
  EXPECT_FALSE(scroll[0]->isHidden());
  const CViewRange zoomed = window.Chart().Entry(1);
  EXPECT_TRUE(RowShown(table, std::max(0, zoomed.last - 1 - 10))) << "the drag scrolls the table to q - 10";
  QPushButton* right = scroll[0]->text() == ">>" ? scroll[0] : scroll[1];
  right->click();
  EXPECT_EQ(window.Chart().Entry(1).first, zoomed.first + (zoomed.last - zoomed.first) / 10);

  Button(window, "Zoom -")->click();
  EXPECT_EQ(window.Chart().Level(), 0);
  EXPECT_TRUE(scroll[0]->isHidden());

  SendMouse(chart, QEvent::MouseMove, QPoint(plot.right() - 1, plot.center().y()), Qt::NoButton, Qt::NoButton);
  SendMouse(chart, QEvent::MouseButtonDblClick, QPoint(plot.right() - 1, plot.center().y()), Qt::LeftButton,
            Qt::LeftButton);
  const int nearest = window.Chart().Chart().Nearest(QPoint(plot.right() - 1, plot.center().y()), 3).point;
  EXPECT_GT(nearest, table.model()->rowCount() - 20);
  EXPECT_TRUE(RowShown(table, nearest)) << nearest;

  DragZoom(window, host);
  ASSERT_EQ(window.Chart().Level(), 1);
  ChooseInterval(window, "1 day");
  EXPECT_EQ(window.Chart().Level(), 0);
  EXPECT_TRUE(scroll[0]->isHidden());
  EXPECT_TRUE(scroll[1]->isHidden());
}

TEST(DataWindow, ClosingAsksTheHostAndTellsItWhenGone) {
  FakeHost host;
  CViewFileDlg window(TestData("basic.rlg"), host);
  window.show();
  host.mayClose = false;
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(host.closed.empty());
  host.mayClose = true;
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(host.closed, std::vector<CViewFileDlg*>{&window});
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
      if (!control || qobject_cast<QAbstractScrollArea*>(w->parentWidget()) != nullptr) {
        continue; // scroll bars and viewports belong to their view
      }
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      if (a == nullptr || a->text(QAccessible::Name).isEmpty()) {
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
