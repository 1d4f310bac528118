#include "ui/viewer/data_table_model.h"

#include "ui/widgets/pictures.h"
#include "viewer/table_model.h"

#include <algorithm>
#include <climits>

namespace nimbrel {

namespace {

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CDataTableModel::CDataTableModel(const CDataSeries& series, QObject* parent)
    : QAbstractTableModel(parent),
      series_(series), icons_{pictures::Icon(pictures::Id::RowPlain), pictures::Icon(pictures::Id::RowRain),
                              pictures::Icon(pictures::Id::RowWarning)} {}

void CDataTableModel::BeginReading() {
  if (reading_) {
    return;
  }
  beginResetModel();
  reading_ = true;
  endResetModel();
}

void CDataTableModel::EndReading() {
  beginResetModel();
  reading_ = false;
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

int CDataTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || reading_) {
    return 0;
  }
  return static_cast<int>(std::min<std::size_t>(series_.LineCount(), INT_MAX));
}

int CDataTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant CDataTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || reading_) {
    return {};
  }
  const auto line = static_cast<std::size_t>(index.row());
  if (role == Qt::DisplayRole) {
    CCellText text;
    CellText(series_, line, index.column(), text);
    return Latin1(text.View());
  }
  if (role == Qt::DecorationRole && index.column() == DateTime) {
    return icons_.at(static_cast<std::size_t>(std::clamp(LineIcon(series_, line), 0, 2)));
  }
  return {};
}

QVariant CDataTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  switch (section) {
  case DateTime:
    return Latin1(DateColumnHeader());
  case Rain:
    return Latin1(RainColumnHeader(series_));
  case Temperature:
    return Latin1(TemperatureColumnHeader(series_));
  default:
    return {};
  }
}

} // namespace nimbrel
