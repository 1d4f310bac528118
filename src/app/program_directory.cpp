#include "app/program_directory.h"

#include <fstream>
#include <system_error>

namespace nimbrel {

namespace fs = std::filesystem;

Result<fs::path> ProgramDirectoryAtStartup() {
  std::error_code ec;
  fs::path current = fs::current_path(ec);
  if (ec) {
    return Status(StatusCode::NotFound, "cannot find the current folder (" + ec.message() +
                                            "): start Nimbrel from an existing folder that holds its files");
  }
  return current;
}

namespace {

bool Readable(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    return false;
  }
  const std::ifstream in(file, std::ios::binary);
  return in.is_open();
}

} // namespace

FactoryMarkerFiles FactoryMarkerFiles::Find(const fs::path& programDirectory) {
  return {Readable(programDirectory / kProductionMarkerName), Readable(programDirectory / kEraseMarkerName)};
}

} // namespace nimbrel
