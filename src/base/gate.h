#pragma once

#include <cstdint>
#include <deque>
#include <functional>

namespace nimbrel {

// While a modal dialog of the desktop is open, its event loop would otherwise run the session's own
// callbacks (the send tick, a reply time-out, a line from the instrument) in the middle of the
// procedure that asked the question. They wait at this gate instead, and run in the order they
// came once the last dialog has closed.
class CGate {
public:
  // `post` runs a function soon from the event loop (the desktop: a zero-delay timer).
  explicit CGate(std::function<void(std::function<void()>)> post) : post_(std::move(post)) {}

  void Close() { ++depth_; }
  void Open();
  [[nodiscard]] bool IsClosed() const { return depth_ > 0; }

  // Runs `fn` now when the gate is open, else when it opens. A call with a `key` that already
  // waits is dropped (a repeating timer's missed ticks count once); key 0 always waits.
  void Pass(std::uint64_t key, std::function<void()> fn);
  [[nodiscard]] std::size_t Waiting() const { return waiting_.size(); }

private:
  void Drain();

  struct Entry {
    std::uint64_t key;
    std::function<void()> fn;
  };
  std::function<void(std::function<void()>)> post_;
  int depth_ = 0;
  std::deque<Entry> waiting_;
  bool drainPosted_ = false;
};

// A closed gate for as long as it lives: around a modal dialog.
class CGateClosed {
public:
  explicit CGateClosed(CGate* gate) : gate_(gate) {
    if (gate_ != nullptr) {
      gate_->Close();
    }
  }
  ~CGateClosed() {
    if (gate_ != nullptr) {
      gate_->Open();
    }
  }
  CGateClosed(const CGateClosed&) = delete;
  CGateClosed& operator=(const CGateClosed&) = delete;

private:
  CGate* gate_;
};

} // namespace nimbrel
