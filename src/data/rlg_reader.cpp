#include "data/rlg_reader.h"

#include "base/numbers.h"
#include "base/safe_file.h"
#include "data/instr_time.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

namespace nimbrel {

namespace {

constexpr std::string_view kSerialKey = "Serial Num:";
constexpr std::string_view kResolutionKey = "mm H2O per tip =";
constexpr std::string_view kUnitKey = "Unit Meas =";
constexpr std::string_view kTemperatureKey = "TEMPERATURE";

// Marks and keys are found anywhere in their line. Lines are short (at most 255 characters), so a plain
// loop beats a general search.
bool Contains(std::string_view line, std::string_view key) {
  if (key.size() > line.size()) {
    return false;
  }
  const char first = key.front();
  const std::size_t last = line.size() - key.size();
  for (std::size_t i = 0; i <= last; ++i) {
    if (line[i] == first && line.substr(i, key.size()) == key) {
      return true;
    }
  }
  return false;
}

float ToFloat(double v) {
  if (std::isnan(v)) {
    return static_cast<float>(v);
  }
  constexpr double kMax = std::numeric_limits<float>::max();
  return static_cast<float>(std::clamp(v, -kMax, kMax));
}

std::string CaptionFrom(std::string_view line) {
  const auto at = line.find(kSerialKey);
  if (at == std::string_view::npos) {
    return {};
  }
  const std::string_view serial = line.substr(at + kSerialKey.size()).substr(0, 8);
  std::string caption = " ( TBR4470 - Ser. Num. : ";
  caption.append(serial);
  caption += " )";
  return caption;
}

std::string_view TrimRainLine(std::string_view line) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!line.empty() && blank(line.front())) {
    line.remove_prefix(1);
  }
  while (!line.empty() && blank(line.back())) {
    line.remove_suffix(1);
  }
  return line;
}

// The sample markers a line carries, found in one pass.
enum : unsigned { kHasErr = 1U, kHasOfl = 2U, kHasUfl = 4U };
unsigned SampleMarks(std::string_view line) {
  unsigned marks = 0;
  for (std::size_t i = 0; i + 2 < line.size(); ++i) {
    if (line[i + 2] == 'R' && line[i] == 'E' && line[i + 1] == 'R') {
      marks |= kHasErr;
    } else if (line[i + 1] == 'F' && line[i + 2] == 'L') {
      marks |= line[i] == 'O' ? kHasOfl : (line[i] == 'U' ? kHasUfl : 0U);
    }
  }
  return marks;
}

bool IsUpperHex(std::string_view text) {
  unsigned bad = 0;
  for (const char c : text) {
    bad |= static_cast<unsigned>(!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')));
  }
  return bad == 0;
}

// The gap marks "Z0" (bit 0) and "Z1" (bit 1) of a line, found in one pass.
unsigned ZMarks(std::string_view line) {
  unsigned marks = 0;
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    if (line[i] == 'Z') {
      marks |= line[i + 1] == '0' ? 1U : (line[i + 1] == '1' ? 2U : 0U);
    }
  }
  return marks;
}

// The temperature of one sample line as the short intervals read it: its number, or the marker it
// carries (UFL over OFL over ERR when a line carries several).
float SampleValue(std::string_view line, unsigned marks) {
  if ((marks & kHasUfl) != 0) {
    return kUnderflow;
  }
  if ((marks & kHasOfl) != 0) {
    return kOverflow;
  }
  if ((marks & kHasErr) != 0) {
    return kErrorValue;
  }
  return ToFloat(LeadingNumber(line));
}

bool IsValueLine(std::string_view line) {
  return !line.empty() && line.front() == ' ';
}

enum class ReadStatus {
  Ok,
  Cancelled, // the cancel request was seen
  TooLarge,  // more rows than the limit or the memory allows
};

class CReader {
public:
  CReader(std::string_view bytes, std::int64_t interval, CDataSeries& out, const CReadOptions& options)
      : bytes_(bytes), interval_(interval), out_(out), options_(options) {}

