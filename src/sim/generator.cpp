#include "sim/instrument.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

namespace sim {

namespace {

// Draws from the 64-bit Mersenne Twister, whose output sequence is fixed by the C++ standard, so a
// seed gives the same memory on every platform (the standard distributions are not portable).
class Random {
public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  double Uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; } // [0, 1)
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  double Exponential(double mean) { return -mean * std::log(1.0 - Uniform()); }
  double Normal() {
    const double u1 = 1.0 - Uniform();
    const double u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }
  bool Chance(double p) { return Uniform() < p; }

private:
  std::mt19937_64 engine_;
};

struct Interval {
  std::int64_t from = 0, to = 0;
};

// Tuned so that a year of weather fills about the whole rain memory (1453 pages of 64 records).
constexpr double kMeanStormTips = 370.0;
constexpr double kMeanDryDays = 0.7;
constexpr double kLongDrySpellChance = 0.10;
constexpr double kGapChancePerDay = 1.0 / 25.0;
constexpr double kServiceChancePerDay = 1.0 / 30.0;
constexpr double kFaultySampleChance = 1.0 / 2500.0;
constexpr std::int64_t kSampleInterval = 900;
constexpr std::int64_t kMinTipSpacing = 2; // the bucket needs time to empty

bool Inside(const std::vector<Interval>& spans, std::int64_t t) {
  return std::any_of(spans.begin(), spans.end(), [t](const Interval& s) { return t >= s.from && t < s.to; });
}

double DayOfYear(std::int64_t t) {
  const CivilTime c = CivilFromSeconds(t);
  const std::int64_t jan1 = SecondsSince2000(CivilTime{c.year, 1, 1, 0, 0, 0});
  return static_cast<double>(t - jan1) / 86400.0;
}

} // namespace

double ClimateTemperature(std::int64_t t, double dailySwing) {
  const double seasonal = 12.0 - 10.0 * std::cos(2.0 * std::numbers::pi * (DayOfYear(t) - 20.0) / 365.25);
  const double hourOfDay = static_cast<double>(((t % 86400) + 86400) % 86400) / 3600.0;
  return seasonal + dailySwing * std::cos(2.0 * std::numbers::pi * (hourOfDay - 15.0) / 24.0);
}

double CelsiusToFahrenheit(double celsius) {
  return celsius * 9.0 / 5.0 + 32.0;
}

std::string TemperatureLine(double value) {
  if (std::fabs(value) < 0.05) {
    value = 0.0; // never "-0.0"
  }
  std::array<char, 32> buf{};
  std::snprintf(buf.data(), buf.size(), " %.1f", value);
  return buf.data();
}

