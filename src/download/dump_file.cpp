#include "download/dump_file.h"

#include "base/text.h"

namespace nimbrel {

Status CDumpFile::Create() {
  return WriteTextMode(path_, "", true);
}

Status CDumpFile::WriteHeader(const std::string& serialNumber, float tipValue, int unit) {
  const std::string resolution = Printf("%.5f", static_cast<double>(tipValue));
  return WriteTextMode(
      path_, Printf("********** Nimbrel   -TBR4470-   Serial Num:%s **********\r\n\r\nmm H2O per tip = %s\r\nUnit Meas =%s\r\n",
                    serialNumber.c_str(), resolution.c_str(), unit == 1 ? "1" : "0"));
}

Status CDumpFile::WriteTemperatureSection(const std::string& serialNumber) {
  return WriteTextMode(path_, Printf("TEMPERATURE (-TBR4470- Serial Num: %s)\r\n", serialNumber.c_str()));
}

Status CDumpFile::AppendLine(const std::string& line) {
  return WriteTextMode(path_, line);
}

} // namespace nimbrel
