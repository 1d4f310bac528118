#pragma once

#include "sim/instrument.h"

namespace nimbrel::test {

// The pointers of a state: rain write/read/hist, temperature write/read/hist. By default rain pages
// 11, 12 and temperature pages 1459, 1460 are new.
struct Pointers {
  int wR = 12, rR = 10, hR = 3, wT = 1460, rT = 1458, hT = 1455;
};

// Every page of both memories written (rain pages full of tips, temperature pages of
// `tempSamples` samples), with the pointers where `p` puts them: any page the pointers name can be
// downloaded.
sim::InstrumentState MakePointerState(const Pointers& p = {}, const sim::Settings& settings = {}, int tempSamples = 2);

// Faults set by `set` on a default set (designated initializers would have to name every field).
template <typename Set> sim::Faults Faults(Set&& set) {
  sim::Faults f;
  set(f);
  return f;
}

} // namespace nimbrel::test