  ReadStatus Run() {
    out_.rows.clear(); // the capacity is kept for the new rows and trimmed after the reading
    out_.interval = static_cast<int>(interval_);
    out_.unit = 0;
    out_.resolution = 0.25F;
    out_.resolutionDefaulted = false;
    out_.headersKnown = out_.foundRainHeader = out_.foundTemperature = false;
    out_.total = 0.0F;
    out_.startValid = false;
    out_.startTime = 0;
    out_.caption.clear();
    if (options_.details != nullptr) {
      options_.details->tips.clear();
      options_.details->samples.clear();
      options_.details->gapRows.clear();
    }
    ReadStatus s = TemperaturePass();
    if (s == ReadStatus::Ok) {
      s = RainPass();
    }
    if (s != ReadStatus::Ok) {
      // An unfinished reading shows nothing; its memory goes back at once.
      out_.caption.clear();
      out_.rows = {};
      return s;
    }
    if (out_.rows.capacity() > 2 * out_.rows.size() + 4096) {
      out_.rows.shrink_to_fit(); // a regroup to a longer interval gives the memory back
    }
    double total = 0.0;
    for (const CDataItem& row : out_.rows) {
      if (row.rain != kNotAvailable) {
        total += row.rain;
      }
    }
    out_.total = ToFloat(total);
    return ReadStatus::Ok;
  }

private:
  // The next line of the pass, or false at the end of the file or on a cancel request (`status_`).
  bool Next(CLineCursor& cursor, std::string_view& line) {
    if (status_ != ReadStatus::Ok) {
      return false;
    }
    if (options_.pollEvery > 0 && ++linesSincePoll_ >= options_.pollEvery) {
      linesSincePoll_ = 0;
      if (options_.poll) {
        options_.poll();
      }
    }
    if (options_.cancel != nullptr && options_.cancel->load(std::memory_order_relaxed)) {
      status_ = ReadStatus::Cancelled;
      return false;
    }
    return cursor.Next(line);
  }

  // Appends a row at the cursor time; false ends the pass (row limit, or a time past the instrument's
  // 32-bit clock, which only a damaged file reaches).
  bool Append(float rain, float temperature, std::int64_t time) {
    if (time < 0 || time > std::numeric_limits<std::uint32_t>::max()) {
      return false;
    }
    if (out_.rows.size() >= options_.maxRows) {
      status_ = ReadStatus::TooLarge;
      return false;
    }
    try {
      out_.rows.push_back({rain, temperature, static_cast<std::uint32_t>(time)});
    } catch (const std::bad_alloc&) {
      status_ = ReadStatus::TooLarge;
      return false;
    }
    return true;
  }

  void NoteSample(std::string_view line, unsigned marks) {
    if (options_.details != nullptr) {
      options_.details->samples.push_back(
          {ToFloat(LeadingNumber(line)), static_cast<std::uint32_t>(out_.rows.size()), marks != 0});
    }
  }

  // Sizes the row array once from the number of lines left in the temperature section, so a long
  // table is not built by repeated doubling (which would hold the old and the new array at once).
  void ReserveRows(std::string_view section) {
    std::size_t lines = 1;
    for (const char* p = section.data(); p != nullptr;) {
      const std::size_t left = static_cast<std::size_t>(section.data() + section.size() - p);
      p = static_cast<const char*>(std::memchr(p, '\n', left));
      if (p != nullptr) {
        ++lines;
        ++p;
      }
    }
    const auto step = static_cast<std::size_t>(interval_);
    const std::size_t estimate = step <= 900 ? lines * (900 / step) : lines * 900 / step + 2;
    try {
      out_.rows.reserve(std::min(estimate, options_.maxRows));
    } catch (const std::exception&) {
      // Not enough memory at once: the rows grow as they come, and run out where they must.
    }
  }

