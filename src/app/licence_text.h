#pragma once

#include <filesystem>
#include <string>

namespace nimbrel {

inline constexpr const char* kLicenceFileName = "License.txt";

// The text the licence viewer shows: License.txt of the program directory read in pieces of at most
// 127 characters (a line ends a piece), each piece without its CR and LF and followed by CR LF, so a
// longer line is shown broken into several. Empty when the file cannot be read.
std::string LicenceText(const std::filesystem::path& programDirectory);

} // namespace nimbrel
