#pragma once

#include "link/link_event.h"

#include <cstdint>
#include <string>

namespace nimbrel {

// The operations the instrument session needs of the serial port. The program uses the real
// port (CSerialMFC); unit tests use an in-memory port; integration tests the real port on a
// pseudo-terminal with the simulator. Result codes are those of CSerial (0 success, 6 not open,
// 1247 already open, 1460 time-out, otherwise errno).
class ISessionPort {
public:
  ISessionPort() = default;
  ISessionPort(const ISessionPort&) = delete;
  ISessionPort& operator=(const ISessionPort&) = delete;
  virtual ~ISessionPort() = default;

  // Opens `name` ("COMn", resolved against the program directory, or a device path) with driver
  // queues of 2048 bytes and starts the listener, which hands its events to `sink`.
  virtual std::uint32_t Open(const std::string& name, LinkEventSink sink) = 0;
  // Stops the listener (no event is handed over after it returns) and closes the port.
  virtual std::uint32_t Close() = 0;
  [[nodiscard]] virtual bool IsOpen() const = 0;
  virtual std::uint32_t Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) = 0;
  virtual std::uint32_t SetFlowControl(int mode) = 0;
  virtual std::uint32_t Purge() = 0;
  virtual std::uint32_t WriteString(const std::string& text) = 0;
  // Reads what has arrived, up to `maxBytes`, waiting at most 100 ms (the connection's direct reads).
  virtual std::uint32_t Read(std::string& out, std::size_t maxBytes) = 0;
  // Empties the listener's ReceiveBuffer (before every send and on every time-out).
  virtual void EmptyReceiveBuffer() = 0;
  virtual CLinkShared& Shared() = 0;
};

} // namespace nimbrel
