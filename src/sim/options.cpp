#include "sim/options.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

bool ToInt(const std::string& text, long long low, long long high, long long& out) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) {
    return false;
  }
  out = value;
  return true;
}

// "CODE" or "CODE:COUNT".
bool SplitCount(const std::string& text, std::string& key, int& count, int defaultCount) {
  const auto colon = text.find(':');
  key = text.substr(0, colon);
  count = defaultCount;
  if (colon == std::string::npos) {
    return !key.empty();
  }
  long long n = 0;
  if (!ToInt(text.substr(colon + 1), -1, 1000000, n)) {
    return false;
  }
  count = static_cast<int>(n);
  return !key.empty();
}

bool IsCommandCode(const std::string& code) {
  return code == "*" || (code.size() == 2 && code[0] >= 'A' && code[0] <= 'Z' &&
                         ((code[1] >= 'A' && code[1] <= 'Z') || (code[1] >= '0' && code[1] <= '9')));
}

} // namespace

std::string UnescapeBytes(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char c = text[i + 1];
      if (c == 'x' && i + 3 < text.size()) {
        out += static_cast<char>(std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16));
        i += 3;
        continue;
      }
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == '0' ? '\0' : c;
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

std::optional<ProgramOptions> ParseArguments(const std::vector<std::string>& args, std::string* error) {
  ProgramOptions o;
  bool resolutionGiven = false;
  auto fail = [error](const std::string& why) -> std::optional<ProgramOptions> {
    if (error != nullptr) {
      *error = why;
    }
    return std::nullopt;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool flag =
        a == "--old-data" || a == "--summary" || a == "--help" || a == "-h" || a == "--pace" || a == "--live";
    if (!flag && i + 1 >= args.size()) {
      return fail(a.rfind("--", 0) == 0 ? "option " + a + " needs a value" : "unexpected argument " + a);
    }
    const std::string v = flag ? std::string() : args[i + 1];
    if (!flag) {
      ++i;
    }
    long long n = 0;
    std::string key;
    if (a == "--days" || a == "--seed" || a == "--start" || a == "--unit" || a == "--resolution" || a == "--serial" ||
        a == "--battery") {
      o.memoryOptionsGiven = true;
    }
    int count = 0;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--old-data") {
      o.oldData = true;
    } else if (a == "--summary") {
      o.summary = true;
    } else if (a == "--live") {
      o.live = true;
    } else if (a == "--pace") {
      o.faults.pace9600 = true;
    } else if (a == "--link") {
      o.link = v;
    } else if (a == "--state") {
      o.stateFile = v;
    } else if (a == "--log") {
      o.logFile = v;
    } else if (a == "--expect") {
      o.expectFile = v;
    } else if (a == "--days") {
      if (!ToInt(v, 0, 3650, n)) {
        return fail("--days takes a whole number of days from 0 to 3650");
      }
      o.generator.days = static_cast<int>(n);
    } else if (a == "--seed") {
      if (!ToInt(v, 0, 0x7fffffffffffffffLL, n)) {
        return fail("--seed takes a whole number");
      }
      o.generator.seed = static_cast<std::uint64_t>(n);
    } else if (a == "--start") {
      const auto when = ParseDateTime(v, true);
      if (!when) {
        return fail("--start takes a date YYYY-MM-DD or \"YYYY-MM-DD HH:MM:SS\" from 2000 on");
      }
      o.generator.start = *when;
      o.startGiven = true;
    } else if (a == "--unit") {
      if (!ToInt(v, 0, 1, n)) {
        return fail("--unit takes 0 (mm and degrees C) or 1 (inch and degrees F)");
      }
      o.generator.unit = static_cast<int>(n);
    } else if (a == "--resolution") {
      char* end = nullptr;
      o.generator.tipValue = std::strtod(v.c_str(), &end);
      if (v.empty() || *end != '\0') {
        return fail("--resolution takes a decimal number, e.g. 0.2");
      }
      resolutionGiven = true;
    } else if (a == "--serial") {
      if (v.size() > 8) {
        return fail("--serial takes at most 8 characters");
      }
      o.settings.serial = v;
    } else if (a == "--battery") {
      if (!ToInt(v, 0, 2, n)) {
        return fail("--battery takes 2 (normal), 1 (low) or 0 (very low)");
      }
      o.settings.battery = static_cast<int>(n);
    } else if (a == "--refuse" || a == "--wrong-state" || a == "--silent") {
      if (!SplitCount(v, key, count, a == "--refuse" ? -1 : 1) || !IsCommandCode(key)) {
        return fail(a + " takes a command code and an optional count, e.g. KR or AS:2");
      }
      (a == "--refuse" ? o.faults.refuse : a == "--silent" ? o.faults.silent : o.faults.wrongState)[key] = count;
    } else if (a == "--refuse-page") {
      if (!SplitCount(v, key, count, -1) || !ToInt(key, 0, 2000, n)) {
        return fail("--refuse-page takes a page 0..2000 and an optional count, e.g. 1460:1");
      }
      o.faults.refusePage[static_cast<int>(n)] = count;
    } else if (a == "--silent-in-page") {
      if (!SplitCount(v, key, count, 1) || !ToInt(key, 0, 1000, n)) {
        return fail("--silent-in-page takes a line count and an optional number of pages, e.g. 10:1");
      }
      o.faults.silentInPageAfterLines = static_cast<int>(n);
      o.faults.silentInPageTimes = count;
    } else if (a == "--silent-after") {
      if (!ToInt(v, 0, 100000000, n)) {
        return fail("--silent-after takes a number of commands");
      }
      o.faults.silentAfterCommands = static_cast<int>(n);
    } else if (a == "--split") {
      long long delay = 0;
      const auto colon = v.find(':');
      if (colon == std::string::npos || !ToInt(v.substr(0, colon), 1, 100000, n) ||
          !ToInt(v.substr(colon + 1), 0, 60000, delay)) {
        return fail("--split takes BYTES:MILLISECONDS, e.g. 3:20");
      }
      o.faults.splitBytes = static_cast<int>(n);
      o.faults.splitDelayMs = static_cast<int>(delay);
    } else if (a == "--garbage") {
      o.faults.garbage = UnescapeBytes(v);
      if (o.faults.garbageEvery == 0) {
        o.faults.garbageEvery = 1;
      }
    } else if (a == "--garbage-every") {
      if (!ToInt(v, 1, 1000000, n)) {
        return fail("--garbage-every takes a number of commands");
      }
      o.faults.garbageEvery = static_cast<int>(n);
    } else if (a == "--hangup-after-pages") {
      if (!ToInt(v, 0, 100000, n)) {
        return fail("--hangup-after-pages takes a number of pages");
      }
      o.faults.hangUpAfterPages = static_cast<int>(n);
    } else {
      return fail("unknown option " + a);
    }
  }
  if (!resolutionGiven) {
    o.generator.tipValue = o.generator.unit == 1 ? 0.00787 : 0.2;
  }
  const bool inch = o.generator.unit == 1;
  if (o.generator.tipValue < (inch ? 0.002 : 0.05) || o.generator.tipValue > (inch ? 0.0629 : 1.599)) {
    return fail(inch ? "--resolution in inch must lie in 0.002..0.0629" : "--resolution in mm must lie in 0.05..1.599");
  }
  if (o.oldData && o.expectFile.empty()) {
    return fail("--old-data goes with --expect FILE");
  }
  return o;
}

