#pragma once

#include "base/numbers.h"
#include "base/status.h"

#include <filesystem>
#include <string>

namespace nimbrel {

// printf-style formatting into a std::string (the instrument texts and traces are printf formats).
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// White space removed at both ends / at the end only (blank, tab, CR, LF, VT, FF).
std::string Trimmed(const std::string& text);
std::string TrimmedRight(const std::string& text);

// Writes `text` as a text-mode file write does: every LF becomes CR LF. Opens, writes and closes
// the file each time (append, or truncate when `truncate` is set).
Status WriteTextMode(const std::filesystem::path& path, const std::string& text, bool truncate = false);

} // namespace nimbrel
