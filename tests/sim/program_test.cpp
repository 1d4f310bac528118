#include "sim/instrument.h"
#include "sim_test_util.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace sim {
namespace {

using nimbrel::test::ChildResult;
using nimbrel::test::ReadFileBytes;

const std::filesystem::path kProgram = nimbrel::test::BuiltProgram("tbr4470-sim");

ChildResult RunSim(const std::vector<std::string>& args) {
  return nimbrel::test::RunChild(kProgram, args);
}

TEST(SimProgram, ExpectWritesTheEnginesFileAndBadOptionsAreUsageErrors) {
  nimbrel::test::TempDir dir;
  const std::string file = (dir / "new.rlg").string();
  const ChildResult run =
      RunSim({"--seed", "5", "--days", "12", "--start", "2026-04-01", "--expect", file, "--summary"});
  ASSERT_EQ(run.exit, 0) << run.err;
  const GeneratorOptions g{5, 12, *ParseDateTime("2026/04/01 00:00:00")};
  EXPECT_EQ(ReadFileBytes(file), Instrument(MakeInstrumentState(g, Settings{}, 0)).ExpectedDump(false).value());
  // The summary shows the last seven days.
  EXPECT_NE(run.out.find("2026/04/06 "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("2026/04/05 "), std::string::npos) << run.out;
  // New rain is waiting, so there is no old-data download.
  EXPECT_EQ(RunSim({"--seed", "5", "--expect", file, "--old-data"}).exit, 3);

  const ChildResult bad = RunSim({"--unit", "2"});
  EXPECT_EQ(bad.exit, 2);
  EXPECT_NE(bad.err.find("--unit"), std::string::npos) << bad.err;
}

TEST(SimProgram, ServesOnItsLinkUntilSigintAndKeepsItsState) {
  nimbrel::test::TempDir dir;
  const std::string link = (dir / "COM1").string();
  const std::string state = (dir / "tbr.state").string();
  const std::string log = (dir / "commands.log").string();
  nimbrel::test::ChildProcess child(kProgram, {"--link", link, "--state", state, "--log", log, "--days", "3"});
  ASSERT_TRUE(child.WaitUntil([&] { return child.Out().find(link) != std::string::npos; })) << child.Out();
  for (const char* command : {"DS777\r", "AS\r"}) { // a client each: the line outlives a closed client
    test::Client client(link);
    ASSERT_TRUE(client.Send(command));
    EXPECT_EQ(client.Read(1), command[0] == 'D' ? "OK\r\n" : "Serial Num: 777\r\n");
  }
  child.Signal(SIGINT);
  const ChildResult run = child.Wait();
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "the link goes with the program";
  const std::string logged = ReadFileBytes(log);
  EXPECT_LT(logged.find(" DS777\n"), logged.find(" AS\n")) << logged;

  // The next run starts from the saved state; the memory options are ignored.
  const std::string file = (dir / "again.rlg").string();
  ASSERT_EQ(RunSim({"--state", state, "--expect", file, "--seed", "99"}).exit, 0);
  EXPECT_EQ(ReadFileBytes(file).substr(0, 50), "********** Nimbrel   -TBR4470-   Serial Num:777 **");
}

} // namespace
} // namespace sim
