#include "data/instr_time.h"

#include <chrono>

namespace nimbrel {

CInstrTime SplitInstrTime(std::uint32_t seconds) {
  using namespace std::chrono;
  constexpr sys_days kEpoch = 2000y / January / 1;
  const sys_days day = kEpoch + days(seconds / 86400U);
  const year_month_day date(day);
  const hh_mm_ss<std::chrono::seconds> clock{std::chrono::seconds(seconds % 86400U)};
  return {static_cast<int>(date.year()),
          static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())),
          static_cast<int>(clock.hours().count()),
          static_cast<int>(clock.minutes().count()),
          static_cast<int>(clock.seconds().count())};
}

} // namespace nimbrel
