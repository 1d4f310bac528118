#include "e2e_support.h"

#include "cli/instrument_commands.h"
#include "link/serial_session_port.h"
#include "support/test_app.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): posix_spawn passes it on

namespace nimbrel::test::e2e {

SimRig::SimRig(sim::InstrumentState state) : server(sim::Instrument(std::move(state))) {
  std::string error;
  if (!server.Start(&error)) {
    ADD_FAILURE() << "the simulator does not start: " << error;
  }
}

SimRig::~SimRig() {
  server.Stop();
}

void SimRig::Link(const std::string& name) const {
  LinkTo(name, server.SlavePath());
}

void SimRig::LinkTo(const std::string& name, const std::string& target) const {
  std::error_code ec;
  std::filesystem::create_symlink(target, dir / name, ec);
  ASSERT_FALSE(ec) << ec.message();
}

void SimRig::WritePortIni(int port, int baud, bool autoDetect) const {
  dir.Write("port.ini", "AUTODETECT=" + std::to_string(autoDetect ? 1 : 0) + "\nCOM= COM" + std::to_string(port) +
                            "\nBAUDRATE= " + std::to_string(baud) +
                            "\nPARITY= N\nNUMBIT= 8\nBITSTOP= 1\nFLOW_CTRL= H\n");
}

std::optional<std::string> SimRig::Expected(bool oldData) {
  return server.WithInstrument([oldData](sim::Instrument& i) { return i.ExpectedDump(oldData); });
}

std::vector<std::string> SimRig::Commands() const {
  std::vector<std::string> texts;
  for (const auto& c : server.Received()) {
    texts.push_back(c.text);
  }
  return texts;
}

bool SimRig::DumpExists() const {
  return std::filesystem::exists(dir / "DumpFile.rlg");
}

Result RunProgram(const std::filesystem::path& programDir, const std::string& command, const QStringList& args,
                  std::chrono::seconds limit, const std::function<void(int pid)>& whileRunning) {
  Result result;
  const TempDir outputs;
  const std::string program = NIMBREL_BINARY_DIR "/src/nimbrel-cli";
  std::vector<std::string> argv{program, command};
  for (const auto& a : args) {
    argv.push_back(a.toStdString());
  }
  std::vector<char*> cargv;
  cargv.reserve(argv.size() + 1);
  for (auto& a : argv) {
    cargv.push_back(a.data());
  }
  cargv.push_back(nullptr);
  const std::string outPath = (outputs / "out").string();
  const std::string errPath = (outputs / "err").string();
  const std::string dir = programDir.string();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(rc);
    return result;
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (true) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    if (whileRunning) {
      whileRunning(pid);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  result.out = ReadFileBytes(outPath);
  result.err = ReadFileBytes(errPath);
  return result;
}

Result RunInProcess(const std::filesystem::path& programDir, const std::string& command, const QStringList& args,
                    int divisor, std::chrono::seconds limit) {
  TestApp();
  Result result;
  cli::InstrumentEnv env;
  env.programDirectory = programDir;
  env.makePort = [](const std::filesystem::path& dir) { return std::make_unique<CSerialSessionPort>(dir); };
  env.timing = SessionTiming{}.Scaled(divisor);
  env.out = [&result](const std::string& s) { result.out += s; };
  env.err = [&result](const std::string& s) { result.err += s; };
  const auto deadline = std::chrono::steady_clock::now() + limit;
  env.interrupted = [&result, deadline] {
    result.timedOut = result.timedOut || std::chrono::steady_clock::now() > deadline;
    return result.timedOut;
  };
  QStringList full = args;
  full.prepend(QString::fromStdString("nimbrel-cli " + command));
  result.exit = cli::RunInstrumentCommand(command, full, env);
  return result;
}

std::vector<std::string> ConnectCommands() {
  return {"AA", "RZ", "AA", "AS", "AG", "AH"};
}

std::vector<std::string> PointerCommands() {
  return {"RA", "RB", "RM", "RN", "RS", "RT", "RU", "RW", "RQ"};
}

std::vector<std::string> PageCommands(const std::string& code, int from, int to) {
  const bool rain = code == "KR";
  const int first = rain ? 0 : 1453;
  const int last = rain ? 1452 : 2000;
  std::vector<std::string> out;
  for (int p = from; p != to;) {
    p = p == last ? first : p + 1;
    char text[16];
    std::snprintf(text, sizeof text, "%s%.4d", code.c_str(), p);
    out.emplace_back(text);
  }
  return out;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) {
    all.insert(all.end(), p.begin(), p.end());
  }
  return all;
}

void ExpectInOrder(const std::string& err, const std::vector<std::string>& texts) {
  std::size_t pos = 0;
  for (const auto& t : texts) {
    const auto at = err.find(t, pos);
    ASSERT_NE(at, std::string::npos) << "missing or out of order: " << t << "\n--- standard error:\n" << err;
    pos = at + t.size();
  }
}

std::string Stored(const std::string& line) {
  return line + "\r\r\n";
}

std::string StoredTempPage(const sim::Memory& memory, int page) {
  std::string text;
  const auto lines = memory.TempPageLines(page);
  if (lines) {
    for (std::size_t i = 1; i < lines->size(); ++i) {
      text += Stored((*lines)[i]);
    }
  }
  return text;
}

} // namespace nimbrel::test::e2e
