#pragma once

#include <filesystem>
#include <string>

namespace nimbrel {

// "COMn" is `<programDir>/COMn` when that entry exists (normally a link to the real device, even
// one not plugged in at the moment), otherwise /dev/ttyS<n-1>. Any other name is a device path.
std::string ResolvePortName(const std::filesystem::path& programDir, const std::string& name);

} // namespace nimbrel
