#include "support/temp_dir.h"
#include "viewer/export_file.h"
#include "viewer/zoomed_range.h"

#include <gtest/gtest.h>

#include <fstream>

namespace nimbrel {
namespace {

TEST(ExportFile, NamedAfterTheDataFileTheZoomAndTheChunk) {
  EXPECT_EQ(ExportBaseName("/home/u/DumpFile.rlg", 0, false), "DumpFile");
  EXPECT_EQ(ExportBaseName("/home/u/DumpFile.rlg", 2, false), "DumpFile - Interval 2");
  EXPECT_EQ(ExportBaseName("rain.2024.rlg", 11, true), "rain.2024 - Zoomed - Interval 11");
  EXPECT_EQ(ExportFolder("/home/u/Documents"), std::filesystem::path("/home/u/Documents/Nimbrel exports"));
}

TEST(ExportFile, ReservesANewNameAndNeverTakesAnExistingFile) {
  test::TempDir dir;
  const std::filesystem::path folder = ExportFolder(dir / "Documents"); // neither folder exists yet
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) {
    if (i == 2) {
      std::ofstream(folder / "DumpFile (3).xlsx") << "the user's own";
    }
    const auto reserved = ReserveExportFile(folder, "DumpFile", ".xlsx");
    ASSERT_TRUE(reserved.ok()) << reserved.status().message();
    names.push_back(reserved.value().filename().string());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"DumpFile.xlsx", "DumpFile (2).xlsx", "DumpFile (4).xlsx"}));
  EXPECT_EQ(test::ReadFileBytes(folder / "DumpFile (3).xlsx"), "the user's own");

  dir.Write("Blocked", "a file where the folder should be");
  const auto blocked = ReserveExportFile(dir / "Blocked" / kExportFolderName, "DumpFile", ".xlsx");
  ASSERT_FALSE(blocked.ok());
  EXPECT_NE(blocked.status().message().find((dir / "Blocked").string()), std::string::npos);
}

TEST(ZoomedRange, TheShownPointsWithTheirOwnTotal) {
  CDataSeries s;
  s.unit = 1;
  s.rows = {{1.0F, 20.0F, 900}, {kNotAvailable, kNotAvailable, 1800}, {2.5F, 21.0F, 2700}, {4.0F, 22.0F, 3600}};
  // Views may be dragged from right to left and scrolled beyond the points.
  // The points asked for, then how many are shown, from which time, and their total.
  for (const auto& [first, last, count, from, total] :
       {std::tuple{3, 2, 2U, 1800U, 2.5F}, {0, 9, 4U, 900U, 7.5F}, {6, 9, 0U, 0U, 0.0F}}) {
    SCOPED_TRACE(std::to_string(first) + ".." + std::to_string(last));
    const CDataSeries z = ZoomedSeries(s, first, last);
    EXPECT_EQ(std::tuple(z.rows.size(), z.rows.empty() ? 0U : z.rows.front().time, z.unit), std::tuple(count, from, 1));
    EXPECT_EQ(z.total, total) << "the not-available rain is left out";
  }
}

} // namespace
} // namespace nimbrel
