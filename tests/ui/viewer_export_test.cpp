#include "support/child_process.h"
#include "ui/viewer/sel_excel_interval.h"
#include "ui/viewer/wait_dialogs.h"
#include "ui/widgets/picture_button.h"
#include "viewer/export_file.h"
#include "viewer/sheet.h"
#include "viewer_support.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace nimbrel::test {
namespace {

// The first worksheet read back with openpyxl, a row a line, each cell as its Python repr (so text
// and numbers are told apart).
std::string ReadBack(const std::filesystem::path& xlsx) {
  const ChildResult read = RunChild("/usr/bin/python3", {"-c",
                                                         "import sys, openpyxl\n"
                                                         "ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                                                         "for row in ws.iter_rows(values_only=True):\n"
                                                         "    print('|'.join(repr(v) for v in row))\n",
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

struct ExportFixture {
  FakeHost host;
  FakeServices services;
  ExportFixture() { services.documents = host.dir / "Documents"; }
  [[nodiscard]] std::filesystem::path Folder() const { return ExportFolder(services.documents); }
};

TEST(DataWindowExport, ChunksOfALongTableAreOfferedAndCancelWritesNothing) {
  ExportFixture f;
  {
    CViewFileDlg missing(f.host.dir / "missing.rlg", f.host, nullptr, f.services.Services());
    Button(missing, "Export to Excel")->click();
    EXPECT_EQ(f.host.prompts.Texts(), std::vector<std::string>{kNoDataToExport});
  }
  f.host.prompts.shown.clear();

  const std::filesystem::path file = QuarterHoursFile(65000);
  CViewFileDlg window(file, f.host, nullptr, f.services.Services());
  ChooseInterval(window, "15 min");
  ASSERT_EQ(Table(window)->model()->rowCount(), 65001);
  std::vector<std::string> rows;
  bool okAtStart = true;
  bool zoomOffered = true;
  OnModal<CSelExcelInterval>([&](CSelExcelInterval& chooser) {
    auto* list = chooser.findChild<QTreeWidget*>();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      rows.push_back(list->topLevelItem(i)->text(0).toStdString() + "|" + list->topLevelItem(i)->text(1).toStdString());
    }
    okAtStart = PushButton(chooser, "OK")->isEnabled();
    zoomOffered = !chooser.findChild<QCheckBox*>()->isHidden();
    chooser.reject();
  });
  Button(window, "Export to Excel")->click();
  EXPECT_EQ(f.host.prompts.Texts(), std::vector<std::string>{kExportChooseChunk});
  const QTableView& table = *Table(window);
  const auto label = [&table](int line) { return table.model()->index(line, 0).data().toString().toStdString(); };
  EXPECT_EQ(rows, (std::vector<std::string>{"Interval  1|TOTAL RAIN", "Interval  2|" + label(30000),
                                            "Interval  3|" + label(60000)}));
  EXPECT_FALSE(okAtStart);
  EXPECT_FALSE(zoomOffered);
  EXPECT_EQ(FilesIn(f.Folder()), std::vector<std::string>{});
  EXPECT_TRUE(f.services.opened.empty());
}

TEST(DataWindowExport, TheChosenChunkIsTheCommandLineExportUnderANewName) {
  ExportFixture f;
  const std::filesystem::path file = QuarterHoursFile(65000);
  CViewFileDlg window(file, f.host, nullptr, f.services.Services());
  ChooseInterval(window, "15 min");
  for (int round = 0; round < 2; ++round) {
    OnModal<CSelExcelInterval>([](CSelExcelInterval& chooser) {
      auto* list = chooser.findChild<QTreeWidget*>();
      list->setCurrentItem(list->topLevelItem(2));
      PushButton(chooser, "OK")->click();
    });
    Button(window, "Export to Excel")->click();
  }
  const std::string base = file.stem().string() + " - Interval 3";
  EXPECT_EQ(FilesIn(f.Folder()), (std::vector<std::string>{base + " (2).xlsx", base + ".xlsx"}));
  ASSERT_EQ(f.services.opened.size(), 2U);
  EXPECT_EQ(f.services.opened[0], f.Folder() / (base + ".xlsx"));
  EXPECT_TRUE(window.findChild<CWaitExportingToExcelDlg*>()->isVisible()) << "the notice stays until closed";

  const std::filesystem::path reference = f.host.dir / "cli.xlsx";
  Cli({"export", file.string(), "--interval", "900", "--chunk", "3", "--xlsx", reference.string()});
  const std::string written = ReadBack(f.services.opened[0]);
  EXPECT_EQ(written, ReadBack(reference));
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2 + 5001);
}

TEST(DataWindowExport, WithoutASpreadsheetApplicationTheExportLeavesNoFile) {
  ExportFixture f;
  f.services.sheetOpens = false;
  std::filesystem::create_directories(f.Folder());
  { std::ofstream(f.Folder() / "basic.xlsx") << "the user's own"; }
  CViewFileDlg window(TestData("basic.rlg"), f.host, nullptr, f.services.Services());
  Button(window, "Export to Excel")->click();
  ASSERT_EQ(f.host.prompts.shown.size(), 1U);
  EXPECT_EQ(f.host.prompts.shown[0].text, kSpreadsheetMissing);
  EXPECT_EQ(f.host.prompts.shown[0].icon, Icon::Error);
  EXPECT_EQ(f.services.opened, std::vector<std::filesystem::path>{f.Folder() / "basic (2).xlsx"});
  EXPECT_EQ(FilesIn(f.Folder()), std::vector<std::string>{"basic.xlsx"});
  EXPECT_EQ(ReadFileBytes(f.Folder() / "basic.xlsx"), "the user's own");
}

TEST(DataWindowExport, TheZoomedRangeAloneWhenTheUserAsks) {
  ExportFixture f;
  CViewFileDlg window(YearFile(), f.host, nullptr, f.services.Services());
  window.show();
  DragZoom(window, f.host);
  ASSERT_EQ(window.Chart().Level(), 1);
  const CViewRange view = window.Chart().Entry(1);
  std::string wholeRow;
  OnModal<CSelExcelInterval>([&](CSelExcelInterval& chooser) {
    auto* list = chooser.findChild<QTreeWidget*>();
    wholeRow = list->topLevelItem(0)->text(1).toStdString();
    chooser.findChild<QCheckBox*>()->setChecked(true);
    PushButton(chooser, "OK")->click(); // one chunk: chosen already
  });
  Button(window, "Export to Excel")->click();
  EXPECT_EQ(wholeRow, "TOTAL RAIN");
  ASSERT_EQ(f.services.opened, std::vector<std::filesystem::path>{f.Folder() / "year - Zoomed.xlsx"});
  const std::string written = ReadBack(f.services.opened[0]);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2 + 1 + (view.last - view.first + 1));
  // The first data line of the sheet is the first point of the view.
  const std::string first = Table(window)->model()->index(view.first, 0).data().toString().toStdString();
  EXPECT_NE(written.find("'" + first.substr(0, 10) + "'|'" + first.substr(11) + "'"), std::string::npos) << written;
}

} // namespace
} // namespace nimbrel::test
