#include "viewer/sheet.h"

#include "base/numbers.h"
#include "base/safe_file.h"
#include "data/rlg_reader.h"
#include "viewer/table_model.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <xlsxwriter.h>

namespace nimbrel {

std::vector<CLineRange> SheetChunks(std::size_t lineCount) {
  std::vector<CLineRange> chunks;
  for (std::size_t start = 0; start < lineCount; start += kSheetChunkLines) {
    chunks.push_back({start, std::min(start + kSheetChunkLines, lineCount)});
  }
  return chunks;
}

std::vector<CChunkChoice> ChunkChoices(const CDataSeries& series) {
  std::vector<CChunkChoice> out;
  int number = 1;
  CCellText label;
  for (const CLineRange& r : SheetChunks(series.LineCount())) {
    CellText(series, r.start, 0, label);
    out.push_back({"Interval  " + std::to_string(number++), std::string(label.View())});
  }
  return out;
}

double SheetNumber(std::string_view cellText) {
  if (cellText.find("err") != std::string_view::npos) {
    return -999.0;
  }
  return LeadingNumber(cellText);
}

CSheetLine SheetLine(const CDataSeries& series, std::size_t line) {
  CSheetLine out;
  CCellText text;
  CellText(series, line, 0, text);
  const std::string_view when = text.View();
  if (when.find("TOTAL RAIN") != std::string_view::npos) {
    out.date = when;
  } else {
    out.date = when.substr(0, 10);
    out.time = when.size() > 11 ? when.substr(11) : std::string_view();
  }
  CellText(series, line, 1, text);
  out.rain = SheetNumber(text.View());
  CellText(series, line, 2, text);
  out.temperature = SheetNumber(text.View());
  return out;
}

Status WriteSheetXlsx(const CDataSeries& series, CLineRange range, const std::filesystem::path& path) {
  range.end = std::min(range.end, series.LineCount());
  if (range.start >= range.end) {
    return {StatusCode::InvalidArgument, kNoDataToExport};
  }
  return WriteFileAtomically(path, [&](const std::filesystem::path& temporary) -> Status {
    lxw_workbook_options options{};
    // The rows are kept in memory (a chunk is at most 30000 lines): the streaming mode writes them to a
    // temporary file whose write errors the library does not report, which could end in a cut sheet.
    options.constant_memory = LXW_FALSE;
    options.tmpdir = nullptr;
    options.use_zip64 = LXW_FALSE;
    const std::string name = temporary.string();
    lxw_workbook* book = workbook_new_opt(name.c_str(), &options);
    if (book == nullptr) {
      return {StatusCode::Io, "cannot create " + path.string()};
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    bool ok = sheet != nullptr;
    if (ok) {
      const std::string rainHeader(RainColumnHeader(series));
      const std::string tempHeader(TemperatureColumnHeader(series));
      ok = worksheet_write_string(sheet, 0, 0, "DATE", nullptr) == LXW_NO_ERROR &&
           worksheet_write_string(sheet, 0, 1, "TIME", nullptr) == LXW_NO_ERROR &&
           worksheet_write_string(sheet, 0, 2, rainHeader.c_str(), nullptr) == LXW_NO_ERROR &&
           worksheet_write_string(sheet, 0, 3, tempHeader.c_str(), nullptr) == LXW_NO_ERROR;
    }
    for (std::size_t k = range.start; ok && k < range.end; ++k) {
      const CSheetLine line = SheetLine(series, k);
      const auto row = static_cast<lxw_row_t>(k - range.start + 2);
      ok = worksheet_write_string(sheet, row, 0, line.date.c_str(), nullptr) == LXW_NO_ERROR &&
           (line.time.empty() || worksheet_write_string(sheet, row, 1, line.time.c_str(), nullptr) == LXW_NO_ERROR) &&
           worksheet_write_number(sheet, row, 2, line.rain, nullptr) == LXW_NO_ERROR &&
           worksheet_write_number(sheet, row, 3, line.temperature, nullptr) == LXW_NO_ERROR;
    }
    const lxw_error closed = workbook_close(book);
    if (!ok || closed != LXW_NO_ERROR) {
      return {StatusCode::Io, "cannot write " + path.string() +
                                  (closed != LXW_NO_ERROR ? std::string(": ") + lxw_strerror(closed) : "")};
    }
    return Status::Ok();
  });
}

namespace {
std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  std::string quoted = "\"";
  for (char c : text) {
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  }
  return quoted + "\"";
}
} // namespace

Status WriteSheetCsv(const CDataSeries& series, CLineRange range, const std::filesystem::path& path) {
  range.end = std::min(range.end, series.LineCount());
  if (range.start >= range.end) {
    return {StatusCode::InvalidArgument, kNoDataToExport};
  }
  return WriteFileAtomically(path, [&](const std::filesystem::path& temporary) -> Status {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(temporary.c_str(), "wb"), &std::fclose);
    if (!file) {
      return Status::FromErrno(errno, "cannot write " + path.string());
    }
    std::string out =
        "DATE,TIME," + CsvField(RainColumnHeader(series)) + "," + CsvField(TemperatureColumnHeader(series)) + "\r\n";
    char number[64];
    for (std::size_t k = range.start; k < range.end; ++k) {
      const CSheetLine line = SheetLine(series, k);
      out += CsvField(line.date) + "," + CsvField(line.time);
      for (double v : {line.rain, line.temperature}) {
        std::snprintf(number, sizeof number, ",%.10g", v);
        out += number;
      }
      out += "\r\n";
      if (out.size() > 1 << 16 || k + 1 == range.end) {
        if (std::fwrite(out.data(), 1, out.size(), file.get()) != out.size()) {
          return Status::FromErrno(errno, "cannot write " + path.string());
        }
        out.clear();
      }
    }
    if (std::fflush(file.get()) != 0) {
      return Status::FromErrno(errno, "cannot write " + path.string());
    }
    return Status::Ok();
  });
}

} // namespace nimbrel
