#include "support/instrument_memory.h"

#include <tuple>

namespace nimbrel::test {

sim::InstrumentState MakePointerState(const Pointers& p, const sim::Settings& settings, int tempSamples) {
  sim::InstrumentState state;
  state.settings = settings;
  const std::int64_t t0 = sim::SecondsSince2000(sim::CivilTime{2026, 1, 10, 6, 0, 0});
  for (int page = 0; page < sim::Memory::kRainPages; ++page) {
    std::vector<std::string>& lines = state.memory.rain.pages[static_cast<std::size_t>(page)];
    lines = {"Z0"};
    for (int i = 1; i < sim::PageRing::kLinesPerPage; ++i) {
      lines.push_back(
          sim::HexStamp(static_cast<std::uint32_t>(t0 + std::int64_t{page} * 6400 + std::int64_t{i} * 100)));
    }
  }
  for (int page = 0; page < sim::Memory::kTempPages; ++page) {
    std::vector<std::string>& lines = state.memory.temp.pages[static_cast<std::size_t>(page)];
    const std::int64_t start = t0 + static_cast<std::int64_t>(page) * 3600;
    lines = {sim::HexStamp(static_cast<std::uint32_t>(start))};
    for (int i = 0; i < tempSamples; ++i) {
      lines.push_back(sim::TemperatureLine(sim::ClimateTemperature(start + std::int64_t{i} * 900)));
    }
  }
  sim::PageRing& rain = state.memory.rain;
  sim::PageRing& temp = state.memory.temp;
  rain.sealed = temp.sealed = true;
  std::tie(rain.write, rain.read, rain.hist, temp.write, temp.read, temp.hist) =
      std::tie(p.wR, p.rR, p.hR, p.wT, p.rT, p.hT);
  return state;
}

} // namespace nimbrel::test
