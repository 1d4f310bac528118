#include "line_port.h"

#include <algorithm>
#include <utility>

namespace nimbrel::fuzz {

namespace {
Status NotOpen() {
  return {StatusCode::Io, "the port is not open"};
}
bool IsPageRequest(const std::string& text) {
  return text.rfind("KR", 0) == 0 || text.rfind("KS", 0) == 0;
}
} // namespace

LinePort::LinePort(IScheduler& scheduler, Device device, Observer observer)
    : scheduler_(scheduler), device_(std::move(device)), observer_(std::move(observer)) {}

Millis LinePort::OnTheLine(Millis delay) {
  const Millis at = std::max(scheduler_.Now() + delay, lineFree_);
  lineFree_ = at + Millis(1);
  ++inFlight_;
  return at - scheduler_.Now();
}

void LinePort::ArriveAfter(Millis delay, std::string bytes) {
  scheduler_.After(OnTheLine(delay), [this, generation = generation_, bytes = std::move(bytes)] {
    --inFlight_;
    if (generation != generation_ || !open_) {
      return;
    }
    lastActivity_ = scheduler_.Now();
    driverQueue_.append(bytes, 0, kDriverQueue - std::min(kDriverQueue, driverQueue_.size()));
    Pump();
  });
}

void LinePort::HangUpAfter(Millis delay) {
  scheduler_.After(OnTheLine(delay), [this, generation = generation_] {
    --inFlight_;
    if (generation != generation_ || !open_) {
      return;
    }
    lastActivity_ = scheduler_.Now();
    if (shared_.EmptyBufferRequest.exchange(false)) {
      assembler_.Clear();
    }
    Post(LinkEvent{LinkEvent::Kind::HangUp, assembler_.Buffer(), 0}, false);
    assembler_.Clear();
  });
}

// One port event: bytes are taken while the session lets the listener take them.
void LinePort::Pump() {
  std::size_t taken = 0;
  while (open_ && shared_.ReceiveEnabled.load() && taken < driverQueue_.size()) {
    if (assembler_.Buffer().empty() || shared_.EmptyBufferRequest.load()) {
      lineAnswersPage_ = IsPageRequest(lastWrite_);
    }
    assembler_.Feed(driverQueue_[taken++], shared_,
                    [this](LinkEvent event) { Post(std::move(event), lineAnswersPage_); });
  }
  driverQueue_.erase(0, taken);
}

void LinePort::Post(LinkEvent event, bool answersPageRequest) {
  ++eventsWaiting_;
  scheduler_.After(Millis(0), [this, generation = generation_, answersPageRequest, event = std::move(event)] {
    --eventsWaiting_;
    if (generation != generation_ || !sink_) {
      return;
    }
    observer_(event, answersPageRequest);
    sink_(event);
  });
}

Status LinePort::Open(const std::string& /*name*/, LinkEventSink sink) {
  if (open_) {
    return {StatusCode::Busy, "already open"};
  }
  open_ = true;
  sink_ = std::move(sink);
  driverQueue_.clear();
  assembler_.Clear();
  return Status::Ok();
}

void LinePort::Close() {
  open_ = false;
  ++generation_;
  sink_ = nullptr;
  driverQueue_.clear();
}

Status LinePort::Configure(std::uint32_t /*baud*/, int /*dataBits*/, int /*parity*/, int /*stopBits*/) {
  return open_ ? Status::Ok() : NotOpen();
}

Status LinePort::SetFlowControl(int /*mode*/) {
  return open_ ? Status::Ok() : NotOpen();
}

Status LinePort::Purge() {
  if (!open_) {
    return NotOpen();
  }
  driverQueue_.clear();
  return Status::Ok();
}

Status LinePort::WriteString(const std::string& text) {
  if (!open_) {
    return NotOpen();
  }
  lastWrite_ = text;
  lastActivity_ = scheduler_.Now();
  device_(text);
  return Status::Ok();
}

Status LinePort::Read(std::string& out, std::size_t maxBytes) {
  out.clear();
  if (!open_) {
    return NotOpen();
  }
  out = driverQueue_.substr(0, maxBytes);
  driverQueue_.erase(0, out.size());
  return out.empty() ? Status(StatusCode::Timeout, "nothing within 100 ms") : Status::Ok();
}

} // namespace nimbrel::fuzz
