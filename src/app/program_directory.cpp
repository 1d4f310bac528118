#include "app/program_directory.h"

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

} // namespace nimbrel
