// The data window shows the rows and the chart the core gives it, hands the chart's answers to the
// table, and sends what the core makes to the clipboard, the spreadsheet and the printer.

#include "support/child_process.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/viewer/sel_excel_interval.h"
#include "ui/viewer/wait_dialogs.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/pictures.h"
#include "viewer/export_file.h"
#include "viewer/intervals.h"
#include "viewer/sheet.h"
#include "viewer/table_model.h"
#include "widget_rig.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QRadioButton>
#include <QScrollBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace nimbrel::test {
namespace {

bool RowShown(const QTableView& table, int row) {
  return table.viewport()->rect().intersects(table.visualRect(table.model()->index(row, 0)));
}

// The clipboard's text as the bytes a spreadsheet receives (the table is Latin-1).
std::string ClipboardBytes() {
  return QApplication::clipboard()->text().toLatin1().toStdString();
}

std::string CliTable(const std::filesystem::path& file, int interval) {
  return RunChild(BuiltProgram("nimbrel-cli"), {"table", file.string(), "--interval", std::to_string(interval)}).out;
}

QImage Picture(const CPictureButton* button) {
  return button->icon().pixmap(34, 17).toImage();
}

TEST(DataWindow, NoToTheExpansionKeepsTheTableAndCancelFallsBackToOneDay) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  EXPECT_EQ(ListText(window), "1 day"); // the interval the size suggests
  EXPECT_EQ(window.windowTitle().toStdString(), window.View().Title());
  QTableView& table = Table(window);
  table.scrollTo(table.model()->index(200, 0), QAbstractItemView::PositionAtTop);
  const int scrolled = table.verticalScrollBar()->value();
  host.prompts.ExpectQuestion(kExpandQuestion, Answer::No);
  ChooseInterval(window, "1 sec");
  EXPECT_EQ(ListText(window), "1 day");
  EXPECT_EQ(table.verticalScrollBar()->value(), scrolled) << "the table was rebuilt";

  // Cancel in the wait dialog, clicked once the reading shows it (without it the list would say "1 hour").
  OnModal<CWaitElabInfoDlg>([](CWaitElabInfoDlg& wait) { wait.CancelButton()->click(); });
  ChooseInterval(window, "1 hour");
  EXPECT_EQ(ListText(window), "1 day");
  EXPECT_EQ(table.model()->rowCount(), static_cast<int>(window.View().Series().LineCount()));
  EXPECT_FALSE(window.findChild<CWaitElabInfoDlg*>()->isVisible());
  EXPECT_TRUE(ChartOf(window).isEnabled());
}

TEST(DataWindow, ZoomButtonsFollowTheSharedModeLayoutBySizeAndCloseThroughTheHost) {
  FakeHost host;
  CViewFileDlg first(YearFile(), host);
  CViewFileDlg second(YearFile(), host);
  const QImage pressed = pictures::Icon(pictures::Id::ZoomInPressed).pixmap(34, 17).toImage();
  Button(first, "Zoom +")->click();
  EXPECT_EQ(Picture(Button(second, "Zoom +")), pressed);
  EXPECT_TRUE(Button(second, "Zoom -")->isEnabled());
  Button(second, "Zoom +")->click();
  EXPECT_NE(Picture(Button(first, "Zoom +")), pressed);
  EXPECT_FALSE(host.zoom.IsOn());

  Button(CViewFileDlg(YearFile(), host), "Zoom +")->click(); // zoom mode on, window gone
  CViewFileDlg window(YearFile(), host);
  window.show();
  EXPECT_EQ(Picture(Button(window, "Zoom +")), pictures::Icon(pictures::Id::ZoomIn).pixmap(34, 17).toImage());
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

// By the hour: the clipboard gets the core's table text of the regrouped rows, the table shows the
// same texts line by line, and the graph goes as a picture of the chart. The chart's answers reach
// the window: the hover label, a drag that pushes a level and scrolls the table, ">>", "Zoom -", a
// double-click that scrolls the table, and a regrouping back at level 0.
TEST(DataWindow, ClipboardAndChartEventsFollowTheCore) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host);
  ChooseInterval(window, "1 hour");
  window.show();
  ASSERT_EQ(window.View().Interval(), 3600);
  const QTableView& table = Table(window);
  Button(window, "Copy Table to Clipboard")->click();
  const std::string copied = ClipboardBytes();
  EXPECT_EQ(copied, CliTable(YearFile(), 3600));
  std::string shown = copied.substr(0, copied.find('\n') + 1);
  for (int line = 0; line < table.model()->rowCount(); ++line) {
    shown += LineText(table, line) + "\r\n";
  }
  EXPECT_EQ(shown, copied);

  Button(window, "Copy Graph to Clipboard")->click();
  const QImage picture = QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(picture.size(), ChartOf(window).size() * ChartOf(window).devicePixelRatio());
  const auto* pixels = reinterpret_cast<const QRgb*>(picture.constBits());
  const qsizetype count = picture.sizeInBytes() / 4;
  const qsizetype inked = count - std::count(pixels, pixels + count, *pixels);
  EXPECT_GT(inked, picture.width()) << "no chart in the picture";

  const QRect plot = window.Chart().Chart().PlotRect();
  SendMouse(ChartOf(window), QEvent::MouseMove, plot.center(), Qt::NoButton);
  EXPECT_EQ(window.Chart().Chart().FindLabel("Cursor")->text.rfind("Time: 2024/", 0), 0U);

  DragZoom(window, host.zoom);
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

  DragZoom(window, host.zoom);
  ChooseInterval(window, "1 day");
  EXPECT_EQ(window.Chart().Level(), 0);
  EXPECT_TRUE(PushButton(ChartOf(window), ">>")->isHidden());
}

