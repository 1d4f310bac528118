#include "support/child_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ; // NOLINT(readability-redundant-declaration): posix_spawn passes it on

namespace nimbrel::test {

std::filesystem::path BuiltProgram(const std::string& name) {
  return std::filesystem::path(NIMBREL_BINARY_DIR) / "src" / name;
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                           const std::filesystem::path& dir) {
  std::vector<std::string> argv{program.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  cargv.reserve(argv.size() + 1);
  for (auto& a : argv) {
    cargv.push_back(a.data());
  }
  cargv.push_back(nullptr);
  const std::string out = (outputs_ / "out").string();
  const std::string err = (outputs_ / "err").string();
  const std::string where = dir.string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!where.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, where.c_str());
  }
  const int rc = posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(rc);
  }
}

ChildProcess::~ChildProcess() {
  if (!Reap(false)) {
    Signal(SIGKILL);
    Reap(true);
  }
}

void ChildProcess::Signal(int signal) const {
  if (pid_ > 0) {
    ::kill(pid_, signal);
  }
}

bool ChildProcess::Reap(bool block) {
  if (pid_ <= 0) {
    return true;
  }
  if (::waitpid(pid_, &status_, block ? 0 : WNOHANG) != pid_) {
    return false;
  }
  pid_ = 0; // ended; status_ holds how
  return true;
}

std::string ChildProcess::Out() const {
  return ReadFileBytes(outputs_ / "out");
}

bool ChildProcess::WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (Reap(false) || std::chrono::steady_clock::now() > deadline) {
      return condition();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

ChildResult ChildProcess::Wait(std::chrono::milliseconds limit) {
  ChildResult result;
  if (!WaitUntil([] { return false; }, limit) && !Reap(false)) {
    Signal(SIGKILL);
    Reap(true);
  }
  if (pid_ == 0) {
    result.exit = WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }
  result.out = Out();
  result.err = ReadFileBytes(outputs_ / "err");
  return result;
}

ChildResult RunChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::filesystem::path& dir, std::chrono::milliseconds limit) {
  return ChildProcess(program, args, dir).Wait(limit);
}

} // namespace nimbrel::test
