#pragma once

// The simulated instrument on a pseudo-terminal: a thread owns the master side, waits with poll
// on it and on an eventfd stop request, feeds what arrives to the engine and writes the replies
// back (with the pauses the faults ask for). The program, or a test, opens SlavePath().

#include "sim/instrument.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

// A file descriptor closed when it goes out of scope.
class UniqueFd {
public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  [[nodiscard]] int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

private:
  int fd_ = -1;
};

struct ReceivedCommand {
  double seconds = 0; // since the server started
  std::string text;   // the command as received, CR excluded
};

class PtyServer {
public:
  explicit PtyServer(Instrument instrument);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the pseudo-terminal (raw mode) and starts serving; false with a reason on failure.
  bool Start(std::string* error = nullptr);
  // Ends the thread and closes the pseudo-terminal. Safe to call twice.
  void Stop();
  [[nodiscard]] const std::string& SlavePath() const { return slavePath_; }
  // Makes `path` a symbolic link to the pseudo-terminal (e.g. "<program directory>/COM1"), replacing
  // an older link but nothing else; the link is removed by Stop().
  bool LinkAs(const std::string& path, std::string* error = nullptr);
  // Set once the line was closed by a hang-up fault (the thread has ended).
  [[nodiscard]] bool HungUp() const { return hungUp_.load(); }
  // Returns after a hang-up, or false after the timeout.
  bool WaitHangUp(std::chrono::milliseconds timeout) const;

  // Every command line received so far, with its arrival time.
  [[nodiscard]] std::vector<ReceivedCommand> Received() const;
  // Also append each received command to this file ("<seconds> <command>").
  bool SetLogFile(const std::string& path, std::string* error = nullptr);
  void SetFaults(Faults faults);
  // Runs f on the engine under the server's lock (state, ExpectedDump, ...).
  template <typename F> auto WithInstrument(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(instrument_);
  }

private:
  void Run();
  bool WritePieces(const Output& out);
  bool WaitStop(int timeoutMs) const; // true when a stop was requested

  mutable std::mutex mutex_;
  Instrument instrument_;
  std::vector<ReceivedCommand> received_;
  std::ofstream log_;
  std::string partialCommand_;
  UniqueFd master_, slave_, stop_;
  std::string slavePath_;
  std::string linkPath_;
  std::thread thread_;
  std::atomic<bool> hungUp_{false};
  std::chrono::steady_clock::time_point started_;
};

} // namespace sim
