#pragma once

#include "base/status.h"

#include <filesystem>
#include <string>

namespace nimbrel {

// The dump file "DumpFile.rlg" in the program directory as the download writes it: the rain header,
// the page lines as they came, the temperature section line. Text mode (every LF becomes CR LF);
// the file is opened and closed for every write so nothing holds it between lines.
//
// The previous download's file stays as it was until the new download has data: the header and
// the section line wait in memory and go to disk, replacing the old file, with the first page line
// (or with the end of a complete download that had no page to fetch). A download that fails
// before its first page leaves the last good data where they were.
class CDumpFile {
public:
  explicit CDumpFile(const std::filesystem::path& programDirectory) : path_(programDirectory / "DumpFile.rlg") {}

  // Starts a new file: nothing is on disk yet. NotFound or InvalidArgument when the file could
  // not be created there at all.
  Status Create();
  void WriteHeader(const std::string& serialNumber, float tipValue, int unit);
  // Appends the section line (to the disk once the file has started).
  Status WriteTemperatureSection(const std::string& serialNumber);
  // A page line: the first one replaces the old file with what waited and itself.
  Status AppendLine(const std::string& line);
  // The download is complete: whatever still waits goes to disk.
  Status Finish();

  // The new file has replaced the old one.
  [[nodiscard]] bool Started() const { return started_; }
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
  // Replaces the old file with what waited and `firstLine`.
  Status Start(const std::string& firstLine);

  std::filesystem::path path_;
  std::string waiting_; // header and section line not yet on disk
  bool started_ = true; // no download running: nothing waits
};

} // namespace nimbrel
