#pragma once

#include "data/data_item.h"

#include <cstddef>
#include <string>
#include <vector>

namespace nimbrel {

// What the table printer reads from a report-style list: its columns (title, width on screen,
// alignment) and the text of every cell. The data window's table and the graph printout's frame list
// both print through it.

enum class CColumnAlign { Left = 0, Centre = 1, Right = 2 };

struct CReportColumn {
  std::string title;
  int width = 0; // pixels in the list; a column of width 0 is hidden and not printed
  CColumnAlign align = CColumnAlign::Left;
};

class IReportList {
public:
  IReportList() = default;
  IReportList(const IReportList&) = delete;
  IReportList& operator=(const IReportList&) = delete;
  virtual ~IReportList() = default;

  // A list without a header gives no columns, and nothing of it can be printed.
  [[nodiscard]] virtual bool HasHeader() const { return true; }
  [[nodiscard]] virtual int ColumnCount() const = 0;
  [[nodiscard]] virtual CReportColumn Column(int column) const = 0;
  [[nodiscard]] virtual std::size_t RowCount() const = 0;
  // The text the list shows in a cell, into a buffer the caller reuses.
  virtual void Text(std::size_t row, int column, std::string& out) const = 0;
};

// A list whose columns and texts are held in memory.
class CFixedReportList final : public IReportList {
public:
  explicit CFixedReportList(std::vector<CReportColumn> columns, std::vector<std::vector<std::string>> rows = {},
                            bool hasHeader = true);

  [[nodiscard]] bool HasHeader() const override { return hasHeader_; }
  [[nodiscard]] int ColumnCount() const override { return static_cast<int>(columns_.size()); }
  [[nodiscard]] CReportColumn Column(int column) const override;
  [[nodiscard]] std::size_t RowCount() const override { return rows_.size(); }
  void Text(std::size_t row, int column, std::string& out) const override;

private:
  std::vector<CReportColumn> columns_;
  std::vector<std::vector<std::string>> rows_;
  bool hasHeader_;
};

// The data window's table: the "TOTAL RAIN" line first, then one line per row, every text as the
// table shows it; the columns as the window creates them (200, 100 and 100 pixels, left-aligned),
// with the headers of the series' unit.
class CTableReportList final : public IReportList {
public:
  explicit CTableReportList(const CDataSeries& series) : series_(series) {}

  [[nodiscard]] int ColumnCount() const override { return 3; }
  [[nodiscard]] CReportColumn Column(int column) const override;
  [[nodiscard]] std::size_t RowCount() const override { return series_.LineCount(); }
  void Text(std::size_t row, int column, std::string& out) const override;

private:
  const CDataSeries& series_;
};

} // namespace nimbrel
