#include "link/serial_session_port.h"

#include "link/port_name.h"

#include <utility>

namespace nimbrel {

CSerialSessionPort::CSerialSessionPort(std::filesystem::path programDir) : programDir_(std::move(programDir)) {}

std::uint32_t CSerialSessionPort::Open(const std::string& name, LinkEventSink sink) {
  return port_.Open(ResolvePortName(programDir_, name), std::move(sink), kQueueSize, kQueueSize);
}

std::uint32_t CSerialSessionPort::Close() {
  return port_.Close();
}

bool CSerialSessionPort::IsOpen() const {
  return port_.IsOpen();
}

std::uint32_t CSerialSessionPort::Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) {
  return port_.Configure(baud, dataBits, parity, stopBits);
}

std::uint32_t CSerialSessionPort::SetFlowControl(int mode) {
  return port_.SetFlowControl(mode);
}

std::uint32_t CSerialSessionPort::Purge() {
  return port_.Purge();
}

std::uint32_t CSerialSessionPort::WriteString(const std::string& text) {
  return port_.WriteString(text);
}

std::uint32_t CSerialSessionPort::Read(std::string& out, std::size_t maxBytes) {
  out.clear();
  if (!port_.IsOpen()) {
    return port_.Read(nullptr, 0);
  }
  if (maxBytes == 0) {
    return serial_result::kOk;
  }
  std::string buffer(maxBytes, '\0');
  std::size_t got = 0;
  std::uint32_t code = port_.Read(buffer.data(), buffer.size(), &got);
  if (code == serial_result::kOk && got == 0) {
    code = port_.WaitForEvent(CSerial::kIoWaitMs);
    if (code == serial_result::kOk) {
      code = port_.Read(buffer.data(), buffer.size(), &got);
    }
  }
  buffer.resize(got);
  out = std::move(buffer);
  if (code == serial_result::kOk && out.empty()) {
    return serial_result::kTimeout;
  }
  return code;
}

void CSerialSessionPort::EmptyReceiveBuffer() {
  port_.Shared().EmptyBufferRequest.store(true);
}

CLinkShared& CSerialSessionPort::Shared() {
  return port_.Shared();
}

} // namespace nimbrel
