#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <tuple>

namespace nimbrel {
namespace {

const std::string kData = NIMBREL_TEST_DATA_DIR;
const std::string kCli = std::string(NIMBREL_BINARY_DIR) + "/src/nimbrel-cli";

struct CliRun {
  int exit = -1;
  std::string out;
  std::string err;
};

// Runs nimbrel-cli with the arguments (already quoted for the shell); standard error goes to a file.
CliRun Cli(const std::string& arguments) {
  test::TempDir dir;
  const std::string errPath = (dir / "stderr").string();
  const std::string command = kCli + " " + arguments + " 2>'" + errPath + "'";
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return run;
  }
  char buf[65536];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
    run.out.append(buf, n);
  }
  const int status = pclose(pipe);
  run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = test::ReadFileBytes(errPath);
  return run;
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

TEST(DataCli, TablePrintsTheExactTableText) {
  const std::tuple<const char*, const char*, const char*> cases[] = {{"basic", "900", "900"},
                                                                     {"basic", "'1 hour'", "3600"},
                                                                     {"inch_no_temperature", "60", "60"},
                                                                     {"long_lines", "'15 min'", "900"}};
  for (const auto& [input, interval, seconds] : cases) {
    const CliRun run = Cli("table " + Quote(kData + "/" + input + ".rlg") + " --interval " + interval);
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out, test::ReadFileBytes(kData + "/" + input + "_" + seconds + ".txt")) << input;
  }
  // Without --interval the size decides: these small files open by the minute.
  const CliRun byDefault = Cli("table " + Quote(kData + "/zero_resolution.rlg"));
  EXPECT_EQ(byDefault.exit, 0);
  EXPECT_EQ(byDefault.out, test::ReadFileBytes(kData + "/zero_resolution_60.txt"));
  EXPECT_EQ(byDefault.err, "ERROR: H2O millimeters per tip not found.\nSet default value 1mm H2O per tip.\n");
}

TEST(DataCli, BadArgumentsAndFilesGetAClearErrorAndExitCode) {
  test::TempDir dir;
  dir.Write("file", "x");
  struct Case {
    std::string arguments;
    int exit;
    const char* message;
  };
  const Case cases[] = {
      {"table " + Quote(kData + "/basic.rlg") + " --interval 7", 2, "\"15 min\""},
      {"table " + Quote(kData + "/basic.rlg") + " --interval '15 mins'", 2, "unknown interval"},
      {"table", 2, "FILE"},
      {"table " + Quote((dir / "missing.rlg").string()), 1, "no such file"},
      {"table " + Quote(dir.Path().string()), 1, "directory"},
      {"table " + Quote((dir / "file" / "x.rlg").string()), 1, "x.rlg"},
      {"table " + Quote(kData + "/basic.rlg") + " --bogus", 2, "bogus"},
      {"export " + Quote(kData + "/basic.rlg"), 2, "--xlsx"},
      {"export " + Quote(kData + "/basic.rlg") + " --xlsx " + Quote((dir / "file" / "o.xlsx").string()), 1, "o.xlsx"},
      {"export " + Quote(kData + "/basic.rlg") + " --xlsx " + Quote((dir / "o.xlsx").string()) + " --chunk 2", 2,
       "Interval  1"},
      {"stats " + Quote((dir / "missing.rlg").string()), 1, "missing.rlg"},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.arguments);
    EXPECT_EQ(run.exit, c.exit) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << "\n" << run.err;
    EXPECT_TRUE(run.out.empty()) << c.arguments;
  }
  for (const char* command : {"table", "export", "stats"}) {
    const CliRun help = Cli(std::string(command) + " --help");
    EXPECT_EQ(help.exit, 0);
    EXPECT_NE(help.out.find("--interval"), std::string::npos) << command;
  }
}

// A temperature record of `samples` quarter hours from 2000/01/01.
std::string LongRecord(int samples) {
  std::string text = "TEMPERATURE (-TBR4470- Serial Num: 7)\n00000000\n";
  for (int i = 0; i < samples; ++i) {
    text += " 20.5\n";
  }
  return text;
}

TEST(DataCli, ExportOfALongTableAsksForAChunk) {
  test::TempDir dir;
  dir.Write("long.rlg", LongRecord(2200)); // 33000 rows at 1 min: 33001 table lines, two chunks
  const std::string file = Quote((dir / "long.rlg").string());
  const std::string out = Quote((dir / "out.xlsx").string());

  const CliRun choose = Cli("export " + file + " --xlsx " + out + " --interval 60");
  EXPECT_EQ(choose.exit, 2);
  EXPECT_NE(choose.err.find("Excel process max no. 30000 datas.\nPlease select an interval to export\n"
                            "  Interval  1\tTOTAL RAIN\n  Interval  2\t2000/01/21 19:59:00 \n"),
            std::string::npos)
      << choose.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.xlsx"));

  const CliRun second = Cli("export " + file + " --xlsx " + out + " --interval 60 --chunk 2");
  EXPECT_EQ(second.exit, 0) << second.err;
  EXPECT_GT(std::filesystem::file_size(dir / "out.xlsx"), 0U);

  const CliRun badChunk = Cli("export " + file + " --xlsx " + out + " --interval 60 --chunk 3");
  EXPECT_EQ(badChunk.exit, 2);

  // A year of samples at one second is refused with a message, not grown without bound.
  dir.Write("year.rlg", LongRecord(360 * 96));
  const CliRun year = Cli("table " + Quote((dir / "year.rlg").string()) + " --interval 1");
  EXPECT_EQ(year.exit, 1);
  EXPECT_NE(year.err.find("choose a longer interval"), std::string::npos) << year.err;
  EXPECT_TRUE(year.out.empty());
}

TEST(DataCli, StatsAsTableAndCsv) {
  const CliRun csv = Cli("stats " + Quote(kData + "/basic.rlg") + " --interval 900 --csv");
  EXPECT_EQ(csv.exit, 0) << csv.err;
  // Tips 09:00:00, 10:07:30, 10:10:00, 10:30:00, 11:10:00, 12:40:00 at 0.2 mm: at most 2 tips in 5, 10
  // and 15 min (10:07:30 and 10:10:00), 3 in 30 and 60 min (up to 10:30:00). Three gap rows, three
  // marker samples, no bounce.
  EXPECT_NE(csv.out.find("\nALL,6,1.200,4.800,2.400,1.600,1.200,0.600,-1.00,"), std::string::npos) << csv.out;
  EXPECT_NE(csv.out.find(",14.25,3,3,0\n"), std::string::npos) << csv.out;
  EXPECT_NE(csv.out.find("\n2005/03/01 10:15:00,3,0.600,4.800,2.400,1.600,0.800,0.400,12.50,12.50,12.50,0,0,0\n"),
            std::string::npos)
      << csv.out;
  const CliRun table = Cli("stats " + Quote(kData + "/basic.rlg") + " --interval 900");
  EXPECT_EQ(table.exit, 0);
  EXPECT_NE(table.out.find("ALL "), std::string::npos);
  EXPECT_NE(table.out.find("mm/h"), std::string::npos);
}

} // namespace
} // namespace nimbrel
