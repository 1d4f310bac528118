#include "data/rlg_reader.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "viewer/table_model.h"

#include <gtest/gtest.h>

#include <string>

namespace nimbrel {
namespace {

using test::ChildResult;

ChildResult Cli(const std::vector<std::string>& args) {
  return test::RunChild(test::BuiltProgram("nimbrel-cli"), args);
}

// Without --interval the size decides (a small file: one minute); the table streams out as the
// data window would copy it, with the message the reader left to its caller.
TEST(DataCli, TablePrintsTheTableTextOfTheFile) {
  const std::string file = std::string(NIMBREL_TEST_DATA_DIR) + "/zero_resolution.rlg";
  CDataSeries series;
  ASSERT_TRUE(ReadRlgFile(file, 60, series).ok());
  const ChildResult run = Cli({"table", file});
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, TableText(series));
  EXPECT_EQ(run.err, std::string(kResolutionMessage) + "\n");

  const ChildResult stats = Cli({"stats", file, "--csv"});
  EXPECT_EQ(stats.exit, 0) << stats.err;
  EXPECT_EQ(stats.out.rfind("group,tips,rain_mm,", 0), 0U) << stats.out;
  EXPECT_NE(Cli({"stats", file}).out.find(" mm/h"), std::string::npos);

  // Anything is read as the data window reads it, but a file of neither rain nor temperature is
  // named as such.
  test::TempDir dir;
  dir.Write("photo.jpg", std::string("\xff\xd8\xff\xe0\0\x10JFIF", 11));
  const ChildResult odd = Cli({"table", (dir / "photo.jpg").string()});
  EXPECT_EQ(odd.exit, 0);
  EXPECT_NE(odd.err.find("does not look like a data file"), std::string::npos) << odd.err;
}

TEST(DataCli, ExitCodesNameWhatWentWrong) {
  test::TempDir dir;
  std::string record = "TEMPERATURE (-TBR4470- Serial Num: 7)\n00000000\n";
  for (int i = 0; i < 2200; ++i) {
    record += " 20.5\n"; // 33000 rows at one minute: two chunks of the export
  }
  dir.Write("long.rlg", record);
  dir.Write("kept.xlsx", "an older export");
  std::filesystem::create_directory(dir / "folder.xlsx");
  const std::string input = (dir / "long.rlg").string();
  const auto out = [&dir](const char* name) { return (dir / name).string(); };
  struct Case {
    std::vector<std::string> args;
    int exit;
    const char* message;
  };
  const Case cases[] = {
      {{"table", out("missing.rlg")}, 1, "missing.rlg"},
      {{"table"}, 2, "FILE"},
      {{"table", input, "--bogus"}, 2, "bogus"},
      {{"export", input}, 2, "--xlsx"},
      {{"table", input, "--interval", "7"}, 2, "\"15 min\""},
      {{"export", input, "--xlsx", out("new.xlsx"), "--interval", "60"},
       2,
       "Excel process max no. 30000 datas.\nPlease select an interval to export\n"
       "  Interval  1\tTOTAL RAIN\n  Interval  2\t2000/01/21 19:59:00 \n"},
      {{"export", input, "--xlsx", out("kept.xlsx"), "--interval", "60", "--chunk", "3"}, 2, "--chunk"},
      {{"export", input, "--xlsx", out("folder.xlsx"), "--interval", "60", "--chunk", "1"}, 2, "folder.xlsx"},
      {{"export", input, "--xlsx", input, "--interval", "60", "--chunk", "1"}, 2, "long.rlg"},
      {{"export", input, "--xlsx", out("new.xlsx"), "--interval", "60", "--chunk", "2"}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    const ChildResult run = Cli(c.args);
    EXPECT_EQ(run.exit, c.exit) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_EQ(dir.Read("kept.xlsx"), "an older export");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.xlsx"));
  EXPECT_EQ(dir.Read("long.rlg"), record);
  EXPECT_GT(std::filesystem::file_size(dir / "new.xlsx"), 0U);
}

} // namespace
} // namespace nimbrel
