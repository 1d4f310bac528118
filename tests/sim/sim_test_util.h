#pragma once

#include "sim/instrument.h"

#include <gtest/gtest.h>

#include <string>
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

inline InstrumentState Generated(std::uint64_t seed, int days, int unit = 0, int rainStartPage = 0,
                                 int tempStartPage = 1453) {
  GeneratorOptions g;
  g.seed = seed;
  g.days = days;
  g.unit = unit;
  g.tipValue = unit == 1 ? 0.00787 : 0.2;
  g.rainStartPage = rainStartPage;
  g.tempStartPage = tempStartPage;
  g.start = SecondsSince2000(CivilTime{2026, 1, 1, 0, 0, 0});
  return MakeInstrumentState(g, Settings{}, kHostStart);
}

// The reply split at "\r\n"; a missing final "\r\n" leaves a last piece marked with a trailing "<cut>".
inline std::vector<std::string> ReplyLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const auto end = bytes.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(pos) + "<cut>");
      break;
    }
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
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

} // namespace sim::test
