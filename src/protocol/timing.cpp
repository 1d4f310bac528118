#include "protocol/timing.h"

#include <algorithm>

namespace nimbrel {

SessionTiming SessionTiming::Scaled(int divisor) const {
  const auto d = std::max(divisor, 1);
  auto scale = [d](std::chrono::milliseconds v) { return std::max(v / d, std::chrono::milliseconds(1)); };
  SessionTiming t;
  t.sendTick = scale(sendTick);
  t.replyTimeout = scale(replyTimeout);
  t.eraseTimeout = scale(eraseTimeout);
  t.portSettle = scale(portSettle);
  t.probeWait = scale(probeWait);
  t.batteryPurge = scale(batteryPurge);
  t.pageGap = scale(pageGap);
  t.progressTick = scale(progressTick);
  t.waitDialogStep = scale(waitDialogStep);
  return t;
}

} // namespace nimbrel
