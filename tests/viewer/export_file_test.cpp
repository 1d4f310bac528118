#include "support/temp_dir.h"
#include "viewer/export_file.h"
#include "viewer/zoomed_range.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace nimbrel {
namespace {

TEST(ExportFile, NamedAfterTheDataFileTheZoomAndTheChunk) {
  struct Case {
    const char* file;
    int chunk;
    bool zoomed;
    const char* base;
  };
  const Case cases[] = {
      {"/home/u/DumpFile.rlg", 0, false, "DumpFile"},
      {"/home/u/DumpFile.rlg", 2, false, "DumpFile - Interval 2"},
      {"rain.2024.rlg", 0, true, "rain.2024 - Zoomed"},
      {"rain.2024.rlg", 11, true, "rain.2024 - Zoomed - Interval 11"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(ExportBaseName(c.file, c.chunk, c.zoomed), c.base);
  }
  EXPECT_EQ(ExportFolder("/home/u/Documents"), std::filesystem::path("/home/u/Documents/Nimbrel exports"));
}

TEST(ExportFile, ReservesANewNameAndNeverTakesAnExistingFile) {
  test::TempDir dir;
  const std::filesystem::path folder = ExportFolder(dir / "Documents"); // neither folder exists yet
  std::vector<std::string> names;
  for (int i = 0; i < 2; ++i) {
    const auto reserved = ReserveExportFile(folder, "DumpFile", ".xlsx");
    ASSERT_TRUE(reserved.ok()) << reserved.status().message();
    EXPECT_TRUE(std::filesystem::is_regular_file(reserved.value()));
    names.push_back(reserved.value().filename().string());
  }
  // A file the user put there keeps its bytes and its name is passed over.
  const std::filesystem::path own = folder / "DumpFile (3).xlsx";
  { std::ofstream(own) << "mine"; }
  const auto next = ReserveExportFile(folder, "DumpFile", ".xlsx");
  ASSERT_TRUE(next.ok());
  names.push_back(next.value().filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"DumpFile.xlsx", "DumpFile (2).xlsx", "DumpFile (4).xlsx"}));
  EXPECT_EQ(test::ReadFileBytes(own), "mine");

  dir.Write("Blocked", "a file where the folder should be");
  const auto blocked = ReserveExportFile(dir / "Blocked" / kExportFolderName, "DumpFile", ".xlsx");
  ASSERT_FALSE(blocked.ok());
  EXPECT_NE(blocked.status().message().find((dir / "Blocked").string()), std::string::npos)
      << blocked.status().message();
}

TEST(ZoomedRange, TheShownPointsWithTheirOwnTotal) {
  CDataSeries s;
  s.interval = 900;
  s.unit = 1;
  s.rows = {{1.0F, 20.0F, 900}, {kNotAvailable, kNotAvailable, 1800}, {2.5F, 21.0F, 2700}, {4.0F, 22.0F, 3600}};
  s.total = 7.5F;
  struct Case {
    int first;
    int last;
    std::vector<std::uint32_t> times;
    float total;
  };
  const Case cases[] = {
      {2, 3, {1800, 2700}, 2.5F},            // the not-available rain is left out of the total
      {3, 2, {1800, 2700}, 2.5F},            // a view dragged from right to left
      {0, 9, {900, 1800, 2700, 3600}, 7.5F}, // views may reach beyond the points
      {6, 9, {}, 0.0F},                      // scrolled past the last point
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.first) + ".." + std::to_string(c.last));
    const CDataSeries z = ZoomedSeries(s, c.first, c.last);
    std::vector<std::uint32_t> times;
    for (const CDataItem& row : z.rows) {
      times.push_back(row.time);
    }
    EXPECT_EQ(times, c.times);
    EXPECT_EQ(z.total, c.total);
    EXPECT_EQ(z.unit, 1);
    EXPECT_EQ(z.interval, 900);
  }
}

} // namespace
} // namespace nimbrel
