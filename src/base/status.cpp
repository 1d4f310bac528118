#include "base/status.h"

#include <cerrno>
#include <cstring>

namespace nimbrel {

Status Status::FromErrno(int errnoValue, const std::string& what) {
  StatusCode code = StatusCode::Io;
  switch (errnoValue) {
  case ENOENT:
  case ENODEV:
  case ENXIO:
    code = StatusCode::NotFound;
    break;
  case EACCES:
  case EPERM:
  case EROFS:
    code = StatusCode::PermissionDenied;
    break;
  case EBUSY:
    code = StatusCode::Busy;
    break;
  case ETIMEDOUT:
    code = StatusCode::Timeout;
    break;
  case EINVAL:
  case ENOTTY:
  case EISDIR:
    code = StatusCode::InvalidArgument;
    break;
  case ENOMEM:
  case EFBIG:
  case ENOSPC:
    code = StatusCode::TooLarge;
    break;
  default:
    break;
  }
  return {code, what + ": " + std::strerror(errnoValue)};
}

} // namespace nimbrel
