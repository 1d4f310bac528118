#pragma once

#include "base/status.h"
#include "data/data_item.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

// Raw records seen while reading, for statistics; collected only when asked for.
struct CReadDetails {
  struct Tip {
    std::uint32_t time = 0;
    std::uint32_t row = 0; // the row the tip was counted into
  };
  struct Sample {
    float value = 0.0F;    // the number on the line
    std::uint32_t row = 0; // the row (first of the repeated rows for short intervals) it went into
    bool marker = false;   // the line carried "ERR", "OFL" or "UFL"
  };
  std::vector<Tip> tips;
  std::vector<Sample> samples;
  std::vector<std::uint32_t> gapRows; // rows added for a gap in the temperature record
};

// The instrument's whole memory is about 1.5 MB; anything far larger is not a data file.
inline constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{256} * 1024 * 1024;

struct CReadOptions {
  // Cancellation: every `pollEvery` lines the reader calls `poll` (the desktop lets its wait dialog
  // paint and take the Cancel click there) and then looks at `cancel`.
  const std::atomic<bool>* cancel = nullptr;
  std::function<void()> poll;
  std::size_t pollEvery = 4096;
  // The rows a reading may make; beyond them it ends with TooLarge. Unlimited in the program (only
  // the memory limits a user who asked for a long table); small in the fuzzer.
  std::size_t maxRows = SIZE_MAX;
  CReadDetails* details = nullptr;
};

inline constexpr const char* kResolutionMessage =
    "ERROR: H2O millimeters per tip not found.\nSet default value 1mm H2O per tip.";

// Reads a whole data file held in memory into `out`, grouped by `interval` seconds (one of the
// interval table's values). Both passes run over the buffer; no line is copied. Cancelled when the
// cancel request was seen, TooLarge when the rows do not fit (the limit or the memory); an
// unfinished reading leaves no rows. A resolution that read as 0 is replaced by 1.0 and noted in
// `out.resolutionDefaulted`: the caller shows kResolutionMessage.
Status ReadRlgBuffer(std::string_view bytes, int interval, CDataSeries& out, const CReadOptions& options = {});

// Loads the file into memory (refusing directories, unreadable and oversized files) and reads it.
// A file that cannot be opened leaves `out` without rows and caption.
Status ReadRlgFile(const std::filesystem::path& path, int interval, CDataSeries& out, const CReadOptions& options = {});

// The whole file into `bytes`.
Status LoadDataFile(const std::filesystem::path& path, std::string& bytes);

// Splits a buffer into the lines the reader sees: LF, CR LF and CR CR LF ends are the same line end;
// a line longer than 255 characters (its end not counted) is read as several lines of at most 255.
class CLineCursor {
public:
  static constexpr std::size_t kMaxLine = 255;
  explicit CLineCursor(std::string_view bytes) : bytes_(bytes) {}
  bool Next(std::string_view& line) {
    if (rest_.empty()) {
      if (pos_ >= bytes_.size()) {
        return false;
      }
      if (!NextPhysical()) {
        line = {}; // an empty line
        return true;
      }
    }
    line = rest_.substr(0, kMaxLine);
    rest_.remove_prefix(line.size());
    return true;
  }
  // Moves to the first line that contains `key` whole (not cut by the 255-character rule) and returns
  // it in `line`; false when no line does. Much faster than asking every line.
  bool SkipTo(std::string_view key, std::string_view& line);
  // The bytes not read yet.
  [[nodiscard]] std::string_view Remaining() const { return bytes_.substr(pos_); }

private:
  // Takes the next physical line, without its line end, into rest_; false when it is empty.
  bool NextPhysical();

  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::string_view rest_; // the unread part of a long line
};

} // namespace nimbrel
