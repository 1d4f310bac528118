#pragma once

#include "base/status.h"
#include "link/link_event.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace nimbrel {

// The operations the instrument session needs of the serial port. The program uses the real
// port (CSerialMFC); unit tests use an in-memory port; integration tests the real port on a
// pseudo-terminal with the simulator. The port's numeric result codes end here: every operation
// returns a Status whose message names the port and the reason.
class ISessionPort {
public:
  ISessionPort() = default;
  ISessionPort(const ISessionPort&) = delete;
  ISessionPort& operator=(const ISessionPort&) = delete;
  virtual ~ISessionPort() = default;

  // Opens `name` ("COMn", resolved against the program directory, or a device path) with driver
  // queues of 2048 bytes and starts the listener, which hands its events to `sink`.
  virtual Status Open(const std::string& name, LinkEventSink sink) = 0;
  // Stops the listener (no event is handed over after it returns) and closes the port.
  virtual void Close() = 0;
  [[nodiscard]] virtual bool IsOpen() const = 0;
  virtual Status Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) = 0;
  virtual Status SetFlowControl(int mode) = 0;
  virtual Status Purge() = 0;
  virtual Status WriteString(const std::string& text) = 0;
  // Reads what has arrived, up to `maxBytes`, without waiting (the connection's direct reads,
  // made after its own pause). Timeout when nothing has.
  virtual Status Read(std::string& out, std::size_t maxBytes) = 0;

  // The hand-over with the listener. It takes bytes only while reception is enabled and disables
  // it when it hands a reply line over; in page mode (a download running) it hands page lines
  // over and keeps reading.
  virtual void SetReceiveEnabled(bool enabled) = 0;
  virtual void SetPageMode(bool downloading) = 0;
  // Empties the listener's ReceiveBuffer (before every send and on every time-out).
  virtual void EmptyReceiveBuffer() = 0;
};

// The flow-control, parity and stop-bit codes the session drives the line with.
inline constexpr int kFlowHardware = 1;
inline constexpr int kParityNone = 0;
inline constexpr int kOneStopBit = 0;

} // namespace nimbrel
