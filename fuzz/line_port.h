#pragma once

#include "base/scheduler.h"
#include "link/link_event.h"
#include "link/session_port.h"

#include <cstddef>
#include <functional>
#include <string>

namespace nimbrel::fuzz {

// The serial port in memory, for the line fuzzer. What the instrument sends waits in a driver queue
// of 2048 bytes (more is lost, as the driver loses it); like the real listener, only a new arrival
// wakes the pump, which feeds bytes to CLineAssembler while reception is enabled. Each event
// reaches the session through the scheduler, as a posted message would, after the observer has
// been told whether the event's line began after a page request was written. The line keeps its
// order: a piece arrives after every piece sent before it, each at an instant of its own, so the
// events of one arrival reach the session before the next arrival.
class LinePort final : public ISessionPort {
public:
  static constexpr std::size_t kDriverQueue = 2048;

  // Called with every text written (the instrument's cue to answer).
  using Device = std::function<void(const std::string& written)>;
  // Called just before an event reaches the session.
  using Observer = std::function<void(const LinkEvent& event, bool answersPageRequest)>;

  LinePort(IScheduler& scheduler, Device device, Observer observer);

  // Bytes that arrive after `delay` (or after what is already on the line); lost when the port is
  // closed before they arrive.
  void ArriveAfter(Millis delay, std::string bytes);
  // The instrument goes away after `delay`: the listener reports a hang-up once.
  void HangUpAfter(Millis delay);

  // Timers of the port itself (bytes on their way, events waiting for the session).
  [[nodiscard]] std::size_t OwnTimers() const { return inFlight_ + eventsWaiting_; }
  [[nodiscard]] std::size_t InFlight() const { return inFlight_; }
  [[nodiscard]] std::size_t EventsWaiting() const { return eventsWaiting_; }
  [[nodiscard]] std::size_t LineBuffer() const { return assembler_.Buffer().size(); }
  // The last write, arrival or hang-up.
  [[nodiscard]] Millis LastActivity() const { return lastActivity_; }

  Status Open(const std::string& name, LinkEventSink sink) override;
  void Close() override;
  [[nodiscard]] bool IsOpen() const override { return open_; }
  Status Configure(std::uint32_t baud, int dataBits, int parity, int stopBits) override;
  Status SetFlowControl(int mode) override;
  Status Purge() override;
  Status WriteString(const std::string& text) override;
  Status Read(std::string& out, std::size_t maxBytes) override;
  void SetReceiveEnabled(bool enabled) override { shared_.ReceiveEnabled.store(enabled); }
  void SetPageMode(bool downloading) override { shared_.Downloading.store(downloading); }
  void EmptyReceiveBuffer() override { shared_.EmptyBufferRequest.store(true); }

private:
  // When a piece sent with `delay` arrives, as a delay from now.
  Millis OnTheLine(Millis delay);
  void Pump();
  void Post(LinkEvent event, bool answersPageRequest);

  IScheduler& scheduler_;
  Device device_;
  Observer observer_;
  bool open_ = false;
  unsigned generation_ = 0; // bumped by Close: what was on its way for the old link is dropped
  LinkEventSink sink_;
  std::string driverQueue_;
  CLineAssembler assembler_;
  CLinkShared shared_;
  std::string lastWrite_;
  bool lineAnswersPage_ = false; // the line being assembled began after a page request
  std::size_t inFlight_ = 0;
  std::size_t eventsWaiting_ = 0;
  Millis lastActivity_{0};
  Millis lineFree_{0}; // the next piece arrives at this time or later
};

} // namespace nimbrel::fuzz
