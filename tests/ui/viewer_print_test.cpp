#include "support/child_process.h"
#include "ui/print/sel_doc_to_print_dlg.h"
#include "ui/widgets/picture_button.h"
#include "viewer_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPageSize>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace nimbrel::test {
namespace {

// The pages of a PDF as text (`pdftotext -raw`), the job time of the footers masked: two printouts
// of the same table differ in nothing else.
std::vector<std::string> PdfPages(const std::filesystem::path& pdf) {
  const ChildResult text = RunChild("/usr/bin/pdftotext", {"-raw", pdf.string(), "-"});
  EXPECT_EQ(text.exit, 0) << text.err;
  std::vector<std::string> pages;
  std::stringstream all(std::regex_replace(text.out, std::regex(R"(Page : (\d+) \d{4}/\d\d/\d\d +\d\d:\d\d:\d\d)"),
                                           "Page : $1 <job time>"));
  std::string page;
  while (std::getline(all, page, '\f')) {
    pages.push_back(page);
  }
  if (!pages.empty() && pages.back().empty()) {
    pages.pop_back();
  }
  return pages;
}

// The lines of `text` that hold `key`.
std::vector<std::string> LinesWith(const std::string& text, const std::string& key) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(key) != std::string::npos) {
      lines.push_back(line);
    }
  }
  return lines;
}

// The print dialog's answer: A4 portrait at 600 dpi into `pdf`, as nimbrel-cli prints.
std::function<bool(QPrinter&)> ToPdf(const std::filesystem::path& pdf, int* asked = nullptr) {
  return [pdf, asked](QPrinter& printer) {
    if (asked != nullptr) {
      ++*asked;
    }
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    return true;
  };
}

// Answers the print choice: the title, the table or the graph, and the zoomed range when offered.
void ChoosePrint(const std::string& title, bool graph, bool zoomedOnly = false, bool* zoomOffered = nullptr) {
  OnModal<CSelDocToPrintDlg>([=](CSelDocToPrintDlg& dialog) {
    dialog.findChild<QLineEdit*>()->setText(QString::fromStdString(title));
    for (QRadioButton* choice : dialog.findChildren<QRadioButton*>()) {
      choice->setChecked(choice->text() == (graph ? "Print Graph" : "Print Table"));
    }
    auto* zoomed = dialog.findChild<QCheckBox*>();
    if (zoomOffered != nullptr) {
      *zoomOffered = !zoomed->isHidden();
    }
    zoomed->setChecked(zoomedOnly);
    PushButton(dialog, "OK")->click();
  });
}

TEST(DataWindowPrint, TheTableAndTheGraphPrintAsTheCommandLinePrintsThem) {
  FakeHost host;
  FakeServices services;
  const std::filesystem::path file = YearFile();
  CViewFileDlg window(file, host, nullptr, services.Services());
  window.show();
  for (const bool graph : {false, true}) {
    SCOPED_TRACE(graph ? "graph" : "table");
    const std::filesystem::path pdf = host.dir / (graph ? "graph.pdf" : "table.pdf");
    const std::filesystem::path reference = host.dir / (graph ? "cli-graph.pdf" : "cli-table.pdf");
    services.setUpPrinter = ToPdf(pdf);
    bool zoomOffered = true;
    ChoosePrint("Rain in March", graph, false, &zoomOffered);
    Button(window, "Print")->click();
    EXPECT_FALSE(zoomOffered);
    std::vector<std::string> args{"print", file.string(), "--title", "Rain in March", "--pdf", reference.string()};
    if (graph) {
      args.emplace_back("--graph");
    }
    Cli(args);
    const std::vector<std::string> printed = PdfPages(pdf);
    const std::vector<std::string> expected = PdfPages(reference);
    if (!graph) {
      EXPECT_EQ(printed, expected);
      continue;
    }
    // The chart itself follows the window's size; the texts around it are the same.
    ASSERT_EQ(printed.size(), 1U);
    ASSERT_EQ(expected.size(), 1U);
    for (const char* key : {"Rain in March", "Date:", "Interval:", "Page :"}) {
      EXPECT_EQ(LinesWith(printed[0], key), LinesWith(expected[0], key)) << key;
    }
    EXPECT_EQ(LinesWith(printed[0], "Group Interval: 1 day").size(), 1U) << printed[0];
  }
  EXPECT_TRUE(host.prompts.shown.empty());
}

