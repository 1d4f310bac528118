#include "base/numbers.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace nimbrel {

namespace {
bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
} // namespace

int LeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr long long kMax = std::numeric_limits<int>::max();
  constexpr long long kLimit = kMax + 1; // the magnitude of the smallest int
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) {
      value = kLimit;
    }
  }
  if (negative) {
    return static_cast<int>(-value);
  }
  return static_cast<int>(value > kMax ? kMax : value);
}

double LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) {
    ++i;
  }
  if (i < text.size() && text[i] == '+') {
    ++i;
    if (i < text.size() && text[i] == '-') {
      return 0.0;
    }
  }
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  // The common sample "-12.34": digits and at most one point, read exactly (an integer below 2^53
  // divided by an exact power of ten rounds once, as the full conversion does).
  {
    const char* p = first;
    const bool negative = p < last && *p == '-';
    p += negative ? 1 : 0;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = -1;
    for (; p < last; ++p) {
      if (*p >= '0' && *p <= '9') {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        ++digits;
        decimals += decimals >= 0 ? 1 : 0;
      } else if (*p == '.' && decimals < 0) {
        decimals = 0;
      } else {
        break;
      }
    }
    const bool plain = p == last || (*p != 'e' && *p != 'E' && *p != 'x' && *p != 'X' && *p != 'n' && *p != 'N' &&
                                     *p != 'i' && *p != 'I' && *p != 'p' && *p != 'P');
    if (digits > 0 && digits <= 15 && plain) {
      constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
      const double v = static_cast<double>(mantissa) / kPowers[decimals < 0 ? 0 : decimals];
      return negative ? -v : v;
    }
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec == std::errc::result_out_of_range) {
    // Too large (or too small) for a double: what atof gives, a signed infinity or zero.
    const bool negative = first < last && *first == '-';
    const std::string_view digits(first, static_cast<std::size_t>(ptr - first));
    if (digits.find("e-") != std::string_view::npos || digits.find("E-") != std::string_view::npos) {
      return 0.0;
    }
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  }
  if (ec != std::errc()) {
    return 0.0;
  }
  return value;
}

} // namespace nimbrel
