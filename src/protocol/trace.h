#pragma once

#include <filesystem>
#include <string>

namespace nimbrel {

// The protocol trace "debug.txt" in the program directory. Each line is appended by opening,
// writing and closing the file, in text mode (every LF written becomes CR LF, so a format ending
// in "\r\n" gives CR CR LF). A line that cannot be written is lost without a word: the trace never
// disturbs the user.
class CTrace {
public:
  explicit CTrace(const std::filesystem::path& programDirectory) : path_(programDirectory / "debug.txt") {}

  void Append(const std::string& line) const;
  // Empties the file and writes its first line (the start of a download).
  void Restart(const std::string& firstLine) const;
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

} // namespace nimbrel
