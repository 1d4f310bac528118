#include "support/child_process.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/viewer/sel_excel_interval.h"
#include "viewer/export_file.h"
#include "viewer/sheet.h"
#include "viewer_support.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <regex>

namespace nimbrel::test {
namespace {

std::string TableCommand(const std::filesystem::path& file, const CViewFileDlg& window) {
  return Cli({"table", file.string(), "--interval", std::to_string(window.View().Interval())});
}

// The clipboard gets what nimbrel-cli writes for the same file and interval, in millimetres after a
// regrouping and in inches; the table shows the same texts line by line.
TEST(DataWindowOutput, ClipboardTableIsTheCommandLineTable) {
  FakeHost host;
  for (const bool inch : {false, true}) {
    const std::filesystem::path file = inch ? InchFile() : YearFile();
    CViewFileDlg window(file, host);
    ChooseInterval(window, inch ? "1 day" : "1 hour");
    Button(window, "Copy Table to Clipboard")->click();
    const std::string copied = QApplication::clipboard()->text().toStdString();
    EXPECT_EQ(copied, TableCommand(file, window));
    std::string shown = copied.substr(0, copied.find('\n') + 1);
    for (int line = 0; line < Table(window).model()->rowCount(); ++line) {
      shown += LineText(Table(window), line) + "\r\n";
    }
    EXPECT_EQ(shown, copied);
  }
  CViewFileDlg window(YearFile(), host);
  window.show();
  Button(window, "Copy Graph to Clipboard")->click();
  const QImage picture = QApplication::clipboard()->image();
  EXPECT_EQ(picture.size(), ChartOf(window).size() * ChartOf(window).devicePixelRatio());
  int inked = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      inked += picture.pixel(x, y) != picture.pixel(0, 0) ? 1 : 0;
    }
  }
  EXPECT_GT(inked, picture.width()) << "no chart in the picture";
}

// The real X clipboard: the test runs itself under Xvfb on X11, where xclip reads the copy back.
TEST(DataWindowOutput, TheXClipboardHoldsTheTable) {
  if (std::getenv("NIMBREL_X_CLIPBOARD") == nullptr) {
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty() || QStandardPaths::findExecutable("xclip").isEmpty()) {
      GTEST_SKIP() << "needs xvfb-run and xclip";
    }
    const ChildResult child =
        RunChild("/usr/bin/env", {"xvfb-run", "-a", "env", "QT_QPA_PLATFORM=xcb", "NIMBREL_X_CLIPBOARD=1",
                                  std::filesystem::read_symlink("/proc/self/exe").string(),
                                  "--gtest_filter=DataWindowOutput.TheXClipboardHoldsTheTable"});
    EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out << child.err;
    return;
  }
  FakeHost host;
  CViewFileDlg window(InchFile(), host);
  window.show();
  Button(window, "Copy Table to Clipboard")->click();
  QProcess xclip;
  xclip.start("xclip", {"-selection", "clipboard", "-o"});
  while (!xclip.waitForFinished(10) && xclip.state() != QProcess::NotRunning) {
    QCoreApplication::processEvents(); // this program serves the copy while xclip asks for it
  }
  EXPECT_EQ(xclip.readAllStandardOutput().toStdString(), TableCommand(InchFile(), window));
}

// The first worksheet read back with openpyxl: a row a line, each cell as its Python repr.
std::string ReadBack(const std::filesystem::path& xlsx) {
  const ChildResult read = RunChild("/usr/bin/python3", {"-c",
                                                         "import sys, openpyxl\n"
                                                         "for row in openpyxl.load_workbook(sys.argv[1]).worksheets[0]"
                                                         ".iter_rows(values_only=True): print(repr(row))",
                                                         xlsx.string()});
  EXPECT_EQ(read.exit, 0) << read.err;
  return read.out;
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DataWindowOutput, ExportOffersTheChunksAndHandsTheChosenOneToTheSpreadsheet) {
  FakeHost host;
  const std::filesystem::path file = QuarterHoursFile(65000);
  const std::filesystem::path folder = ExportFolder(host.dir / "Documents");
  CViewFileDlg window(file, host, nullptr, host.Services());
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
  const auto label = [&window](int line) {
    return Table(window).model()->index(line, 0).data().toString().toStdString();
  };
  EXPECT_EQ(rows, (std::vector<std::string>{"Interval  1|TOTAL RAIN", "Interval  2|" + label(30000),
                                            "Interval  3|" + label(60000)}));
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{}) << "Cancel writes nothing";

  for (const bool opens : {true, true, false}) {
    host.sheetOpens = opens;
    OnModal<CSelExcelInterval>([](CSelExcelInterval& chooser) {
      auto* list = chooser.findChild<QTreeWidget*>();
      list->setCurrentItem(list->topLevelItem(2));
      PushButton(chooser, "OK")->click();
    });
    Button(window, "Export to Excel")->click();
  }
  // A new name for every export; the one nothing could open is gone, the earlier ones stay.
  const std::string base = file.stem().string() + " - Interval 3";
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{base + " (2).xlsx", base + ".xlsx"}));
  EXPECT_EQ(host.opened.back(), folder / (base + " (3).xlsx"));
  EXPECT_EQ(host.prompts.shown.back().text, kSpreadsheetMissing);
  const std::filesystem::path reference = host.dir / "cli.xlsx";
  Cli({"export", file.string(), "--interval", "900", "--chunk", "3", "--xlsx", reference.string()});
  const std::string written = ReadBack(folder / (base + ".xlsx"));
  EXPECT_EQ(written, ReadBack(reference));
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2 + 5001);
}

