#pragma once

#include "support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace nimbrel::test {

// A program of this build (nimbrel-cli, tbr4470-sim).
std::filesystem::path BuiltProgram(const std::string& name);

struct ChildResult {
  int exit = -1; // the exit code, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

// A program run as a child process, its standard input empty, its standard output and error
// captured in files (readable while it runs). Killed if still running when the object goes.
class ChildProcess {
public:
  // Starts `program` with `args` in `dir` (this process's directory when empty).
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::filesystem::path& dir = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Signal(int signal) const;
  // Standard output so far.
  [[nodiscard]] std::string Out() const;
  // Checks `condition` every few milliseconds while the program runs; true once it holds, false when
  // the program ended or `limit` passed first.
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(30));
  // Waits for the end; after `limit` the program is killed.
  ChildResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

private:
  bool Reap(bool block);

  TempDir outputs_;
  pid_t pid_ = -1;
  int status_ = 0;
};

// Runs the program to its end.
ChildResult RunChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::filesystem::path& dir = {}, std::chrono::milliseconds limit = std::chrono::seconds(60));

} // namespace nimbrel::test
