#include "link/port_name.h"

#include <system_error>

namespace nimbrel {

std::string ResolvePortName(const std::filesystem::path& programDir, const std::string& name) {
  if (name.size() < 4 || name.compare(0, 3, "COM") != 0 || name.size() > 13) {
    return name;
  }
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') {
      return name;
    }
  }
  std::error_code ec;
  const std::filesystem::path local = programDir / name;
  // symlink_status: a link whose device is absent still names the user's port; opening it then
  // fails clearly instead of silently trying another device.
  if (std::filesystem::exists(std::filesystem::symlink_status(local, ec))) {
    return local.string();
  }
  const long long number = std::stoll(name.substr(3));
  if (number < 1) {
    return local.string();
  }
  return "/dev/ttyS" + std::to_string(number - 1);
}

} // namespace nimbrel
