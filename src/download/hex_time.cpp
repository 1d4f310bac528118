#include "download/hex_time.h"

namespace nimbrel {

int HexDigitValue(char c) {
  const int code = static_cast<unsigned char>(c);
  if (c >= '0' && c <= '9') {
    return code - '0';
  }
  return code - 55;
}

std::uint8_t HexByte(char high, char low) {
  const auto hi = static_cast<unsigned>(HexDigitValue(high)) & 0xFU;
  const auto lo = static_cast<unsigned>(HexDigitValue(low)) & 0xFU;
  return static_cast<std::uint8_t>((hi << 4U) | lo);
}

std::uint16_t HexWord(std::string_view text) {
  return static_cast<std::uint16_t>(HexByte(text[0], text[1]) * 256U + HexByte(text[2], text[3]));
}

CInstrTime SplitInstrTime(std::uint32_t seconds) {
  CInstrTime t;
  const std::uint32_t days = seconds / 86400U;
  std::uint32_t rest = seconds % 86400U;
  t.hour = static_cast<int>(rest / 3600U);
  rest %= 3600U;
  t.minute = static_cast<int>(rest / 60U);
  t.second = static_cast<int>(rest % 60U);
  // Days since 2000-01-01 to a civil date (Howard Hinnant's days-to-civil, shifted to a March year).
  const std::int64_t z = static_cast<std::int64_t>(days) + 730425; // days since 0000-03-01
  const std::int64_t era = z / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  t.year = static_cast<int>(y);
  t.month = static_cast<int>(m);
  t.day = static_cast<int>(d);
  return t;
}

} // namespace nimbrel
