#pragma once

#include "base/status.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace nimbrel {

// Files the program writes for the user (saved copies, exports, downloads copied out) are written
// beside their target under a temporary name and renamed into place only when complete, so a
// failure never leaves a half-written file or destroys the one that was there, and nothing the
// program did not create is ever removed.

// Whether `target` may receive a file: its folder must exist, and if it exists it must be a regular
// file (not a folder, a device or a pipe) that is not the same file as `source` (when given).
// InvalidArgument with a message naming the target otherwise.
Status CheckTarget(const std::filesystem::path& target, const std::filesystem::path* source = nullptr);

// The whole of a file into `bytes`: NotFound, InvalidArgument for a folder, TooLarge beyond `limit`
// bytes (the message says what the file is not: `kind`), or the system's failure.
Status ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::uintmax_t limit,
                     const std::string& kind);

// Runs `write` on a new temporary file beside `target`, then renames it over `target`. On any
// failure the temporary file is removed and `target` is left as it was.
Status WriteFileAtomically(const std::filesystem::path& target,
                           const std::function<Status(const std::filesystem::path& temporary)>& write);

// A byte-for-byte copy of `source` onto `target`, by the rules above.
Status CopyFileAtomically(const std::filesystem::path& source, const std::filesystem::path& target);

} // namespace nimbrel
