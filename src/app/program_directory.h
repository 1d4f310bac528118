#pragma once

#include "base/status.h"

#include <filesystem>

namespace nimbrel {

// Every file of the program (Nimbrel.ini, port.ini, the dump file, the trace, the licence, the
// handbook, the marker files) lives in the folder that was current when the program started, not
// beside the executable. It is read once at start-up and handed to whoever needs it.
Result<std::filesystem::path> ProgramDirectoryAtStartup();

inline constexpr const char* kProductionMarkerName = "Produzione.dll";
inline constexpr const char* kEraseMarkerName = "Ermem.dll";

// The marker files that unlock the factory commands on a factory PC. Only their presence counts;
// their content is never read.
struct FactoryMarkerFiles {
  bool production = false; // "Produzione.dll": both factory commands
  bool erase = false;      // "Ermem.dll": erasing the memory only

  [[nodiscard]] bool EraseOffered() const { return production || erase; }
  [[nodiscard]] bool SetSerialOffered() const { return production; }

  // A marker counts when it is a file that can be opened for reading.
  static FactoryMarkerFiles Find(const std::filesystem::path& programDirectory);
};

} // namespace nimbrel
