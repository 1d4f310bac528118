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

// The pointers of a state: rain write/read/hist, temperature write/read/hist.
struct Pointers {
  int wR, rR, hR, wT, rT, hT;
};

// Every page of both memories written (rain pages full of tips, temperature pages of
// `tempSamples` samples), with the pointers where `p` puts them: any page the pointers name can be
// downloaded.
sim::InstrumentState MakePointerState(const Pointers& p, int tempSamples = 2);

// Faults set by `set` on a default set (designated initializers would have to name every field).
template <typename Set> sim::Faults Faults(Set&& set) {
  sim::Faults f;
  set(f);
  return f;
}

} // namespace nimbrel::test
