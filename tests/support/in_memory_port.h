#pragma once

#include "base/scheduler.h"
#include "link/session_port.h"
#include "sim/instrument.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel::test {

// An ISessionPort in memory. Writes are recorded; the device behind each port name answers
// through a responder (normally the simulator's engine); the answer's pieces arrive after
// `latency` plus their own delays, and a listener fed by them cuts lines with CLineAssembler,
// honouring ReceiveEnabled as the real one does, and hands each event over through the scheduler
// (as a posted message would arrive).
class InMemoryPort final : public ISessionPort {
public:
  using Responder = std::function<sim::Output(const std::string& written)>;

  explicit InMemoryPort(IScheduler& scheduler, Millis latency = Millis(20));

  // A device that exists under this name (an absent name fails to open with NotFound).
  void AddDevice(const std::string& name, Responder responder);
  // Bytes the device sends by itself, arriving now.
  void Arrive(const std::string& bytes);
  // The device goes away: the listener reports a hang-up once.
  void HangUp();

  Status Open(const std::string& name, LinkEventSink sink) override;
  void Close() override;
  [[nodiscard]] bool IsOpen() const override { return open_; }
  Status Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) override;
  Status SetFlowControl(int mode) override;
  Status Purge() override;
  Status WriteString(const std::string& text) override;
  Status Read(std::string& out, std::size_t maxBytes) override;
  void SetReceiveEnabled(bool enabled) override;
  void SetPageMode(bool downloading) override { shared_.Downloading.store(downloading); }
  void EmptyReceiveBuffer() override { shared_.EmptyBufferRequest.store(true); }

  std::vector<std::string> writes; // every text written, in order
  std::vector<Millis> writeTimes;  // the virtual time of each write
  std::vector<std::string> opened; // every name opened successfully
  std::uint32_t configuredBaud = 0;
  std::optional<Status> failWrites; // every write fails with this status

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