  ReadStatus TemperaturePass() {
    CLineCursor cursor(bytes_);
    std::string_view line;
    if (!cursor.SkipTo(kTemperatureKey, line)) {
      return status_;
    }
    out_.foundTemperature = true;
    if (out_.caption.empty()) {
      out_.caption = CaptionFrom(line);
    }
    ReserveRows(cursor.Remaining());
    const std::int64_t step = interval_;
    std::int64_t p = 0; // the cursor time
    while (Next(cursor, line)) {
      const unsigned z = ZMarks(line);
      if ((z & 1U) != 0) {
        continue;
      }
      if ((z & 2U) != 0) {
        if (!Next(cursor, line)) {
          break;
        }
        if (p > 0) {
          const std::int64_t resume = HexTime(line);
          bool more = true;
          while (p < resume && more) {
            p += step;
            more = Append(kNotAvailable, kNotAvailable, p);
            if (more && options_.details != nullptr) {
              options_.details->gapRows.push_back(static_cast<std::uint32_t>(out_.rows.size() - 1));
            }
          }
          if (!more) {
            break;
          }
          continue;
        }
        // Before the first row the stamp after the mark starts the record like any other stamp.
        if (!TimeStamp(cursor, line, p)) {
          break;
        }
        continue;
      }
      if (IsValueLine(line)) {
        if (!ValueLine(cursor, line, p)) {
          break;
        }
        continue;
      }
      if (!TimeStamp(cursor, line, p)) {
        break;
      }
    }
    return status_;
  }

  bool ValueLine(CLineCursor& cursor, std::string_view line, std::int64_t& p) {
    const std::int64_t step = interval_;
    if (step <= 900) {
      const unsigned marks = SampleMarks(line);
      const float v = SampleValue(line, marks);
      NoteSample(line, marks);
      for (std::int64_t i = 0; i < 900 / step; ++i) {
        p += step;
        if (!Append(0.0F, v, p)) {
          return false;
        }
      }
      return true;
    }
    // A long interval averages this sample and the next step / 900 - 1 samples.
    NoteSample(line, SampleMarks(line));
    double sum = LeadingNumber(line);
    int count = 0;
    std::int64_t wanted = step / 900 - 1;
    std::string_view next;
    while (wanted > 0 && Next(cursor, next)) {
      if (!IsValueLine(next)) {
        continue;
      }
      --wanted;
      const unsigned marks = SampleMarks(next);
      NoteSample(next, marks);
      if ((marks & kHasOfl) == 0) {
        sum += LeadingNumber(next);
        ++count;
      }
    }
    if (status_ != ReadStatus::Ok) {
      return false;
    }
    p += step;
    return Append(0.0F, count > 0 ? ToFloat(sum / (count + 1)) : kOverflow, p);
  }

  bool TimeStamp(CLineCursor& cursor, std::string_view line, std::int64_t& p) {
    if (out_.startValid) {
      return true; // later stamps carry no information for the rows
    }
    const std::int64_t step = interval_;
    const std::int64_t t = HexTime(line);
    out_.startValid = true;
    out_.startTime =
        static_cast<std::uint32_t>(std::min<std::int64_t>(t + step, std::numeric_limits<std::uint32_t>::max()));
    if (step <= 900) {
      p = t - step;
      return true;
    }
    // The first, partial group runs to the last quarter hour before the next multiple of the interval.
    const std::int64_t boundary = (t + step) / step * step;
    p = t;
    double sum = 0.0;
    int count = 0;
    std::string_view next;
    while (p < boundary - 900 && Next(cursor, next)) {
      if (!IsValueLine(next)) {
        continue;
      }
      const unsigned marks = SampleMarks(next);
      NoteSample(next, marks);
      if ((marks & kHasOfl) == 0) {
        sum += LeadingNumber(next);
        ++count;
      }
      p += 900;
    }
    if (status_ != ReadStatus::Ok) {
      return false;
    }
    return Append(0.0F, count > 0 ? ToFloat(sum / count) : kOverflow, p);
  }

