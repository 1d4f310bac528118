#include "base/scheduler.h"

#include "base/gate.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <unordered_map>
#include <unordered_set>

namespace nimbrel {

void CTimer::Start(Millis delay, bool repeating, std::function<void()> fn) {
  Stop();
  if (repeating) {
    id_ = scheduler_.Start(delay, true, std::move(fn));
    return;
  }
  id_ = scheduler_.After(delay, [this, fn = std::move(fn)] {
    id_.reset();
    fn();
  });
}

void CTimer::Stop() {
  if (id_) {
    scheduler_.Stop(*id_);
    id_.reset();
  }
}

void CSteps::Later(Millis delay, std::function<void()> fn) {
  auto id = std::make_shared<IScheduler::TimerId>(0);
  *id = scheduler_.After(delay, [this, id, fn = std::move(fn)] {
    pending_.erase(*id);
    fn();
  });
  pending_.insert(*id);
}

void CSteps::CancelAll() {
  for (auto id : pending_) {
    scheduler_.Stop(id);
  }
  pending_.clear();
}

ManualScheduler::ManualScheduler(std::chrono::system_clock::time_point wallStart) : wallStart_(wallStart) {}

IScheduler::TimerId ManualScheduler::Start(Millis delay, bool repeating, std::function<void()> fn) {
  const TimerId id = next_++;
  const Millis d = std::max(delay, Millis(0));
  timers_[id] = Timer{now_ + d, d, repeating, std::move(fn)};
  order_[{now_ + d, id}] = id;
  return id;
}

void ManualScheduler::Stop(TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) {
    return;
  }
  order_.erase({it->second.due, id});
  timers_.erase(it);
}

bool ManualScheduler::RunNext() {
  if (order_.empty()) {
    return false;
  }
  auto first = order_.begin();
  const TimerId id = first->second;
  order_.erase(first);
  Timer& t = timers_.at(id);
  now_ = std::max(now_, t.due);
  std::function<void()> fn = t.fn; // the callback may stop or restart its own timer
  if (t.repeating) {
    // A zero period would never let time move on; a repeating timer fires at least 1 ms apart.
    t.due = now_ + std::max(t.period, Millis(1));
    order_[{t.due, id}] = id;
  } else {
    timers_.erase(id);
  }
  fn();
  return true;
}

void ManualScheduler::Advance(Millis span) {
  const Millis end = now_ + span;
  while (!order_.empty() && order_.begin()->first.first <= end) {
    RunNext();
  }
  now_ = end;
}

bool ManualScheduler::RunUntilIdle(Millis limit) {
  const Millis end = now_ + limit;
  while (HasOneShotPending()) {
    if (order_.begin()->first.first > end) {
      now_ = end;
      return false;
    }
    RunNext();
  }
  return true;
}

bool ManualScheduler::HasOneShotPending() const {
  for (const auto& [id, t] : timers_) {
    if (!t.repeating) {
      return true;
    }
  }
  return false;
}

namespace {

class QtScheduler final : public IScheduler {
public:
  explicit QtScheduler(CGate* gate) : gate_(gate) { clock_.start(); }
  ~QtScheduler() override = default;
  QtScheduler(const QtScheduler&) = delete;
  QtScheduler& operator=(const QtScheduler&) = delete;

  TimerId Start(Millis delay, bool repeating, std::function<void()> fn) override {
    const TimerId id = next_++;
    auto timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeating);
    timer->setInterval(static_cast<int>(delay.count()));
    QObject::connect(timer.get(), &QTimer::timeout, [this, id, repeating, fn = std::move(fn)]() {
      std::function<void()> call = fn; // keep the callable alive if it stops its own timer
      if (!repeating) {
        Release(id);
      }
      if (gate_ == nullptr) {
        call();
        return;
      }
      // Behind a closed gate a one-shot timer may still be stopped before it gets its turn.
      if (!repeating) {
        deferred_.insert(id);
      }
      gate_->Pass(id, [this, id, repeating, call] {
        if (!repeating && deferred_.erase(id) == 0) {
          return; // stopped while it waited
        }
        if (repeating && timers_.find(id) == timers_.end()) {
          return;
        }
        call();
      });
    });
    timer->start();
    timers_[id] = std::move(timer);
    return id;
  }

  void Stop(TimerId id) override {
    deferred_.erase(id);
    Release(id);
  }
  [[nodiscard]] Millis Now() const override { return Millis(clock_.elapsed()); }
  [[nodiscard]] std::chrono::system_clock::time_point WallNow() const override {
    return std::chrono::system_clock::now();
  }

private:
  void Release(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) {
      return;
    }
    it->second->stop();
    // Deleting a QTimer from inside its own timeout signal is not safe: let the event loop do it.
    it->second.release()->deleteLater();
    timers_.erase(it);
  }

  CGate* gate_;
  QElapsedTimer clock_;
  std::unordered_map<TimerId, std::unique_ptr<QTimer>> timers_;
  std::unordered_set<TimerId> deferred_; // fired one-shot timers waiting at the gate
  TimerId next_ = 1;
};

} // namespace

std::unique_ptr<IScheduler> MakeQtScheduler(CGate* gate) {
  return std::make_unique<QtScheduler>(gate);
}

} // namespace nimbrel
