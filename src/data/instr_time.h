#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace nimbrel {

// The instrument writes every time stamp as 8 upper-case hexadecimal digits: seconds since
// 2000-01-01 00:00:00 on its own clock (local time, no time zone). The conversion keeps the
// instrument's own arithmetic, so lower-case digits or other characters give a (wrong) time
// instead of an error, exactly as the instrument's records have always been read: '0'..'9' give
// 0..9, any other character its code minus 55, and only the low 4 bits of each digit survive.

namespace detail {
inline constexpr std::array<std::uint8_t, 256> kNibble = [] {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const int v = (c >= '0' && c <= '9') ? c - '0' : c - 55;
    t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFU);
  }
  return t;
}();
} // namespace detail

// The first eight characters of `text` to 32 bits. Missing characters (a line shorter than 8)
// count as NUL, as they would in the instrument's zero-terminated line buffer.
inline std::uint32_t HexTime(std::string_view text) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const auto c = static_cast<unsigned char>(i < text.size() ? text[i] : '\0');
    value = (value << 4U) | detail::kNibble[c];
  }
  return value;
}

// Calendar parts of an instrument time.
struct CInstrTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Splits seconds since 2000-01-01 00:00:00 into a date and a time of day (proleptic Gregorian, no
// time zone, no leap seconds).
CInstrTime SplitInstrTime(std::uint32_t seconds);

} // namespace nimbrel
