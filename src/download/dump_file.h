#pragma once

#include "base/status.h"

#include <filesystem>
#include <string>

namespace nimbrel {

// The dump file "DumpFile.rlg" in the program directory as the download writes it: the rain header,
// the page lines as they came, the temperature section line. Text mode (every LF becomes CR LF);
// the file is opened and closed for every write so nothing holds it between lines.
class CDumpFile {
public:
  explicit CDumpFile(const std::filesystem::path& programDirectory)
      : path_(programDirectory / "DumpFile.rlg") {}

  // Creates the file anew (the rain phase) and writes the header.
  Status Create();
  Status WriteHeader(const std::string& serialNumber, float tipValue, int unit);
  Status WriteTemperatureSection(const std::string& serialNumber);
  Status AppendLine(const std::string& line);

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

} // namespace nimbrel
