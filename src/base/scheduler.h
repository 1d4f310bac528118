#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace nimbrel {

using Millis = std::chrono::milliseconds;

// Every timer, reply time-out and pause of the procedures goes through a scheduler, so the
// product runs on Qt timers and the tests run in virtual time.
class IScheduler {
public:
  using TimerId = std::uint64_t;

  IScheduler() = default;
  IScheduler(const IScheduler&) = delete;
  IScheduler& operator=(const IScheduler&) = delete;
  virtual ~IScheduler() = default;

  // Calls fn after `delay`, and again every `delay` when repeating. Never calls fn from inside Start.
  virtual TimerId Start(Millis delay, bool repeating, std::function<void()> fn) = 0;
  // Stops a timer; unknown or already finished ids are ignored.
  virtual void Stop(TimerId id) = 0;
  // Monotonic time, for progress estimates and logs.
  [[nodiscard]] virtual Millis Now() const = 0;
  // The PC's wall clock, for the trace's start line and the instrument clock.
  [[nodiscard]] virtual std::chrono::system_clock::time_point WallNow() const = 0;

  TimerId After(Millis delay, std::function<void()> fn) { return Start(delay, false, std::move(fn)); }
};

// One timer of a procedure: started, restarted and stopped by its owner, stopped when the owner goes.
class CTimer {
public:
  explicit CTimer(IScheduler& scheduler) : scheduler_(scheduler) {}
  CTimer(const CTimer&) = delete;
  CTimer& operator=(const CTimer&) = delete;
  ~CTimer() { Stop(); }

  // (Re)starts the timer; a one-shot timer counts as stopped once it has fired.
  void Start(Millis delay, bool repeating, std::function<void()> fn);
  void Stop();
  [[nodiscard]] bool Running() const { return id_.has_value(); }

private:
  IScheduler& scheduler_;
  std::optional<IScheduler::TimerId> id_;
};

// The timed steps of a procedure ("pause N ms, then ..."): each runs once after its delay unless the
// procedure cancels them all first (its teardown) or goes away.
class CSteps {
public:
  explicit CSteps(IScheduler& scheduler) : scheduler_(scheduler) {}
  CSteps(const CSteps&) = delete;
  CSteps& operator=(const CSteps&) = delete;
  ~CSteps() { CancelAll(); }

  void Later(Millis delay, std::function<void()> fn);
  void CancelAll();
  [[nodiscard]] bool Pending() const { return !pending_.empty(); }

private:
  IScheduler& scheduler_;
  std::set<IScheduler::TimerId> pending_;
};

// Virtual time for tests and benchmarks: nothing happens until the test advances the clock.
class ManualScheduler final : public IScheduler {
public:
  explicit ManualScheduler(std::chrono::system_clock::time_point wallStart = {});

  TimerId Start(Millis delay, bool repeating, std::function<void()> fn) override;
  void Stop(TimerId id) override;
  [[nodiscard]] Millis Now() const override { return now_; }
  [[nodiscard]] std::chrono::system_clock::time_point WallNow() const override { return wallStart_ + now_; }

  // Runs every timer due within `span`, in time order (ties in the order they were started),
  // moving the clock to each one's due time; ends with the clock at now + span.
  void Advance(Millis span);
  // Runs timers until none is due within `limit`; returns false if the limit was reached first.
  bool RunUntilIdle(Millis limit = Millis(24 * 3600 * 1000));
  // Runs the next due timer, whenever it is; false when none is pending.
  bool RunNext();
  [[nodiscard]] std::size_t Pending() const { return timers_.size(); }
  // True when a timer other than repeating ones is pending.
  [[nodiscard]] bool HasOneShotPending() const;

private:
  struct Timer {
    Millis due;
    Millis period;
    bool repeating;
    std::function<void()> fn;
  };
  std::map<std::pair<Millis, TimerId>, TimerId> order_;
  std::map<TimerId, Timer> timers_;
  TimerId next_ = 1;
  Millis now_{0};
  std::chrono::system_clock::time_point wallStart_;
};

class CGate;

// Real time on Qt timers of the calling thread's event loop. With a gate, the timers' callbacks
// wait while it is closed (a modal dialog is open) and run in their order when it opens.
std::unique_ptr<IScheduler> MakeQtScheduler(CGate* gate = nullptr);

} // namespace nimbrel
