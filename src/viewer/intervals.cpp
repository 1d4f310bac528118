#include "viewer/intervals.h"

#include "base/prompts.h"

#include <charconv>

namespace nimbrel {

std::optional<int> IntervalAt(int position) {
  if (position < 0 || position >= static_cast<int>(kIntervals.size())) {
    return std::nullopt;
  }
  return kIntervals[static_cast<std::size_t>(position)].seconds;
}

std::optional<int> PositionOf(int seconds) {
  for (std::size_t i = 0; i < kIntervals.size(); ++i) {
    if (kIntervals[i].seconds == seconds) {
      return static_cast<int>(i);
    }
  }
  return std::nullopt;
}

std::optional<int> ParseInterval(std::string_view text) {
  for (const CInterval& i : kIntervals) {
    if (text == i.text) {
      return i.seconds;
    }
  }
  int seconds = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (ec != std::errc() || ptr != text.data() + text.size() || !PositionOf(seconds)) {
    return std::nullopt;
  }
  return seconds;
}

int DefaultInterval(std::uintmax_t fileBytes) {
  if (fileBytes > 100000) {
    return kOneDay;
  }
  if (fileBytes > 10000) {
    return 3600;
  }
  return 60;
}

bool ExpandNeedsQuestion(std::size_t rows, int current, int next) {
  if (next <= 0 || current <= 0 || next >= current) {
    return false;
  }
  // rows x current / next > limit  <=>  rows x current > limit x next, in 128 bits so no row count overflows.
  const auto r = static_cast<unsigned __int128>(rows);
  return r * static_cast<unsigned>(current) >
         static_cast<unsigned __int128>(kExpandRowLimit) * static_cast<unsigned>(next);
}

bool ConfirmIntervalChange(std::size_t rows, int current, int next, IPrompts& prompts) {
  if (!ExpandNeedsQuestion(rows, current, next)) {
    return true;
  }
  return prompts.Question(kExpandQuestion, Buttons::YesNo, Icon::Exclamation, Answer::No) == Answer::Yes;
}

} // namespace nimbrel