  ReadStatus RainPass() {
    CLineCursor cursor(bytes_);
    std::string_view line;
    if (!Next(cursor, line) || Contains(line, kTemperatureKey)) {
      return status_;
    }
    if (Contains(line, kSerialKey)) {
      out_.caption = CaptionFrom(line);
      out_.foundRainHeader = true;
    }
    if (!Next(cursor, line) || !Next(cursor, line)) {
      return status_;
    }
    if (const auto at = line.find(kResolutionKey); at != std::string_view::npos) {
      out_.foundRainHeader = true;
      const double r = LeadingNumber(line.substr(at + kResolutionKey.size()));
      if (r == 0.0 || !std::isfinite(r)) {
        out_.resolution = 1.0F;
        out_.resolutionDefaulted = true;
      } else {
        out_.resolution = ToFloat(r);
      }
    }
    if (!Next(cursor, line)) {
      return status_;
    }
    if (const auto at = line.find(kUnitKey); at != std::string_view::npos) {
      const double u = LeadingNumber(line.substr(at + kUnitKey.size()));
      out_.unit = std::isfinite(u) ? static_cast<int>(std::clamp(u, -1e9, 1e9)) : 0;
    }
    out_.headersKnown = true;  // the column headers follow the unit from here on
    if (!Next(cursor, line)) { // the first page line never holds a tip
      return status_;
    }
    std::size_t j = 0;
    while (Next(cursor, line)) {
      const std::string_view rec = TrimRainLine(line);
      // Nearly every line is eight hexadecimal digits: such a line holds no mark and no section key.
      const bool plainStamp = rec.size() == 8 && IsUpperHex(rec);
      if (!plainStamp) {
        // The section line ends the rain first, so a serial number holding "Z1" cannot hide it.
        if (Contains(rec, kTemperatureKey)) {
          break;
        }
        if (rec.empty() || ZMarks(rec) != 0) {
          continue;
        }
      }
      if (Contains(rec, "FFFFFFFF")) {
        continue;
      }
      const std::uint32_t t = HexTime(rec);
      if (out_.rows.empty()) {
        if (!Append(0.0F, kNotAvailable, t)) {
          break;
        }
        out_.startValid = true;
        out_.startTime = t;
      }
      j = PlaceTip(j, t);
    }
    return status_;
  }

  // Counts one tip into the row whose window [time, time + interval) holds it; returns the new
  // current row. Row times strictly increase, so the later row is found by binary search.
  std::size_t PlaceTip(std::size_t j, std::uint32_t t) {
    auto& rows = out_.rows;
    const auto windowEnd = [this](const CDataItem& row) { return static_cast<std::int64_t>(row.time) + interval_; };
    std::size_t target = j;
    if (static_cast<std::int64_t>(t) >= windowEnd(rows[j])) {
      // Tips mostly move on by a row or two: look at the next few rows before searching.
      std::size_t k = j + 1;
      const std::size_t near = std::min(rows.size(), j + 9);
      while (k < near && static_cast<std::int64_t>(t) >= windowEnd(rows[k])) {
        ++k;
      }
      const auto from = rows.begin() + static_cast<std::ptrdiff_t>(k);
      const auto later =
          k < near ? from : std::upper_bound(from, rows.end(), t, [&](std::uint32_t tip, const CDataItem& row) {
            return tip < windowEnd(row);
          });
      if (later != rows.end()) {
        target = static_cast<std::size_t>(later - rows.begin());
        j = target;
      } else {
        // Rain after the last row's window: kept in the last row so no tip is lost from the total.
        target = rows.size() - 1;
      }
    }
    CDataItem& row = rows[target];
    // The row holds its tips times the resolution, worked out anew for every tip: adding the
    // resolution in single precision, tip by tip, would drift (60000 tips of 0.2 mm made 12000.020).
    const double resolution = out_.resolution;
    const double tips = row.rain == kNotAvailable ? 0.0 : std::round(static_cast<double>(row.rain) / resolution);
    row.rain = ToFloat((tips + 1.0) * resolution);
    if (options_.details != nullptr) {
      options_.details->tips.push_back({t, static_cast<std::uint32_t>(target)});
    }
    return j;
  }

