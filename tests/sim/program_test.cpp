#include "sim/instrument.h"
#include "sim/options.h"
#include "sim_test_util.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace sim {
namespace {

const std::string kProgram = std::string(NIMBREL_BINARY_DIR) + "/src/tbr4470-sim";

struct Finished {
  int status = -1;
  std::string out; // stdout and stderr
};

// The program on a pipe. The shell prints its process id, then becomes the program (arguments
// hold no blanks), so the test can signal it.
class Child {
public:
  explicit Child(const std::vector<std::string>& args) {
    std::string command = "echo $$; exec " + kProgram;
    for (const auto& a : args) {
      command += " " + a;
    }
    pipe_ = ::popen((command + " 2>&1").c_str(), "r");
    const std::string first = pipe_ != nullptr ? ReadUntil("\n") : "";
    pid_ = first.empty() ? -1 : std::stoi(first);
    output_.erase(0, output_.find('\n') + 1);
  }
  ~Child() {
    if (pipe_ != nullptr) {
      if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
      }
      ::pclose(pipe_);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Output up to and including the first line holding `text` (5 s at most).
  std::string ReadUntil(const std::string& text) {
    while (output_.find(text) == std::string::npos || output_.find('\n', output_.find(text)) == std::string::npos) {
      pollfd pfd{::fileno(pipe_), POLLIN, 0};
      std::array<char, 256> buf{};
      const ssize_t n = ::poll(&pfd, 1, 5000) > 0 ? ::read(pfd.fd, buf.data(), buf.size()) : 0;
      if (n <= 0) {
        break;
      }
      output_.append(buf.data(), static_cast<std::size_t>(n));
    }
    return output_;
  }
  Finished Wait(int signal = 0) {
    if (signal != 0 && pid_ > 0) {
      ::kill(pid_, signal);
    }
    ReadUntil("\x01never");
    const int status = ::pclose(std::exchange(pipe_, nullptr));
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output_};
  }

private:
  FILE* pipe_ = nullptr;
  pid_t pid_ = -1;
  std::string output_;
};

// A command line split at blanks.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> args;
  std::istringstream words(line);
  for (std::string w; words >> w;) {
    args.push_back(w);
  }
  return args;
}

Finished RunProgram(const std::vector<std::string>& args) {
  return Child(args).Wait();
}