TEST(DataWindowOutput, ExportTakesTheZoomedRangeWhenAsked) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host, nullptr, host.Services());
  window.show();
  DragZoom(window, host);
  const CViewRange view = window.Chart().Entry(1);
  OnModal<CSelExcelInterval>([](CSelExcelInterval& chooser) {
    chooser.findChild<QCheckBox*>()->setChecked(true);
    PushButton(chooser, "OK")->click(); // a single chunk is chosen already
  });
  Button(window, "Export to Excel")->click();
  ASSERT_EQ(host.opened, std::vector<std::filesystem::path>{host.dir / "Documents/Nimbrel exports/year - Zoomed.xlsx"});
  const std::string written = ReadBack(host.opened[0]);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2 + 1 + (view.last - view.first + 1));
  const std::string first = LineText(Table(window), view.first);
  EXPECT_NE(written.find("('" + first.substr(0, 10) + "', '" + first.substr(11, 9) + "'"), std::string::npos);
}

// The pages as text (`pdftotext -raw`), the footers' job time masked.
std::vector<std::string> PdfPages(const std::filesystem::path& pdf) {
  const std::string text = RunChild("/usr/bin/pdftotext", {"-raw", pdf.string(), "-"}).out;
  const std::string masked =
      std::regex_replace(text, std::regex(R"((Page : \d+) \d{4}/\d\d/\d\d +\d\d:\d\d:\d\d)"), "$1 <job time>");
  std::vector<std::string> pages;
  for (std::size_t at = 0, end = 0; (end = masked.find('\f', at)) != std::string::npos; at = end + 1) {
    pages.push_back(masked.substr(at, end - at));
  }
  return pages;
}

// Answers the print choice and the print dialog: A4 portrait at 600 dpi into `pdf`, as nimbrel-cli.
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

TEST(DataWindowOutput, PrintoutsAreTheCommandLinesOrTheZoomedLines) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host, nullptr, host.Services());
  window.show();
  for (const bool graph : {false, true}) {
    Print(window, host, host.dir / "window.pdf", graph, false);
    std::vector<std::string> args{
        "print", YearFile().string(), "--title", "Rain in March", "--pdf", (host.dir / "cli.pdf").string()};
    if (graph) {
      args.emplace_back("--graph");
    }
    Cli(args);
    const auto printed = PdfPages(host.dir / "window.pdf");
    const auto expected = PdfPages(host.dir / "cli.pdf");
    if (!graph) {
      EXPECT_EQ(printed, expected);
    } else { // the chart follows the window's size, the texts around it do not
      ASSERT_EQ(printed.size(), 1U);
      const std::regex texts(R"(Rain in March|(Start|Stop) Date: [^\n]*|Group Interval: [^\n]*)");
      const auto found = [&texts](const std::string& page) {
        std::string all;
        for (std::sregex_iterator it(page.begin(), page.end(), texts), end; it != end; ++it) {
          all += it->str() + "\n";
        }
        return all;
      };
      EXPECT_EQ(found(printed[0]), found(expected[0]));
    }
  }
  DragZoom(window, host);
  const CViewRange view = window.Chart().Entry(1);
  Print(window, host, host.dir / "zoomed.pdf", false, true);
  std::string dates;
  const std::regex date(R"(20\d\d/\d\d/\d\d \d\d:\d\d:\d\d)");
  for (const std::string& page : PdfPages(host.dir / "zoomed.pdf")) {
    for (std::sregex_iterator it(page.begin(), page.end(), date), end; it != end; ++it) {
      dates += it->str() + "\n";
    }
  }
  std::string shown;
  for (int line = view.first; line <= view.last; ++line) {
    shown += LineText(Table(window), line).substr(0, 19) + "\n";
  }
  EXPECT_EQ(dates, shown);
  EXPECT_TRUE(host.prompts.shown.empty());
}

TEST(DataWindowOutput, ALongPrintoutShowsItsProgressAndStopsOnCancel) {
  FakeHost host;
  CViewFileDlg window(YearFile(), host, nullptr, host.Services());
  ChooseInterval(window, "1 hour"); // about 140 pages
  bool cancelled = false;
  OnModal<CSelDocToPrintDlg>([&cancelled](CSelDocToPrintDlg&) {
    OnModal<QProgressDialog>([&cancelled](QProgressDialog& progress) {
      progress.cancel();
      cancelled = true;
    });
  });
  Print(window, host, host.dir / "long.pdf", false, false);
  EXPECT_TRUE(cancelled);
  EXPECT_LT(PdfPages(host.dir / "long.pdf").size(), 20U);
  EXPECT_TRUE(host.prompts.shown.empty()) << "a cancel is no failure";
}

} // namespace
} // namespace nimbrel::test
