#pragma once

#include <string>
#include <utility>

namespace nimbrel {

// What kind of failure a status reports, so a caller can decide without reading the message:
// nimbrel-cli maps codes to exit codes, the windows choose an icon.
enum class StatusCode {
  Ok,
  Cancelled,        // the user (or a signal) stopped it
  InvalidArgument,  // bad input: a name, a value out of range, a target that cannot be used
  NotFound,         // a file or a port that does not exist
  PermissionDenied, // the system refused access
  Busy,             // the port is in use by another program
  Io,               // any other failure of the system; the message names it
  Timeout,          // the instrument did not answer in time
  Protocol,         // the instrument answered, but not usably (refused, wrong state, nonsense)
  DataFormat,       // a file that does not hold what it should
  Incomplete,       // finished, but some of what was asked for could not be had
  TooLarge,         // more than memory or the format can hold
};

// One result type for the whole core: a code and the message a user would read.
class [[nodiscard]] Status {
public:
  Status() = default;
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}

  static Status Ok() { return {}; }

  [[nodiscard]] bool ok() const { return code_ == StatusCode::Ok; }
  [[nodiscard]] StatusCode code() const { return code_; }
  [[nodiscard]] const std::string& message() const { return message_; }

  // A failure of the system (`errnoValue`) while doing `what` ("cannot open /x/y"): the code
  // follows the errno, the message is `what` followed by the system's words.
  static Status FromErrno(int errnoValue, const std::string& what);

private:
  StatusCode code_ = StatusCode::Ok;
  std::string message_;
};

// A value or the status that explains why there is none.
template <typename T> class [[nodiscard]] Result {
public:
  Result(T value) : value_(std::move(value)) {}         // NOLINT(google-explicit-constructor): returned as is
  Result(Status status) : status_(std::move(status)) {} // NOLINT(google-explicit-constructor)

  [[nodiscard]] bool ok() const { return status_.ok(); }
  [[nodiscard]] const Status& status() const { return status_; }
  [[nodiscard]] const T& value() const { return value_; }
  [[nodiscard]] T& value() { return value_; }

private:
  Status status_;
  T value_{};
};

} // namespace nimbrel
