#include "support/in_memory_port.h"

#include <cerrno>

namespace nimbrel::test {

InMemoryPort::InMemoryPort(IScheduler& scheduler, Millis latency) : scheduler_(scheduler), latency_(latency) {}

void InMemoryPort::AddDevice(const std::string& name, Responder responder) {
  devices_[name] = std::move(responder);
}

std::uint32_t InMemoryPort::Open(const std::string& name, LinkEventSink sink) {
  if (open_) {
    return 1247;
  }
  if (devices_.find(name) == devices_.end()) {
    return ENOENT;
  }
  open_ = true;
  current_ = name;
  sink_ = std::move(sink);
  opened.push_back(name);
  driverQueue_.clear();
  assembler_.Clear();
  return 0;
}

std::uint32_t InMemoryPort::Close() {
  if (!open_) {
    return 0;
  }
  open_ = false;
  ++generation_;
  sink_ = nullptr;
  driverQueue_.clear();
  return 0;
}

std::uint32_t InMemoryPort::Configure(std::uint32_t baud, int /*dataBits*/, int /*parity*/, int /*stopBits*/) {
  if (!open_) {
    return 6;
  }
  configuredBaud = baud;
  return 0;
}

std::uint32_t InMemoryPort::SetFlowControl(int mode) {
  if (!open_) {
    return 6;
  }
  flowControl = mode;
  return 0;
}

std::uint32_t InMemoryPort::Purge() {
  if (!open_) {
    return 6;
  }
  driverQueue_.clear();
  return 0;
}

std::uint32_t InMemoryPort::WriteString(const std::string& text) {
  if (!open_) {
    return 6;
  }
  writes.push_back(text);
  writeTimes.push_back(scheduler_.Now());
  std::string answer = devices_[current_](text);
  if (!answer.empty()) {
    const unsigned generation = generation_;
    scheduler_.After(latency_, [this, generation, answer] {
      if (generation == generation_ && open_) {
        Arrive(answer);
      }
    });
  }
  return 0;
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

std::uint32_t InMemoryPort::Read(std::string& out, std::size_t maxBytes) {
  out.clear();
  if (!open_) {
    return 6;
  }
  while (!driverQueue_.empty() && out.size() < maxBytes) {
    out.push_back(driverQueue_.front());
    driverQueue_.pop_front();
  }
  return out.empty() ? 1460 : 0;
}

} // namespace nimbrel::test
