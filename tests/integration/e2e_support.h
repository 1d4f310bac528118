#pragma once
// End-to-end rig: the simulated instrument on a real pseudo-terminal (in this process), a program
// directory whose COMn entries link to it, and nimbrel-cli run either as the real program (product
// timing) or in-process through its command entry point (scaled timing, Qt event loop, the real
// serial port and listener thread).

#include "protocol/timing.h"
#include "sim/pty_server.h"
#include "support/instrument_memory.h"
#include "support/temp_dir.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel::test::e2e {

// The simulator serving a state on a pseudo-terminal, plus the program directory of the test.
class SimRig {
public:
  explicit SimRig(sim::InstrumentState state);
  ~SimRig();
  SimRig(const SimRig&) = delete;
  SimRig& operator=(const SimRig&) = delete;

  // `name` in the program directory becomes a link to the instrument (or, with target, to that path).
  void Link(const std::string& name) const;
  void LinkTo(const std::string& name, const std::string& target) const;
  // port.ini naming COMn at `baud`, automatic detection on or off.
  void WritePortIni(int port, int baud, bool autoDetect) const;

  // The file a complete download must write (the simulator's own account of its memory).
  [[nodiscard]] std::optional<std::string> Expected(bool oldData);
  // The commands the instrument received so far, without their CR.
  [[nodiscard]] std::vector<std::string> Commands() const;
  [[nodiscard]] std::string Dump() const { return ReadFileBytes(dir / "DumpFile.rlg"); }
  [[nodiscard]] bool DumpExists() const;

  TempDir dir;
  sim::PtyServer server;
};

struct Result {
  int exit = -1;
  std::string out, err;
  bool timedOut = false;
};

// nimbrel-cli <command> <args> as a child process in the program directory, with product timing.
// `whileRunning` is called every few milliseconds and may send signals to the child (its pid);
// after `limit` the child is killed and the result says so.
Result RunProgram(const std::filesystem::path& programDir, const std::string& command, const QStringList& args,
                  std::chrono::seconds limit = std::chrono::seconds(90),
                  const std::function<void(int pid)>& whileRunning = {});

// The same command in this process: the real serial port and its listener thread, Qt timers and the
// queued hand-over, with every delay divided by `divisor`. A run longer than `limit` is stopped as
// Ctrl+C would stop it.
Result RunInProcess(const std::filesystem::path& programDir, const std::string& command, const QStringList& args,
                    int divisor = 10, std::chrono::seconds limit = std::chrono::seconds(60));

// The commands of a connection on a port that answers at once: probe, battery, identity.
std::vector<std::string> ConnectCommands();
// The reading of the pointers before the pages.
std::vector<std::string> PointerCommands();
// "KR0011" ... for the pages after `from` up to `to` in ring order (rain or temperature).
std::vector<std::string> PageCommands(const std::string& code, int from, int to);
std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts);

// Texts that must appear on standard error in this order.
void ExpectInOrder(const std::string& err, const std::vector<std::string>& texts);

// A file line as the download stores it: the instrument's CR LF become CR CR LF.
std::string Stored(const std::string& line);
// The stored lines of one temperature page, without its count line.
std::string StoredTempPage(const sim::Memory& memory, int page);

} // namespace nimbrel::test::e2e
