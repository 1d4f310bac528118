#include "link/serial_session_port.h"

#include "link/port_name.h"

#include <cerrno>
#include <utility>

namespace nimbrel {

Status PortStatus(std::uint32_t code, const std::string& what) {
  switch (code) {
  case serial_result::kOk:
    return Status::Ok();
  case serial_result::kInvalidHandle:
    return {StatusCode::Io, what + ": the port is not open"};
  case serial_result::kAlreadyInitialized:
    return {StatusCode::Busy, what + ": the port is already open"};
  case serial_result::kTimeout:
    return {StatusCode::Timeout, what + ": nothing within 100 ms"};
  case serial_result::kInvalidArg:
    return {StatusCode::InvalidArgument, what + ": the port does not take this setting"};
  default:
    break;
  }
  const int err = static_cast<int>(code);
  Status s = Status::FromErrno(err, what);
  switch (err) {
  case ENOENT:
  case ENODEV:
  case ENXIO:
    return {s.code(), s.message() + " (check that the instrument's cable or USB adapter is plugged in and that the "
                                    "COMn link in the program directory points to it)"};
  case EACCES:
  case EPERM:
    return {s.code(), s.message() + " (your user needs access to the serial device: add it to the dialout group "
                                    "with 'sudo adduser $USER dialout' and log in again)"};
  case EBUSY:
    return {s.code(), s.message() + " (another program is using the port: close it and try again)"};
  case ENOTTY:
    return {StatusCode::InvalidArgument, what + ": it is not a serial device"};
  default:
    return s;
  }
}

CSerialSessionPort::CSerialSessionPort(std::filesystem::path programDir) : programDir_(std::move(programDir)) {}

std::string CSerialSessionPort::Described(const std::string& verb) const {
  return device_ == name_ ? verb + " " + name_ : verb + " " + name_ + " (" + device_ + ")";
}

Status CSerialSessionPort::Open(const std::string& name, LinkEventSink sink) {
  name_ = name;
  device_ = ResolvePortName(programDir_, name);
  return PortStatus(port_.Open(device_, std::move(sink), kQueueSize, kQueueSize), Described("cannot open"));
}

void CSerialSessionPort::Close() {
  // Closing a port cannot fail in a way the user could act on; the listener is stopped either way.
  (void)port_.Close();
}

bool CSerialSessionPort::IsOpen() const {
  return port_.IsOpen();
}

Status CSerialSessionPort::Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) {
  return PortStatus(port_.Configure(baud, dataBits, parity, stopBits), Described("cannot configure"));
}

Status CSerialSessionPort::SetFlowControl(int mode) {
  return PortStatus(port_.SetFlowControl(mode), Described("cannot set the flow control of"));
}

Status CSerialSessionPort::Purge() {
  return PortStatus(port_.Purge(), Described("cannot purge"));
}

Status CSerialSessionPort::WriteString(const std::string& text) {
  return PortStatus(port_.WriteString(text), Described("cannot write to"));
}

Status CSerialSessionPort::Read(std::string& out, std::size_t maxBytes) {
  out.clear();
  if (!port_.IsOpen()) {
    return PortStatus(serial_result::kInvalidHandle, Described("cannot read from"));
  }
  if (maxBytes == 0) {
    return Status::Ok();
  }
  // What has arrived, at once: the connection reads only after its own pause, and a wait here
  // would hold the window's thread.
  std::string buffer(maxBytes, '\0');
  std::size_t got = 0;
  std::uint32_t code = port_.Read(buffer.data(), buffer.size(), &got);
  buffer.resize(got);
  out = std::move(buffer);
  if (code == serial_result::kOk && out.empty()) {
    code = serial_result::kTimeout;
  }
  return PortStatus(code, Described("cannot read from"));
}

} // namespace nimbrel
