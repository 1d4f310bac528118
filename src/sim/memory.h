#pragma once

// The TBR4470's two page memories as the instrument keeps them, and the time arithmetic of its
// clock. Independent of the desktop program's code on purpose.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// ---- Instrument clock ------------------------------------------------------------------------
// The instrument counts seconds since 2000-01-01 00:00:00 of its own local clock.
struct CivilTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

std::int64_t SecondsSince2000(const CivilTime& t);
CivilTime CivilFromSeconds(std::int64_t seconds);
bool IsValidCivil(const CivilTime& t);
// "%Y/%m/%d %H:%M:%S"
std::string FormatDateTime(std::int64_t seconds);
// Exactly "YYYY/MM/DD HH:MM:SS" (or with '-' as date separator when lenient is set, and the
// time part optional); nullopt for anything else or a date that does not exist.
std::optional<std::int64_t> ParseDateTime(const std::string& text, bool lenient = false);
// 8 upper-case hexadecimal digits.
std::string HexStamp(std::uint32_t seconds);
bool IsHexStamp(const std::string& line);
std::uint32_t ParseHexStamp(const std::string& line);

// ---- Page memory -----------------------------------------------------------------------------
// One ring of pages. Every page that the logger has opened starts with a header line (rain: the
// opening mark "Z0"; temperature: the time stamp of the page's first sample) followed by up to
// kRecordsPerPage record lines. Pages (Hist, Write] hold data, (Read, Write] are not yet read;
// Write == Hist means the ring is empty. A sealed write page receives no more records: the next
// record opens the following page (sealing happens when the read pointer is set onto the page
// being written, so data logged after a download land on a page the next download fetches).
struct PageRing {
  static constexpr int kRecordsPerPage = 64;
  static constexpr int kLinesPerPage = kRecordsPerPage + 1;

  int firstPage = 0;
  int pageCount = 0;
  std::vector<std::vector<std::string>> pages; // index = page - firstPage; empty = erased
  int write = 0, read = 0, hist = 0;           // page numbers
  bool sealed = true;
  bool overrun = false;

  PageRing() = default;
  PageRing(int first, int count);

  [[nodiscard]] int LastPage() const { return firstPage + pageCount - 1; }
  [[nodiscard]] bool Contains(int page) const { return page >= firstPage && page <= LastPage(); }
  [[nodiscard]] int Next(int page) const { return page == LastPage() ? firstPage : page + 1; }
  // Pages from `from` (exclusive) to `to` (inclusive) in ring order.
  [[nodiscard]] int Distance(int from, int to) const;
  [[nodiscard]] bool Holds(int page) const; // within [hist, write] in ring order
  [[nodiscard]] const std::vector<std::string>& Page(int page) const { return pages.at(page - firstPage); }
  [[nodiscard]] bool IsEmpty() const { return write == hist; }

  // Appends one record, opening the next page with `header` when the write page is sealed or full.
  // Opening the page after the history pointer pushes the history on, losing the oldest page; if
  // that page was not read yet the overrun flag is raised and the read pointer follows.
  void Append(const std::string& record, const std::string& header);
  // Whether the next Append opens a new page.
  [[nodiscard]] bool NeedsNewPage() const;
  // Sets the read pointer; false when the page is not one of the pages held.
  bool SetRead(int page);
  // Every page erased, the three pointers on the first page.
  void Erase();
};

struct Memory {
  static constexpr int kRainFirst = 0;
  static constexpr int kRainPages = 1453;
  static constexpr int kTempFirst = 1453;
  static constexpr int kTempPages = 548;

  PageRing rain{kRainFirst, kRainPages};
  PageRing temp{kTempFirst, kTempPages};

  // The lines the instrument sends for a page request, without line ends; nullopt when it refuses
  // the page (a temperature page never written has nothing to announce).
  [[nodiscard]] std::vector<std::string> RainPageLines(int page) const;
  [[nodiscard]] std::optional<std::vector<std::string>> TempPageLines(int page) const;
  // "00".."03": bit 0 rain overrun, bit 1 temperature overrun.
  [[nodiscard]] std::string Flags() const;
};

} // namespace sim
