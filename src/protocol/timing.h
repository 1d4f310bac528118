#pragma once

#include <chrono>

namespace nimbrel {

// The instrument's reply time-outs: every command but the second erase command gets 2 s.
inline constexpr std::chrono::milliseconds kReplyTimeout{2000};
inline constexpr std::chrono::milliseconds kEraseTimeout{10000};

// Every delay of the instrument session, in one place. The product uses these values as they
// stand; tests and benchmarks may scale them (Scaled), the product never does.
struct SessionTiming {
  std::chrono::milliseconds sendTick{500};               // the queue pump: at most one command per tick
  std::chrono::milliseconds replyTimeout{kReplyTimeout}; // wait for the reply of an ordinary command
  std::chrono::milliseconds eraseTimeout{kEraseTimeout}; // ERASE_MEM_2 takes the instrument longer
  std::chrono::milliseconds portSettle{10};              // after configuring the port, before the probe
  std::chrono::milliseconds probeWait{1000};             // for the answer to the probe and to the battery query
  std::chrono::milliseconds batteryPurge{50};            // after purging, before the battery query
  std::chrono::milliseconds pageGap{500};                // between a page and the next page request
  std::chrono::milliseconds progressTick{500};           // the download status window refresh
  std::chrono::milliseconds waitDialogStep{250};         // the connecting and setup wait dialogs' steps

  // The reply time-out of a command whose own time-out is `productMs` (2000 or 10000).
  [[nodiscard]] std::chrono::milliseconds TimeoutFor(int productMs) const {
    return productMs > kReplyTimeout.count() ? eraseTimeout : replyTimeout;
  }

  // All values divided by `divisor` (at least 1 ms each): fast runs against the simulator.
  [[nodiscard]] SessionTiming Scaled(int divisor) const;
};

} // namespace nimbrel
