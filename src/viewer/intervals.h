#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace nimbrel {

class IPrompts;

// The 23 group intervals of the "GROUP INTERVAL" list; a month counts 30 days and a year 360.
struct CInterval {
  const char* text;
  int seconds;
};
inline constexpr std::array<CInterval, 23> kIntervals{{
    {"1 sec", 1},          {"5 sec", 5},          {"10 sec", 10},       {"30 sec", 30},       {"1 min", 60},
    {"5 min", 300},        {"15 min", 900},       {"30 min", 1800},     {"1 hour", 3600},     {"2 hour", 7200},
    {"4 hour", 14400},     {"8 hour", 28800},     {"12 hour", 43200},   {"1 day", 86400},     {"2 day", 172800},
    {"7 day", 604800},     {"14 day", 1209600},   {"1 month", 2592000}, {"2 month", 5184000}, {"3 month", 7776000},
    {"4 month", 10368000}, {"6 month", 15552000}, {"1 year", 31104000},
}};

inline constexpr int kOneDay = 86400;

// List position to seconds; nullopt outside 0..22.
std::optional<int> IntervalAt(int position);
// Seconds to list position; nullopt when the value is not one of the 23 intervals.
std::optional<int> PositionOf(int seconds);
// "900" or "15 min" (the list text, exactly) to seconds; nullopt for anything else.
std::optional<int> ParseInterval(std::string_view text);

// The interval a data file opens with, by its size in bytes: up to 10000 bytes 1 min, up to 100000
// bytes 1 hour, above that 1 day (a file of exactly 100000 bytes opens by the hour).
int DefaultInterval(std::uintmax_t fileBytes);

inline constexpr const char* kExpandQuestion =
    "Expand interval will take a lot of resource.\nDo you want to continue ?";
inline constexpr std::uint64_t kExpandRowLimit = 100000;

// True when going from `current` to the shorter `next` would make more than 100000 rows
// (rows x current / next, in exact integer arithmetic).
bool ExpandNeedsQuestion(std::size_t rows, int current, int next);

// The interval change decision: asks the question when it applies and returns whether to regroup.
bool ConfirmIntervalChange(std::size_t rows, int current, int next, IPrompts& prompts);

} // namespace nimbrel
