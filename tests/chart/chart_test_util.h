#pragma once

#include "data/data_item.h"

#include <QGuiApplication>

#include <cstdint>
#include <functional>

namespace nimbrel::test {

// Fonts and painting need a GUI application, here on the offscreen platform.
inline QGuiApplication& GuiApp() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "test_chart";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
  return app;
}

// 2005/03/01 10:15:00
inline constexpr std::uint32_t kStart = 162987300U;

// `count` rows of `interval` seconds from kStart: rain 0.2 mm and 20 degrees unless `edit` changes a row.
inline CDataSeries MakeSeries(int count, int interval, const std::function<void(int, CDataItem&)>& edit = {}) {
  CDataSeries series;
  series.interval = interval;
  series.startValid = true;
  series.startTime = kStart;
  for (int i = 0; i < count; ++i) {
    CDataItem row{0.2F, 20.0F, kStart + static_cast<std::uint32_t>(i * interval)};
    if (edit) {
      edit(i, row);
    }
    series.rows.push_back(row);
  }
  return series;
}

} // namespace nimbrel::test
