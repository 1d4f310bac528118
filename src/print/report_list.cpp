#include "print/report_list.h"

#include "viewer/table_model.h"

#include <utility>

namespace nimbrel {

CFixedReportList::CFixedReportList(std::vector<CReportColumn> columns, std::vector<std::vector<std::string>> rows,
                                   bool hasHeader)
    : columns_(std::move(columns)), rows_(std::move(rows)), hasHeader_(hasHeader) {}

CReportColumn CFixedReportList::Column(int column) const {
  return column >= 0 && column < ColumnCount() ? columns_[static_cast<std::size_t>(column)] : CReportColumn{};
}

void CFixedReportList::Text(std::size_t row, int column, std::string& out) const {
  out.clear();
  if (row < rows_.size() && column >= 0 && static_cast<std::size_t>(column) < rows_[row].size()) {
    out = rows_[row][static_cast<std::size_t>(column)];
  }
}

CReportColumn CTableReportList::Column(int column) const {
  switch (column) {
  case 0:
    return {std::string(DateColumnHeader()), 200, CColumnAlign::Left};
  case 1:
    return {std::string(RainColumnHeader(series_.unit)), 100, CColumnAlign::Left};
  case 2:
    return {std::string(TemperatureColumnHeader(series_.unit)), 100, CColumnAlign::Left};
  default:
    return {};
  }
}

void CTableReportList::Text(std::size_t row, int column, std::string& out) const {
  CCellText cell;
  CellText(series_, row, column, cell);
  out.assign(cell.View());
}

} // namespace nimbrel
