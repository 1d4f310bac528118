#pragma once

// tbr4470_sim: a simulated TBR4470 rain gauge, Qt-free and independent of the desktop program.
//
//   sim::GeneratorOptions g; g.seed = 7; g.days = 30;          // weather from a seed and a start
//   g.start = *sim::ParseDateTime("2026/03/01 00:00:00");
//   sim::InstrumentState s = sim::MakeInstrumentState(g);       // settings + generated memory
//   sim::Instrument instr(std::move(s), clock);                 // the engine: bytes in, replies out
//   sim::Output out = instr.Receive("AA\r");                    // out.Bytes() == "TBR4470 Rain Gauge\r\n"
//   std::optional<std::string> rlg = instr.ExpectedDump(false); // the file a new-data download writes
//                                    instr.ExpectedDump(true);  // ... an old-data download
//
//   sim::PtyServer server(std::move(instr));                    // the engine on a pseudo-terminal
//   server.Start(); server.SlavePath(); server.SetFaults(f);    // (pty_server.h)
//   server.Received(); server.WithInstrument(fn); server.Stop();
//
// sim::Faults make the instrument misbehave like a real line: refusals, "#" answers, silence, split
// and paced lines, garbage bytes and a hang-up. SetLive(true) keeps it logging. State files:
// state_file.h; the program's options: options.h.
//
// The instrument's own rules:
// - Every reply line ends "\r\n". Commands end at CR (LF ignored); unknown commands, wrong or
//   missing parameters, pages outside their memory, bytes outside printable ASCII and lines over
//   64 characters get "?". "K6" not directly after "K5" gets "#". Writes answer "OK".
// - A rain page is 65 lines: the opening mark "Z0" the logger writes when it opens a page (the
//   reader skips the first page line of a file, and a mark costs it nothing), then 64 records:
//   tip time stamps, "Z1" where the logger restarted after a stop, "Z0" where the counters were
//   cleared at a service visit, "FFFFFFFF" for records not yet written. An erased page is 65 x
//   "FFFFFFFF".
// - A temperature page is "NUM T MEAS: n" then n + 1 lines: the time stamp of the page's first
//   sample, then n records: samples " 12.5" / " ERR" / " OFL" / " UFL" 900 s apart, "Z1" followed by
//   a new time stamp after a stop, "Z0" marks. A page never written is refused with "?" (a count
//   of 0 would leave the program waiting).
// - Pointers: pages (hist, write] are held, (read, write] are new. "WN"/"WW" set the read pointer
//   to a held page (else "?"), clear that memory's overrun flag and close the page being written,
//   so later records start a new page. Writing past the history pointer drops the oldest page
//   and, when that page was unread, raises the overrun flag ("RQ": "00".."03").

#include "sim/memory.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Settings {
  std::string instrumentType = "TBR4470 Rain Gauge";
  std::string serial = "12345678";
  std::string firmwareVersion = "V2.14";
  std::string firmwareDate = "2006/01/14";
  double tipValue = 0.2; // in the unit in force: mm of water (unit 0) or inch (unit 1)
  int unit = 0;          // 0 mm and degrees C, 1 inch and degrees F
  int contactType = 0;   // 0 normally closed, 1 normally open
  int alertMode = 0;     // 0 disabled, 1 enabled
  int battery = 2;       // 2 normal, 1 low, 0 very low
};

struct InstrumentState {
  Settings settings;
  Memory memory;
  std::int64_t clockOffset = 0; // instrument clock minus host local clock, seconds
  std::uint64_t partialCounter = 0;
  std::uint64_t totalCounter = 0;
};

// Misbehaviour on request. Counts are "how many more times"; -1 means always.
struct Faults {
  std::map<std::string, int> refuse;     // command code ("KR", "AS", ...) -> "?" answers
  std::map<int, int> refusePage;         // page number (rain or temperature) -> "?" answers
  std::map<std::string, int> wrongState; // command code, or "*" for any -> "#" answers
  std::map<std::string, int> silent;     // command code, or "*" -> commands left unanswered
  int silentInPageAfterLines = -1;       // a page reply stops after this many lines...
  int silentInPageTimes = 1;             // ...for this many page requests
  int silentAfterCommands = -1;          // after this many commands the instrument says nothing
  int splitBytes = 0;                    // > 0: replies go out in pieces of at most this size...
  int splitDelayMs = 0;                  // ...with this pause before each further piece
  std::string garbage;                   // bytes sent before a reply...
  int garbageEvery = 0;                  // ...of every n-th command (0: never)
  bool pace9600 = false;                 // about 1 ms per byte, like a 9600-baud line
  int hangUpAfterPages = -1;             // close the line after this many page replies
};

