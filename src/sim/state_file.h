#pragma once

// The simulator's memory between runs: settings, the clock offset, the counters, the pointers and
// every written page, in a line-oriented text file of its own ("key value", pages as
// "page N|line|line|...").

#include "sim/instrument.h"

#include <string>

namespace sim {

std::string SaveStateText(const InstrumentState& state);
// false with a reason in *error when the text is not a state file or is damaged.
bool LoadStateText(const std::string& text, InstrumentState& state, std::string* error);

bool SaveStateFile(const std::string& path, const InstrumentState& state, std::string* error);
bool LoadStateFile(const std::string& path, InstrumentState& state, std::string* error);

} // namespace sim
