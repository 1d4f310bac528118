#pragma once

#include "data/data_item.h"

namespace nimbrel {

// The table lines of the points a zoomed chart shows, as a reading of their own: the rows of the
// points `first` to `last` (counted from 1, as the chart's views count them; clamped to the rows,
// either order), with their own "TOTAL RAIN". Every other value of the reading is kept, so the
// texts of these lines are those the table shows. The export and the printout take only these
// lines when the user asks for the zoomed range.
CDataSeries ZoomedSeries(const CDataSeries& series, int first, int last);

} // namespace nimbrel