// The first worksheet read back with openpyxl: a row a line, each cell as its Python repr.
std::string ReadBack(const std::filesystem::path& xlsx) {
  const char* const script = "import sys, openpyxl\nfor row in openpyxl.load_workbook(sys.argv[1]).worksheets[0]"
                             ".iter_rows(values_only=True): print(repr(row))";
  const ChildResult read = RunChild("/usr/bin/python3", {"-c", script, xlsx.string()});
  EXPECT_EQ(read.exit, 0) << read.err;
  return read.out;
}

// The cells of a table line's date and time as openpyxl shows them.
std::string DateCells(const QTableView& table, int line) {
  const std::string text = LineText(table, line);
  return "('" + text.substr(0, 10) + "', '" + text.substr(11, 9) + "'";
}

// A year by the quarter hour is two pieces: the chooser offers them, and the chosen one goes to the
// spreadsheet under a new name each time; the one nothing could open is removed, the earlier ones stay.
TEST(DataWindowOutput, ExportOffersTheChunksAndHandsTheChosenOneToTheSpreadsheet) {
  FakeHost host;
  const std::filesystem::path folder = ExportFolder(host.dir / "Documents");
  CViewFileDlg window(YearFile(), host, nullptr, host.Services());
  ChooseInterval(window, "15 min");
  std::vector<std::string> rows;
  OnModal<CSelExcelInterval>([&rows](CSelExcelInterval& chooser) {
    const auto* list = chooser.findChild<QTreeWidget*>();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      rows.push_back((list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1)).toStdString());
    }
    EXPECT_FALSE(PushButton(chooser, "OK")->isEnabled());
    EXPECT_TRUE(chooser.findChild<QCheckBox*>()->isHidden()) << "no zoomed range to offer";
    chooser.reject();
  });
  Button(window, "Export to Excel")->click();
  EXPECT_EQ(host.prompts.Texts(), std::vector<std::string>{kExportChooseChunk});
  const int lines = Table(window).model()->rowCount();
  EXPECT_EQ(rows, (std::vector<std::string>{"Interval  1|TOTAL RAIN",
                                            "Interval  2|" + LineText(Table(window), 30000).substr(0, 19) + " "}));
  EXPECT_FALSE(std::filesystem::exists(folder)) << "Cancel writes nothing";

  for (const bool opens : {true, true, false}) {
    host.sheetOpens = opens;
    OnModal<CSelExcelInterval>([](CSelExcelInterval& chooser) {
      auto* list = chooser.findChild<QTreeWidget*>();
      list->setCurrentItem(list->topLevelItem(1));
      PushButton(chooser, "OK")->click();
    });
    Button(window, "Export to Excel")->click();
  }
  EXPECT_EQ(host.opened.back(), folder / "year - Interval 2 (3).xlsx");
  EXPECT_EQ(host.prompts.shown.back().text, kSpreadsheetMissing);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
  const std::string written = ReadBack(folder / "year - Interval 2 (2).xlsx");
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2 + lines - 30000);
  EXPECT_NE(written.find(DateCells(Table(window), 30000)), std::string::npos) << "not the second chunk";
}

// The text of a printout (`pdftotext -raw`, pages end in form feeds) without the footers' job time.
std::string PdfText(const std::filesystem::path& pdf) {
  return std::regex_replace(RunChild("/usr/bin/pdftotext", {"-raw", pdf.string(), "-"}).out,
                            std::regex(R"(Page : \d+ +\S+ +\S+)"), "Page");
}

// What `pattern` finds in `text`, one a line.
std::string Found(const std::string& text, const std::string& pattern) {
  std::string found;
  const std::regex regex(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), regex), end; it != end; ++it) {
    found += it->str() + "\n";
  }
  return found;
}

// Answers the print choice and the print dialog: A4 at 600 dpi into `pdf`.
void Print(CViewFileDlg& window, FakeHost& host, const std::filesystem::path& pdf, bool graph, bool zoomedOnly) {
  host.setUpPrinter = [pdf](QPrinter& printer) {
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::A4));
    return true;
  };
  OnModal<CSelDocToPrintDlg>([=](CSelDocToPrintDlg& dialog) {
    dialog.findChild<QLineEdit*>()->setText("Rain in March");
    dialog.findChildren<QRadioButton*>().at(graph ? 1 : 0)->setChecked(true);
    dialog.findChild<QCheckBox*>()->setChecked(zoomedOnly);
    PushButton(dialog, "OK")->click();
  });
  Button(window, "Print")->click();
}

