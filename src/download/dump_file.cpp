#include "download/dump_file.h"

#include "base/safe_file.h"
#include "base/text.h"
#include "data/data_item.h"

#include <unistd.h>

namespace nimbrel {

Status CDumpFile::Create() {
  waiting_.clear();
  started_ = false;
  if (Status target = CheckTarget(path_); !target.ok()) {
    return target;
  }
  const std::filesystem::path folder = path_.parent_path();
  if (::access(folder.c_str(), W_OK) != 0) {
    return Status::FromErrno(errno, "cannot create " + path_.string());
  }
  return Status::Ok();
}

void CDumpFile::WriteHeader(const std::string& serialNumber, float tipValue, int unit) {
  // The header's resolution is read back as millimetres of water whatever the unit, so an
  // instrument working in inches has its tip value converted: the table then shows the inch value
  // the instrument was set to, instead of a value 25 times too small.
  const double millimetres = unit == 1 ? static_cast<double>(tipValue) / kInchPerMm : static_cast<double>(tipValue);
  const std::string resolution = Printf("%.5f", millimetres);
  waiting_ += Printf(
      "********** Nimbrel   -TBR4470-   Serial Num:%s **********\r\n\r\nmm H2O per tip = %s\r\nUnit Meas =%s\r\n",
      serialNumber.c_str(), resolution.c_str(), unit == 1 ? "1" : "0");
}

Status CDumpFile::WriteTemperatureSection(const std::string& serialNumber) {
  const std::string line = Printf("TEMPERATURE (-TBR4470- Serial Num: %s)\r\n", serialNumber.c_str());
  if (!started_) {
    waiting_ += line; // with the header, until a page line comes
    return Status::Ok();
  }
  return WriteTextMode(path_, line);
}

Status CDumpFile::AppendLine(const std::string& line) {
  return started_ ? WriteTextMode(path_, line) : Start(line);
}

Status CDumpFile::Finish() {
  return started_ ? Status::Ok() : Start("");
}

Status CDumpFile::Start(const std::string& firstLine) {
  Status written = WriteTextMode(path_, waiting_ + firstLine, true);
  if (written.ok()) {
    started_ = true;
    waiting_.clear();
  }
  return written;
}

} // namespace nimbrel
