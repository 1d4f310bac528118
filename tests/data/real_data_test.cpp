// Checks over real tipping-bucket records of other instruments (skipped when the folder is absent):
// the tips are written as an instrument memory file and read back.
#include "data/rlg_reader.h"
#include "support/temp_dir.h"
#include "viewer/stats.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

namespace nimbrel {
namespace {

// The instrument's stamp of a time: seconds since 2000-01-01 00:00:00, in hexadecimal.
std::string Stamp(std::uint32_t seconds) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", seconds);
  return buf;
}

// Quincemil (Peru), a HOBO event logger: "MM/DD/YYYY HH:MM:SS,cumulative count", 0.2 mm per tip. The
// source's README gives a final count of 13911 tips (2782 mm).
TEST(RealData, QuincemilTipsAllReachTheRows) {
  const std::filesystem::path file =
      std::filesystem::path(NIMBREL_REAL_DATA_DIR) / "peru-hobo-cusco" / "quincemil" / "hobo_quincemil.csv";
  if (!std::filesystem::exists(file)) {
    GTEST_SKIP() << "no real data at " << file;
  }
  std::istringstream csv(test::ReadFileBytes(file));
  std::string rlg = "********** Nimbrel   -TBR4470-   Serial Num:QUINCEMI **********\r\r\n\r\r\n"
                    "mm H2O per tip = 0.20000\r\r\nUnit Meas =0\r\r\nFFFFFFFF\r\r\n";
  std::string line;
  long previous = 0, tips = 0, count = 0;
  std::uint32_t first = 0, last = 0;
  for (int mo = 0, d = 0, y = 0, h = 0, mi = 0, sec = 0; std::getline(csv, line);) {
    if (std::sscanf(line.c_str(), "%d/%d/%d %d:%d:%d,%ld", &mo, &d, &y, &h, &mi, &sec, &count) != 7) {
      continue; // logger events without a count
    }
    using namespace std::chrono;
    const auto days = sys_days{year{y} / mo / d} - sys_days{year{2000} / January / 1};
    last = static_cast<std::uint32_t>(days.count() * 86400 + h * 3600L + mi * 60L + sec);
    first = first == 0 ? last : first;
    const std::string stamp = Stamp(last);
    for (; previous < count; ++previous, ++tips) {
      rlg += stamp + "\r\r\n";
    }
  }
  ASSERT_EQ(tips, 13911);
  // A temperature sample every quarter hour until a week before the last tip, so the tips of that
  // week fall after the last row.
  rlg += "TEMPERATURE (-TBR4470- Serial Num: QUINCEMI)\r\n" + Stamp(first - first % 86400) + "\r\r\n";
  for (std::uint32_t t = first - first % 86400; t <= last - 7 * 86400; t += 900) {
    rlg += " 21.50\r\r\n";
  }
  test::TempDir dir;
  dir.Write("quincemil.rlg", rlg);

  for (const int interval : {900, 86400}) {
    SCOPED_TRACE(interval);
    CDataSeries series;
    CReadDetails details;
    CReadOptions options;
    options.details = &details;
    ASSERT_TRUE(ReadRlgFile(dir / "quincemil.rlg", interval, series, options).ok());
    ASSERT_LT(series.rows.back().time + interval, last);
    // To float precision: a row holding many tips adds them in single precision.
    EXPECT_EQ(series.total, static_cast<float>(static_cast<double>(tips) * static_cast<double>(0.2F)));
    const CFileStats stats = ComputeStats(series, details);
    EXPECT_EQ(stats.whole.tips, 13911U);
    EXPECT_LE(stats.whole.bounces, 4U); // the source counts 4 tips at most 1 s after the one before
    EXPECT_DOUBLE_EQ(stats.whole.meanTemperature, 21.5);
  }
}

} // namespace
} // namespace nimbrel