void MemoryGenerator::Fill(Memory& memory, const GeneratorOptions& opts, std::uint64_t* totalTips,
                           std::uint64_t* partialTips) {
  Random rng(opts.seed);
  const std::int64_t start = opts.start;
  const std::int64_t end = start + static_cast<std::int64_t>(std::max(opts.days, 0)) * 86400;

  memory.rain.Erase();
  memory.temp.Erase();
  memory.rain.write = memory.rain.read = memory.rain.hist = opts.rainStartPage;
  memory.temp.write = memory.temp.read = memory.temp.hist = opts.tempStartPage;

  // Times the logger was stopped (battery change, service) and service visits.
  std::vector<Interval> gaps;
  std::vector<std::int64_t> visits;
  for (std::int64_t day = start; day < end; day += 86400) {
    if (rng.Chance(kGapChancePerDay)) {
      const auto from = day + static_cast<std::int64_t>(rng.Uniform(0, 86400));
      const auto to = from + static_cast<std::int64_t>(rng.Uniform(3600, 8 * 3600));
      if (to < end && (gaps.empty() || from > gaps.back().to)) {
        gaps.push_back({from, to});
      }
    }
    if (rng.Chance(kServiceChancePerDay)) {
      const auto when = day + static_cast<std::int64_t>(rng.Uniform(0, 86400));
      if (when < end && !Inside(gaps, when)) {
        visits.push_back(when);
      }
    }
  }

  // Storms: a few cells of heavy rain inside each, dry spells between them.
  std::vector<Interval> storms;
  std::vector<std::int64_t> tips;
  for (auto t = start + static_cast<std::int64_t>(rng.Exponential(kMeanDryDays * 86400)); t < end;) {
    const auto duration = static_cast<std::int64_t>(rng.Uniform(2 * 3600, 14 * 3600));
    storms.push_back({t, t + duration});
    const int count = 5 + static_cast<int>(kMeanStormTips * rng.Uniform(0.3, 1.7));
    const int cells = 1 + static_cast<int>(rng.Uniform(0, 5));
    std::vector<std::array<double, 3>> cell; // centre, spread, weight
    double weightSum = 0;
    for (int i = 0; i < cells; ++i) {
      cell.push_back({rng.Uniform(static_cast<double>(t), static_cast<double>(t + duration)), rng.Uniform(600, 3600),
                      rng.Uniform(0.2, 1.0)});
      weightSum += cell.back()[2];
    }
    for (int i = 0; i < count; ++i) {
      double pick = rng.Uniform(0, weightSum);
      std::size_t c = 0;
      while (c + 1 < cell.size() && pick > cell[c][2]) {
        pick -= cell[c][2];
        ++c;
      }
      const double when = cell[c][0] + cell[c][1] * rng.Normal();
      if (when >= static_cast<double>(t) && when < static_cast<double>(t + duration)) {
        tips.push_back(static_cast<std::int64_t>(when));
      }
    }
    t += duration + static_cast<std::int64_t>(rng.Uniform(0.3, 1.7) * kMeanDryDays * 86400);
    if (rng.Chance(kLongDrySpellChance)) {
      t += static_cast<std::int64_t>(rng.Uniform(2, 6) * 86400);
    }
  }
  std::sort(tips.begin(), tips.end());
  for (std::size_t i = 1; i < tips.size(); ++i) {
    tips[i] = std::max(tips[i], tips[i - 1] + kMinTipSpacing);
  }

  // Rain memory: tips, a "Z1" where the logger restarted, a "Z0" at each service visit.
  struct Event {
    std::int64_t t;
    char kind; // 'T' a tip, '1' a restart, '0' a service visit
  };
  std::vector<Event> events;
  std::uint64_t total = 0;
  std::uint64_t partial = 0;
  for (const auto t : tips) {
    if (t >= start && t < end && !Inside(gaps, t)) {
      events.push_back({t, 'T'});
    }
  }
  for (const auto& g : gaps) {
    events.push_back({g.to, '1'});
  }
  for (const auto v : visits) {
    events.push_back({v, '0'});
  }
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.t < b.t; });
  for (const auto& e : events) {
    if (e.kind == 'T') {
      memory.rain.Append(HexStamp(static_cast<std::uint32_t>(e.t)), "Z0");
      ++total;
      ++partial;
    } else {
      memory.rain.Append(e.kind == '0' ? "Z0" : "Z1", "Z0");
      partial = e.kind == '0' ? 0 : partial;
    }
  }

  // Temperature memory: a sample every 900 s with a seasonal and daily cycle, weather drift and
  // cooling under rain.
  double drift = rng.Normal();
  double rainCool = 0;
  double swing = 5.0; // half the day's range: smaller under clouds
  std::size_t visit = 0;
  std::size_t storm = 0;
  for (std::int64_t t = start; t < end;) {
    if (const auto g =
            std::find_if(gaps.begin(), gaps.end(), [t](const Interval& s) { return t >= s.from && t < s.to; });
        g != gaps.end()) {
      t = g->to;
      memory.temp.Append("Z1", HexStamp(static_cast<std::uint32_t>(t)));
      memory.temp.Append(HexStamp(static_cast<std::uint32_t>(t)), HexStamp(static_cast<std::uint32_t>(t)));
      continue;
    }
    const std::string header = HexStamp(static_cast<std::uint32_t>(t));
    for (; visit < visits.size() && visits[visit] <= t; ++visit) {
      memory.temp.Append("Z0", header);
    }
    while (storm < storms.size() && storms[storm].to <= t) {
      ++storm;
    }
    const bool raining = storm < storms.size() && storms[storm].from <= t;
    drift = 0.998 * drift + 0.12 * rng.Normal();
    rainCool = raining ? 0.9 * rainCool - 0.3 : 0.97 * rainCool;
    swing = 0.9 * swing + 0.1 * (raining ? 2.0 : 5.0);
    double value = ClimateTemperature(t, swing) + drift + rainCool;
    if (opts.unit == 1) {
      value = CelsiusToFahrenheit(value);
    }
    const double u = rng.Uniform();
    std::string line = u < kFaultySampleChance       ? " ERR"
                       : u < 2 * kFaultySampleChance ? " OFL"
                       : u < 3 * kFaultySampleChance ? " UFL"
                                                     : TemperatureLine(value);
    memory.temp.Append(line, header);
    t += kSampleInterval;
  }
  if (totalTips != nullptr) {
    *totalTips = total;
  }
  if (partialTips != nullptr) {
    *partialTips = partial;
  }
}

InstrumentState MakeInstrumentState(const GeneratorOptions& opts, const Settings& base, std::int64_t hostNow) {
  InstrumentState state;
  state.settings = base;
  state.settings.unit = opts.unit;
  state.settings.tipValue = opts.tipValue;
  MemoryGenerator::Fill(state.memory, opts, &state.totalCounter, &state.partialCounter);
  if (hostNow < 0) {
    hostNow = HostLocalNow();
  }
  // The logger has been running until now: its clock stands at the end of the data.
  state.clockOffset = opts.start + static_cast<std::int64_t>(opts.days) * 86400 - hostNow;
  return state;
}

} // namespace sim
