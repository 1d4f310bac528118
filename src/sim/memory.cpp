#include "sim/memory.h"

#include <array>
#include <cstdio>

namespace sim {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const auto mp = static_cast<unsigned>(m > 2 ? m - 3 : m + 9);
  const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

const std::int64_t kEpoch2000Days = DaysFromCivil(2000, 1, 1);

int DaysInMonth(int y, int m) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays.at(static_cast<std::size_t>(m - 1));
}

bool ReadDigits(const std::string& text, std::size_t pos, std::size_t count, int& out) {
  if (pos + count > text.size()) {
    return false;
  }
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + (c - '0');
  }
  out = value;
  return true;
}

} // namespace

std::int64_t SecondsSince2000(const CivilTime& t) {
  const std::int64_t days = DaysFromCivil(t.year, t.month, t.day) - kEpoch2000Days;
  return days * 86400 + std::int64_t{t.hour} * 3600 + std::int64_t{t.minute} * 60 + t.second;
}

CivilTime CivilFromSeconds(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const std::int64_t z = days + kEpoch2000Days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest % 3600 / 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

bool IsValidCivil(const CivilTime& t) {
  return t.year >= 2000 && t.year <= 2135 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
         t.second >= 0 && t.second <= 59;
}

std::string FormatDateTime(std::int64_t seconds) {
  const CivilTime t = CivilFromSeconds(seconds);
  std::array<char, 48> buf{};
  std::snprintf(buf.data(), buf.size(), "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return buf.data();
}

std::optional<std::int64_t> ParseDateTime(const std::string& text, bool lenient) {
  CivilTime t;
  const bool dateOk = text.size() >= 10 && ReadDigits(text, 0, 4, t.year) && ReadDigits(text, 5, 2, t.month) &&
                      ReadDigits(text, 8, 2, t.day) && text[4] == text[7] &&
                      (text[4] == '/' || (lenient && text[4] == '-'));
  if (!dateOk) {
    return std::nullopt;
  }
  if (text.size() == 10 && lenient) {
    // date alone: midnight
  } else if (text.size() != 19 || (text[10] != ' ' && !(lenient && text[10] == 'T')) || text[13] != ':' ||
             text[16] != ':' || !ReadDigits(text, 11, 2, t.hour) || !ReadDigits(text, 14, 2, t.minute) ||
             !ReadDigits(text, 17, 2, t.second)) {
    return std::nullopt;
  }
  if (!IsValidCivil(t)) {
    return std::nullopt;
  }
  return SecondsSince2000(t);
}

std::string HexStamp(std::uint32_t seconds) {
  static constexpr std::array<char, 16> kDigits{'0', '1', '2', '3', '4', '5', '6', '7',
                                                '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kDigits.at(seconds & 0xFU);
    seconds >>= 4;
  }
  return text;
}

bool IsHexStamp(const std::string& line) {
  if (line.size() != 8) {
    return false;
  }
  for (const char c : line) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

std::uint32_t ParseHexStamp(const std::string& line) {
  std::uint32_t value = 0;
  for (const char c : line.substr(0, 8)) {
    value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
  }
  return value;
}

PageRing::PageRing(int first, int count)
    : firstPage(first), pageCount(count), pages(static_cast<std::size_t>(count)), write(first), read(first),
      hist(first) {}

int PageRing::Distance(int from, int to) const {
  const int d = to - from;
  return d < 0 ? d + pageCount : d;
}

bool PageRing::Holds(int page) const {
  return Contains(page) && Distance(hist, page) <= Distance(hist, write);
}

bool PageRing::NeedsNewPage() const {
  return sealed || pages.at(static_cast<std::size_t>(write - firstPage)).size() >= kLinesPerPage;
}

void PageRing::Append(const std::string& record, const std::string& header) {
  if (NeedsNewPage()) {
    const int next = Next(write);
    if (next == hist) {
      // The ring is full: the oldest page held is given up for the new one.
      const bool unreadLost = read == hist;
      hist = Next(hist);
      if (unreadLost) {
        read = hist;
        overrun = true;
      }
    }
    write = next;
    sealed = false;
    auto& page = pages.at(static_cast<std::size_t>(write - firstPage));
    page.clear();
    page.reserve(kLinesPerPage);
    page.push_back(header);
    if (record == header) {
      return; // a time stamp that opens the page is the page's own header
    }
  }
  pages.at(static_cast<std::size_t>(write - firstPage)).push_back(record);
}

bool PageRing::SetRead(int page) {
  if (!Holds(page)) {
    return false;
  }
  read = page;
  if (page == write) {
    sealed = true;
  }
  overrun = false;
  return true;
}

void PageRing::Erase() {
  for (auto& page : pages) {
    page.clear();
  }
  write = read = hist = firstPage;
  sealed = true;
  overrun = false;
}

std::vector<std::string> Memory::RainPageLines(int page) const {
  std::vector<std::string> lines = rain.Page(page);
  lines.resize(PageRing::kLinesPerPage, "FFFFFFFF");
  return lines;
}

std::optional<std::vector<std::string>> Memory::TempPageLines(int page) const {
  const auto& stored = temp.Page(page);
  if (stored.size() < 2) {
    return std::nullopt;
  }
  std::vector<std::string> lines;
  lines.reserve(stored.size() + 1);
  lines.push_back("NUM T MEAS: " + std::to_string(stored.size() - 1));
  lines.insert(lines.end(), stored.begin(), stored.end());
  return lines;
}

std::string Memory::Flags() const {
  const int bits = (rain.overrun ? 1 : 0) | (temp.overrun ? 2 : 0);
  std::string flags = "00";
  flags[1] = static_cast<char>('0' + bits);
  return flags;
}

} // namespace sim
