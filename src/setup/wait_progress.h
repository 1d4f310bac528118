#pragma once

#include "base/scheduler.h"

#include <functional>
#include <optional>
#include <string>

namespace nimbrel {

class IPrompts;

inline constexpr const char* kWaitTimeoutText = "ERROR: timeout expired";

// The wait dialog's rules without the dialog: while it is visible its bar steps every 250 ms
// (by 10, back to 0 after 100), and after 120 steps (about 30 seconds) the user is told once that
// the time ran out; the dialog stays open. The step count starts at 0 when the dialog is made (one
// object per dialog) and is kept when it is hidden and shown again.
class CWaitProgress {
public:
  CWaitProgress(IScheduler& scheduler, IPrompts& prompts);
  ~CWaitProgress();
  CWaitProgress(const CWaitProgress&) = delete;
  CWaitProgress& operator=(const CWaitProgress&) = delete;

  // The dialog becomes visible with `text`: the bar starts at 0 and the steps run.
  void Show(std::string text);
  // Hidden (also the user's Cancel; the session then forgets its commands): the steps stop.
  void Hide();

  [[nodiscard]] bool Visible() const { return visible_; }
  [[nodiscard]] bool Stepping() const { return timer_.has_value(); }
  [[nodiscard]] const std::string& Text() const { return text_; }
  [[nodiscard]] int Position() const { return position_; }
  [[nodiscard]] int Steps() const { return steps_; }

  // Called after each step, so the dialog can move its bar.
  std::function<void()> onStep;

  static constexpr Millis kStepPeriod{250};
  static constexpr int kStepSize = 10;
  static constexpr int kRange = 100;
  static constexpr int kMaxSteps = 120;

private:
  void Stop();
  void Step();

  IScheduler& scheduler_;
  IPrompts& prompts_;
  std::optional<IScheduler::TimerId> timer_;
  std::string text_;
  bool visible_ = false;
  int position_ = 0;
  int steps_ = 0;
};

} // namespace nimbrel
