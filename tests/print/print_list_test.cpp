#include "pdf_pages.h"
#include "print/print_job.h"
#include "support/temp_dir.h"
#include "viewer/table_model.h"

#include <gtest/gtest.h>

#include <regex>

namespace nimbrel {
namespace {

// A page of 210 x 226.85 mm holds 45 rows of the data window's 15-pixel Arial under its title box, below its
// top margin of 150 units (6.35 mm).
constexpr double kPageWidthMm = 210.0;
constexpr double kPageHeightMm = 226.85;

TEST(PrintTable, LinesRunOnAcrossPagesUnderTheJobStartTime) {
  const std::pair<std::uint32_t, std::vector<std::size_t>> cases[] = {{99, {45, 45, 10}}, {89, {45, 45}}};
  for (const auto& [rows, perPage] : cases) {
    SCOPED_TRACE(rows);
    test::TempDir dir;
    auto pdf = test::PdfAt(dir / "table.pdf", kPageWidthMm, kPageHeightMm);
    const CDataSeries series = test::Rows(900, rows);
    int clockCalls = 0;
    CPrintJob job;
    job.title = "Station 7";
    // A clock that moves on each time it is read: the footer must keep the job's start.
    job.clock = [&clockCalls] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)).addSecs(clockCalls++); };
    ASSERT_TRUE(PrintTable(*pdf, series, job).ok());
    pdf.reset();

    // Every table line starts a printed line; the footer's time follows "Page : n" on its line.
    const auto starts = [](const std::string& text) {
      static const std::regex line(R"(\n(TOTAL RAIN|\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)\s)");
      std::vector<std::string> found;
      for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        found.push_back((*it)[1]);
      }
      return found;
    };
    const auto pages = test::PdfPageTexts(dir / "table.pdf");
    std::vector<std::size_t> counts;
    std::vector<std::string> printed;
    for (std::size_t p = 0; p < pages.size(); ++p) {
      const std::vector<std::string> lines = starts(pages[p]);
      counts.push_back(lines.size());
      printed.insert(printed.end(), lines.begin(), lines.end());
      EXPECT_TRUE(
          std::regex_search(pages[p], std::regex(R"(^Station 7\nDate Time Rain \[mm H2O\] Temperature \[C\]\n)")));
      EXPECT_NE(pages[p].find("Page : " + std::to_string(p + 1) + " 2024/05/06 07:08:09"), std::string::npos)
          << pages[p];
    }
    EXPECT_EQ(counts, perPage);
    EXPECT_EQ(printed, starts("\n" + TableText(series)));
  }
  // Text extraction folds blanks; the two blanks between the footer's date and time are checked here.
  CPrintListCtrl printer;
  printer.SetClock([] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); });
  const CFixedReportList list({{"Date", 100}});
  ASSERT_TRUE(printer.Start(list, "Station 7"));
  EXPECT_EQ(printer.JobTimeText(), "2024/05/06  07:08:09");
}

TEST(PrintReport, ColumnsAreAsWideAsTheirLongestTextBeforeComments) {
  test::TempDir dir;
  const auto print = [&dir](const std::string& name, std::vector<CReportColumn> columns,
                            std::vector<std::vector<std::string>> rows) {
    auto pdf = test::PdfAt(dir / name, kPageWidthMm, kPageHeightMm);
    CPrintListCtrl printer(DataWindowPrintOptions());
    EXPECT_TRUE(PrintReport(*pdf, printer, CFixedReportList(std::move(columns), std::move(rows)), {}).ok());
    return dir / name;
  };
  const std::string longText = "a much longer text after the comments";
  const auto hidden = print("hidden.pdf", {{"Long station name", 100}, {"Hidden", 0}, {"Last", 100}, {"Tail", 100}},
                            {{"a", "HIDDENTEXT", "z", "t"}, {"b", "", "COMMENTS", "t"}, {"c", "", longText, "t"}});
  EXPECT_EQ(test::WordSpan(hidden, "Hidden").first, -1.0);
  EXPECT_EQ(test::WordSpan(hidden, "HIDDENTEXT").first, -1.0);
  // The title is longer than every text of its column and keeps the next column clear of it.
  EXPECT_GT(test::WordSpan(hidden, "Last").first, test::WordSpan(hidden, "name").second);
  // The scan stops at "COMMENTS": the column fits "Last" only, so the next one starts within that text.
  EXPECT_LT(test::WordSpan(hidden, "Tail").first, test::WordSpan(hidden, "COMMENTS").second);
  // The hidden column takes no room: the others stand where they stand without it.
  const auto shown = print("shown.pdf", {{"Long station name", 100}, {"Last", 100}, {"Tail", 100}},
                           {{"a", "z", "t"}, {"b", "COMMENTS", "t"}, {"c", longText, "t"}});
  for (const char* word : {"Last", "Tail"}) {
    EXPECT_NEAR(test::WordSpan(hidden, word).first, test::WordSpan(shown, word).first, 0.01) << word;
  }
}

// A PDF writer that refuses the end of page `refused` (from 1).
class CRefusingPdf : public QPdfWriter {
public:
  CRefusingPdf(const std::filesystem::path& file, int refused)
      : QPdfWriter(QString::fromStdString(file.string())), refused_(refused) {}
  bool newPage() override { return ++ended_ != refused_ && QPdfWriter::newPage(); }

private:
  int refused_;
  int ended_ = 0;
};

TEST(PrintReport, StopsAtACancelOrARefusedPageAndAbortsTheJob) {
  // Cancel after page 2, or page 2 refused.
  for (const auto& [cancelAfter, refusedPage, code] :
       {std::tuple(2, 0, StatusCode::Cancelled), {0, 2, StatusCode::Io}}) {
    SCOPED_TRACE(cancelAfter);
    test::TempDir dir;
    test::EnsureGuiApp();
    auto pdf = std::make_unique<CRefusingPdf>(dir / "job.pdf", refusedPage);
    const CDataSeries series = test::Rows(900, 200); // 4 pages
    CPrintListCtrl printer(DataWindowPrintOptions());
    int aborts = 0;
    std::vector<int> progress;
    CPrintJob job;
    job.progress = [&, cancel = cancelAfter](int done, int count) {
      progress.push_back(done);
      EXPECT_EQ(count, printer.PageCount());
      return done != cancel;
    };
    job.abort = [&aborts] { ++aborts; };
    const Status status = PrintReport(*pdf, printer, CTableReportList(series), job);
    pdf.reset();
    EXPECT_EQ(status.code(), code) << status.message();
    EXPECT_EQ(aborts, 1);
    EXPECT_EQ(progress, (std::vector<int>{1, 2}));
    EXPECT_EQ(test::PdfPageTexts(dir / "job.pdf").size(), 2U);
  }
}

} // namespace
} // namespace nimbrel
