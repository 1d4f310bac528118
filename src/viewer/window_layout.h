#pragma once

#include <QRect>
#include <QSize>

#include <algorithm>

namespace nimbrel {

// Where the data window puts its table and its chart in a client area of `client`: the top 40 pixels
// hold the interval list and the buttons; the table spans the full width from 40 pixels down to
// (H - 40) / 2 + 30, the chart from (H - 40) / 2 + 40 to the bottom.
struct CDataWindowLayout {
  QRect table;
  QRect chart;
};

inline CDataWindowLayout DataWindowLayout(QSize client) {
  const int w = client.width();
  const int h = client.height();
  const int middle = (h - 40) / 2;
  CDataWindowLayout layout;
  layout.table = QRect(0, 40, w, std::max(0, middle + 30 - 40));
  layout.chart = QRect(0, middle + 40, w, std::max(0, h - (middle + 40)));
  return layout;
}

} // namespace nimbrel
