#pragma once

#include "base/scheduler.h"
#include "link/session_port.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace nimbrel::test {

// An ISessionPort in memory. Writes are recorded; the device behind each port name answers
// through a responder; the answer's bytes arrive after `latency` in the driver queue, and a
// listener fed by them cuts lines with CLineAssembler, honouring ReceiveEnabled as the real one
// does, and hands each event over through the scheduler (as a posted message would arrive).
class InMemoryPort final : public ISessionPort {
public:
  // Given the text written, returns the bytes the device sends back (empty: no answer).
  using Responder = std::function<std::string(const std::string& written)>;

  explicit InMemoryPort(IScheduler& scheduler, Millis latency = Millis(20));

  // A device that exists under this name (an absent name fails to open with ENOENT).
  void AddDevice(const std::string& name, Responder responder);
  // Bytes the device sends by itself, arriving now.
  void Arrive(const std::string& bytes);
  // The device goes away: the listener reports a hang-up once.
  void HangUp();

  std::uint32_t Open(const std::string& name, LinkEventSink sink) override;
  std::uint32_t Close() override;
  [[nodiscard]] bool IsOpen() const override { return open_; }
  std::uint32_t Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) override;
  std::uint32_t SetFlowControl(int mode) override;
  std::uint32_t Purge() override;
  std::uint32_t WriteString(const std::string& text) override;
  std::uint32_t Read(std::string& out, std::size_t maxBytes) override;
  void EmptyReceiveBuffer() override { shared_.EmptyBufferRequest.store(true); }
  CLinkShared& Shared() override { return shared_; }

  std::vector<std::string> writes; // every text written, in order
  std::vector<Millis> writeTimes;  // the virtual time of each write
  std::vector<std::string> opened; // every name opened successfully
  std::uint32_t configuredBaud = 0;
  int flowControl = -1;

private:
  void Pump();

  IScheduler& scheduler_;
  Millis latency_;
  std::map<std::string, Responder> devices_;
  std::string current_;
  bool open_ = false;
  LinkEventSink sink_;
  std::deque<char> driverQueue_;
  CLineAssembler assembler_;
  CLinkShared shared_;
  unsigned generation_ = 0; // bytes in flight for a closed port never arrive
};

} // namespace nimbrel::test
