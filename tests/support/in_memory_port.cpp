#include "support/in_memory_port.h"

namespace nimbrel::test {

namespace {
Status NotOpen() {
  return {StatusCode::Io, "the port is not open"};
}
} // namespace

InMemoryPort::InMemoryPort(IScheduler& scheduler, Millis latency) : scheduler_(scheduler), latency_(latency) {}

void InMemoryPort::AddDevice(const std::string& name, Responder responder) {
  devices_[name] = std::move(responder);
}

Status InMemoryPort::Open(const std::string& name, LinkEventSink sink) {
  if (open_) {
    return {StatusCode::Busy, "already open"};
  }
  if (devices_.find(name) == devices_.end()) {
    return {StatusCode::NotFound, "cannot open " + name + ": No such file or directory"};
  }
  open_ = true;
  current_ = name;
  sink_ = std::move(sink);
  opened.push_back(name);
  driverQueue_.clear();
  assembler_.Clear();
  return Status::Ok();
}

void InMemoryPort::Close() {
  open_ = false;
  ++generation_;
  sink_ = nullptr;
  driverQueue_.clear();
}

Status InMemoryPort::Configure(std::uint32_t baud, int /*dataBits*/, int /*parity*/, int /*stopBits*/) {
  if (!open_) {
    return NotOpen();
  }
  configuredBaud = baud;
  return Status::Ok();
}

Status InMemoryPort::SetFlowControl(int /*mode*/) {
  return open_ ? Status::Ok() : NotOpen();
}

Status InMemoryPort::Purge() {
  if (!open_) {
    return NotOpen();
  }
  driverQueue_.clear();
  return Status::Ok();
}

Status InMemoryPort::WriteString(const std::string& text) {
  if (!open_) {
    return NotOpen();
  }
  if (failWrites) {
    return *failWrites;
  }
  writes.push_back(text);
  writeTimes.push_back(scheduler_.Now());
  const sim::Output answer = devices_[current_](text);
  const unsigned generation = generation_;
  Millis at = latency_;
  for (const sim::Piece& piece : answer.pieces) {
    at += Millis(piece.delayUs / 1000);
    scheduler_.After(at, [this, generation, bytes = piece.bytes] {
      if (generation == generation_ && open_) {
        Arrive(bytes);
      }
    });
  }
  if (answer.hangUp) {
    scheduler_.After(at + Millis(1), [this, generation] {
      if (generation == generation_) {
        HangUp();
      }
    });
  }
  return Status::Ok();
}

void InMemoryPort::SetReceiveEnabled(bool enabled) {
  shared_.ReceiveEnabled.store(enabled);
}

void InMemoryPort::Arrive(const std::string& bytes) {
  driverQueue_.insert(driverQueue_.end(), bytes.begin(), bytes.end());
  Pump();
}

void InMemoryPort::HangUp() {
  if (open_ && sink_) {
    LinkEventSink sink = sink_;
    scheduler_.After(Millis(0), [sink] { sink(LinkEvent{LinkEvent::Kind::HangUp, {}, 0}); });
  }
}

// The listener: one port event, bytes taken while ReceiveEnabled is set.
void InMemoryPort::Pump() {
  while (open_ && shared_.ReceiveEnabled.load() && !driverQueue_.empty()) {
    const char byte = driverQueue_.front();
    driverQueue_.pop_front();
    assembler_.Feed(byte, shared_, [this](LinkEvent event) {
      const unsigned generation = generation_;
      LinkEventSink sink = sink_;
      scheduler_.After(Millis(0), [this, generation, sink, event = std::move(event)] {
        if (generation == generation_ && sink) {
          sink(event);
        }
      });
    });
  }
}

Status InMemoryPort::Read(std::string& out, std::size_t maxBytes) {
  out.clear();
  if (!open_) {
    return NotOpen();
  }
  while (!driverQueue_.empty() && out.size() < maxBytes) {
    out.push_back(driverQueue_.front());
    driverQueue_.pop_front();
  }
  return out.empty() ? Status(StatusCode::Timeout, "nothing within 100 ms") : Status::Ok();
}

} // namespace nimbrel::test
