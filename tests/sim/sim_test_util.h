#pragma once

#include "sim/instrument.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace sim::test {

// The host clock of the tests: 2026/03/01 12:00:00 when an instrument is made, then moved by the test.
inline const std::int64_t kHostStart = SecondsSince2000(CivilTime{2026, 3, 1, 12, 0, 0});
inline std::int64_t& FakeHostNow() {
  static std::int64_t now = kHostStart;
  return now;
}

inline Instrument MakeInstrument(InstrumentState state) {
  FakeHostNow() = kHostStart;
  return Instrument(std::move(state), [] { return FakeHostNow(); });
}

inline InstrumentState Generated(std::uint64_t seed, int days, int unit = 0, int rainStart = 0, int tempStart = 1453) {
  const GeneratorOptions g{
      seed,      days,     SecondsSince2000(CivilTime{2026, 1, 1, 0, 0, 0}), unit, unit == 1 ? 0.00787 : 0.2,
      rainStart, tempStart};
  return MakeInstrumentState(g, Settings{}, kHostStart);
}

// The reply split at "\r\n"; a missing final "\r\n" leaves a last piece marked with a trailing "<cut>".
inline std::vector<std::string> ReplyLines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0, end = 0; pos < bytes.size(); pos = end + 2) {
    end = bytes.find("\r\n", pos);
    lines.push_back(end == std::string::npos ? bytes.substr(pos) + "<cut>" : bytes.substr(pos, end - pos));
    if (end == std::string::npos) {
      break;
    }
  }
  return lines;
}

inline std::vector<std::string> Ask(Instrument& instrument, const std::string& command) {
  return ReplyLines(instrument.Receive(command + "\r").Bytes());
}

inline std::string One(Instrument& instrument, const std::string& command) {
  const auto lines = Ask(instrument, command);
  return lines.size() == 1 ? lines[0] : "<" + std::to_string(lines.size()) + " lines>";
}

// The program's side of the line: a raw, non-blocking open of the device or link.
class Client {
public:
  explicit Client(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~Client() { ::close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  bool Send(const std::string& text) { return ::write(fd_, text.data(), text.size()) == std::ssize(text); }
  // Reads until `lines` line feeds or `maxBytes` bytes arrived, the line hung up, or nothing came
  // for 5 s (a failing instrument must not hang the test).
  std::string Read(int lines, std::size_t maxBytes = std::string::npos) {
    std::string got;
    for (pollfd pfd{fd_, POLLIN, 0}; lines > 0 && got.size() < maxBytes && ::poll(&pfd, 1, 5000) > 0;) {
      char c = 0;
      const ssize_t n = (pfd.revents & POLLIN) != 0 ? ::read(fd_, &c, 1) : 0;
      if (n <= 0) {
        hungUp_ = n == 0 || errno == EIO;
        break;
      }
      got += c;
      lines -= c == '\n' ? 1 : 0;
    }
    return got;
  }
  [[nodiscard]] bool HungUp() const { return hungUp_; }

private:
  int fd_;
  bool hungUp_ = false;
};

} // namespace sim::test
