#pragma once

#include "sim/instrument.h"

namespace nimbrel::test {

// A memory written by hand: each ring starts empty on `start` (write = read = hist) and takes the
// records; a rain page holds 64 tips, a temperature page 64 samples, so the page counts are exact.
struct MemoryShape {
  int rainStart = 10;
  int rainRecords = 150; // pages 11, 12, 13
  int tempStart = 1460;
  int tempSamples = 100; // pages 1461, 1462
};
sim::InstrumentState MakeState(const MemoryShape& shape, const sim::Settings& settings = {});

// The pointers of a state, set by hand: rain write/read/hist, temperature write/read/hist.
struct Pointers {
  int wR, rR, hR, wT, rT, hT;
};
void SetPointers(sim::InstrumentState& state, const Pointers& p);

} // namespace nimbrel::test
