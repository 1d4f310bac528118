#include "setup/wait_progress.h"

#include "base/prompts.h"

#include <utility>

namespace nimbrel {

CWaitProgress::CWaitProgress(IScheduler& scheduler, IPrompts& prompts) : scheduler_(scheduler), prompts_(prompts) {}

CWaitProgress::~CWaitProgress() {
  Stop();
}

void CWaitProgress::Show(std::string text) {
  text_ = std::move(text);
  visible_ = true;
  position_ = 0;
  Stop();
  timer_ = scheduler_.Start(kStepPeriod, true, [this] { Step(); });
}

void CWaitProgress::Hide() {
  Stop();
  visible_ = false;
}

void CWaitProgress::Stop() {
  if (timer_) {
    scheduler_.Stop(*timer_);
    timer_.reset();
  }
}

void CWaitProgress::Step() {
  ++steps_;
  position_ = position_ >= kRange ? 0 : position_ + kStepSize;
  if (onStep) {
    onStep();
  }
  if (steps_ > kMaxSteps) {
    Stop();
    prompts_.Message(kWaitTimeoutText, Icon::None);
  }
}

} // namespace nimbrel