TEST(DataWindowPrint, OnlyTheZoomedLinesWhenTheUserAsks) {
  FakeHost host;
  FakeServices services;
  CViewFileDlg window(YearFile(), host, nullptr, services.Services());
  window.show();
  DragZoom(window, host);
  ASSERT_EQ(window.Chart().Level(), 1);
  const CViewRange view = window.Chart().Entry(1);
  const QTableView& table = *Table(window);
  const auto label = [&table](int line) { return table.model()->index(line, 0).data().toString().toStdString(); };

  services.setUpPrinter = ToPdf(host.dir / "zoomed.pdf");
  bool zoomOffered = false;
  ChoosePrint("Storm", false, true, &zoomOffered);
  Button(window, "Print")->click();
  EXPECT_TRUE(zoomOffered);
  std::string printed;
  for (const std::string& page : PdfPages(host.dir / "zoomed.pdf")) {
    printed += page;
  }
  std::vector<std::string> dates = LinesWith(printed, "2024/");
  std::vector<std::string> shown;
  for (int line = view.first; line <= view.last; ++line) {
    shown.push_back(label(line).substr(0, 19));
  }
  for (std::string& d : dates) {
    d = d.substr(0, 19);
  }
  EXPECT_EQ(dates, shown);

  services.setUpPrinter = ToPdf(host.dir / "zoomed-graph.pdf");
  ChoosePrint("Storm", true, true);
  Button(window, "Print")->click();
  const std::vector<std::string> graph = PdfPages(host.dir / "zoomed-graph.pdf");
  ASSERT_EQ(graph.size(), 1U);
  EXPECT_NE(graph[0].find("Start Date: " + label(view.first).substr(0, 19)), std::string::npos) << graph[0];
  EXPECT_NE(graph[0].find("Stop Date: " + label(view.last).substr(0, 19)), std::string::npos) << graph[0];
}

TEST(DataWindowPrint, CancelInEitherDialogPrintsNothing) {
  FakeHost host;
  FakeServices services;
  int asked = 0;
  services.setUpPrinter = ToPdf(host.dir / "never.pdf", &asked);
  CViewFileDlg window(TestData("basic.rlg"), host, nullptr, services.Services());
  OnModal<CSelDocToPrintDlg>([](CSelDocToPrintDlg& dialog) { PushButton(dialog, "Cancel")->click(); });
  Button(window, "Print")->click();
  EXPECT_EQ(asked, 0);
  services.setUpPrinter = [](QPrinter&) { return false; };
  ChoosePrint("Title", false);
  Button(window, "Print")->click();
  EXPECT_FALSE(std::filesystem::exists(host.dir / "never.pdf"));
  EXPECT_TRUE(host.prompts.shown.empty());
}

TEST(DataWindowPrint, ALongTableShowsItsProgressAndStopsBetweenPagesOnCancel) {
  FakeHost host;
  FakeServices services;
  CViewFileDlg window(YearFile(), host, nullptr, services.Services());
  ChooseInterval(window, "1 hour"); // about 140 pages
  services.setUpPrinter = ToPdf(host.dir / "long.pdf");
  bool cancelled = false;
  OnModal<CSelDocToPrintDlg>([&cancelled](CSelDocToPrintDlg& dialog) {
    PushButton(dialog, "OK")->click();
    OnModal<QProgressDialog>([&cancelled](QProgressDialog& progress) {
      progress.cancel();
      cancelled = true;
    });
  });
  Button(window, "Print")->click();
  ASSERT_TRUE(cancelled);
  const std::size_t pages = PdfPages(host.dir / "long.pdf").size();
  EXPECT_GE(pages, 1U);
  EXPECT_LT(pages, 20U);
  EXPECT_TRUE(host.prompts.shown.empty()) << "a cancel is no failure";
}

} // namespace
} // namespace nimbrel::test
