#pragma once

// Command line of tbr4470-sim.

#include "sim/instrument.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct ProgramOptions {
  std::string link;
  std::string stateFile;
  std::string logFile;
  std::string expectFile;
  bool oldData = false;
  bool summary = false;
  bool live = false;
  bool help = false;
  bool startGiven = false;
  bool memoryOptionsGiven = false; // --days, --seed, --start, --unit, --resolution, --serial, --battery
  GeneratorOptions generator;
  Settings settings;
  Faults faults;
};

// nullopt with a message in *error for a bad command line.
std::optional<ProgramOptions> ParseArguments(const std::vector<std::string>& args, std::string* error);
std::string HelpText();
// The one-week table of --summary: the last seven days held in memory.
std::string SummaryText(const InstrumentState& state);
// "\x07" style escapes and plain text to bytes.
std::string UnescapeBytes(const std::string& text);

} // namespace sim