  std::string_view bytes_;
  std::int64_t interval_;
  CDataSeries& out_;
  const CReadOptions& options_;
  ReadStatus status_ = ReadStatus::Ok;
  std::size_t linesSincePoll_ = 0;
};

} // namespace

bool CLineCursor::NextPhysical() {
  const char* begin = bytes_.data() + pos_;
  // Record lines are about ten characters: a short look ahead beats a library call per line.
  const char* end = bytes_.data() + bytes_.size();
  const char* lf = begin;
  const char* near = end - begin > 32 ? begin + 32 : end;
  while (lf < near && *lf != '\n') {
    ++lf;
  }
  if (lf == near) {
    lf =
        near == end ? nullptr : static_cast<const char*>(std::memchr(near, '\n', static_cast<std::size_t>(end - near)));
  }
  const std::size_t length = lf == nullptr ? bytes_.size() - pos_ : static_cast<std::size_t>(lf - begin);
  pos_ += length + (lf == nullptr ? 0 : 1);
  std::size_t n = length;
  while (n > 0 && begin[n - 1] == '\r') {
    --n;
  }
  rest_ = std::string_view(begin, n);
  return n > 0;
}

bool CLineCursor::SkipTo(std::string_view key, std::string_view& line) {
  std::size_t from = pos_;
  if (!rest_.empty()) {
    // Finish the long line in progress the ordinary way.
    while (!rest_.empty()) {
      Next(line);
      if (line.find(key) != std::string_view::npos) {
        return true;
      }
    }
    from = pos_;
  }
  while (true) {
    const std::size_t at = bytes_.find(key, from);
    if (at == std::string_view::npos) {
      pos_ = bytes_.size();
      rest_ = {};
      return false;
    }
    const std::size_t lineStart = at == 0 ? 0 : bytes_.rfind('\n', at - 1) + 1; // npos + 1 == 0
    const std::size_t first = (at - lineStart) / kMaxLine;
    const std::size_t last = (at + key.size() - 1 - lineStart) / kMaxLine;
    if (first == last) {
      pos_ = lineStart;
      rest_ = {};
      std::string_view piece;
      for (std::size_t k = 0; k <= first; ++k) {
        Next(piece);
      }
      line = piece;
      return true;
    }
    from = at + 1; // cut in two by the 255-character rule: not a match
  }
}

Status ReadRlgBuffer(std::string_view bytes, int interval, CDataSeries& out, const CReadOptions& options) {
  CReader reader(bytes, std::max(interval, 1), out, options);
  switch (reader.Run()) {
  case ReadStatus::Ok:
    return Status::Ok();
  case ReadStatus::Cancelled:
    return {StatusCode::Cancelled, "the reading was cancelled"};
  case ReadStatus::TooLarge:
    break;
  }
  return {StatusCode::TooLarge, "grouping by " + std::to_string(interval) + " s makes more rows than " +
                                    (options.maxRows == SIZE_MAX ? std::string("the memory can hold")
                                                                 : "the limit of " + std::to_string(options.maxRows)) +
                                    "; choose a longer interval"};
}

Status LoadDataFile(const std::filesystem::path& path, std::string& bytes) {
  return ReadWholeFile(path, bytes, kMaxFileBytes, "a data file");
}

Status ReadRlgFile(const std::filesystem::path& path, int interval, CDataSeries& out, const CReadOptions& options) {
  std::string bytes;
  if (Status loaded = LoadDataFile(path, bytes); !loaded.ok()) {
    out = CDataSeries{};
    out.interval = interval;
    return loaded;
  }
  return ReadRlgBuffer(bytes, interval, out, options);
}

} // namespace nimbrel
