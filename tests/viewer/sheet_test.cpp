#include "support/child_process.h"
#include "support/temp_dir.h"
#include "viewer/sheet.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>

namespace nimbrel {
namespace {

TEST(Sheet, CellTextsBecomeNumbersAndLinesChunksOfThirtyThousand) {
  const std::pair<const char*, double> cases[] = {
      {"7.25 err", -999.0}, {"-3.50", -3.5}, {"Not Available", 0.0}, {"ofl", 0.0}, {"---  --", 0.0}};
  for (const auto& [text, number] : cases) {
    EXPECT_DOUBLE_EQ(SheetNumber(text), number) << text;
  }
  std::vector<std::size_t> ends;
  for (const std::size_t lines : {1U, 30000U, 30001U, 65001U}) {
    for (const CLineRange& r : SheetChunks(lines)) {
      ends.insert(ends.end(), {r.start, r.end});
    }
  }
  EXPECT_EQ(ends,
            (std::vector<std::size_t>{0, 1, 0, 30000, 0, 30000, 30000, 30001, 0, 30000, 30000, 60000, 60000, 65001}));
}

// Reads the first worksheet back with openpyxl: one line per row, cells separated by '|', each as
// its Python repr (so text and numbers are told apart).
std::string ReadBack(const std::filesystem::path& xlsx) {
  return test::RunChild("/usr/bin/python3",
                        {"-c",
                         "import sys, openpyxl\nws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                         "for row in ws.iter_rows(min_row=1, max_row=ws.max_row, max_col=4, values_only=True):\n"
                         "    print('|'.join(repr(v) for v in row))",
                         xlsx.string()})
      .out;
}

TEST(Sheet, WritesARealWorkbook) {
  test::TempDir dir;
  CDataSeries s;
  s.interval = 900;
  s.rows = {{0.6F, 12.5F, 162986843U}, {kNotAvailable, kNotAvailable, 162987743U}, {0.2F, kErrorValue, 162988643U}};
  s.total = 0.8F;
  s.headersKnown = true; // the reading got past the rain header
  ASSERT_TRUE(WriteSheetXlsx(s, {0, s.LineCount()}, dir / "all.xlsx").ok());
  EXPECT_EQ(ReadBack(dir / "all.xlsx"), "'DATE'|'TIME'|'Rain [mm H2O]'|'Temperature [C]'\n"
                                        "None|None|None|None\n"
                                        "'TOTAL RAIN'|None|0.8|0\n"
                                        "'2005/03/01'|'10:15:00 '|0.6|12.5\n"
                                        "'2005/03/01'|'10:30:00 '|0|0\n"
                                        "'2005/03/01'|'10:45:00 '|0.2|-999\n");
  // A chunk starts at its own first line, on row 3; inches as the table shows them.
  s.unit = 1;
  ASSERT_TRUE(WriteSheetXlsx(s, {2, 4}, dir / "part.xlsx").ok());
  EXPECT_EQ(ReadBack(dir / "part.xlsx"), "'DATE'|'TIME'|'Rain [inch H2O]'|'Temperature (F)'\n"
                                         "None|None|None|None\n"
                                         "'2005/03/01'|'10:30:00 '|0|0\n"
                                         "'2005/03/01'|'10:45:00 '|0.008|-999\n");
  // A file that begins with its TEMPERATURE section keeps the table's neutral headers.
  s.headersKnown = false;
  ASSERT_TRUE(WriteSheetXlsx(s, {2, 3}, dir / "temperature.xlsx").ok());
  EXPECT_EQ(ReadBack(dir / "temperature.xlsx").substr(0, 36), "'DATE'|'TIME'|'mm H20'|'Temperature'");
  // Nothing to write, or nowhere to write it: a message and no file.
  EXPECT_EQ(WriteSheetXlsx(s, {4, 4}, dir / "none.xlsx").message(), kNoDataToExport);
  EXPECT_FALSE(std::filesystem::exists(dir / "none.xlsx"));
  dir.Write("file", "x");
  EXPECT_NE(WriteSheetXlsx(s, {0, 4}, dir / "file" / "out.xlsx").message().find("out.xlsx"), std::string::npos);
}

// What was at the target stays as it was when the export cannot be completed: a folder, or a file
// when writing fails part way (here: a file size limit, which holds for every user).
TEST(Sheet, AFailedExportLeavesTheTargetAsItWas) {
  test::TempDir dir;
  CDataSeries s;
  s.interval = 60;
  for (std::uint32_t i = 0; i < 20000; ++i) {
    s.rows.push_back({0.2F, 12.5F, 60 * i});
  }
  std::filesystem::create_directory(dir / "folder.xlsx");
  EXPECT_FALSE(WriteSheetXlsx(s, {0, s.LineCount()}, dir / "folder.xlsx").ok());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.xlsx"));

  dir.Write("old.xlsx", "the export of last week");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 2048; // far less than any workbook
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Status failed = WriteSheetXlsx(s, {0, s.LineCount()}, dir / "old.xlsx");
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(failed.ok());
  EXPECT_TRUE(dir.Read("old.xlsx") == "the export of last week");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "no temporary file left";
}

} // namespace
} // namespace nimbrel
