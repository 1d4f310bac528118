#pragma once

#include "link/serial.h"
#include "link/session_port.h"

#include <filesystem>

namespace nimbrel {

// The session's port over the real serial port: names are resolved against the program
// directory and the port opens with driver queues of 2048 bytes.
class CSerialSessionPort final : public ISessionPort {
public:
  static constexpr std::uint32_t kQueueSize = 0x800;

  explicit CSerialSessionPort(std::filesystem::path programDir);

  std::uint32_t Open(const std::string& name, LinkEventSink sink) override;
  std::uint32_t Close() override;
  [[nodiscard]] bool IsOpen() const override;
  std::uint32_t Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) override;
  std::uint32_t SetFlowControl(int mode) override;
  std::uint32_t Purge() override;
  std::uint32_t WriteString(const std::string& text) override;
  // Waits up to 100 ms for the first byte, then takes what has arrived: 0 with the bytes, or
  // 1460 and nothing.
  std::uint32_t Read(std::string& out, std::size_t maxBytes) override;
  void EmptyReceiveBuffer() override;
  CLinkShared& Shared() override;

  [[nodiscard]] CSerialMFC& Port() { return port_; }

private:
  std::filesystem::path programDir_;
  CSerialMFC port_;
};

} // namespace nimbrel
