#pragma once

#include "link/serial.h"
#include "link/session_port.h"

#include <filesystem>

namespace nimbrel {

// The port's result code as a Status: `what` says which operation on which port ("cannot open
// COM1 (/dev/ttyS0)"), the message adds the reason and, where the user can do something about it,
// what to do.
Status PortStatus(std::uint32_t code, const std::string& what);

// The session's port over the real serial port: names are resolved against the program
// directory and the port opens with driver queues of 2048 bytes.
class CSerialSessionPort final : public ISessionPort {
public:
  static constexpr std::uint32_t kQueueSize = 0x800;

  explicit CSerialSessionPort(std::filesystem::path programDir);

  Status Open(const std::string& name, LinkEventSink sink) override;
  void Close() override;
  [[nodiscard]] bool IsOpen() const override;
  Status Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) override;
  Status SetFlowControl(int mode) override;
  Status Purge() override;
  Status WriteString(const std::string& text) override;
  // Takes what has arrived, without waiting (Timeout when nothing has).
  Status Read(std::string& out, std::size_t maxBytes) override;
  void SetReceiveEnabled(bool enabled) override { port_.Shared().ReceiveEnabled.store(enabled); }
  void SetPageMode(bool downloading) override { port_.Shared().Downloading.store(downloading); }
  void EmptyReceiveBuffer() override { port_.Shared().EmptyBufferRequest.store(true); }

  [[nodiscard]] CSerialMFC& Port() { return port_; }

private:
  [[nodiscard]] std::string Described(const std::string& verb) const;

  std::filesystem::path programDir_;
  std::string name_;   // as the user named it
  std::string device_; // the device it resolved to
  CSerialMFC port_;
};

} // namespace nimbrel
