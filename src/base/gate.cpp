#include "base/gate.h"

#include <algorithm>

namespace nimbrel {

void CGate::Open() {
  if (depth_ > 0 && --depth_ == 0 && !waiting_.empty() && !drainPosted_) {
    drainPosted_ = true;
    post_([this] { Drain(); });
  }
}

void CGate::Pass(std::uint64_t key, std::function<void()> fn) {
  if (depth_ == 0 && waiting_.empty()) {
    fn();
    return;
  }
  if (key != 0 && std::any_of(waiting_.begin(), waiting_.end(), [key](const Entry& w) { return w.key == key; })) {
    return;
  }
  waiting_.push_back({key, std::move(fn)});
  if (depth_ == 0 && !drainPosted_) {
    drainPosted_ = true;
    post_([this] { Drain(); });
  }
}

void CGate::Drain() {
  drainPosted_ = false;
  // One that opens a dialog of its own closes the gate again: the rest wait for that one.
  while (depth_ == 0 && !waiting_.empty()) {
    Entry next = std::move(waiting_.front());
    waiting_.pop_front();
    next.fn();
  }
}

} // namespace nimbrel