TEST(SimProgram, HelpNamesEveryOptionAndBadOptionsAreUsageErrors) {
  const Finished help = RunProgram({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option :
       {"--link",         "--log",        "--state",       "--days",          "--seed",   "--start",
        "--unit",         "--resolution", "--serial",      "--battery",       "--expect", "--old-data",
        "--summary",      "--refuse",     "--refuse-page", "--wrong-state",   "--silent", "--silent-in-page",
        "--silent-after", "--split",      "--garbage",     "--garbage-every", "--pace",   "--hangup-after-pages"}) {
    EXPECT_NE(help.out.find(std::string("  ") + option + " "), std::string::npos) << option;
  }
  const Finished bad = RunProgram({"--unit", "2"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.out.find("tbr4470-sim: --unit takes 0"), std::string::npos) << bad.out;
}

TEST(SimOptions, FaultOptionsFillTheFaultsAndBadValuesAreRefused) {
  std::string error;
  const auto o = ParseArguments(
      Words("--refuse AS:2 --refuse KR --refuse-page 1460 --wrong-state RQ:3 --silent * --silent-in-page 10:2 "
            "--silent-after 40 --split 3:20 --garbage \\x00\\xffZ --garbage-every 5 --pace --hangup-after-pages 2"),
      &error);
  ASSERT_TRUE(o.has_value()) << error;
  const Faults& f = o->faults;
  EXPECT_EQ(f.refuse, (std::map<std::string, int>{{"AS", 2}, {"KR", -1}}));
  EXPECT_EQ(f.refusePage, (std::map<int, int>{{1460, -1}}));
  EXPECT_EQ(f.wrongState, (std::map<std::string, int>{{"RQ", 3}}));
  EXPECT_EQ(f.silent, (std::map<std::string, int>{{"*", 1}}));
  EXPECT_EQ((std::vector{f.silentInPageAfterLines, f.silentInPageTimes, f.silentAfterCommands, f.splitBytes,
                         f.splitDelayMs, f.garbageEvery, f.hangUpAfterPages, f.pace9600 ? 1 : 0}),
            (std::vector{10, 2, 40, 3, 20, 5, 2, 1}));
  EXPECT_EQ(f.garbage, std::string("\x00\xffZ", 3));

  const auto inch = ParseArguments({"--unit", "1"}, &error);
  ASSERT_TRUE(inch.has_value());
  EXPECT_DOUBLE_EQ(inch->generator.tipValue, 0.00787);

  for (const char* bad :
       {"--days x", "--days -1", "--unit 2", "--resolution 2.0", "--resolution 0.2mm", "--unit 1 --resolution 0.2",
        "--serial 123456789", "--battery 3", "--start 2026-02-30", "--refuse kr", "--refuse AS:x", "--refuse-page 2001",
        "--split 3", "--split 0:5", "--old-data", "--frobnicate", "stray", "--link"}) {
    error.clear();
    EXPECT_FALSE(ParseArguments(Words(bad), &error).has_value()) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(SimProgram, ExpectWritesTheLibraryOracleAndSummaryShowsAWeek) {
  nimbrel::test::TempDir dir;
  const std::string file = (dir / "new.rlg").string();
  const std::vector<std::string> shape{"--seed", "5", "--days", "12", "--start", "2026-04-01", "--serial", "A1"};
  std::vector<std::string> args = shape;
  args.insert(args.end(), {"--expect", file, "--summary"});
  const Finished run = RunProgram(args);
  ASSERT_EQ(run.status, 0) << run.out;
  GeneratorOptions g;
  g.seed = 5;
  g.days = 12;
  g.start = *ParseDateTime("2026/04/01 00:00:00");
  Settings s;
  s.serial = "A1";
  const Instrument instr(MakeInstrumentState(g, s, 0));
  EXPECT_EQ(nimbrel::test::ReadFileBytes(file), instr.ExpectedDump(false).value());
  // The last seven days, one line each under the title.
  EXPECT_NE(run.out.find("2026/04/06 "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("2026/04/05 "), std::string::npos) << run.out;

  // No rain released yet: there is no old-data download.
  args = shape;
  args.insert(args.end(), {"--expect", file, "--old-data"});
  EXPECT_EQ(RunProgram(args).status, 3);
}

TEST(SimProgram, ServesOnItsLinkUntilSigtermAndKeepsItsState) {
  nimbrel::test::TempDir dir;
  const std::string link = (dir / "COM1").string();
  const std::string state = (dir / "tbr.state").string();
  const std::string log = (dir / "commands.log").string();
  {
    Child child({"--link", link, "--state", state, "--log", log, "--days", "3", "--start", "2026-05-01"});
    const std::string out = child.ReadUntil(link);
    ASSERT_TRUE(std::filesystem::is_symlink(link)) << out;
    std::string reply;
    {
      test::Client client(link);
      ASSERT_TRUE(client.Send("AA\rDS777\rRM\r"));
      reply = client.Read(3);
    }
    ASSERT_EQ(reply.substr(0, 24), "TBR4470 Rain Gauge\r\nOK\r\n");
    const std::string write = reply.substr(24, 4);
    const Finished run = child.Wait(SIGTERM);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "the link goes with the program";
    const std::string logged = nimbrel::test::ReadFileBytes(log);
    EXPECT_LT(logged.find(" AA\n"), logged.find(" DS777\n")) << logged;
    EXPECT_LT(logged.find(" DS777\n"), logged.find(" RM\n")) << logged;

    // The next run starts from the saved state: the new serial number, the same memory.
    const std::string file = (dir / "again.rlg").string();
    ASSERT_EQ(RunProgram({"--state", state, "--expect", file, "--seed", "99"}).status, 0);
    const std::string again = nimbrel::test::ReadFileBytes(file);
    EXPECT_EQ(again.substr(0, 50), "********** Nimbrel   -TBR4470-   Serial Num:777 **");
    EXPECT_NE(write, "0000");
  }
}

} // namespace
} // namespace sim