std::string HelpText() {
  return R"(tbr4470-sim: a simulated TBR4470 rain gauge on a pseudo-terminal.

Usage: tbr4470-sim [options]

Serving (runs until SIGINT or SIGTERM):
  --link PATH            make PATH a symbolic link to the pseudo-terminal, removed on exit
                         e.g. --link ./COM1 (the program's COM1 in its program directory)
  --log FILE             write every received command with its time in seconds since the start
                         e.g. --log commands.log
  --state FILE           keep memory, pointers, settings, clock and counters in FILE between runs:
                         loaded at start when it exists (the memory options below are then
                         ignored), written when the simulator ends
                         e.g. --state tbr4470.state
  --live                 keep logging: a temperature sample every 900 s of the instrument clock
                         (by default the memory stays as generated, for repeatable downloads)

Memory and settings of a new instrument:
  --days N               days of weather in memory (default 7; about 365 fill the rain memory)
                         e.g. --days 30
  --seed N               seed of the weather (default 1)          e.g. --seed 42
  --start DATE           first sample, "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS"; the clock then
                         stands at the end of the data (default: the data end now)
                         e.g. --start 2026-03-01
  --unit 0|1             0 mm and degrees C, 1 inch and degrees F (default 0)   e.g. --unit 1
  --resolution X         water per tip in the unit (mm 0.05..1.599, default 0.2;
                         inch 0.002..0.0629, default 0.00787)      e.g. --resolution 0.254
  --serial S             serial number, at most 8 characters (default 12345678)
                         e.g. --serial 06010042
  --battery 2|1|0        battery answer: 2 normal, 1 low, 0 very low (default 2)
                         e.g. --battery 1

Oracle and summary (no serving):
  --expect FILE          write the .rlg file a complete download of the new data produces
                         e.g. --expect expected.rlg
  --old-data             with --expect: the download of the old data instead
                         e.g. --expect old.rlg --old-data
  --summary              print the last week in memory: tips, rain and temperature per day

Faults of a real line (CODE is a two-letter command such as KR, or * for any):
  --refuse CODE[:N]      answer "?" to CODE (N times, default always)   e.g. --refuse AS:2
  --refuse-page P[:N]    answer "?" to the page request of page P      e.g. --refuse-page 1460
  --wrong-state CODE[:N] answer "#" N times (default 1)                 e.g. --wrong-state RQ:3
  --silent CODE[:N]      leave CODE unanswered N times (default 1)      e.g. --silent AA
  --silent-in-page L[:N] stop a page reply after L lines, for N pages (default 1)
                         e.g. --silent-in-page 10
  --silent-after N       answer nothing from the (N+1)-th command on    e.g. --silent-after 20
  --split B:MS           send replies in pieces of B bytes, MS ms apart  e.g. --split 3:20
  --garbage BYTES        send BYTES (\xHH escapes allowed) before replies  e.g. --garbage '\x00\xff'
  --garbage-every N      ...before the reply of every N-th command (default 1)
                         e.g. --garbage-every 5
  --pace                 pace bytes like a 9600-baud line (about 1 ms per byte)
  --hangup-after-pages N close the line after N page replies          e.g. --hangup-after-pages 3

  --help                 this text
)";
}

std::string SummaryText(const InstrumentState& state) {
  const auto days = Summarise(state.memory);
  const bool inch = state.settings.unit == 1;
  std::string out = inch ? "Day          Tips   Rain in   Tmin F   Tmax F  Samples  Faulty\n"
                         : "Day          Tips   Rain mm   Tmin C   Tmax C  Samples  Faulty\n";
  const std::size_t first = days.size() > 7 ? days.size() - 7 : 0;
  for (std::size_t i = first; i < days.size(); ++i) {
    const DaySummary& d = days[i];
    std::array<char, 160> line{};
    std::snprintf(line.data(), line.size(), "%s %6d %9.2f %8.1f %8.1f %8d %7d\n",
                  FormatDateTime(d.day).substr(0, 10).c_str(), d.tips, d.tips * state.settings.tipValue, d.tempMin,
                  d.tempMax, d.samples, d.faultySamples);
    out += line.data();
  }
  return out;
}

} // namespace sim
