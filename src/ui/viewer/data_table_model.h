#pragma once

#include "data/data_item.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>

namespace nimbrel {

// The data window's table as a virtual model over the rows of a reading: it stores no text; every
// cell is formatted by the core when the view asks for it. Line 0 is the "TOTAL RAIN" line.
class CDataTableModel final : public QAbstractTableModel {
  Q_OBJECT

public:
  enum Column { DateTime = 0, Rain = 1, Temperature = 2, ColumnCount = 3 };

  explicit CDataTableModel(const CDataSeries& series, QObject* parent = nullptr);

  // While a reading rebuilds the rows the table shows no line at all; the end of the reading shows
  // the new rows and the headers of their unit.
  void BeginReading();
  void EndReading();
  [[nodiscard]] bool Reading() const { return reading_; }

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
  const CDataSeries& series_;
  bool reading_ = false;
  std::array<QIcon, 3> icons_; // plain, rain, warning: the core's icon numbers
};

} // namespace nimbrel
