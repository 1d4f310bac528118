#pragma once

#include "base/status.h"
#include "data/data_item.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

// The spreadsheet export writes at most 30000 table lines at a time; a longer table is offered in
// chunks of 30000 lines that the user picks one at a time.
inline constexpr std::size_t kSheetChunkLines = 30000;

inline constexpr const char* kNoDataToExport = "No data to export";
inline constexpr const char* kExportChooseChunk =
    "Excel process max no. 30000 datas.\nPlease select an interval to export";

struct CLineRange {
  std::size_t start = 0;
  std::size_t end = 0; // one past the last table line
};

// The chunks of a table of `lineCount` lines (a single chunk when it has 30000 lines or fewer).
std::vector<CLineRange> SheetChunks(std::size_t lineCount);

// The chooser's row for chunk k (from 0): "Interval  %d" (numbered from 1) and the date-time text of the
// chunk's first table line.
struct CChunkChoice {
  std::string name;
  std::string start;
};
std::vector<CChunkChoice> ChunkChoices(const CDataSeries& series);

// One table line as the sheet holds it: the date and the time split from column 0, and the numbers of
// columns 1 and 2.
struct CSheetLine {
  std::string date;
  std::string time;
  double rain = 0.0;
  double temperature = 0.0;
};
CSheetLine SheetLine(const CDataSeries& series, std::size_t line);

// The number a cell text stands for: -999 when it contains "err", otherwise the number it begins
// with, or 0.
double SheetNumber(std::string_view cellText);

// Writes the table lines [range.start, range.end) as the first worksheet of a new .xlsx file: A1 "DATE",
// B1 "TIME", C1/D1 the column headers, row 2 empty, the lines from row 3 (dates and times as text,
// rain and temperature as numbers). The workbook is written beside `path` and renamed into place
// when complete: a failure leaves whatever was at `path` as it was.
Status WriteSheetXlsx(const CDataSeries& series, CLineRange range, const std::filesystem::path& path);

// The same sheet as comma-separated values (UTF-8, CR LF, texts quoted where they need it, numbers
// with a point), for tools that read text: the header row, then the lines from the table's.
Status WriteSheetCsv(const CDataSeries& series, CLineRange range, const std::filesystem::path& path);

} // namespace nimbrel