// The table prints the window's lines under the typed title, the graph names the window's interval,
// "only the zoomed range" prints the lines the zoomed chart shows, and a long printout can be stopped.
TEST(DataWindowOutput, PrintoutsAndTheZoomedExportTakeTheTitleTheChoiceAndTheLinesShown) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host, nullptr, host.Services());
  window.show();
  const std::string date = R"(20\d\d/\d\d/\d\d \d\d:\d\d:\d\d)";
  const auto dates = [&window](int first, int last) {
    std::string shown;
    for (int line = first; line <= last; ++line) {
      shown += LineText(Table(window), line).substr(0, 19) + "\n";
    }
    return shown;
  };
  const int last = Table(window).model()->rowCount() - 1;
  Print(window, host, host.dir / "table.pdf", false, false);
  const std::string table = PdfText(host.dir / "table.pdf");
  EXPECT_EQ(Found(table, date), dates(1, last));
  EXPECT_EQ(table.rfind("Rain in March", 0), 0U);

  Print(window, host, host.dir / "graph.pdf", true, false);
  const std::string graph = PdfText(host.dir / "graph.pdf");
  EXPECT_EQ(graph.rfind("Rain in March\n", 0), 0U);
  EXPECT_NE(graph.find("Group Interval: 1 day"), std::string::npos);

  DragZoom(window, host.zoom);
  const CViewRange view = window.Chart().Entry(1);
  Print(window, host, host.dir / "zoomed.pdf", false, true);
  EXPECT_EQ(Found(PdfText(host.dir / "zoomed.pdf"), date), dates(view.first, view.last));

  // The export of the zoomed range, when asked, holds the lines the zoomed chart shows.
  OnModal<CSelExcelInterval>([](CSelExcelInterval& chooser) {
    chooser.findChild<QCheckBox*>()->setChecked(true);
    PushButton(chooser, "OK")->click(); // a single chunk is chosen already
  });
  Button(window, "Export to Excel")->click();
  ASSERT_EQ(host.opened, std::vector<std::filesystem::path>{host.dir / "Documents/Nimbrel exports/year - Zoomed.xlsx"});
  const std::string written = ReadBack(host.opened[0]);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2 + 1 + (view.last - view.first + 1));
  EXPECT_NE(written.find(DateCells(Table(window), view.first)), std::string::npos);

  // A long printout (about 140 pages by the hour) shows its progress and stops on its Cancel.
  ChooseInterval(window, "1 hour");
  OnModal<CSelDocToPrintDlg>([](CSelDocToPrintDlg&) { OnModal<QProgressDialog>(&QProgressDialog::cancel); });
  Print(window, host, host.dir / "long.pdf", false, false);
  const std::string printed = PdfText(host.dir / "long.pdf");
  EXPECT_LT(std::count(printed.begin(), printed.end(), '\f'), 20);
  EXPECT_TRUE(host.prompts.shown.empty()) << "a cancel is no failure";
}

// The real X clipboard, in inches: this program runs itself under Xvfb on the X11 platform, and
// another X client (xclip) reads the copy back while the window serves it.
TEST(DataWindow, InchTableReachesTheRealXClipboardAsTheCommandLineWritesIt) {
  const std::filesystem::path inch = std::string(NIMBREL_TEST_DATA_DIR) + "/inch_no_temperature.rlg";
  if (std::getenv("NIMBREL_X_CLIPBOARD_CHILD") == nullptr) {
    const ChildResult child = RunChild(
        "/usr/bin/env", {"xvfb-run", "-a", "env", "QT_QPA_PLATFORM=xcb", "NIMBREL_X_CLIPBOARD_CHILD=1",
                         std::filesystem::read_symlink("/proc/self/exe").string(),
                         "--gtest_filter=DataWindow.InchTableReachesTheRealXClipboardAsTheCommandLineWritesIt"});
    EXPECT_EQ(child.exit, 0) << child.out << child.err;
    EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out;
    return;
  }
  FakeHost host;
  CViewFileDlg window(inch, host);
  window.show();
  Button(window, "Copy Table to Clipboard")->click();
  QProcess xclip;
  xclip.start("xclip", {"-selection", "clipboard", "-o"});
  while (!xclip.waitForFinished(10)) { // the copy is served by this program while xclip asks for it
    QCoreApplication::processEvents();
    ASSERT_NE(xclip.state(), QProcess::NotRunning) << xclip.errorString().toStdString();
  }
  EXPECT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
  const std::string table = CliTable(inch, window.View().Interval());
  EXPECT_NE(table.find("inch"), std::string::npos);
  EXPECT_EQ(xclip.readAllStandardOutput().toStdString(), table);
}

} // namespace
} // namespace nimbrel::test
