#pragma once

#include "base/status.h"

#include <filesystem>

namespace nimbrel {

// Every file of the program (Nimbrel.ini, port.ini, the dump file, the trace, the licence, the
// handbook, the marker files) lives in the folder that was current when the program started, not
// beside the executable. It is read once at start-up and handed to whoever needs it.
Result<std::filesystem::path> ProgramDirectoryAtStartup();

} // namespace nimbrel
