#pragma once

#include "link/link_event.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace nimbrel::test {

// Collects what the listener hands over, from its thread, and lets the test wait for it.
class EventLog {
public:
  LinkEventSink Sink() {
    return [this](LinkEvent e) {
      const std::lock_guard lock(mutex_);
      events_.push_back(std::move(e));
      changed_.notify_all();
    };
  }
  // False when `count` events did not come within two seconds (the failure guard only).
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(2), [&] { return events_.size() >= count; });
  }
  std::vector<LinkEvent> Events() {
    const std::lock_guard lock(mutex_);
    return events_;
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<LinkEvent> events_;
};

// Waits until `counter()` has reached `target` (two seconds at most); true when it did.
inline bool WaitCount(const std::function<std::uint64_t()>& counter, std::uint64_t target) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (counter() < target) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

} // namespace nimbrel::test