// One piece of what the instrument sends, after a pause.
struct Piece {
  int delayUs = 0;
  std::string bytes;
};

struct Output {
  std::vector<Piece> pieces;
  bool hangUp = false; // close the line after sending the pieces
  [[nodiscard]] std::string Bytes() const;
};

struct GeneratorOptions {
  std::uint64_t seed = 1;
  int days = 7;
  std::int64_t start = 0; // seconds since 2000 of the first sample
  int unit = 0;
  double tipValue = 0.2;
  int rainStartPage = Memory::kRainFirst; // pointers of the memory before logging began
  int tempStartPage = Memory::kTempFirst;
};

// Fills a freshly erased memory with weather from opts.start for opts.days days.
class MemoryGenerator {
public:
  static void Fill(Memory& memory, const GeneratorOptions& opts, std::uint64_t* totalTips = nullptr,
                   std::uint64_t* partialTips = nullptr);
};

// Mean temperature in degrees C at an instrument time: seasonal and daily cycle (dailySwing is
// half the day's range), and the sample line " 12.5" the logger writes for a value.
double ClimateTemperature(std::int64_t t, double dailySwing = 5.0);
double CelsiusToFahrenheit(double celsius);
std::string TemperatureLine(double value);

// Settings from the options and a generated memory; the clock runs from the end of the data.
InstrumentState MakeInstrumentState(const GeneratorOptions& opts, const Settings& base = {}, std::int64_t hostNow = -1);

// Host local time as seconds since 2000 (the instrument's clock runs on it plus an offset).
std::int64_t HostLocalNow();

class Instrument {
public:
  using Clock = std::function<std::int64_t()>; // host local time, seconds since 2000

  explicit Instrument(InstrumentState state, Clock clock = HostLocalNow);

  // Bytes from the line; returns what the instrument sends back. Commands end at CR; LF is
  // ignored; a partial command is kept for the next call.
  Output Receive(const std::string& bytes);

  void SetFaults(Faults faults) { faults_ = std::move(faults); }
  // Live logging: the instrument keeps writing a temperature sample every 900 s of its clock (checked
  // whenever a command arrives), and setting its clock restarts the time base with "Z1" and a time
  // stamp. Off by default, so that a memory stays as generated while a test downloads it.
  void SetLive(bool live) { live_ = live; }
  [[nodiscard]] const Faults& GetFaults() const { return faults_; }
  [[nodiscard]] const InstrumentState& State() const { return state_; }
  InstrumentState& MutableState() { return state_; }
  [[nodiscard]] std::int64_t Now() const { return clock_() + state_.clockOffset; }
  [[nodiscard]] int PagesSent() const { return pagesSent_; }

  // The .rlg file a complete download writes: new data (oldData false) or the old data the
  // program offers when there is no new rain. nullopt when that download does not happen
  // (empty memory; new data without any new page; old data while new rain is waiting).
  [[nodiscard]] std::optional<std::string> ExpectedDump(bool oldData) const;

private:
  std::vector<std::string> Execute(const std::string& command);
  void CatchUp();
  void ApplyFaults(const std::string& code, int page, std::vector<std::string>& lines, Output& out);

  InstrumentState state_;
  Clock clock_;
  Faults faults_;
  std::string pending_;
  bool discarding_ = false;
  bool eraseArmed_ = false;
  int commandsSeen_ = 0;
  int pagesSent_ = 0;
  bool live_ = false;
  std::optional<std::int64_t> nextSample_;
};

// Days of data with tips and temperature extremes, decoded from the memory (most recent last).
struct DaySummary {
  std::int64_t day = 0; // seconds since 2000 of the day's midnight
  int tips = 0;
  int samples = 0;
  double tempMin = 0, tempMax = 0;
  int faultySamples = 0; // "ERR", "OFL", "UFL"
};
std::vector<DaySummary> Summarise(const Memory& memory);

} // namespace sim
